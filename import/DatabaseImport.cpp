#include "DatabaseImport.h"

#include "ColumnMapping.h"
#include "ImportError.h"
#include "ImportNames.h"
#include "LiveConnection.h"
#include "SchemaQueries.h"

#include "ExactColumns.h"
#include "TableChecks.h"

#include "generator/check/TableRules.h"
#include "generator/check/TypeRules.h"
#include "model/TableCharset.h"

#include <QAtomicInt>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <optional>

namespace {

// The generated application's tables of users, roles, row owners, history, trash and sessions.
const QStringList teamTables = {QStringLiteral("role"), QStringLiteral("role_right"), QStringLiteral("user_role"),
                                QStringLiteral("row_owner"), QStringLiteral("change_log"), QStringLiteral("trash"),
                                QStringLiteral("session")};

struct TIndexColumn {
    QString name;
    int prefix = 0; // SUB_PART: only the first characters are indexed
};

struct TIndex {
    QString name;
    bool unique = false;
    QString indexType;
    QList<TIndexColumn> columns;
};

struct TTable {
    QString name;
    QString comment;
    QString charset; // of its default collation: "utf8mb4", "utf8mb3", "latin1", ...
    QList<TColumnInfo> columns;
    QStringList keys;
    QList<TIndex> indexes;
    QString keyIndex; // the unique index whose column stands in for a missing primary key
    QList<std::pair<QString, QString>> checks; // (name, clause)
};

struct TForeignKey {
    QString table;
    QString constraint;
    QString refSchema;
    QString refTable;
    QString refColumn;
    QString onDelete;
    QString onUpdate;
    int columnCount = 0;
};

bool isUtf8(const QString &charset)
{
    return charset == QLatin1String("utf8") || charset == QLatin1String("utf8mb3");
}

class TReader {
public:
    explicit TReader(const TDatabaseSource &source) : source_(source) {}

