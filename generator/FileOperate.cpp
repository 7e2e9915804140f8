#include "FileOperate.h"

#include "GenerationError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

const char utf8Bom[] = "\xEF\xBB\xBF";

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

void makeFolder(const QString &path)
{
    if (!QDir().mkpath(path))
        throw TGenerationError(QStringLiteral("无法创建文件夹 \"%1\"").arg(shown(path)));
}

void commit(QSaveFile &file, const QString &what)
{
    if (!file.commit())
        throw TGenerationError(QStringLiteral("无法写入文件 \"%1\": %2")
                                   .arg(shown(what), file.errorString()));
}

} // namespace

void TFileOperate::SaveFile(const QString &directory, const QString &fileName, const QString &text)
{
    makeFolder(directory);
    WriteUtf8File(text, fileName);
}

void TFileOperate::WriteUtf8File(const QString &text, const QString &fileName)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw TGenerationError(QStringLiteral("无法创建文件 \"%1\": %2")
                                   .arg(shown(fileName), file.errorString()));
    QByteArray bytes;
    bytes.reserve(text.size() * 3 + 3);
    bytes.append(utf8Bom, 3);
    bytes.append(text.toUtf8());
    file.write(bytes);
    commit(file, fileName);
}

QString TFileOperate::LoadUtf8File(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw TGenerationError(QStringLiteral("无法打开文件 \"%1\": %2")
                                   .arg(shown(fileName), file.errorString()));
    const QByteArray bytes = file.readAll();
    if (bytes.size() <= 3)
        return QString();
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(QByteArrayView(bytes.constData() + 3, bytes.size() - 3));
    if (decoder.hasError())
        return QString();
    return text;
}

bool TFileOperate::CopyDirectory(const QString &source, const QString &destination,
                                 bool failIfExists)
{
    const QFileInfo sourceInfo(source);
    if (!sourceInfo.isDir())
        throw TGenerationError(QStringLiteral("无法进入文件夹 \"%1\": 文件夹不存在").arg(shown(source)));
#ifndef Q_OS_WIN
    if (!sourceInfo.isExecutable())
        throw TGenerationError(QStringLiteral("无法进入文件夹 \"%1\": 没有访问权限").arg(shown(source)));
#endif
    if (!sourceInfo.isReadable())
        return false;

    const QDir sourceDir(source);
    const QFileInfoList entries = sourceDir.entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    makeFolder(destination);
    for (const QFileInfo &entry : entries) {
        const QString target = destination + QLatin1Char('/') + entry.fileName();
        if (entry.isDir()) {
            makeFolder(target);
            CopyDirectory(entry.filePath(), target, false);
        } else if (!(failIfExists && QFileInfo::exists(target))) {
            CopyFile(entry.filePath(), target);
        }
    }
    return true;
}

void TFileOperate::CopyFile(const QString &source, const QString &destination)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw TGenerationError(QStringLiteral("无法读取文件 \"%1\": %2")
                                   .arg(shown(source), in.errorString()));
    QSaveFile out(destination);
    if (!out.open(QIODevice::WriteOnly))
        throw TGenerationError(QStringLiteral("无法创建文件 \"%1\": %2")
                                   .arg(shown(destination), out.errorString()));
    char buffer[1 << 16];
    for (;;) {
        const qint64 n = in.read(buffer, sizeof buffer);
        if (n < 0)
            throw TGenerationError(QStringLiteral("无法读取文件 \"%1\": %2")
                                       .arg(shown(source), in.errorString()));
        if (n == 0)
            break;
        out.write(buffer, n);
    }
    commit(out, destination);
}
