#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace korimo::platform {

// Every modal box and file dialog of the program goes through this interface, so that tests can
// record what would have been shown and answer from a script instead of blocking on a real box.
// Filters use the classic "description|mask|description|mask" form.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // Plain message: title is the application title ("Korimo"), one OK button.
    virtual void message(QWidget* parent, const QString& text) = 0;
    // Confirmation: title "Confirm", question icon, Yes and No. True for Yes.
    virtual bool confirm(QWidget* parent, const QString& text) = 0;
    // Warning question: title "Warning", warning icon, Yes and No. True for Yes.
    virtual bool warningQuestion(QWidget* parent, const QString& text) = 0;
    // Question with a caption of its own, question icon, Yes and No. True for Yes.
    virtual bool question(QWidget* parent, const QString& caption, const QString& text) = 0;
    // The grids' own delete question: title "Confirm", question icon, OK and Cancel. True for OK.
    virtual bool confirmOkCancel(QWidget* parent, const QString& text) = 0;
    // Error box: title "Korimo", error-stop icon, OK.
    virtual void error(QWidget* parent, const QString& text) = 0;
    // Information box: title "Korimo", information icon, OK.
    virtual void information(QWidget* parent, const QString& text) = 0;

    // Open and save dialogs: the chosen full path, or nothing when cancelled.
    virtual std::optional<QString> openFile(QWidget* parent, const QString& filter,
                                            const QString& fileName) = 0;
    virtual std::optional<QString> saveFile(QWidget* parent, const QString& filter,
                                            const QString& fileName) = 0;
};

// The implementation in use: the real Qt dialogs unless a test installed another one.
Dialogs& dialogs();
// Installs an implementation (not owned); nullptr restores the real one.
void setDialogs(Dialogs* replacement);

// Turns "desc|mask|desc|mask" into Qt's "desc (mask);;desc (mask)".
QString qtFilter(const QString& classicFilter);

} // namespace korimo::platform