    TDatabaseReading Read(const TLiveConnection &db)
    {
        Load(db);
        if (source_.inPlace) {
            QStringList names;
            for (const TTable &table : std::as_const(tables_))
                names.append(table.name);
            TExistingDatabase existing;
            existing.appPrefix = TExistingDatabase::ChoosePrefix(names);
            existing.database = source_.database;
            existing.host = source_.socket.isEmpty() ? source_.host : QString();
            existing.port = source_.port;
            existing.socket = source_.socket;
            existing.user = source_.user;
            reading_.document.existingDatabase = existing;
        }
        ChooseClasses();
        ChooseCharset();
        for (const TTable &table : std::as_const(tables_)) {
            if (classNames_.contains(table.name))
                reading_.document.classes.append(MapTable(table));
        }
        KeepExactWhereNeeded(reading_.document, legacy_, reading_.warnings);
        return reading_;
    }

private:
    void Load(const TLiveConnection &db)
    {
        const QString schema = source_.database;
        QSqlQuery tables = db.Run(SchemaQueries::Tables, {schema});
        QHash<QString, qsizetype> index;
        while (tables.next()) {
            tables_.append({tables.value(0).toString(), tables.value(1).toString(),
                            tables.value(2).toString().section(QLatin1Char('_'), 0, 0), {}, {}, {}, {}});
        }
        // A database keeps no order of its tables; the name order is one the user can predict.
        std::sort(tables_.begin(), tables_.end(), [](const TTable &a, const TTable &b) {
            const int folded = a.name.compare(b.name, Qt::CaseInsensitive);
            return folded != 0 ? folded < 0 : a.name < b.name;
        });
        for (qsizetype i = 0; i < tables_.size(); ++i)
            index.insert(tables_.at(i).name, i);

        QSqlQuery columns = db.Run(SchemaQueries::Columns, {schema});
        while (columns.next()) {
            const auto it = index.constFind(columns.value(0).toString());
            if (it == index.cend())
                continue; // a view's columns
            TColumnInfo column;
            column.name = columns.value(1).toString();
            column.dataType = columns.value(2).toString();
            column.length = columns.value(3).toLongLong();
            column.nullable = columns.value(4).toString() != QLatin1String("NO");
            column.comment = columns.value(5).toString();
            column.columnType = columns.value(6).toString();
            column.precision = columns.value(7).toInt();
            column.scale = columns.value(8).toInt();
            column.hasScale = !columns.value(8).isNull();
            if (!columns.value(9).isNull())
                column.columnDefault = columns.value(9).toString();
            column.extra = columns.value(10).toString().toLower();
            column.charset = columns.value(11).toString();
            column.collation = columns.value(12).toString();
            tables_[*it].columns.append(column);
        }
        QSqlQuery keys = db.Run(SchemaQueries::PrimaryKeys, {schema});
        while (keys.next()) {
            const auto it = index.constFind(keys.value(0).toString());
            if (it != index.cend())
                tables_[*it].keys.append(keys.value(1).toString());
        }
        QSqlQuery foreign = db.Run(SchemaQueries::ForeignKeys, {schema});
        QHash<QString, int> constraintColumns;
        QList<std::pair<QString, QString>> constraintOf; // (table.column, table.constraint)
        QSet<QString> rulesHidden; // tables whose rules information_schema did not show
        while (foreign.next()) {
            const QString table = foreign.value(0).toString();
            if (foreign.value(6).isNull())
                rulesHidden.insert(table);
            const QString column = table + QLatin1Char('.') + foreign.value(1).toString();
            const QString constraint = table + QLatin1Char('.') + foreign.value(2).toString();
            foreignKeys_.insert(column, {table, foreign.value(2).toString(), foreign.value(3).toString(),
                                         foreign.value(4).toString(), foreign.value(5).toString(),
                                         SchemaQueries::RuleOf(foreign.value(6).toString()),
                                         SchemaQueries::RuleOf(foreign.value(7).toString()), 0});
            ++constraintColumns[constraint];
            constraintOf.append({column, constraint});
        }
        for (const auto &[column, constraint] : std::as_const(constraintOf))
            foreignKeys_[column].columnCount = constraintColumns.value(constraint);
        LoadHiddenRules(db.Db(), rulesHidden);
        QSqlQuery indexes = db.Run(SchemaQueries::Indexes, {schema});
        while (indexes.next()) {
            const auto it = index.constFind(indexes.value(0).toString());
            if (it == index.cend())
                continue;
            QList<TIndex> &ofTable = tables_[*it].indexes;
            const QString name = indexes.value(1).toString();
            if (ofTable.isEmpty() || ofTable.last().name != name)
                ofTable.append({name, indexes.value(2).toInt() == 0, indexes.value(5).toString(), {}});
            ofTable.last().columns.append({indexes.value(3).toString(), indexes.value(4).toInt()});
        }
        LoadChecks(db, index);
    }

    // Check constraints the model does not carry; MariaDB's json is a longtext whose check
    // is json_valid of the column alone, which makes the column json again.
    void LoadChecks(const TLiveConnection &db, const QHash<QString, qsizetype> &index)
    {
        mariadb_ = IsMariaDb(db.Db());
        for (const TCheckConstraint &check : ReadChecks(db.Db(), source_.database, mariadb_)) {
            const auto it = index.constFind(check.table);
            if (it == index.cend())
                continue;
            TTable &table = tables_[*it];
            const QString column = JsonCheckColumn(check.clause);
            const auto info = std::find_if(table.columns.begin(), table.columns.end(),
                                           [&](const TColumnInfo &c) { return c.name == column; });
            if (!column.isEmpty() && info != table.columns.end() && info->dataType.toLower() == QLatin1String("longtext")) {
                info->dataType = QStringLiteral("json");
                info->columnType = QStringLiteral("json");
                info->collation.clear();
                info->charset.clear();
                continue;
            }
            table.checks.append({check.name, check.clause});
        }
    }

