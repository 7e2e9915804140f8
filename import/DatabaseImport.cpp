#include "DatabaseImport.h"

#include "ImportError.h"

#include <QAtomicInt>
#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <optional>

namespace {

const QString driverName = QStringLiteral("QMYSQL");

const QString selectTables = QStringLiteral(
    "select TABLE_NAME, TABLE_COMMENT from information_schema.TABLES "
    "where TABLE_SCHEMA=? and TABLE_TYPE='BASE TABLE'");
const QString selectColumns = QStringLiteral(
    "select TABLE_NAME, COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, IS_NULLABLE, "
    "COLUMN_COMMENT from information_schema.COLUMNS where TABLE_SCHEMA=? "
    "order by TABLE_NAME, ORDINAL_POSITION");
const QString selectPrimaryKeys = QStringLiteral(
    "select TABLE_NAME, COLUMN_NAME from information_schema.KEY_COLUMN_USAGE "
    "where TABLE_SCHEMA=? and CONSTRAINT_NAME='PRIMARY' order by TABLE_NAME, ORDINAL_POSITION");
const QString selectForeignKeys = QStringLiteral(
    "select TABLE_NAME, COLUMN_NAME, CONSTRAINT_NAME, REFERENCED_TABLE_SCHEMA, "
    "REFERENCED_TABLE_NAME, REFERENCED_COLUMN_NAME from information_schema.KEY_COLUMN_USAGE "
    "where TABLE_SCHEMA=? and REFERENCED_TABLE_NAME is not null");

struct TColumn {
    QString name;
    QString dataType;
    qlonglong length = 0;
    bool nullable = true;
    QString comment;
};

struct TTable {
    QString name;
    QString comment;
    QList<TColumn> columns;
    QStringList keys;
};

struct TForeignKey {
    QString refSchema;
    QString refTable;
    QString refColumn;
    int columnCount = 0;
};

// The member type a column type maps to, and what is lost on the way.
struct TMappedType {
    QString type;
    int length = 0;
    QString loss;
};

std::optional<TMappedType> mapType(const TColumn &column)
{
    static const QSet<QString> texts{QStringLiteral("char"), QStringLiteral("varchar")};
    static const QSet<QString> longTexts{QStringLiteral("tinytext"), QStringLiteral("text"),
                                         QStringLiteral("mediumtext"), QStringLiteral("longtext")};
    static const QSet<QString> integers{QStringLiteral("tinyint"), QStringLiteral("smallint"),
                                        QStringLiteral("mediumint"), QStringLiteral("int"),
                                        QStringLiteral("integer"), QStringLiteral("bigint")};
    static const QSet<QString> floats{QStringLiteral("float"), QStringLiteral("double"),
                                      QStringLiteral("decimal"), QStringLiteral("real"),
                                      QStringLiteral("numeric")};
    static const QSet<QString> dateTimes{QStringLiteral("datetime"), QStringLiteral("timestamp")};
    const QString type = column.dataType.toLower();
    if (texts.contains(type))
        return TMappedType{MemberType::Text, int(std::min<qlonglong>(column.length, INT_MAX)), {}};
    if (longTexts.contains(type)) {
        if (column.length <= TDatabaseImport::TextLength)
            return TMappedType{MemberType::Text, int(column.length), {}};
        return TMappedType{MemberType::Text, TDatabaseImport::TextLength,
                           QStringLiteral("按长度%1的字符串导入").arg(TDatabaseImport::TextLength)};
    }
    if (integers.contains(type))
        return TMappedType{MemberType::Integer, 0, {}};
    if (floats.contains(type))
        return TMappedType{MemberType::Float, 0, {}};
    if (type == QLatin1String("date"))
        return TMappedType{MemberType::Date, 0, {}};
    if (dateTimes.contains(type))
        return TMappedType{MemberType::Date, 0, QStringLiteral("按日期型导入，时间部分不会保留")};
    return std::nullopt;
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
    return QStringLiteral("从数据库导入失败: %1 (%2)").arg(what, detail.trimmed());
}

QSqlQuery run(const QSqlDatabase &db, const QString &sql, const QString &schema)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    bool ok = query.prepare(sql);
    if (ok) {
        query.addBindValue(schema);
        ok = query.exec();
    }
    if (!ok)
        throw TImportError({QStringLiteral("从数据库导入失败: 读取表结构出错 (%1)").arg(query.lastError().text())},
                           false);
    return query;
}

class TReader {
public:
    explicit TReader(const TDatabaseSource &source) : source_(source) {}

