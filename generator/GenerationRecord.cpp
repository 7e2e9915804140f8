#include "GenerationRecord.h"

#include "FileOperate.h"
#include "ProjectModel.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

namespace {

const char recordFile[] = "record.json";
const char basesFolder[] = "bases";
const char modelsFolder[] = "models";
const int recordFormat = 1;

// Apache refuses the whole folder even where the application's own .htaccess is missing.
const char folderAccess[] = "Require all denied\n";

QString below(const QString &folder, const char *name)
{
    return folder + QLatin1Char('/') + QString::fromUtf8(name);
}

bool isHash(const QString &name)
{
    if (name.size() != 64)
        return false;
    for (const QChar c : name) {
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))))
            return false;
    }
    return true;
}

QJsonObject memberSnapshot(const TMember &m)
{
    return QJsonObject{
        {QStringLiteral("memberId"), m.memberId()},
        {QStringLiteral("memberName"), m.memberName()},
        {QStringLiteral("memberType"), m.memberType()},
        {QStringLiteral("memberLength"), m.memberLength()},
        {QStringLiteral("memberIsPri"), m.memberIsPri()},
        {QStringLiteral("memberComment"), m.memberComment()},
        {QStringLiteral("memberIsMust"), m.memberIsMust()},
        {QStringLiteral("memberIsInteger"), m.memberIsInteger()},
        {QStringLiteral("memberIsFloat"), m.memberIsFloat()},
        {QStringLiteral("queryFlag"), m.queryFlag()},
        {QStringLiteral("memberIsDisplay"), m.memberIsDisplay()},
        {QStringLiteral("memberQueryDisplay"), m.memberQueryDisplay()},
    };
}

} // namespace

QByteArray TGenerationRecord::Hash(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

TGenerationRecord TGenerationRecord::Load(const QString &outputDir)
{
    TGenerationRecord record;
    record.outputDir_ = outputDir;
    const QString folder = outputDir + QLatin1Char('/') + FolderName();
    const std::optional<QByteArray> bytes = TFileOperate::ReadBytes(below(folder, recordFile));
    if (!bytes)
        return record;
    const QJsonObject root = QJsonDocument::fromJson(*bytes).object();
    if (root.value(QStringLiteral("format")).toInt() != recordFormat)
        return record;
    record.version_ = root.value(QStringLiteral("version")).toInt();
    record.time_ = QDateTime::fromString(root.value(QStringLiteral("time")).toString(), Qt::ISODate);
    const QJsonObject files = root.value(QStringLiteral("files")).toObject();
    for (auto it = files.begin(); it != files.end(); ++it) {
        const QJsonObject entry = it.value().toObject();
        TRecordedFile file;
        file.base = entry.value(QStringLiteral("base")).toString().toLatin1();
        file.pending = entry.value(QStringLiteral("pending")).toString().toLatin1();
        file.userAtPending = entry.value(QStringLiteral("user")).toString().toLatin1();
        record.files_.insert(it.key(), file);
    }
    return record;
}

QStringList TGenerationRecord::Paths() const
{
    QStringList paths = files_.keys();
    paths.sort();
    return paths;
}

std::optional<TRecordedFile> TGenerationRecord::File(const QString &path) const
{
    const auto it = files_.constFind(path);
    if (it == files_.constEnd())
        return std::nullopt;
    return *it;
}

std::optional<QByteArray> TGenerationRecord::Bytes(const QByteArray &hash) const
{
    if (!isHash(QString::fromLatin1(hash)))
        return std::nullopt;
    const QString folder = outputDir_ + QLatin1Char('/') + FolderName();
    std::optional<QByteArray> bytes =
        TFileOperate::ReadBytes(below(below(folder, basesFolder), hash.constData()));
    // Stored bytes damaged on the disk are no base to merge from.
    if (bytes && Hash(*bytes) != hash)
        return std::nullopt;
    return bytes;
}

QJsonObject TGenerationRecord::Snapshot(const TProjectModel &model, const QString &projectName,
                                        const QString &tablePrefix)
{
    QJsonArray classes;
    for (const TClassModel &cls : model.Classes()) {
        QJsonArray members;
        for (const TMember &member : cls.members)
            members.append(memberSnapshot(member));
        classes.append(QJsonObject{{QStringLiteral("classId"), cls.classId},
                                   {QStringLiteral("className"), cls.className},
                                   {QStringLiteral("friendName"), cls.friendName},
                                   {QStringLiteral("members"), members}});
    }
    return QJsonObject{{QStringLiteral("projectId"), model.ProjectId()},
                       {QStringLiteral("projectName"), projectName},
                       {QStringLiteral("tablePrefix"), tablePrefix},
                       {QStringLiteral("classes"), classes}};
}

void TGenerationRecord::SaveNext(const QHash<QString, TRecordedFile> &files,
                                 const QHash<QByteArray, QByteArray> &newBytes,
                                 QJsonObject snapshot) const
{
    const QString folder = outputDir_ + QLatin1Char('/') + FolderName();
    const QString bases = below(folder, basesFolder);
    const QString models = below(folder, modelsFolder);
    const int version = version_ + 1;
    const QString time = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);

    if (!TFileOperate::Exists(below(folder, ".htaccess")))
        TFileOperate::SaveBytes(folder, below(folder, ".htaccess"), QByteArray(folderAccess));
    // Where the server ignores .htaccess, an empty index keeps the folders from being listed.
    for (const QString &listed : {folder, bases, models}) {
        if (!TFileOperate::Exists(listed + QStringLiteral("/index.html")))
            TFileOperate::SaveBytes(listed, listed + QStringLiteral("/index.html"), QByteArray());
    }
    for (auto it = newBytes.begin(); it != newBytes.end(); ++it) {
        const QString path = below(bases, it.key().constData());
        if (!TFileOperate::Exists(path))
            TFileOperate::SaveBytes(bases, path, it.value());
    }
    snapshot.insert(QStringLiteral("version"), version);
    snapshot.insert(QStringLiteral("time"), time);
    TFileOperate::SaveBytes(models, models + QStringLiteral("/%1.json").arg(version),
                            QJsonDocument(snapshot).toJson(QJsonDocument::Compact));

    QJsonObject entries;
    QSet<QString> used;
    for (auto it = files.begin(); it != files.end(); ++it) {
        QJsonObject entry;
        const auto put = [&](const char *key, const QByteArray &hash) {
            if (hash.isEmpty())
                return;
            entry.insert(QString::fromLatin1(key), QString::fromLatin1(hash));
            used.insert(QString::fromLatin1(hash));
        };
        put("base", it->base);
        put("pending", it->pending);
        if (!it->userAtPending.isEmpty())
            entry.insert(QStringLiteral("user"), QString::fromLatin1(it->userAtPending));
        entries.insert(it.key(), entry);
    }
    const QJsonObject root{{QStringLiteral("format"), recordFormat},
                           {QStringLiteral("version"), version},
                           {QStringLiteral("time"), time},
                           {QStringLiteral("files"), entries}};
    // The commit point: until here the previous record stands, whole.
    TFileOperate::SaveBytes(folder, below(folder, recordFile),
                            QJsonDocument(root).toJson(QJsonDocument::Indented));

    for (const QString &name : TFileOperate::FileNames(bases)) {
        if (isHash(name) && !used.contains(name))
            TFileOperate::RemoveFile(bases + QLatin1Char('/') + name);
    }
}
