#include "DbHelper.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlError>
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

// Refuses a file that is missing or not SQLite before the driver sees it, since SQLite
// would otherwise create the one and report the other with an obscure message.
void checkDatabaseFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw TDbError(QStringLiteral("找不到模型数据库文件: %1").arg(info.absoluteFilePath()));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TDbError(QStringLiteral("无法打开模型数据库文件: %1 (%2)")
                           .arg(info.absoluteFilePath(), file.errorString()));
    static const QByteArray sqliteMagic("SQLite format 3\0", 16);
    const QByteArray head = file.read(32);
    if (!head.startsWith(sqliteMagic)) {
        const bool access = file.size() > 0 && (head.mid(4, 15) == "Standard Jet DB"
                                                || head.mid(4, 15) == "Standard ACE DB");
        throw TDbError(QStringLiteral("模型数据库文件不是SQLite数据库%1: %2")
                           .arg(access ? QStringLiteral("(这是旧的Access格式文件)") : QString(),
                                info.absoluteFilePath()));
    }
}

QString sqlFailure(const QSqlError &error)
{
    return QStringLiteral("模型数据库操作失败: %1").arg(error.text());
}

QSqlQuery prepared(const QSqlDatabase &db, const QString &sql, const QVariantList &values)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        throw TDbError(sqlFailure(query.lastError()));
    for (const QVariant &value : values) {
        // A null QString would bind as SQL NULL; the model stores empty text instead.
        if (value.typeId() == QMetaType::QString && value.toString().isNull())
            query.addBindValue(QString(QLatin1String("")));
        else
            query.addBindValue(value);
    }
    if (!query.exec())
        throw TDbError(sqlFailure(query.lastError()));
    return query;
}

void execPlain(const QSqlDatabase &db, const QString &sql)
{
    QSqlQuery query(db);
    if (!query.exec(sql))
        throw TDbError(sqlFailure(query.lastError()));
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
    if (!db.open())
        throw TDbError(QStringLiteral("无法打开模型数据库 %1: %2").arg(key, db.lastError().text()));
    try {
        execPlain(db, QStringLiteral("PRAGMA journal_mode=WAL"));
    } catch (const TDbError &error) {
        // The header was SQLite's, so this is a busy or unwritable file, not a foreign one.
        db.close();
        throw TDbError(QStringLiteral("无法打开模型数据库 %1: %2").arg(key, error.message()));
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
