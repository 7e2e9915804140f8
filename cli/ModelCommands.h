#pragma once

#include <QStringList>

#include <optional>

// velmora-cli's export, import, import-db and diagram: whole models in and out of the model
// database, and the model as a picture.
namespace ModelCommands {

// The exit code of the command when args (the program's arguments, without the program)
// call one of these commands; nothing when they call another command or ask for help.
std::optional<int> Run(const QStringList &args);

// Whether args call for a picture with text drawn into it (a PNG diagram), which needs a
// QGuiApplication.
// It may be asked before any application exists.
bool NeedsFonts(const QStringList &args);

// Their lines of the help text.
extern const char Usage[];

} // namespace ModelCommands
