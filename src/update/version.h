#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace korimo::update {

// The update service speaks the Simplified Chinese ANSI code page (GBK, 936): URLs, version texts
// and answers are bytes in it. Inside the program texts are QStrings; these two convert.
QByteArray toAnsi(const QString& text);
QString fromAnsi(const QByteArray& bytes);

// The Referer sent with a request: the URL up to its last "/" (excluded), the URL itself when it
// holds no "/". The query counts too, so a "/" inside it cuts there.
QByteArray RefererFor(const QByteArray& url);

// Versions are compared byte by byte as unsigned values, the first difference deciding and a
// prefix sorting first; parts are never read as numbers (so 1.10 < 1.9). <0, 0 or >0.
int compareVersions(const QByteArray& a, const QByteArray& b);
// True when candidate compares strictly greater than current.
bool isNewerVersion(const QByteArray& candidate, const QByteArray& current);

// The URLs of the update service for an UpdateHost ("host" or "host/path").
QString versionUrlFor(const QString& updateHost);
QString downloadUrlTemplateFor(const QString& updateHost);
// The download URL template with every "<VERSION>" (exact letter case) replaced by version.
QString expandVersionMarker(const QString& urlTemplate, const QString& version);

// A byte count for the download label: "1023B", "1.50KB", "4.77MB", "1.00GB". Two decimals, halves
// away from zero, with the decimal separator of the current locale.
QString FormatByteSize(std::int64_t bytes);

} // namespace korimo::update