    TDatabaseReading Read(const QSqlDatabase &db)
    {
        Load(db);
        ChooseClasses();
        for (const TTable &table : std::as_const(tables_)) {
            if (classNames_.contains(table.name))
                reading_.document.classes.append(MapTable(table));
        }
        return reading_;
    }

private:
    void Load(const QSqlDatabase &db)
    {
        const QString schema = source_.database;
        QSqlQuery tables = run(db, selectTables, schema);
        QHash<QString, qsizetype> index;
        while (tables.next()) {
            tables_.append({tables.value(0).toString(), tables.value(1).toString(), {}, {}});
        }
        // A database keeps no order of its tables; the name order is one the user can predict.
        std::sort(tables_.begin(), tables_.end(), [](const TTable &a, const TTable &b) {
            const int folded = a.name.compare(b.name, Qt::CaseInsensitive);
            return folded != 0 ? folded < 0 : a.name < b.name;
        });
        for (qsizetype i = 0; i < tables_.size(); ++i)
            index.insert(tables_.at(i).name, i);

        QSqlQuery columns = run(db, selectColumns, schema);
        while (columns.next()) {
            const auto it = index.constFind(columns.value(0).toString());
            if (it == index.cend())
                continue; // a view's columns
            TColumn column;
            column.name = columns.value(1).toString();
            column.dataType = columns.value(2).toString();
            column.length = columns.value(3).toLongLong();
            column.nullable = columns.value(4).toString() != QLatin1String("NO");
            column.comment = columns.value(5).toString();
            tables_[*it].columns.append(column);
        }
        QSqlQuery keys = run(db, selectPrimaryKeys, schema);
        while (keys.next()) {
            const auto it = index.constFind(keys.value(0).toString());
            if (it != index.cend())
                tables_[*it].keys.append(keys.value(1).toString());
        }
        QSqlQuery foreign = run(db, selectForeignKeys, schema);
        QHash<QString, int> constraintColumns;
        QList<std::pair<QString, QString>> constraintOf; // (table.column, table.constraint)
        while (foreign.next()) {
            const QString table = foreign.value(0).toString();
            const QString column = table + QLatin1Char('.') + foreign.value(1).toString();
            const QString constraint = table + QLatin1Char('.') + foreign.value(2).toString();
            foreignKeys_.insert(column, {foreign.value(3).toString(), foreign.value(4).toString(),
                                         foreign.value(5).toString(), 0});
            ++constraintColumns[constraint];
            constraintOf.append({column, constraint});
        }
        for (const auto &[column, constraint] : std::as_const(constraintOf))
            foreignKeys_[column].columnCount = constraintColumns.value(constraint);
    }

    void ChooseClasses()
    {
        for (const TTable &table : std::as_const(tables_)) {
            if (!source_.prefix.isEmpty() && !table.name.startsWith(source_.prefix)) {
                Warn(QStringLiteral("表 %1 不以前缀 %2 开头，未导入").arg(table.name, source_.prefix));
                continue;
            }
            const QString className = table.name.mid(source_.prefix.size());
            if (className.isEmpty()) {
                Warn(QStringLiteral("表 %1 去掉前缀后没有名称，未导入").arg(table.name));
            } else if (className.compare(QLatin1String("admin"), Qt::CaseInsensitive) == 0) {
                Warn(QStringLiteral("表 %1 是生成的程序自带的管理员表，不作为类导入").arg(table.name));
            } else if (className.compare(QLatin1String("login_throttle"), Qt::CaseInsensitive) == 0) {
                Warn(QStringLiteral("表 %1 是生成的程序自带的登录退避表，不作为类导入").arg(table.name));
            } else if (table.keys.isEmpty()) {
                Warn(QStringLiteral("表 %1 没有主键，未导入: 每个类需要一个主键成员").arg(table.name));
            } else if (table.keys.size() > 1) {
                Warn(QStringLiteral("表 %1 的主键由 %2 多列组成(复合主键)，未导入: 每个类只能有一个主键成员")
                         .arg(table.name, table.keys.join(QStringLiteral(", "))));
            } else if (!KeyColumnMaps(table)) {
                Warn(QStringLiteral("表 %1 的主键列 %2 的类型不能映射为成员类型，未导入").arg(table.name, table.keys.first()));
            } else {
                classNames_.insert(table.name, className);
            }
        }
    }

    static bool KeyColumnMaps(const TTable &table)
    {
        for (const TColumn &column : table.columns) {
            if (column.name == table.keys.first())
                return mapType(column).has_value();
        }
        return false;
    }

    TModelClass MapTable(const TTable &table)
    {
        TModelClass cls;
        cls.className = classNames_.value(table.name);
        cls.friendName = table.comment.isEmpty() ? cls.className : table.comment;
        for (const TColumn &column : table.columns) {
            if (std::optional<TMember> member = MapColumn(table, column))
                cls.members.append(*member);
        }
        ChooseDisplayMember(cls);
        return cls;
    }

