#pragma once

#include <QDate>
#include <QString>

namespace korimo {

// Date-time values are stored and computed as the classic desktop-database date-time: a count of
// days since 1899-12-30, the fraction being the time of day. Adding n gives the date n days later.
double toDateTimeValue(const QDate& date);
QDate toDate(double dateTime);

// Texts as the grids show them and as the user types them, in the system's short date format
// (the default QLocale, so tests can fix it). A two-digit year in the locale's format is shown with
// four digits: years of health records should never be ambiguous.
QString dateText(double dateTime);
// Accepts the short date format and also yyyy-MM-dd and yyyy/MM/dd (with or without leading
// zeros). Blanks around the text are ignored. False when the text is not a date.
bool parseDate(const QString& text, double* dateTime);

// The shortest decimal that reads back as the same double: 36.5, 36.55, 37.
QString floatText(double value);
// Parses a float in the default locale's notation (also accepting the C notation). False on failure.
bool parseFloat(const QString& text, double* value);
// Parses a whole number with an optional sign. False on failure.
bool parseInteger(const QString& text, qint64* value);

} // namespace korimo
