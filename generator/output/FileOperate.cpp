#include "FileOperate.h"

#include "GenerationError.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace {

const char utf8Bom[] = "\xEF\xBB\xBF";

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

std::filesystem::path fsPath(const QString &path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

void makeFolder(const QString &path)
{
    if (!QDir().mkpath(path))
        throw TGenerationError(QStringLiteral("无法创建文件夹 \"%1\"").arg(shown(path)));
}

// The name TCommitFile gives its file beside target: target.<8 hex digits>.tmp.
QString temporaryName(const QString &target)
{
    return target + QStringLiteral(".%1.tmp").arg(QRandomGenerator::global()->generate(), 8, 16,
                                                   QLatin1Char('0'));
}

bool isTemporaryName(const QString &fileName)
{
    static const QRegularExpression pattern(QStringLiteral("^.+\\.[0-9a-f]{8}\\.tmp$"));
    return pattern.match(fileName).hasMatch();
}

// A file written under a temporary name beside its target and renamed over the target on
// Commit, so the target is either its old self or complete. Unless committed, the temporary
// file is removed again.
//
// Unlike QSaveFile it does not force the data to the disk on every file, which made writing a
// large project many times slower than copying it; the rename still never exposes half a file.
class TCommitFile {
public:
    explicit TCommitFile(const QString &target) : target_(target)
    {
        for (int attempt = 0; attempt < 16; ++attempt) {
            file_.setFileName(temporaryName(target));
            // Unbuffered: a failing write fails at once, with the system's reason at hand.
            if (file_.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
                return;
            if (!file_.exists())
                break; // not a name clash: the folder cannot take the file
        }
        throw TGenerationError(QStringLiteral("无法创建文件 \"%1\": %2")
                                   .arg(shown(target), file_.errorString()));
    }

    ~TCommitFile()
    {
        if (!committed_) {
            file_.close();
            file_.remove();
        }
    }

    void Write(const char *data, qint64 size)
    {
        // A write cut short (a disk filling up) reports no error of its own; the next one
        // fails with the system's reason.
        while (size > 0) {
            errno = 0;
            const qint64 written = file_.write(data, size);
            if (written <= 0)
                Fail(Reason(errno));
            data += written;
            size -= written;
        }
    }

    void Commit()
    {
        errno = 0;
        if (!file_.flush())
            Fail(Reason(errno));
        errno = 0;
        file_.close();
        if (file_.error() != QFileDevice::NoError)
            Fail(Reason(errno));
        // A replaced file keeps its permissions, a new one gets the usual ones.
        if (const QFile::Permissions permissions = QFile::permissions(target_))
            file_.setPermissions(permissions);
        std::error_code error;
        std::filesystem::rename(fsPath(file_.fileName()), fsPath(target_), error);
        if (error)
            Fail(QString::fromLocal8Bit(error.message()));
        committed_ = true;
    }

private:
    // The system's own words for code ("No space left on device"); QFile's text when the
    // system gave none, since QFile may say no more than "Unknown error".
    QString Reason(int code) const
    {
        if (code != 0)
            return QString::fromLocal8Bit(std::strerror(code));
        return file_.errorString();
    }

    [[noreturn]] void Fail(const QString &reason)
    {
        throw TGenerationError(QStringLiteral("无法写入文件 \"%1\": %2").arg(shown(target_), reason));
    }

    QString target_;
    QFile file_;
    bool committed_ = false;
};

} // namespace

void TFileOperate::SaveFile(const QString &directory, const QString &fileName, const QString &text)
{
    if (!QFileInfo(directory).isDir())
        makeFolder(directory);
    WriteUtf8File(text, fileName);
}

void TFileOperate::WriteUtf8File(const QString &text, const QString &fileName)
{
    TCommitFile file(fileName);
    const QByteArray bytes = QByteArray(utf8Bom, 3) + text.toUtf8();
    file.Write(bytes.constData(), bytes.size());
    file.Commit();
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

QString TFileOperate::ReadUtf8Text(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw TGenerationError(QStringLiteral("无法打开文件 \"%1\": %2")
                                   .arg(shown(fileName), file.errorString()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw TGenerationError(QStringLiteral("无法读取文件 \"%1\": %2")
                                   .arg(shown(fileName), file.errorString()));
    if (bytes.startsWith(utf8Bom))
        bytes.remove(0, 3);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError())
        throw TGenerationError(QStringLiteral("文件 \"%1\" 不是UTF-8编码的文本").arg(shown(fileName)));
    return text;
}

QString TFileOperate::FindUnreadable(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir()) {
        if (!info.isReadable() || !info.isExecutable())
            return shown(path);
        const QFileInfoList entries = QDir(path).entryInfoList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo &entry : entries) {
            const QString unreadable = FindUnreadable(entry.filePath());
            if (!unreadable.isEmpty())
                return unreadable;
        }
        return QString();
    }
    // A pipe, socket or device would hold the run up at its opening, or never end. The
    // permission check spares opening every file twice; the copy still reports a file that
    // cannot be opened after all.
    if (!info.isFile() || !info.isReadable())
        return shown(path);
    return QString();
}

bool TFileOperate::CopyDirectory(const QString &source, const QString &destination,
                                 bool failIfExists, TInto into)
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
            CopyDirectory(entry.filePath(), target, false, into);
        } else if (!(failIfExists && QFileInfo::exists(target))) {
            CopyFile(entry.filePath(), target, into);
        }
    }
    return true;
}

