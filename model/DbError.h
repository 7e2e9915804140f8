#pragma once

#include <QString>

#include <stdexcept>

// A failure of the model database, worded for the user (Chinese, naming the file or the reason).
class TDbError : public std::runtime_error {
public:
    explicit TDbError(const QString &message)
        : std::runtime_error(message.toStdString()), message_(message)
    {
    }
    QString message() const { return message_; }

private:
    QString message_;
};
