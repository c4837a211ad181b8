#include "app/guard.h"

#include "platform/dialogs.h"

namespace korimo {

QString errorBoxText(const QString& message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void showUncaughtError(QWidget* parent, const std::exception& error)
{
    const auto* own = dynamic_cast<const Error*>(&error);
    const QString message = own != nullptr ? own->message() : QString::fromUtf8(error.what());
    platform::dialogs().error(parent, errorBoxText(message));
}

} // namespace korimo
