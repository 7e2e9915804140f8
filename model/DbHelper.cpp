#include "DbHelper.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlError>
#include <QStorageInfo>
#include <QStringList>
#include <QThreadStorage>
#include <QUrl>

// The schema is compiled into this static library; its resources need registering by hand.
static void initModelResources()
{
    Q_INIT_RESOURCE(model);
}

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
    const QStorageInfo volume(QFileInfo(path).absolutePath());
    return volume.isValid() && volume.bytesAvailable() < nearlyFull;
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

// The tables and columns the stores read. A file made by another program or an older one
// may lack some; reading it would give 0 or empty text where the column should be.
struct TRequiredTable {
    const char *table;
    const char *columns;
};
const TRequiredTable requiredTables[] = {
    {"t_project", "projectId projectName"},
    {"t_class", "classId projectId className friendName diagramX diagramY"},
    {"t_member", "memberId projectId classId memberName memberType memberLength memberIsPri "
                 "memberComment memberIsMust memberIsInteger memberIsFloat queryFlag "
                 "memberIsDisplay memberQueryDisplay memberOrder"},
};

// The lower-cased column names of a table; empty when there is no such table.
QStringList columnsOf(const QSqlDatabase &db, const QString &table)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA table_info(%1)").arg(table)))
        throw TDbError(sqlFailure(db, query.lastError()));
    QStringList present;
    while (query.next())
        present.append(query.value(1).toString().toLower());
    return present;
}

// Columns added since the first model databases, each with the two statements that give an
// older file the column.
struct TColumnUpgrade {
    const char *table;
    const char *column;
    const char *purpose; // named when the upgrade fails
    const char *statements[2];
};
const TColumnUpgrade columnUpgrades[] = {
    // Before members could be reordered: the order those members have always been listed in.
    {"t_member", "memberorder", "增加成员顺序列",
     {"ALTER TABLE t_member ADD COLUMN memberOrder INTEGER NOT NULL DEFAULT 0",
      "UPDATE t_member SET memberOrder=memberId"}},
    // Before the model diagram: every box placed by the diagram itself.
    {"t_class", "diagramx", "增加模型图位置列",
     {"ALTER TABLE t_class ADD COLUMN diagramX INTEGER",
      "ALTER TABLE t_class ADD COLUMN diagramY INTEGER"}},
};

// Gives an older database the columns it lacks. Another connection may be doing the same, so
// the check is repeated under the write lock.
void addMissingColumns(const QSqlDatabase &db, const QString &path)
{
    for (const TColumnUpgrade &upgrade : columnUpgrades) {
        const auto lacksColumn = [&] {
            const QStringList columns = columnsOf(db, QString::fromLatin1(upgrade.table));
            return !columns.isEmpty() && !columns.contains(QLatin1String(upgrade.column));
        };
        if (!lacksColumn())
            continue;
        QSqlQuery query(db);
        const auto failed = [&] {
            const QSqlError error = query.lastError();
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
            if (isDiskFull(path, error))
                return diskFullError(path);
            return TDbError(QStringLiteral("无法升级模型数据库 %1 (%2): %3")
                                .arg(path, QString::fromUtf8(upgrade.purpose), error.text()));
        };
        if (!query.exec(QStringLiteral("BEGIN IMMEDIATE")))
            throw failed();
        if (!lacksColumn()) {
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
            continue;
        }
        for (const char *statement : upgrade.statements) {
            if (!query.exec(QString::fromLatin1(statement)))
                throw failed();
        }
        if (!query.exec(QStringLiteral("COMMIT")))
            throw failed();
    }
}

// What of the required tables and columns the open database lacks, worded for the user;
// empty when it has them all.
QString findMissingSchema(const QSqlDatabase &db)
{
    QStringList missing;
    for (const TRequiredTable &required : requiredTables) {
        const QString table = QString::fromLatin1(required.table);
        const QStringList present = columnsOf(db, table);
        if (present.isEmpty()) {
            missing.append(QStringLiteral("表 %1").arg(table));
            continue;
        }
        QStringList columns;
        for (const QString &column : QString::fromLatin1(required.columns).split(QLatin1Char(' '))) {
            if (!present.contains(column.toLower()))
                columns.append(column);
        }
        if (!columns.isEmpty())
            missing.append(QStringLiteral("表 %1 的列 %2").arg(table, columns.join(QStringLiteral(", "))));
    }
    return missing.join(QStringLiteral("; "));
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

TDbError::TDbError(const QString &message)
    : std::runtime_error(message.toStdString()), message_(message)
{
}

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
        addMissingColumns(db, key);
        missing = findMissingSchema(db);
    } catch (const TDbError &) {
        db.close();
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

    initModelResources();
    QFile schemaFile(QStringLiteral(":/model/schema.sql"));
    if (!schemaFile.open(QIODevice::ReadOnly))
        throw TDbError(QStringLiteral("缺少模型数据库结构定义"));
    const QString schema = QString::fromUtf8(schemaFile.readAll());

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
            // Statements are separated by ";" at line ends; comments start with "--".
            QString statement;
            for (const QString &line : schema.split(QLatin1Char('\n'))) {
                if (line.trimmed().startsWith(QLatin1String("--")))
                    continue;
                statement += line + QLatin1Char('\n');
                if (line.trimmed().endsWith(QLatin1Char(';'))) {
                    if (!query.exec(statement)) {
                        failure = query.lastError().text();
                        break;
                    }
                    statement.clear();
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
