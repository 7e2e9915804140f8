#include "GenerationRecord.h"

#include "FileOperate.h"
#include "ProjectModel.h"

#include <QJsonDocument>
#include <QRandomGenerator>
#include <QSet>

#include <nettle/sha2.h>

#include <algorithm>

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

bool isHex(const QString &name, int size)
{
    if (name.size() != size)
        return false;
    for (const QChar c : name) {
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))))
            return false;
    }
    return true;
}

// The folders below .velmora/ named by 32 hex digits, with or without their record.json.
QStringList recordFolders(const QString &outputDir, bool complete)
{
    const QString folder = outputDir + QLatin1Char('/') + TGenerationRecord::FolderName();
    QStringList found;
    for (const QString &name : TFileOperate::FolderNames(folder)) {
        const QString path = folder + QLatin1Char('/') + name;
        // Anything under the name counts: a record.json that cannot be read is an error to
        // report, not a record to start again.
        if (isHex(name, 32) && TFileOperate::Exists(below(path, recordFile)) == complete)
            found.append(path);
    }
    return found;
}

// The record's own folder: the one holding its record.json; empty when none. A folder a failed
// or killed run began and never completed is passed over.
QString contentsDir(const QString &outputDir)
{
    return recordFolders(outputDir, true).value(0);
}

QString newContentsDir(const QString &outputDir)
{
    QString key;
    for (int i = 0; i < 4; ++i)
        key += QStringLiteral("%1").arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0'));
    return outputDir + QLatin1Char('/') + TGenerationRecord::FolderName() + QLatin1Char('/') + key;
}

// Where the server ignores .htaccess, an empty index keeps the record's folders from being listed.
void writeListingGuards(const QString &folder, const QString &contents, const QString &bases,
                        const QString &models, bool newFolder)
{
    for (const QString &listed : {folder, contents, bases, models}) {
        const QString index = listed + QStringLiteral("/index.html");
        if (newFolder)
            TFileOperate::WriteNewFile(listed, index, QByteArray());
        else if (!TFileOperate::Exists(index))
            TFileOperate::SaveBytes(listed, index, QByteArray());
    }
}


QString snapshotPath(const QString &outputDir, int version)
{
    const QString contents = contentsDir(outputDir);
    if (contents.isEmpty())
        return QString();
    return below(below(contents, modelsFolder), QStringLiteral("%1.json").arg(version).toUtf8().constData());
}

} // namespace

QList<int> TGenerationRecord::VersionNumbers(const QString &outputDir)
{
    QList<int> versions;
    const QString contents = contentsDir(outputDir);
    if (contents.isEmpty())
        return versions;
    const QString models = below(contents, modelsFolder);
    for (const QString &name : TFileOperate::FileNames(models)) {
        bool number = false;
        const int version = name.endsWith(QLatin1String(".json")) ? name.chopped(5).toInt(&number) : 0;
        if (number && version > 0 && name == QStringLiteral("%1.json").arg(version))
            versions.append(version);
    }
    std::sort(versions.begin(), versions.end());
    return versions;
}

QList<TModelVersion> TGenerationRecord::Versions(const QString &outputDir)
{
    QList<TModelVersion> versions;
    for (const int version : VersionNumbers(outputDir)) {
        if (const std::optional<QJsonObject> snapshot = LoadSnapshot(outputDir, version)) {
            const QString time = snapshot->value(QStringLiteral("time")).toString();
            versions.append({version, QDateTime::fromString(time, Qt::ISODate)});
        }
    }
    return versions;
}

std::optional<QJsonObject> TGenerationRecord::LoadSnapshot(const QString &outputDir, int version)
{
    const std::optional<QByteArray> bytes = TFileOperate::ReadBytes(snapshotPath(outputDir, version));
    if (!bytes)
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(*bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}


QByteArray TGenerationRecord::Hash(const QByteArray &bytes)
{
    // Nettle uses the processor's SHA instructions; hashing every generated file twice over
    // (new output and stored base) was most of a regeneration's time with a portable SHA-256.
    sha256_ctx context;
    sha256_init(&context);
    sha256_update(&context, size_t(bytes.size()), reinterpret_cast<const uint8_t *>(bytes.constData()));
    uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, SHA256_DIGEST_SIZE, digest);
    return QByteArray::fromRawData(reinterpret_cast<const char *>(digest), SHA256_DIGEST_SIZE).toHex();
}