    void LoadHiddenRules(const QSqlDatabase &db, const QSet<QString> &tables)
    {
        for (const QString &table : tables) {
            QSqlQuery query(db);
            QString quoted = table;
            quoted.replace(QLatin1Char('`'), QLatin1String("``"));
            if (!query.exec(QStringLiteral("SHOW CREATE TABLE `%1`").arg(quoted)) || !query.next()) {
                Warn(QStringLiteral("表 %1 的外键规则读不到(%2)，按RESTRICT导入").arg(table, query.lastError().text()));
                continue;
            }
            const auto rules = SchemaQueries::RulesInCreateTable(query.value(1).toString());
            for (auto it = foreignKeys_.begin(); it != foreignKeys_.end(); ++it) {
                if (it->table == table && rules.contains(it->constraint))
                    std::tie(it->onDelete, it->onUpdate) = rules.value(it->constraint);
            }
        }
    }

    void ChooseClasses()
    {
        TImportNames names(TImportNames::TKind::Class);
        for (TTable &table : tables_) {
            if (!source_.prefix.isEmpty() && !table.name.startsWith(source_.prefix)) {
                Warn(QStringLiteral("表 %1 不以前缀 %2 开头，未导入").arg(table.name, source_.prefix));
                continue;
            }
            const QString className = table.name.mid(source_.prefix.size());
            // In place the application's tables are those under its own prefix alone.
            const QString &appPrefix = source_.inPlace ? reading_.document.existingDatabase->appPrefix : source_.prefix;
            const QString appName = !source_.inPlace || table.name.startsWith(appPrefix, Qt::CaseInsensitive)
                ? table.name.mid(appPrefix.size()) : QString();
            if (className.isEmpty()) {
                Warn(QStringLiteral("表 %1 去掉前缀后没有名称，未导入").arg(table.name));
            } else if (appName.compare(QLatin1String("admin"), Qt::CaseInsensitive) == 0) {
                Warn(QStringLiteral("表 %1 是生成的程序自带的管理员表，不作为类导入").arg(table.name));
            } else if (appName.compare(QLatin1String("login_throttle"), Qt::CaseInsensitive) == 0) {
                Warn(QStringLiteral("表 %1 是生成的程序自带的登录退避表，不作为类导入").arg(table.name));
            } else if (appName.compare(QLatin1String("model_version"), Qt::CaseInsensitive) == 0) {
                Warn(QStringLiteral("表 %1 是生成的程序自带的模型版本表，不作为类导入").arg(table.name));
            } else if (teamTables.contains(appName.toLower())) {
                Warn(QStringLiteral("表 %1 是生成的程序自带的用户与权限表，不作为类导入").arg(table.name));
            } else if (table.keys.isEmpty() && !TakeUniqueKey(table)) {
                if (std::none_of(table.columns.cbegin(), table.columns.cend(), [&](const TColumnInfo &c) {
                        return MapColumnType(c, TableCharset::Utf8mb4).has_value();
                    })) {
                    Warn(QStringLiteral("表 %1 没有主键，也没有能映射为成员类型的列，未导入").arg(table.name));
                    continue;
                }
                Warn(QStringLiteral("表 %1 没有主键，按只读类导入: 只能列表、查询和导出").arg(table.name));
                TakeClass(names, table, className);
            } else if (const QString column = UnmappedKeyColumn(table); !column.isEmpty()) {
                Warn(QStringLiteral("表 %1 的主键列 %2 的类型不能映射为成员类型，未导入").arg(table.name, column));
            } else {
                TakeClass(names, table, className);
            }
        }
    }

    void TakeClass(TImportNames &names, const TTable &table, const QString &className)
    {
        const TImportNames::TName name = names.Take(className);
        if (!name.reason.isEmpty())
            Warn(QStringLiteral("表 %1 按类名 %2 导入: %3").arg(table.name, name.name, name.reason));
        classNames_.insert(table.name, name.name);
    }

