#include "LiveConnection.h"

#include "ImportError.h"

#include <QAtomicInt>
#include <QSqlError>
#include <QSqlQuery>

namespace {

const QString driverName = QStringLiteral("QMYSQL");

QString nextConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("velmora-import-%1").arg(counter.fetchAndAddRelaxed(1));
}

// Why the server turned the connection down, in the user's words.
QString connectFailure(const TDatabaseSource &source, const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    const QString detail = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    const QString server = !source.socket.isEmpty()
        ? source.socket
        : QStringLiteral("%1:%2").arg(source.host.isEmpty() ? QStringLiteral("localhost") : source.host)
              .arg(source.port);
    QString what;
    if (code == QLatin1String("1045"))
        what = QStringLiteral("用户名或密码错误(用户 %1)").arg(source.user);
    else if (code == QLatin1String("1049") || code == QLatin1String("1044"))
        what = QStringLiteral("数据库\"%1\"不存在，或用户 %2 无权访问").arg(source.database, source.user);
    else if (code == QLatin1String("2002") || code == QLatin1String("2003")
             || code == QLatin1String("2005") || code == QLatin1String("2013"))
        what = QStringLiteral("连接不上数据库服务器 %1，请检查服务器是否在运行，以及地址、端口或套接字").arg(server);
    else
        what = QStringLiteral("无法连接数据库服务器 %1").arg(server);
    return QStringLiteral("%1 (%2)").arg(what, detail.trimmed());
}

} // namespace

TLiveConnection::TLiveConnection(const TDatabaseSource &source, const QString &task)
    : name_(nextConnectionName()), task_(task)
{
    if (!QSqlDatabase::isDriverAvailable(driverName))
        throw TImportError({task_ + QStringLiteral(": 缺少Qt的MySQL驱动(Debian软件包 libqt6sql6-mysql)")}, false);
    if (source.database.isEmpty() || source.user.isEmpty())
        throw TImportError({task_ + QStringLiteral(": 需要数据库名称和用户名")}, false);
    db_ = QSqlDatabase::addDatabase(driverName, name_);
    db_.setDatabaseName(source.database);
    db_.setUserName(source.user);
    db_.setPassword(source.password);
    QString options = QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=10;MYSQL_OPT_READ_TIMEOUT=60");
    if (!source.socket.isEmpty()) {
        options += QStringLiteral(";UNIX_SOCKET=") + source.socket;
        db_.setHostName(QStringLiteral("localhost"));
    } else {
        db_.setHostName(source.host.isEmpty() ? QStringLiteral("localhost") : source.host);
        db_.setPort(source.port);
    }
    db_.setConnectOptions(options);
    if (!db_.open()) {
        const QString failure = connectFailure(source, db_.lastError());
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
        throw TImportError({task_ + QStringLiteral(": ") + failure}, false);
    }
}

TLiveConnection::~TLiveConnection()
{
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(name_);
}

QSqlQuery TLiveConnection::Run(const QString &sql, const QVariantList &values) const
{
    QSqlQuery query(db_);
    query.setForwardOnly(true);
    bool ok = query.prepare(sql);
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (ok)
        ok = query.exec();
    if (!ok)
        throw TImportError({task_ + QStringLiteral(": 读取表结构出错 (%1)").arg(query.lastError().text())}, false);
    return query;
}
