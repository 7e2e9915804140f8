#include "OutputLock.h"

#include "FileOperate.h"
#include "GenerationError.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>

namespace {

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

QString lockFileOf(const QString &outputDir)
{
    const QFileInfo output(outputDir);
    return output.path() + QStringLiteral("/.velmora-lock-") + output.fileName();
}

} // namespace

TOutputLock::TOutputLock(const QString &outputDir) : outputDir_(outputDir) {}

TOutputLock::~TOutputLock() = default;

void TOutputLock::Acquire(int waitMs, const std::function<void(const QString &line)> &onWait)
{
    if (!TFileOperate::TryCreateFolder(QFileInfo(outputDir_).path()))
        return;
    auto lock = std::make_unique<QLockFile>(lockFileOf(outputDir_));
    // A run may take many minutes: only a lock whose process is gone is stale, never an old one.
    lock->setStaleLockTime(0);
    QString holder; // "(进程N)", the other run's process when known
    if (!lock->tryLock(0) && lock->error() == QLockFile::LockFailedError) {
        qint64 pid = 0;
        QString host, application;
        if (lock->getLockInfo(&pid, &host, &application))
            holder = QStringLiteral("(进程%1)").arg(pid);
        if (onWait)
            onWait(QStringLiteral("输出文件夹 \"%1\" 正在被另一个生成使用%2，等待它结束。。。")
                       .arg(shown(outputDir_), holder));
        lock->tryLock(waitMs);
    }
    switch (lock->error()) {
    case QLockFile::NoError:
        lock_ = std::move(lock);
        return;
    case QLockFile::LockFailedError:
        throw TGenerationError(QStringLiteral("输出文件夹 \"%1\" 正在被另一个生成使用%2，请等它结束后再生成")
                                   .arg(shown(outputDir_), holder));
    default:
        throw TGenerationError(QStringLiteral("无法创建锁文件 \"%1\"").arg(shown(lockFileOf(outputDir_))));
    }
}