    // A table without a primary key takes the column of a one-column unique index that holds
    // no NULL and can be a key; true, with a warning, when there is one.
    bool TakeUniqueKey(TTable &table)
    {
        for (const TIndex &index : std::as_const(table.indexes)) {
            if (!index.unique || index.columns.size() != 1 || index.columns.first().prefix > 0)
                continue;
            const QString column = index.columns.first().name;
            const auto info = std::find_if(table.columns.cbegin(), table.columns.cend(),
                                           [&](const TColumnInfo &c) { return c.name == column; });
            if (info == table.columns.cend() || info->nullable)
                continue;
            table.keys = {column};
            if (!UnmappedKeyColumn(table).isEmpty()) {
                table.keys.clear();
                continue;
            }
            table.keyIndex = index.name;
            Warn(QStringLiteral("表 %1 没有主键，以唯一索引 %2 的列 %3 作为主键导入")
                     .arg(table.name, index.name, column));
            return true;
        }
        return false;
    }

    // utf8 when every imported table is utf8, otherwise utf8mb4, which holds what the others hold.
    void ChooseCharset()
    {
        bool allUtf8 = !classNames_.isEmpty();
        for (const TTable &table : std::as_const(tables_))
            allUtf8 = allUtf8 && (!classNames_.contains(table.name) || isUtf8(table.charset));
        charset_ = allUtf8 ? TableCharset::Utf8 : TableCharset::Utf8mb4;
        reading_.document.tableCharset = charset_;
    }

    // The first key column whose type cannot be a key member's; empty when there is none.
    static QString UnmappedKeyColumn(const TTable &table)
    {
        for (const TColumnInfo &column : table.columns) {
            if (!table.keys.contains(column.name))
                continue;
            const std::optional<TMappedType> mapped = MapColumnType(column, TableCharset::Utf8mb4);
            if (!mapped || !TypeRules::CanBeKey(mapped->type))
                return column.name;
        }
        return QString();
    }

    TModelClass MapTable(const TTable &table)
    {
        TModelClass cls;
        cls.className = classNames_.value(table.name);
        cls.friendName = table.comment.isEmpty() ? cls.className : table.comment;
        // In place every class keeps its table's own name, whatever prefix the project has.
        if (source_.inPlace || cls.className != table.name.mid(source_.prefix.size()))
            cls.tableName = table.name;
        cls.isReadOnly = table.keys.isEmpty();
        TImportNames names(TImportNames::TKind::Member);
        for (const TColumnInfo &column : table.columns) {
            if (std::optional<TMember> member = MapColumn(table, column, names, cls))
                cls.members.append(*member);
        }
        ChooseDisplayMember(cls);
        ChooseListed(cls);
        for (const TIndex &index : table.indexes)
            MapIndex(table, index, cls);
        for (const auto &[name, clause] : table.checks)
            Warn(QStringLiteral("表 %1 的检查约束 %2 (%3) 未导入").arg(table.name, name, clause));
        if (table.keys.size() > 1)
            MarkCompositeKey(table, cls);
        return cls;
    }

    // Two references as the key link rows of two classes (many to many); any other key of
    // several columns names a row by all its values.
    void MarkCompositeKey(const TTable &table, TModelClass &cls)
    {
        cls.compositeKey = 1;
        const qsizetype references = std::count_if(cls.members.cbegin(), cls.members.cend(), [](const TMember &m) {
            return m.memberIsPri() == 1 && MemberType::IsReference(m.memberType());
        });
        const QString columns = table.keys.join(QStringLiteral(", "));
        if (table.keys.size() == 2 && references == 2)
            Warn(QStringLiteral("表 %1 的主键由外键列 %2 组成，作为关联类导入(多对多)").arg(table.name, columns));
        else
            Warn(QStringLiteral("表 %1 的主键由 %2 多列组成，作为复合主键类导入").arg(table.name, columns));
    }

