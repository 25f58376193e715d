#pragma once

#include <QString>
#include <stdexcept>

// A text that should have been a number or a date and is not.
class EConvertError : public std::runtime_error {
public:
    explicit EConvertError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& Message() const { return message_; }

private:
    QString message_;
};
