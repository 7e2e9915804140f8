#include "DiagramSaving.h"

#include "DiagramSvg.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace {

QString cannotWrite(const QString &path, const QString &reason)
{
    return QStringLiteral("无法写入模型图 %1: %2").arg(QDir::toNativeSeparators(path), reason);
}

} // namespace

TDiagramError::TDiagramError(const QString &message)
    : std::runtime_error(message.toStdString()), message_(message)
{
}

namespace DiagramSaving {

TFormat FormatOf(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png"))
        return TFormat::Png;
    if (suffix == QLatin1String("svg"))
        return TFormat::Svg;
    throw TDiagramError(QStringLiteral("模型图的文件名应以 .svg 或 .png 结尾: %1").arg(QDir::toNativeSeparators(path)));
}

void Write(const QString &path, const std::function<QString(QIODevice &)> &write)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw TDiagramError(cannotWrite(path, file.errorString()));
    if (const QString problem = write(file); !problem.isEmpty())
        throw TDiagramError(cannotWrite(path, problem));
    if (!file.commit())
        throw TDiagramError(cannotWrite(path, file.errorString()));
}

void SaveSvg(const TDiagram &diagram, const QString &title, const QString &path)
{
    Write(path, [&](QIODevice &device) {
        const QByteArray svg = TDiagramSvg::Write(diagram, title);
        return device.write(svg) == svg.size() ? QString() : device.errorString();
    });
}

} // namespace DiagramSaving
