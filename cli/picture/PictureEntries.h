#pragma once

// The two entries of the picture module, which velmora-cli loads only to draw a PNG: the module
// brings Qt's GUI libraries (and some forty more behind them) that no other command needs.
// Both sides are built from the same sources against the same Qt, so Qt types pass as they are;
// the module defines the entries extern "C" under these names.

#include "diagram/DiagramLayout.h"

#include <QString>

// Runs body(context) under an off-screen QGuiApplication made from argc and argv, and returns
// what body returns.
using TWithGuiEntry = int (*)(int *argc, char **argv, int (*body)(void *context), void *context);
inline constexpr char withGuiEntry[] = "velmora_with_gui";

// Saves the diagram as a picture file, as the window does; *problem tells why it could not, and
// stays empty when it was saved. Needs the application of the entry above.
using TSavePictureEntry = void (*)(const TDiagram *diagram, const QString *title, const QString *path,
                                   QString *problem);
inline constexpr char savePictureEntry[] = "velmora_save_picture";
