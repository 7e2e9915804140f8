#include "ExistingDatabase.h"

#include <QJsonDocument>
#include <QRegularExpression>

namespace {
const QString prefixKey = QStringLiteral("appPrefix");
const QString databaseKey = QStringLiteral("database");
const QString hostKey = QStringLiteral("host");
const QString portKey = QStringLiteral("port");
const QString socketKey = QStringLiteral("socket");
const QString userKey = QStringLiteral("user");
} // namespace

QJsonObject TExistingDatabase::ToJson() const
{
    return {{prefixKey, appPrefix}, {databaseKey, database}, {hostKey, host},
            {portKey, port},        {socketKey, socket},     {userKey, user}};
}

std::optional<TExistingDatabase> TExistingDatabase::FromJson(const QJsonObject &object, QString *problem)
{
    const auto refuse = [problem](const QString &what) {
        if (problem)
            *problem = what;
        return std::nullopt;
    };
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        if (it.key() == portKey ? !it.value().isDouble() : !it.value().isString())
            return refuse(QStringLiteral("%1: %2").arg(it.key(), it.key() == portKey ? QStringLiteral("应为整数")
                                                                                  : QStringLiteral("应为字符串")));
        if (!QStringList{prefixKey, databaseKey, hostKey, portKey, socketKey, userKey}.contains(it.key()))
            return refuse(QStringLiteral("%1: 未知的字段").arg(it.key()));
    }
    TExistingDatabase setting;
    setting.appPrefix = object.value(prefixKey).toString();
    setting.database = object.value(databaseKey).toString();
    setting.host = object.value(hostKey).toString();
    setting.port = object.value(portKey).toInt(3306);
    setting.socket = object.value(socketKey).toString();
    setting.user = object.value(userKey).toString();
    // The application's PHP takes only such a prefix; the tables would be lost under another.
    static const QRegularExpression prefixPattern(QStringLiteral("^[A-Za-z0-9_]{1,20}$"));
    if (!prefixPattern.match(setting.appPrefix).hasMatch())
        return refuse(QStringLiteral("appPrefix: 应为1到20个字母、数字或下划线"));
    if (setting.database.isEmpty())
        return refuse(QStringLiteral("database: 缺少这个字段"));
    if (setting.port < 1 || setting.port > 65535)
        return refuse(QStringLiteral("port: 应为1到65535之间的整数"));
    return setting;
}

QString TExistingDatabase::ToText(const std::optional<TExistingDatabase> &setting)
{
    return setting ? QString::fromUtf8(QJsonDocument(setting->ToJson()).toJson(QJsonDocument::Compact)) : QString();
}

std::optional<TExistingDatabase> TExistingDatabase::FromText(const QString &text)
{
    const QJsonDocument json = QJsonDocument::fromJson(text.toUtf8());
    return json.isObject() ? FromJson(json.object(), nullptr) : std::nullopt;
}

QString TExistingDatabase::ChoosePrefix(const QStringList &tableNames)
{
    for (int n = 1;; ++n) {
        const QString prefix = n == 1 ? QStringLiteral("velmora_") : QStringLiteral("velmora%1_").arg(n);
        bool taken = false;
        for (const QString &table : tableNames) {
            if (table.compare(prefix + QStringLiteral("admin"), Qt::CaseInsensitive) == 0)
                return prefix;
            taken = taken || table.startsWith(prefix, Qt::CaseInsensitive);
        }
        if (!taken)
            return prefix;
    }
}
