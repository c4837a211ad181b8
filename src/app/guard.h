#pragma once

#include "data/error.h"

#include <QString>

#include <exception>

class QWidget;

namespace korimo {

// The text of the error box: the error's message with a full stop appended when it is not empty
// and its last character sorts after "." (so an engine message ending in a full stop gets none).
QString errorBoxText(const QString& message);

// Shows an error that no command caught: title "Korimo", error-stop icon, OK.
void showUncaughtError(QWidget* parent, const std::exception& error);

// Every handler of the program's windows is entered through this guard: an error escaping the
// handler ends it, is shown in the error box, and the program goes on. No exception ever crosses
// the Qt event loop.
template <class F>
void guarded(QWidget* parent, F&& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        showUncaughtError(parent, e);
    }
}

} // namespace korimo