    std::optional<TMember> MapColumn(const TTable &table, const TColumnInfo &column, TImportNames &names,
                                     TModelClass &cls)
    {
        const QString where = QStringLiteral("列 %1.%2").arg(table.name, column.name);
        if (column.extra.contains(QLatin1String("generated"))) {
            Warn(where + QStringLiteral(" 是生成列(由表达式算出)，未导入"));
            return std::nullopt;
        }
        const std::optional<TMappedType> mapped = MapColumnType(column, charset_);
        if (!mapped) {
            Warn(where + QStringLiteral(" 的类型 %1 不能映射为成员类型，未导入").arg(column.columnType));
            // Rows added without it would be refused by the database.
            if (!column.nullable && !column.columnDefault && !cls.isReadOnly && !table.keys.contains(column.name)) {
                cls.isReadOnly = true;
                Warn(QStringLiteral("表 %1 的列 %2 不能为空又没有默认值，页面却不填写它，按只读类导入").arg(table.name, column.name));
            }
            return std::nullopt;
        }
        const bool key = table.keys.contains(column.name);
        const bool composite = table.keys.size() > 1;
        const TImportNames::TName name = names.Take(column.name);
        if (!name.reason.isEmpty())
            Warn(where + QStringLiteral(" 按成员名 %1 导入: %2").arg(name.name, name.reason));
        const bool increments = column.extra.contains(QLatin1String("auto_increment"));
        QString defaultValue = DefaultOf(column, mariadb_);
        // NULL is what a nullable column without a default gets anyway.
        if (column.nullable && defaultValue.compare(QLatin1String("NULL"), Qt::CaseInsensitive) == 0)
            defaultValue.clear();
        TMember member;
        member.setMemberName(name.name);
        if (name.name != column.name)
            member.setMemberColumnName(column.name);
        member.setMemberComment(column.comment);
        member.setMemberIsPri(key ? 1 : 0);
        // A value the database fills in itself is not required on the form.
        member.setMemberIsMust(key || (!column.nullable && defaultValue.isEmpty() && !increments) ? 1 : 0);
        member.setMemberIsNullable(!key && column.nullable ? 1 : 0);
        member.setMemberType(mapped->type);
        member.setMemberLength(mapped->length);
        member.setMemberScale(mapped->scale);
        member.setMemberIsUnsigned(mapped->isUnsigned);
        member.setMemberEnumValues(mapped->enumValues);
        member.setMemberDefault(defaultValue);
        member.setMemberOnUpdateNow(column.extra.contains(QLatin1String("on update current_timestamp")) ? 1 : 0);
        member.setMemberCharset(column.charset);
        member.setMemberCollation(column.collation);
        // A single key column stays a plain key; a column of a composite key may refer.
        const TForeignKey *reference = key && !composite ? nullptr : ReferencedClass(table, column, where, mapped->type);
        if (reference) {
            // The column takes the type of the key it refers to, unless its own differs.
            member.setMemberType(classNames_.value(reference->refTable));
            member.setMemberLength(0);
            member.setMemberScale(0);
            member.setMemberIsUnsigned(0);
            member.setMemberEnumValues({});
            member.setMemberOnDelete(reference->onDelete);
            member.setMemberOnUpdate(reference->onUpdate);
        }
        member.setMemberIsInteger(member.memberType() == MemberType::Integer ? 1 : 0);
        member.setMemberIsFloat(member.memberType() == MemberType::Float ? 1 : 0);
        // The exact column beside: kept where the type alone would write another column.
        TMember exact = member;
        exact.setMemberSqlType(mapped->sqlType);
        exact.setMemberLength(mapped->sqlType == QLatin1String("tinytext") || mapped->sqlType.endsWith(QLatin1String("text"))
                                  ? mapped->length : mapped->exactLength);
        exact.setMemberScale(mapped->exactScale);
        exact.setMemberIsUnsigned(TypeRules::ParseSqlType(column.columnType).isUnsigned ? 1 : 0);
        exact.setMemberIsZerofill(mapped->zerofill);
        exact.setMemberAutoIncrement(increments ? 1 : 0);
        exact.setMemberEnumValues(mapped->enumValues);
        legacy_.append(member);
        if (!TypeRules::HasInput(exact) && !column.nullable && defaultValue.isEmpty() && !increments && !cls.isReadOnly) {
            cls.isReadOnly = true;
            Warn(QStringLiteral("表 %1 的列 %2 不能为空又没有默认值，页面却不填写它，按只读类导入").arg(table.name, column.name));
        }
        return exact;
    }

