#include "Regeneration.h"

#include "FileOperate.h"
#include "Merge.h"

namespace {

// Beside the user's file, under names a web server hands out as text at most.
const char mergeSuffix[] = ".merge.txt";
const char newSuffix[] = ".new.txt";

QString folderOf(const QString &path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')));
}

} // namespace

QString FileActionLabel(TFileAction action)
{
    switch (action) {
    case TFileAction::Written:
        return QStringLiteral("新建");
    case TFileAction::Updated:
        return QStringLiteral("更新");
    case TFileAction::Unchanged:
        return QStringLiteral("无变化");
    case TFileAction::Kept:
        return QStringLiteral("保留你的修改");
    case TFileAction::Merged:
        return QStringLiteral("已合并");
    case TFileAction::Conflict:
        return QStringLiteral("冲突");
    case TFileAction::Beside:
        return QStringLiteral("另存");
    case TFileAction::Orphaned:
        return QStringLiteral("孤立");
    }
    return QString();
}

void TRegenerationCounts::Add(TFileAction action)
{
    switch (action) {
    case TFileAction::Written: ++written; break;
    case TFileAction::Updated: ++updated; break;
    case TFileAction::Unchanged: ++unchanged; break;
    case TFileAction::Kept: ++kept; break;
    case TFileAction::Merged: ++merged; break;
    case TFileAction::Conflict: ++conflicts; break;
    case TFileAction::Beside: ++beside; break;
    case TFileAction::Orphaned: ++orphaned; break;
    }
}

TRegeneration::TRegeneration(const QString &outputDir, const QString &shownDir, bool dryRun)
    : outputDir_(outputDir), shownDir_(shownDir), dryRun_(dryRun)
{
}

void TRegeneration::Begin()
{
    if (newFolder_) {
        record_ = TGenerationRecord::ForNewFolder(outputDir_);
        return;
    }
    if (!dryRun_ && TFileOperate::Exists(outputDir_)) {
        TFileOperate::RemoveTemporaryFiles(outputDir_);
        TGenerationRecord::RemoveIncomplete(outputDir_);
    }
    record_ = TGenerationRecord::Load(outputDir_);
}

std::optional<QByteArray> TRegeneration::BaseFor(const QString &path, const TRecordedFile &entry,
                                                 const QByteArray &diskHash) const
{
    QByteArray hash = entry.base;
    if (!entry.pending.isEmpty() && entry.userAtPending != diskHash)
        hash = entry.pending;
    if (hash.isEmpty())
        return std::nullopt;
    std::optional<QByteArray> base = record_.Bytes(hash);
    if (!base && record_.IsDamaged(hash) && sink_ && !dryRun_)
        sink_->Progress(shownDir_ + QLatin1Char('/') + path
                        + QStringLiteral("在生成记录中保存的上次生成的内容已损坏，按没有生成记录的文件处理!"));
    return base;
}

void TRegeneration::Remember(const QString &path, const QByteArray &bytes,
                             const QByteArray &hash, TRecordedFile entry)
{
    if (newFolder_ && !dryRun_) {
        if (!basesQueued_.contains(hash)) {
            basesQueued_.insert(hash);
            const QString bases = record_.BasesFolder();
            baseWriter_.Save(bases, bases + QLatin1Char('/') + QString::fromLatin1(hash), bytes);
        }
    } else {
        newBytes_.insert(hash, bytes);
    }
    files_.insert(path, entry);
}

QString TRegeneration::Place(const QString &path, const QByteArray &bytes)
{
    const QString full = outputDir_ + QLatin1Char('/') + path;
    const QByteArray newHash = TGenerationRecord::Hash(bytes);
    TPlannedFile file;
    file.path = path;
    const std::optional<QByteArray> disk =
        newFolder_ ? std::nullopt : TFileOperate::ReadBytes(full);
    if (disk)
        file.onDisk = *disk;

    TRecordedFile entry;
    entry.base = newHash;
    if (!disk) {
        file.action = TFileAction::Written;
        file.result = bytes;
    } else if (*disk == bytes) {
        file.action = TFileAction::Unchanged;
    } else {
        const QByteArray diskHash = TGenerationRecord::Hash(*disk);
        const std::optional<TRecordedFile> recorded = record_.File(path);
        const std::optional<QByteArray> base = recorded ? BaseFor(path, *recorded, diskHash) : std::nullopt;
        if (!base) {
            file.action = TFileAction::Beside;
            file.besidePath = path + QLatin1String(newSuffix);
            file.result = bytes;
            entry = TRecordedFile{QByteArray(), newHash, diskHash};
        } else if (*base == *disk) {
            file.action = TFileAction::Updated;
            file.result = bytes;
        } else if (*base == bytes) {
            file.action = TFileAction::Kept;
        } else {
            const TMerge::TResult merged = TMerge::ThreeWay(*base, *disk, bytes,
                                                            QStringLiteral("你的修改"),
                                                            QStringLiteral("新生成的代码"));
            file.result = merged.bytes;
            if (merged.clean) {
                file.action = TFileAction::Merged;
            } else {
                // The user's file still grows from the old base until the user changes it.
                file.action = TFileAction::Conflict;
                file.besidePath = path + QLatin1String(mergeSuffix);
                const QByteArray baseHash = TGenerationRecord::Hash(*base);
                newBytes_.insert(baseHash, *base);
                entry = TRecordedFile{baseHash, newHash, diskHash};
            }
        }
    }

    if (!dryRun_ && !file.result.isEmpty()) {
        Write(file.besidePath.isEmpty() ? path : file.besidePath, file.result);
    }
    Remember(path, bytes, newHash, entry);
    const QString line = LogLine(file);
    Note(std::move(file));
    return dryRun_ ? QString() : line;
}

