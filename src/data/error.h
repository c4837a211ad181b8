#pragma once

#include <QString>

#include <stdexcept>

namespace korimo {

// The program's errors carry the text the user is shown. what() holds it in UTF-8 so that any
// std::exception handler can still display it.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message)
    {
    }
    const QString& message() const noexcept { return message_; }

private:
    QString message_;
};

} // namespace korimo