    // The foreign key a column refers through to an imported class; null, with a warning, when
    // it cannot be one.
    const TForeignKey *ReferencedClass(const TTable &table, const TColumnInfo &column,
                                       const QString &where, const QString &plainType)
    {
        const auto it = foreignKeys_.constFind(table.name + QLatin1Char('.') + column.name);
        if (it == foreignKeys_.cend())
            return nullptr;
        const TForeignKey &fk = *it;
        const QString asPlain = QStringLiteral("，按%1导入，不作为引用").arg(plainType);
        if (fk.columnCount > 1) {
            Warn(where + QStringLiteral(" 属于多列外键") + asPlain);
            return nullptr;
        }
        const TTable *target = nullptr;
        for (const TTable &t : std::as_const(tables_)) {
            if (t.name == fk.refTable)
                target = &t;
        }
        if (fk.refSchema != source_.database || !target || !classNames_.contains(fk.refTable)) {
            Warn(where + QStringLiteral(" 的外键引用的表 %1 不在导入范围内").arg(fk.refTable) + asPlain);
            return nullptr;
        }
        if (target->keys.size() != 1 || target->keys.first() != fk.refColumn) {
            Warn(where + QStringLiteral(" 的外键引用的不是表 %1 的主键").arg(fk.refTable) + asPlain);
            return nullptr;
        }
        return &fk;
    }

    // An index of the table as one of the class's, unless the server made it for a foreign key
    // (the table script's key makes it again) or the model cannot hold it.
    void MapIndex(const TTable &table, const TIndex &index, TModelClass &cls)
    {
        const QString where = QStringLiteral("表 %1 的索引 %2").arg(table.name, index.name);
        if (index.name == table.keyIndex)
            return;
        const auto ofColumn = [&](const QString &column) {
            return std::find_if(cls.members.cbegin(), cls.members.cend(), [&](const TMember &m) {
                return (m.memberColumnName().isEmpty() ? m.memberName() : m.memberColumnName()) == column;
            });
        };
        if (index.columns.size() == 1) {
            const auto fk = foreignKeys_.constFind(table.name + QLatin1Char('.') + index.columns.first().name);
            const auto member = ofColumn(index.columns.first().name);
            if (fk != foreignKeys_.cend() && member != cls.members.cend()
                && MemberType::IsReference(member->memberType())
                && (index.name == index.columns.first().name || index.name == fk->constraint))
                return;
        }
        if (index.indexType != QLatin1String("BTREE") && index.indexType != QLatin1String("HASH")) {
            Warn(where + QStringLiteral(" 是 %1 索引，未导入").arg(index.indexType));
            return;
        }
        TClassIndex mapped{IndexName(index.name), {}, index.unique ? 1 : 0};
        if (mapped.indexName != index.name)
            Warn(where + QStringLiteral(" 按名称 %1 导入: 索引名只能由字母、数字和下划线组成").arg(mapped.indexName));
        for (const TIndexColumn &column : index.columns) {
            const auto member = ofColumn(column.name);
            if (member == cls.members.cend()) {
                Warn(where + QStringLiteral(" 含有未导入的列 %1，未导入").arg(column.name));
                return;
            }
            mapped.indexMembers.append(member->memberName());
            mapped.indexPrefixes.append(column.prefix);
        }
        if (std::all_of(mapped.indexPrefixes.cbegin(), mapped.indexPrefixes.cend(), [](int p) { return p == 0; }))
            mapped.indexPrefixes.clear();
        cls.indexes.append(mapped);
    }

