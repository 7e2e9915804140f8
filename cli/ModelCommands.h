#pragma once

#include <QHash>
#include <QStringList>

#include <optional>

struct TDatabaseSource;

// velmora-cli's export, import, import-db and diagram: whole models in and out of the model
// database, and the model as a picture.
namespace ModelCommands {

// The exit code of the command when args (the program's arguments, without the program)
// call one of these commands; nothing when they call another command or ask for help.
std::optional<int> Run(const QStringList &args);

// The password in the first line of a file, without its line end; null with *error set when
// the file cannot be read.
std::optional<QString> ReadPasswordFile(const QString &path, QString *error);

// Whether args call for a picture with text drawn into it (a PNG diagram), which needs a
// QGuiApplication.
// It may be asked before any application exists.
bool NeedsFonts(const QStringList &args);

// The connection options of import-db and upgrade-sql --from-db (--database, --socket, --host,
// --port, --user, --password-file) as a source; the reason when they cannot be used, else empty.
QString ReadConnection(const QString &command, const QHash<QString, QString> &options, TDatabaseSource &source);

// Those options' names.
QStringList ConnectionOptions();

// Their lines of the help text.
extern const char Usage[];

} // namespace ModelCommands