    std::optional<TMember> MapColumn(const TTable &table, const TColumn &column)
    {
        const QString where = QStringLiteral("列 %1.%2").arg(table.name, column.name);
        const std::optional<TMappedType> mapped = mapType(column);
        if (!mapped) {
            Warn(where + QStringLiteral(" 的类型 %1 不能映射为成员类型(只支持字符串、整数、浮点数和日期)，未导入")
                             .arg(column.dataType));
            return std::nullopt;
        }
        const bool key = column.name == table.keys.first();
        TMember member;
        member.setMemberName(column.name);
        member.setMemberComment(column.comment);
        member.setMemberIsPri(key ? 1 : 0);
        member.setMemberIsMust(key || !column.nullable ? 1 : 0);
        member.setMemberType(mapped->type);
        member.setMemberLength(mapped->length);
        const QString reference = key ? QString() : ReferencedClass(table, column, where, mapped->type);
        if (!reference.isEmpty()) {
            member.setMemberType(reference);
            member.setMemberLength(0);
        } else if (!mapped->loss.isEmpty()) {
            Warn(where + QStringLiteral(" 的类型 %1 ").arg(column.dataType) + mapped->loss);
        }
        member.setMemberIsInteger(member.memberType() == MemberType::Integer ? 1 : 0);
        member.setMemberIsFloat(member.memberType() == MemberType::Float ? 1 : 0);
        return member;
    }

    // The class a foreign key column refers to; empty, with a warning, when it cannot be one.
    QString ReferencedClass(const TTable &table, const TColumn &column, const QString &where,
                            const QString &plainType)
    {
        const auto it = foreignKeys_.constFind(table.name + QLatin1Char('.') + column.name);
        if (it == foreignKeys_.cend())
            return QString();
        const TForeignKey &fk = *it;
        const QString asPlain = QStringLiteral("，按%1导入，不作为引用").arg(plainType);
        if (fk.columnCount > 1) {
            Warn(where + QStringLiteral(" 属于多列外键") + asPlain);
            return QString();
        }
        const TTable *target = nullptr;
        for (const TTable &t : std::as_const(tables_)) {
            if (t.name == fk.refTable)
                target = &t;
        }
        if (fk.refSchema != source_.database || !target || !classNames_.contains(fk.refTable)) {
            Warn(where + QStringLiteral(" 的外键引用的表 %1 不在导入范围内").arg(fk.refTable) + asPlain);
            return QString();
        }
        if (target->keys.first() != fk.refColumn) {
            Warn(where + QStringLiteral(" 的外键引用的不是表 %1 的主键").arg(fk.refTable) + asPlain);
            return QString();
        }
        return classNames_.value(fk.refTable);
    }

    // The first text member after the key shows a row in drop-down lists; else the key itself.
    static void ChooseDisplayMember(TModelClass &cls)
    {
        auto display = std::find_if(cls.members.begin(), cls.members.end(), [](const TMember &m) {
            return m.memberIsPri() != 1 && m.memberType() == MemberType::Text;
        });
        if (display == cls.members.end())
            display = std::find_if(cls.members.begin(), cls.members.end(),
                                   [](const TMember &m) { return m.memberIsPri() == 1; });
        if (display != cls.members.end())
            display->setMemberIsDisplay(1);
    }

    void Warn(const QString &warning) { reading_.warnings.append(warning); }

    const TDatabaseSource &source_;
    QList<TTable> tables_;
    QHash<QString, QString> classNames_; // table -> class, for the tables imported
    QHash<QString, TForeignKey> foreignKeys_; // "table.column" -> what it refers to
    TDatabaseReading reading_;
};

QString nextConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("velmora-import-%1").arg(counter.fetchAndAddRelaxed(1));
}

} // namespace

TDatabaseReading TDatabaseImport::Read(const TDatabaseSource &source)
{
    if (!QSqlDatabase::isDriverAvailable(driverName))
        throw TImportError({QStringLiteral("从数据库导入失败: 缺少Qt的MySQL驱动(Debian软件包 libqt6sql6-mysql)")},
                           false);
    if (source.database.isEmpty() || source.user.isEmpty())
        throw TImportError({QStringLiteral("从数据库导入失败: 需要数据库名称和用户名")}, false);
    const QString name = nextConnectionName();
    std::optional<TDatabaseReading> reading;
    std::optional<TImportError> failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driverName, name);
        db.setDatabaseName(source.database);
        db.setUserName(source.user);
        db.setPassword(source.password);
        QString options = QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=10;MYSQL_OPT_READ_TIMEOUT=60");
        if (!source.socket.isEmpty()) {
            options += QStringLiteral(";UNIX_SOCKET=") + source.socket;
            db.setHostName(QStringLiteral("localhost"));
        } else {
            db.setHostName(source.host.isEmpty() ? QStringLiteral("localhost") : source.host);
            db.setPort(source.port);
        }
        db.setConnectOptions(options);
        if (!db.open()) {
            failure.emplace(QStringList{connectFailure(source, db.lastError())}, false);
        } else {
            try {
                reading = TReader(source).Read(db);
            } catch (const TImportError &error) {
                failure.emplace(error);
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (failure)
        throw *failure;
    return *reading;
}
