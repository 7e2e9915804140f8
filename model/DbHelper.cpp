#include "DbHelper.h"

#include "ModelSchema.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QSqlError>
#include <QStorageInfo>
#include <QStringList>
#include <QThreadStorage>
#include <QUrl>

#include <cerrno>

namespace {

QString &defaultDatabaseFile()
{
    static QString file;
    return file;
}

// The connections one thread opened, one per database file; closed when the thread ends.
class TThreadConnections {
public:
    ~TThreadConnections()
    {
        if (!QCoreApplication::instance())
            return; // process teardown: the driver may already be gone
        for (const QString &name : std::as_const(names)) {
            QSqlDatabase::database(name, false).close();
            QSqlDatabase::removeDatabase(name);
        }
    }
    QHash<QString, QString> names; // database file -> connection name
};

QThreadStorage<TThreadConnections *> threadConnections;

QString nextConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("velmora-model-%1").arg(counter.fetchAndAddRelaxed(1));
}

// Refuses a missing or empty file before the driver sees it, since SQLite would create the
// one and take the other for a new database. Only the file's status is read here: opening and
// closing a descriptor of a database file that another connection of this process has open
// would drop that connection's locks, and another process could then delete its journal.
void checkDatabaseFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw TDbError(QStringLiteral("找不到模型数据库文件: %1").arg(info.absoluteFilePath()));
    if (info.size() == 0)
        throw TDbError(QStringLiteral("模型数据库文件不是SQLite数据库: %1").arg(info.absoluteFilePath()));
}

// The refusal of a file SQLite found not to be a database. Reading its header is safe here:
// no connection can hold a lock on a file that is not a database.
TDbError foreignFileError(const QString &path)
{
    QFile file(path);
    QByteArray head;
    if (file.open(QIODevice::ReadOnly))
        head = file.read(32);
    const bool access = head.mid(4, 15) == "Standard Jet DB" || head.mid(4, 15) == "Standard ACE DB";
    return TDbError(QStringLiteral("模型数据库文件不是SQLite数据库%1: %2")
                        .arg(access ? QStringLiteral("(这是旧的Access格式文件)") : QString(), path));
}

// Result codes of SQLite (the low byte of an extended code).
enum : int { sqliteIoError = 10, sqliteFull = 13, sqliteCantOpen = 14, sqliteNotADatabase = 26 };

// Below this much room, an I/O error of the database is the disk's being full.
constexpr qint64 nearlyFull = 1024 * 1024;

bool nearlyFullVolume(const QString &path)
{
    const QStorageInfo volume(QFileInfo(path).absolutePath());
    return volume.isValid() && volume.bytesAvailable() < nearlyFull;
}

bool isNoRoom(int code)
{
#ifdef EDQUOT
    if (code == EDQUOT)
        return true;
#endif
    return code == ENOSPC || code == EFBIG;
}

// Whether the database's folder has no room for a small file, found by writing one there and
// removing it again: free space alone does not show a file system out of inodes or a quota
// reached.
bool noRoomBeside(const QString &path)
{
    QFile probe(QFileInfo(path).absolutePath() + QStringLiteral("/.velmora-room-%1").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
    errno = 0;
    if (!probe.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
        return isNoRoom(errno);
    // As much as SQLite's shared-memory index takes.
    const QByteArray block(32 * 1024, '\0');
    errno = 0;
    const bool written = probe.write(block) == block.size();
    const int code = errno;
    probe.close();
    probe.remove();
    return !written && isNoRoom(code);
}

// SQLite says "database or disk is full" for a write that found no room. Where it must first
// grow its shared-memory or journal file it says "disk I/O error" or, on opening, may take the
// file for no database at all; on a disk with next to no room left, those mean the same.
bool isDiskFull(const QString &path, const QSqlError &error)
{
    const int code = error.nativeErrorCode().toInt() & 0xff;
    if (code == sqliteFull)
        return true;
    if (code != sqliteIoError && code != sqliteCantOpen && code != sqliteNotADatabase)
        return false;
    return nearlyFullVolume(path) || noRoomBeside(path);
}

TDbError diskFullError(const QString &path)
{
    return TDbError(QStringLiteral("磁盘已满，模型数据库 %1 无法写入，没有做任何修改。请腾出磁盘空间后再试。")
                        .arg(QDir::toNativeSeparators(path)));
}

QString databasePath(const QSqlDatabase &db)
{
    return QUrl(db.databaseName()).toLocalFile();
}

QString sqlFailure(const QSqlDatabase &db, const QSqlError &error)
{
    if (isDiskFull(databasePath(db), error))
        return diskFullError(databasePath(db)).message();
    return QStringLiteral("模型数据库操作失败: %1").arg(error.text());
}

QSqlQuery prepared(const QSqlDatabase &db, const QString &sql, const QVariantList &values)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        throw TDbError(sqlFailure(db, query.lastError()));
    for (const QVariant &value : values) {
        // A null QString would bind as SQL NULL; the model stores empty text instead.
        if (value.typeId() == QMetaType::QString && value.toString().isNull())
            query.addBindValue(QString(QLatin1String("")));
        else
            query.addBindValue(value);
    }
    if (!query.exec())
        throw TDbError(sqlFailure(db, query.lastError()));
    return query;
}

void execPlain(const QSqlDatabase &db, const QString &sql)
{
    QSqlQuery query(db);
    if (!query.exec(sql))
        throw TDbError(sqlFailure(db, query.lastError()));
}

} // namespace

