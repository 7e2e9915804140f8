#pragma once

#include <QString>
#include <QStringList>
#include <stdexcept>

// A failure of generation (a file that cannot be written, a missing template, a model that
// cannot be generated), worded for the user.
class TGenerationError : public std::runtime_error {
public:
    explicit TGenerationError(const QString &message)
        : std::runtime_error(message.toStdString()), message_(message)
    {
    }
    QString message() const { return message_; }

private:
    QString message_;
};

// A model that cannot be generated (a class without a key member, a reference to a class that
// does not exist), found before anything is written. The message holds every finding, a line
// each; messages() lists them.
class TModelCheckError : public TGenerationError {
public:
    explicit TModelCheckError(const QStringList &messages)
        : TGenerationError(messages.join(QLatin1Char('\n'))), messages_(messages)
    {
    }
    explicit TModelCheckError(const QString &message) : TModelCheckError(QStringList{message}) {}
    QStringList messages() const { return messages_; }

private:
    QStringList messages_;
};
