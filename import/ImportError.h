#pragma once

#include <QStringList>

#include <stdexcept>

// An import or export that did not happen, with every reason worded for the user. Refused
// means the model itself was at fault (a malformed or invalid file, a model the checker turns
// down); otherwise the call could not be carried out (a file, a name, a server).
class TImportError : public std::runtime_error {
public:
    TImportError(const QStringList &messages, bool refused)
        : std::runtime_error(messages.join(QLatin1Char('\n')).toStdString()),
          messages_(messages), refused_(refused)
    {
    }
    QStringList messages() const { return messages_; }
    bool refused() const { return refused_; }

private:
    QStringList messages_;
    bool refused_;
};