TDbHelper::TDbHelper(QString databaseFile) : databaseFile_(std::move(databaseFile)) {}

QString TDbHelper::DefaultDatabaseFile()
{
    if (defaultDatabaseFile().isEmpty())
        return QCoreApplication::applicationDirPath() + QStringLiteral("/projects.mdb");
    return defaultDatabaseFile();
}

void TDbHelper::SetDefaultDatabaseFile(const QString &path)
{
    defaultDatabaseFile() = path;
}

QSqlDatabase TDbHelper::GetConnection() const
{
    if (!threadConnections.hasLocalData())
        threadConnections.setLocalData(new TThreadConnections);
    TThreadConnections *connections = threadConnections.localData();

    const QString key = QFileInfo(databaseFile_).absoluteFilePath();
    QString name = connections->names.value(key);
    if (!name.isEmpty()) {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isOpen())
            return db;
    }

    checkDatabaseFile(key);
    if (name.isEmpty()) {
        name = nextConnectionName();
        connections->names.insert(key, name);
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    }
    QSqlDatabase db = QSqlDatabase::database(name, false);
    // mode=rw: never let the driver create a missing file.
    db.setDatabaseName(QUrl::fromLocalFile(key).toString(QUrl::FullyEncoded)
                       + QStringLiteral("?mode=rw"));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=10000"));
    if (!db.open()) {
        if (isDiskFull(key, db.lastError()))
            throw diskFullError(key);
        throw TDbError(QStringLiteral("无法打开模型数据库 %1: %2").arg(key, db.lastError().text()));
    }
    // The first statement reads the file's header, so a foreign file fails here.
    QSqlQuery journal(db);
    if (!journal.exec(QStringLiteral("PRAGMA journal_mode=WAL"))) {
        const QSqlError error = journal.lastError();
        journal = QSqlQuery();
        db.close();
        if (isDiskFull(key, error))
            throw diskFullError(key);
        if (error.nativeErrorCode().toInt() == sqliteNotADatabase)
            throw foreignFileError(key);
        throw TDbError(QStringLiteral("无法打开模型数据库 %1: 模型数据库操作失败: %2").arg(key, error.text()));
    }
    // A statement left active would keep the upgrade below from committing.
    journal.finish();
    // Once per connection: bring an older database up to date, then refuse one without the
    // tables and columns the stores read.
    QString missing;
    try {
        const TModelSchema &schema = TModelSchema::Current();
        schema.BringUpToDate(db, key);
        missing = schema.Missing(db);
    } catch (const TDbError &) {
        db.close();
        // Bringing the file up to date writes; on a full disk that is the reason to name.
        if (nearlyFullVolume(key) || noRoomBeside(key))
            throw diskFullError(key);
        throw;
    }
    if (!missing.isEmpty()) {
        db.close();
        throw TDbError(QStringLiteral("模型数据库 %1 缺少 %2，不能使用").arg(key, missing));
    }
    return db;
}

QSqlQuery TDbHelper::OpenQuery(const QString &sql, const QVariantList &values) const
{
    return prepared(GetConnection(), sql, values);
}

void TDbHelper::ExecuteSql(const QString &sql, const QVariantList &values) const
{
    prepared(GetConnection(), sql, values);
}

void TDbHelper::ExecuteBatch(const QList<TSqlStatement> &statements) const
{
    QSqlDatabase db = GetConnection();
    // IMMEDIATE takes the write lock up front, so a reader in the other thread cannot turn
    // the upgrade into a busy error half-way through the batch.
    execPlain(db, QStringLiteral("BEGIN IMMEDIATE"));
    try {
        for (const TSqlStatement &statement : statements)
            prepared(db, statement.sql, statement.values);
        execPlain(db, QStringLiteral("COMMIT"));
    } catch (...) {
        // A connection left inside a transaction would refuse every later batch; closing it
        // abandons the transaction, and the next call opens the file again.
        if (!QSqlQuery(db).exec(QStringLiteral("ROLLBACK")))
            db.close();
        throw;
    }
}

int TDbHelper::QueryInteger(const QString &sql, const QVariantList &values) const
{
    QSqlQuery query = OpenQuery(sql, values);
    return query.next() ? query.value(0).toInt() : -1;
}

QString TDbHelper::QueryString(const QString &sql, const QVariantList &values) const
{
    QSqlQuery query = OpenQuery(sql, values);
    return query.next() ? query.value(0).toString() : QString();
}

void TDbHelper::CreateEmptyDatabase(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists())
        throw TDbError(QStringLiteral("模型数据库文件已经存在，不会覆盖: %1").arg(info.absoluteFilePath()));

    const QStringList statements = TModelSchema::Current().Statements();

    // Build under a temporary name and rename at the end, so a failure leaves no half-made file.
    const QString target = info.absoluteFilePath();
    const QString temp = target + QStringLiteral(".new");
    QFile::remove(temp);
    const QString name = nextConnectionName();
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(temp);
        if (!db.open()) {
            failure = db.lastError().text();
        } else {
            QSqlQuery query(db);
            for (const QString &statement : statements) {
                if (!query.exec(statement)) {
                    failure = query.lastError().text();
                    break;
                }
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (failure.isEmpty() && !QFile::rename(temp, target))
        failure = QStringLiteral("无法改名为 %1").arg(target);
    if (!failure.isEmpty()) {
        QFile::remove(temp);
        throw TDbError(QStringLiteral("无法创建模型数据库 %1: %2").arg(target, failure));
    }
}