    // An index's name with each character the model does not take in one as "_".
    static QString IndexName(const QString &name)
    {
        QString result = name;
        for (QChar &c : result) {
            if (!c.isLetterOrNumber() && c != QLatin1Char('_'))
                c = QLatin1Char('_');
        }
        return result;
    }

    // The first text member after the key shows a row in drop-down lists; else the key itself,
    // or the first member of a class without one.
    static void ChooseDisplayMember(TModelClass &cls)
    {
        auto display = std::find_if(cls.members.begin(), cls.members.end(), [](const TMember &m) {
            return m.memberIsPri() != 1 && m.memberType() == MemberType::Text;
        });
        if (display == cls.members.end())
            display = std::find_if(cls.members.begin(), cls.members.end(),
                                   [](const TMember &m) { return m.memberIsPri() == 1; });
        if (display == cls.members.end())
            display = cls.members.begin();
        if (display != cls.members.end())
            display->setMemberIsDisplay(1);
    }

    // A wide table stays readable: the list shows the key, the display member and the next few
    // short columns (long texts and pictures only on the detail); the display member and short
    // text and number columns are searchable.
    static void ChooseListed(TModelClass &cls)
    {
        constexpr int MostListed = 8, MostSearched = 6, ShortText = 100;
        const auto isShort = [](const TMember &m) {
            const QString type = m.memberType();
            return type != MemberType::LongText && type != MemberType::Picture
                && (type != MemberType::Text || m.memberLength() <= ShortText);
        };
        const auto isSearchable = [](const TMember &m) {
            const QString type = m.memberType();
            return m.memberIsPri() != 1 && ((type == MemberType::Text && m.memberLength() <= ShortText)
                || type == MemberType::Integer || type == MemberType::BigInt || type == MemberType::Float
                || type == MemberType::Decimal);
        };
        const auto isFirst = [](const TMember &m) { return m.memberIsPri() == 1 || m.memberIsDisplay() == 1; };
        int listed = int(std::count_if(cls.members.cbegin(), cls.members.cend(), isFirst));
        int searched = int(std::count_if(cls.members.cbegin(), cls.members.cend(),
                                         [](const TMember &m) { return m.memberIsDisplay() == 1; }));
        for (TMember &m : cls.members) {
            const bool list = isFirst(m) || (isShort(m) && listed < MostListed);
            m.setMemberQueryDisplay(list ? 1 : 0);
            listed += list && !isFirst(m);
            const bool search = m.memberIsDisplay() == 1 ? m.memberType() != MemberType::Picture
                                                         : isSearchable(m) && searched < MostSearched;
            m.setQueryFlag(search ? 1 : 0);
            searched += search && m.memberIsDisplay() != 1;
        }
    }

    void Warn(const QString &warning) { reading_.warnings.append(warning); }

    const TDatabaseSource &source_;
    QList<TTable> tables_;
    QHash<QString, QString> classNames_; // table -> class, for the tables imported
    QHash<QString, TForeignKey> foreignKeys_; // "table.column" -> what it refers to
    QString charset_ = TableCharset::Utf8mb4;
    bool mariadb_ = true;
    QList<TMember> legacy_; // each member as its 类型 alone makes it, in the document's order
    TDatabaseReading reading_;
};

} // namespace

TDatabaseReading TDatabaseImport::Read(const TDatabaseSource &source)
{
    const TLiveConnection connection(source, QStringLiteral("从数据库导入失败"));
    return TReader(source).Read(connection);
}
