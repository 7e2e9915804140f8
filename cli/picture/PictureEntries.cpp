// The picture module: a PNG of the model diagram needs fonts, and so Qt's GUI libraries.

#include "PictureEntries.h"

#include "diagram/DiagramFile.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <type_traits>

extern "C" {

Q_DECL_EXPORT int velmora_with_gui(int *argc, char **argv, int (*body)(void *context), void *context)
{
    // This program never shows a window.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Without a runtime folder (as root from a plain shell) Qt would warn before making its own;
    // a private one of the program's, gone at the end, keeps the output to what the user asked.
    QTemporaryDir runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtime.isValid())
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QGuiApplication app(*argc, argv);
    return body(context);
}

Q_DECL_EXPORT void velmora_save_picture(const TDiagram *diagram, const QString *title, const QString *path,
                                        QString *problem)
{
    try {
        TDiagramFile::Save(*diagram, *title, *path);
    } catch (const TDiagramError &error) {
        *problem = error.message();
    }
}
}

// The entries' types and the names the program looks them up by stay in step.
static_assert(std::is_same_v<decltype(&velmora_with_gui), TWithGuiEntry>);
static_assert(std::is_same_v<decltype(&velmora_save_picture), TSavePictureEntry>);