void TRegeneration::PlaceSupport(const QString &path, const QByteArray &bytes)
{
    // Most are unchanged in a regeneration, and cheaper to compare than to write.
    if (!dryRun_ && (newFolder_ || !TFileOperate::Holds(outputDir_ + QLatin1Char('/') + path, bytes)))
        Write(path, bytes);
}

void TRegeneration::Write(const QString &path, const QByteArray &bytes)
{
    const QString target = outputDir_ + QLatin1Char('/') + path;
    const QString folder = folderOf(target);
    if (!newFolder_) {
        TFileOperate::SaveBytes(folder, target, bytes);
        return;
    }
    const bool made = madeFolders_.contains(folder);
    TFileOperate::WriteNewFile(folder, target, bytes, !made);
    if (!made)
        madeFolders_.insert(folder);
}

QStringList TRegeneration::ListOrphans()
{
    QStringList lines;
    for (const QString &path : record_.Paths()) {
        if (files_.contains(path) || !TFileOperate::Exists(outputDir_ + QLatin1Char('/') + path))
            continue;
        // Its record stays, so a class that comes back merges from where it left off.
        files_.insert(path, *record_.File(path));
        TPlannedFile file;
        file.path = path;
        file.action = TFileAction::Orphaned;
        lines << LogLine(file);
        Note(std::move(file));
    }
    return lines;
}

void TRegeneration::Finish(const TProjectModel &model, const QString &projectName,
                           const QString &tablePrefix)
{
    if (dryRun_)
        return;
    baseWriter_.Finish();
    record_.SaveNext(files_, newBytes_, model, projectName, tablePrefix);
}

void TRegeneration::Note(TPlannedFile file)
{
    counts_.Add(file.action);
    if (keepPlan_)
        plan_.append(std::move(file));
}

QString TRegeneration::LogLine(const TPlannedFile &file) const
{
    const QString shown = shownDir_ + QLatin1Char('/') + file.path;
    const QString beside = shownDir_ + QLatin1Char('/') + file.besidePath;
    switch (file.action) {
    case TFileAction::Written:
    case TFileAction::Updated:
    case TFileAction::Unchanged:
        return shown + QStringLiteral("生成完毕!");
    case TFileAction::Kept:
        return shown + QStringLiteral("已被修改，新生成的代码与上次相同，保留你的修改!");
    case TFileAction::Merged:
        return shown + QStringLiteral("已被修改，新生成的代码已合并到你的修改中!");
    case TFileAction::Conflict:
        return shown + QStringLiteral("已被修改，合并有冲突: 文件保持不变，合并结果写入")
            + beside + QStringLiteral("，请手工解决!");
    case TFileAction::Beside:
        return shown + QStringLiteral("不是上次生成的内容: 文件保持不变，新生成的代码写入")
            + beside + QStringLiteral("!");
    case TFileAction::Orphaned:
        return shown + QStringLiteral("所属的类已不在模型中，文件保留，未删除!");
    }
    return shown;
}

QString TRegenerationCounts::Summary() const
{
    const TRegenerationCounts &c = *this;
    return QStringLiteral("生成结果: 新建%1个, 更新%2个, 无变化%3个, 保留你的修改%4个, 合并%5个, "
                          "冲突%6个, 另存%7个, 孤立%8个")
        .arg(c.written).arg(c.updated).arg(c.unchanged).arg(c.kept).arg(c.merged)
        .arg(c.conflicts).arg(c.beside).arg(c.orphaned);
}