TGenerationRecord TGenerationRecord::Load(const QString &outputDir)
{
    TGenerationRecord record;
    record.outputDir_ = outputDir;
    record.contentsDir_ = contentsDir(outputDir);
    if (record.contentsDir_.isEmpty())
        return record;
    const std::optional<QByteArray> bytes = TFileOperate::ReadBytes(below(record.contentsDir_, recordFile));
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

QString TGenerationRecord::BasesFolder() const
{
    return below(contentsDir_, basesFolder);
}

TGenerationRecord TGenerationRecord::ForNewFolder(const QString &outputDir)
{
    TGenerationRecord record;
    record.outputDir_ = outputDir;
    record.contentsDir_ = newContentsDir(outputDir);
    record.newFolder_ = true;
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
    if (contentsDir_.isEmpty() || !isHex(QString::fromLatin1(hash), 64))
        return std::nullopt;
    std::optional<QByteArray> bytes =
        TFileOperate::ReadBytes(below(below(contentsDir_, basesFolder), hash.constData()));
    // Stored bytes damaged on the disk are no base to merge from.
    if (bytes && Hash(*bytes) != hash) {
        damaged_.insert(hash);
        return std::nullopt;
    }
    return bytes;
}

bool TGenerationRecord::IsDamaged(const QByteArray &hash) const
{
    return damaged_.contains(hash);
}

void TGenerationRecord::RemoveIncomplete(const QString &outputDir)
{
    for (const QString &folder : recordFolders(outputDir, false))
        TFileOperate::RemoveTree(folder);
}


void TGenerationRecord::SaveNext(const QHash<QString, TRecordedFile> &files,
                                 const QHash<QByteArray, QByteArray> &newBytes,
                                 const TProjectModel &model, const QString &projectName,
                                 const QString &tablePrefix) const
{
    if (!contentsDir_.isEmpty()) {
        // Until its record.json is replaced, the previous record stands whole.
        SaveInto(contentsDir_, files, newBytes, model, projectName, tablePrefix);
        return;
    }
    // The first record of a folder: a failure part-way leaves no record folder behind.
    const QString contents = newContentsDir(outputDir_);
    const QString folder = outputDir_ + QLatin1Char('/') + FolderName();
    const bool hadFolder = TFileOperate::Exists(folder);
    try {
        SaveInto(contents, files, newBytes, model, projectName, tablePrefix);
    } catch (...) {
        try {
            TFileOperate::RemoveTree(hadFolder ? contents : folder);
        } catch (const std::exception &) {
            // The later run passes over a folder without its record.json and removes it.
        }
        throw;
    }
}

void TGenerationRecord::SaveInto(const QString &contents, const QHash<QString, TRecordedFile> &files,
                                 const QHash<QByteArray, QByteArray> &newBytes,
                                 const TProjectModel &model, const QString &projectName,
                                 const QString &tablePrefix) const
{
    const QString folder = outputDir_ + QLatin1Char('/') + FolderName();
    const QString bases = below(contents, basesFolder);
    const QString models = below(contents, modelsFolder);
    const int version = version_ + 1;
    const QString time = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);

    if (newFolder_) {
        // Nothing is there yet, and nobody sees the folder before it is complete.
        TFileOperate::WriteNewFile(folder, below(folder, ".htaccess"), QByteArray(folderAccess));
        writeListingGuards(folder, contents, bases, models, true);
        bool first = true;
        for (auto it = newBytes.begin(); it != newBytes.end(); ++it, first = false)
            TFileOperate::WriteNewFile(bases, below(bases, it.key().constData()), it.value(), first);
    } else {
        if (!TFileOperate::Exists(below(folder, ".htaccess")))
            TFileOperate::SaveBytes(folder, below(folder, ".htaccess"), QByteArray(folderAccess));
        writeListingGuards(folder, contents, bases, models, false);
        for (auto it = newBytes.begin(); it != newBytes.end(); ++it) {
            const QString path = below(bases, it.key().constData());
            if (!TFileOperate::Exists(path) || damaged_.contains(it.key()))
                TFileOperate::SaveBytes(bases, path, it.value());
        }
    }
    TFileOperate::SaveBytes(models, models + QStringLiteral("/%1.json").arg(version),
                            SnapshotJson(model, projectName, tablePrefix, version, time));

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
    TFileOperate::SaveBytes(contents, below(contents, recordFile),
                            QJsonDocument(root).toJson(QJsonDocument::Indented));

    if (newFolder_)
        return;
    for (const QString &name : TFileOperate::FileNames(bases)) {
        if (isHex(name, 64) && !used.contains(name))
            TFileOperate::RemoveFile(bases + QLatin1Char('/') + name);
    }
}
