#include "PictureModule.h"

#include "diagram/DiagramSaving.h"
#include "picture/PictureEntries.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

namespace PictureModule {

namespace {

struct TModule {
    TWithGuiEntry withGui = nullptr;
    TSavePictureEntry savePicture = nullptr;
    QString problem; // why the module cannot be used; empty when it can
};

TModule &module()
{
    static TModule loaded{nullptr, nullptr,
                          QStringLiteral("画PNG图片所需的模块 %1 没有载入").arg(QStringLiteral(VELMORA_PICTURE_MODULE))};
    return loaded;
}

TModule load(const QString &folder)
{
    TModule found;
    const QString path = QDir(folder).absoluteFilePath(QStringLiteral(VELMORA_PICTURE_MODULE));
    const QString shown = QDir::toNativeSeparators(path);
    if (!QFileInfo::exists(path)) {
        found.problem = QStringLiteral("找不到画PNG图片所需的模块 %1 (它应与 velmora-cli 在同一个文件夹中)").arg(shown);
        return found;
    }
    QLibrary library(path);
    if (library.load()) {
        found.withGui = reinterpret_cast<TWithGuiEntry>(library.resolve(withGuiEntry));
        found.savePicture = reinterpret_cast<TSavePictureEntry>(library.resolve(savePictureEntry));
    }
    if (!found.withGui || !found.savePicture)
        found.problem = QStringLiteral("无法载入画PNG图片所需的模块 %1: %2").arg(shown, library.errorString());
    return found;
}

} // namespace

std::optional<int> RunWithGui(int &argc, char **argv, int (*body)(void *context), void *context)
{
    QString folder;
    {
        // Only an application knows the program's folder; the module makes the one that stays.
        const QCoreApplication finder(argc, argv);
        folder = QCoreApplication::applicationDirPath();
    }
    module() = load(folder);
    if (!module().problem.isEmpty())
        return std::nullopt;
    return module().withGui(&argc, argv, body, context);
}

void SavePng(const TDiagram &diagram, const QString &title, const QString &path)
{
    if (!module().problem.isEmpty())
        throw TDiagramError(module().problem);
    QString problem;
    module().savePicture(&diagram, &title, &path, &problem);
    if (!problem.isEmpty())
        throw TDiagramError(problem);
}

} // namespace PictureModule
