#pragma once

#include <QStringList>

#include <optional>

// velmora-cli's export, import and import-db: whole models in and out of the model database.
namespace ModelCommands {

// The exit code of the command when args (the program's arguments, without the program)
// call one of these commands; nothing when they call another command or ask for help.
std::optional<int> Run(const QStringList &args);

// The password in the first line of a file, without its line end; null with *error set when
// the file cannot be read.
std::optional<QString> ReadPasswordFile(const QString &path, QString *error);

// Their lines of the help text.
extern const char Usage[];

} // namespace ModelCommands