void TFileOperate::CopyFile(const QString &source, const QString &destination, TInto into)
{
    // The skeleton's files are small: read whole, they can be compared with what is there.
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw TGenerationError(QStringLiteral("无法读取文件 \"%1\": %2")
                                   .arg(shown(source), in.errorString()));
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError)
        throw TGenerationError(QStringLiteral("无法读取文件 \"%1\": %2")
                                   .arg(shown(source), in.errorString()));
    if (into == TInto::NewFolder) {
        WriteNewFile(QString(), destination, bytes, false);
        return;
    }
    // A regeneration finds most of them unchanged; rewriting those only cost time.
    if (Holds(destination, bytes))
        return;
    TCommitFile out(destination);
    out.Write(bytes.constData(), bytes.size());
    out.Commit();
}

bool TFileOperate::Holds(const QString &fileName, const QByteArray &bytes)
{
    // Anything but a plain file of that size is not read at all (a pipe would never end).
    const QFileInfo existing(fileName);
    if (!existing.isFile() || existing.isSymLink() || existing.size() != bytes.size())
        return false;
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) && file.readAll() == bytes;
}

QByteArray TFileOperate::Utf8WithBom(const QString &text)
{
    // Encoded once into a buffer of its final size, behind the mark.
    QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    QByteArray bytes(3 + encoder.requiredSpace(text.size()), Qt::Uninitialized);
    std::memcpy(bytes.data(), utf8Bom, 3);
    char *end = encoder.appendToBuffer(bytes.data() + 3, text);
    // A lone surrogate becomes "?" as QString::toUtf8 writes it, not the encoder's U+FFFD.
    if (encoder.hasError())
        return QByteArray(utf8Bom, 3) + text.toUtf8();
    bytes.truncate(end - bytes.constData());
    return bytes;
}

void TFileOperate::WriteNewFile(const QString &directory, const QString &fileName,
                                const QByteArray &bytes, bool createDirectory)
{
    if (createDirectory)
        makeFolder(directory);
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
        throw TGenerationError(QStringLiteral("无法创建文件 \"%1\": %2")
                                   .arg(shown(fileName), file.errorString()));
    // A file cut short is removed again: whatever is published of a failed run holds only
    // whole files.
    const auto fail = [&file, &fileName](int code) {
        const QString reason = code ? QString::fromLocal8Bit(std::strerror(code)) : file.errorString();
        file.close();
        file.remove();
        throw TGenerationError(QStringLiteral("无法写入文件 \"%1\": %2").arg(shown(fileName), reason));
    };
    const char *data = bytes.constData();
    qint64 size = bytes.size();
    while (size > 0) {
        errno = 0;
        const qint64 written = file.write(data, size);
        if (written <= 0)
            fail(errno);
        data += written;
        size -= written;
    }
    errno = 0;
    file.close();
    if (file.error() != QFileDevice::NoError)
        fail(errno);
}

bool TFileOperate::TryCreateFolder(const QString &path)
{
    return QDir().mkpath(path);
}

void TFileOperate::RenameFolder(const QString &from, const QString &to)
{
    std::error_code error;
    std::filesystem::rename(fsPath(from), fsPath(to), error);
    if (error)
        throw TGenerationError(QStringLiteral("无法把文件夹 \"%1\" 改名为 \"%2\": %3")
                                   .arg(shown(from), shown(to), QString::fromLocal8Bit(error.message())));
}

void TFileOperate::RemoveTree(const QString &path)
{
    std::error_code error;
    std::filesystem::remove_all(fsPath(path), error);
    if (error)
        throw TGenerationError(QStringLiteral("无法删除文件夹 \"%1\": %2")
                                   .arg(shown(path), QString::fromLocal8Bit(error.message())));
}

void TFileOperate::SaveBytes(const QString &directory, const QString &fileName,
                             const QByteArray &bytes)
{
    if (!QFileInfo(directory).isDir())
        makeFolder(directory);
    TCommitFile file(fileName);
    file.Write(bytes.constData(), bytes.size());
    file.Commit();
}

std::optional<QByteArray> TFileOperate::ReadBytes(const QString &fileName)
{
    QFile file(fileName);
    if (!file.exists())
        return std::nullopt;
    // Opening a pipe waits for a writer that never comes.
    const QFileInfo info(fileName);
    if (!info.isFile() && !info.isDir())
        throw TGenerationError(QStringLiteral("无法读取文件 \"%1\": 不是普通文件").arg(shown(fileName)));
    if (!file.open(QIODevice::ReadOnly))
        throw TGenerationError(QStringLiteral("无法读取文件 \"%1\": %2")
                                   .arg(shown(fileName), file.errorString()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw TGenerationError(QStringLiteral("无法读取文件 \"%1\": %2")
                                   .arg(shown(fileName), file.errorString()));
    return bytes;
}

bool TFileOperate::Exists(const QString &path)
{
    return QFileInfo(path).exists() || QFileInfo(path).isSymLink();
}

QStringList TFileOperate::FileNames(const QString &directory)
{
    return QDir(directory).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

QStringList TFileOperate::FolderNames(const QString &directory)
{
    return QDir(directory).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

void TFileOperate::RemoveFile(const QString &fileName)
{
    QFile file(fileName);
    if (file.exists() && !file.remove())
        throw TGenerationError(QStringLiteral("无法删除文件 \"%1\": %2")
                                   .arg(shown(fileName), file.errorString()));
}

int TFileOperate::RemoveTemporaryFiles(const QString &directory)
{
    int removed = 0;
    QDirIterator it(directory, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (isTemporaryName(it.fileName())) {
            RemoveFile(path);
            ++removed;
        }
    }
    return removed;
}
