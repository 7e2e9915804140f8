#pragma once

#include "diagram/DiagramLayout.h"

#include <QString>

#include <optional>

// The picture module beside velmora-cli: it draws PNG pictures, which need Qt's GUI libraries,
// and so it is loaded only by a command that draws one.
namespace PictureModule {

// Loads the module from the program's folder and runs body(context) under the module's
// off-screen QGuiApplication; nothing when the module cannot be loaded (SavePng then says why).
// No application may exist yet.
std::optional<int> RunWithGui(int &argc, char **argv, int (*body)(void *context), void *context);

// The diagram as a PNG file, through the module. Throws TDiagramError, naming the module's file
// when it could not be loaded.
void SavePng(const TDiagram &diagram, const QString &title, const QString &path);

} // namespace PictureModule
