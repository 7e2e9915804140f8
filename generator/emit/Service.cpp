#include "Service.h"

#include "Naming.h"
#include "TextTemplate.h"
#include "TypeRules.h"

#include <algorithm>

using Naming::TValueStyle;

namespace {

const char addHeader[] = R"php(
<?php
require_once '../database/SqlHelper.class.php';
require_once '../phpbean/{Class}.class.php';

/*{Friend}管理业务层类*/
class {Class}Service {
	/*添加{Friend}*/
	function Add{Class}({Class} ${class}) {
)php";

// A read-only class's service reads rows and never writes one.
const char readOnlyHeader[] = R"php(
<?php
require_once '../database/SqlHelper.class.php';
require_once '../phpbean/{Class}.class.php';

/*{Friend}查询业务层类(只读)*/
class {Class}Service {
)php";

const char classFooter[] = R"php(
}
?>
)php";

const char readKey[] = R"php(
		${class}_{key} = ${class}->get{Key}();
)php";

const char readMember[] = R"php(
		${class}_{name} = ${class}->get{Name}();
)php";

// A nullable member's value as SQL text: NULL when nothing was entered.
const char nullableValue[] = R"php(
		${class}_{name}_sql = ${class}_{name} === null || trim((string)${class}_{name}) === '' ? "NULL" : "{q}${class}_{name}{q}";
)php";

// A member the database fills in when the form leaves it empty.
const char defaultedValue[] = R"php(
		${class}_{name}_sql = trim((string)${class}_{name}) === '' ? "DEFAULT" : "{q}${class}_{name}{q}";
)php";

// Bytes arrive in hex; empty, the column takes {empty}: NULL, its default or no bytes.
const char hexValue[] = R"php(
		${class}_{name}_sql = trim((string)${class}_{name}) === '' ? "{empty}" : "UNHEX('${class}_{name}')";
)php";

const char addFooter[] = R"php(

		// 构建sql语句
		$sql = "insert into {table}({columns}) values ({values})";
		//调用数据层执行添加
		$sqlHelper = new SqlHelper ();
		$res = $sqlHelper->execute_dml ( $sql );
		$sqlHelper->close_connect ();
		return $res;
	}

)php";

const char updateHeader[] = R"php(
	/*更新{Friend}信息*/
	function Update{Class}({Class} ${class}) {
)php";

const char updateSet[] = R"php(
		$sql = "update {table} set ";
)php";

const char updateItem[] = R"php(
		$sql = $sql."{sep}{column}={q}${class}_{name}{q}";
)php";

// The line after "new SqlHelper ();" ends with a blank.
const char updateNullable[] = R"php(
		$sql = $sql."{sep}{column}=${class}_{name}_sql";
)php";

const char updateFooter[] = R"php(
		$sql = $sql." where {updateWhere}";
		//调用数据层执行更新操作
		$sqlHelper = new SqlHelper (); 
		$res = $sqlHelper->execute_dml ( $sql );
		$sqlHelper->close_connect ();
		return $res;
	}

)php";

// A class whose members are all its key has nothing to change in a row.
const char updateNothing[] = R"php(
		// 所有成员都是主键，没有可修改的内容
		return 0;
	}

)php";

const char getHeader[] = R"php(
	// 根据{keyComment}获取{Friend}
	function Get{Class}({keyParams}) {
		$sql = "select {all} from {table} where {keyWhere}";
		$sqlHelper = new SqlHelper ();
		$arr = $sqlHelper->execute_dql2 ( $sql );
		$sqlHelper->close_connect ();
		// 二次封装,$arr=>{Class}对象实例
		${class} = new {Class}();
		if(count($arr)>0) {
)php";

const char getItem[] = R"php(
			${class}->set{Name}($arr [0] ['{name}']);
)php";

const char getFooter[] = R"php(
		}
		return ${class};
	}

)php";

const char pageHeader[] = R"php(
	/*用封装的方式完成分页查询*/
	function getFenyePage($fenyePage{params}) {
		// 创建一个SqlHelper对象实例
		$sqlHelper = new SqlHelper ();
		//根据查询条件构造sql语句
		$sql1 = "select {all} from {table} where 1=1";
		$sql2 = "select count({keyColumn}) from {table} where 1=1";
		$condition = "";
)php";

// One search condition per query member: a substring search for text, an exact match
// otherwise, with the value quoted or bare.
const char conditionLike[] = R"php(
		if(${name} != "") $condition = $condition." and {column} like '%${name}%'";
)php";

const char conditionEqual[] = R"php(
		if(${name} != "") $condition = $condition." and {column}={q}${name}{q}";
)php";

const char pageFooter[] = R"php(
		$sql1 = $sql1.$condition." limit ". ($fenyePage->pageNow - 1) * $fenyePage->pageSize . "," . $fenyePage->pageSize;
		$sql2 = $sql2.$condition;
		//调用数据层执行查询操作
		$sqlHelper->execute_dql_fenye ( $sql1, $sql2, $fenyePage );
		$sqlHelper->close_connect ();
	}

)php";

const char deleteSection[] = R"php(
	// 根据{keyComment}删除某个{Friend}
	function Delete{Class}({keyParams}) {
		$sql = "delete from {table} where {keyWhere}";
		// 创建SqlHelper对象实例执行删除
		$sqlHelper = new SqlHelper ();
		return $sqlHelper->execute_dml ( $sql );
	}

)php";

const char queryAllSection[] = R"php(
	/*查询所有的{Friend}*/
	function QueryAll{Class}() {
		$sql = "select {keyRead},{displayRead} from {table}";
		$sqlHelper = new SqlHelper ();
		$res = $sqlHelper->execute_dql2 ( $sql );
		// 关闭连接
		$sqlHelper->close_connect ();
		return $res;
	}
}

?>
)php";

// A column as read into a row: under the member's name, so the pages find it there. Binary
// bytes are read as hex, a file's content as its size.
QString readAs(const TMember &member)
{
    const QString column = Naming::SqlColumn(member);
    if (member.memberType() == MemberType::Binary)
        return QStringLiteral("HEX(%1) as %2").arg(column, Naming::SqlName(member.memberName()));
    if (member.memberType() == MemberType::Blob)
        return QStringLiteral("LENGTH(%1) as %2").arg(column, Naming::SqlName(member.memberName()));
    return Naming::ColumnName(member) == member.memberName()
        ? column
        : column + QStringLiteral(" as ") + Naming::SqlName(member.memberName());
}

// "*" while every column has its member's name and is read as it is; otherwise each column
// read as its member.
QString selectList(const TClassModel &cls)
{
    if (std::all_of(cls.members.cbegin(), cls.members.cend(), [](const TMember &m) {
            return Naming::ColumnName(m) == m.memberName() && m.memberType() != MemberType::Binary
                && m.memberType() != MemberType::Blob;
        }))
        return QStringLiteral("*");
    QStringList columns;
    for (const TMember &member : cls.members)
        columns.append(readAs(member));
    return columns.join(QLatin1Char(','));
}

// Searched by exact value: the page offers these as a list.
bool ChosenFromList(const QString &type)
{
    return type == MemberType::Enum || type == MemberType::Boolean;
}

class TServiceWriter {
public:
    TServiceWriter(const TProjectModel &model, const TClassModel &cls, const QString &prefix)
        : model_(model), cls_(cls), key_(cls.KeyMember()),
          composite_(cls.compositeKey == 1),
          integerKey_(!composite_ && Naming::IsIntegerKey(key_)), nonKey_(cls.NonKeyMembers())
    {
        const TMember *display = cls.DisplayMember();
        const QString key = key_ ? key_->memberName() : QString();
        const QString q = integerKey_ ? QString() : QStringLiteral("'");
        const QString object = Naming::LowerFirst(cls.className);
        // A row is found by every key value; a composite key's values are always quoted.
        QStringList params, where, updateWhere, comments;
        for (const TMember &member : composite_ ? cls.KeyMembers() : QList<TMember>{key_ ? *key_ : TMember()}) {
            const QString column = key_ ? Naming::SqlColumn(member) : QString();
            params << QLatin1Char('$') + member.memberName();
            comments << Naming::PhpCommentText(member.memberComment());
            // A binary key travels in hex.
            const bool hex = member.memberType() == MemberType::Binary;
            const QString open = hex ? QStringLiteral("UNHEX(") + q : q;
            const QString close = hex ? q + QLatin1Char(')') : q;
            where << column + QLatin1Char('=') + open + QLatin1Char('$') + member.memberName() + close;
            updateWhere << column + QLatin1Char('=') + open + QLatin1Char('$') + object + QLatin1Char('_')
                    + member.memberName() + close;
        }
        vars_ = TVars{{"Class", cls.className},
                      {"class", Naming::LowerFirst(cls.className)},
                      {"Friend", Naming::PhpCommentText(cls.friendName)},
                      {"table", Naming::SqlTable(prefix, cls.className, cls.tableName)},
                      // A read-only class without a key counts its rows by "*".
                      {"keyColumn", key_ ? Naming::SqlColumn(*key_)
                                         : cls.isReadOnly ? QStringLiteral("*") : QString()},
                      {"keyRead", key_ ? readAs(*key_) : QString()},
                      {"displayRead", display ? readAs(*display) : QString()},
                      {"all", selectList(cls)},
                      {"key", key},
                      {"Key", Naming::UpperFirst(key)},
                      {"keyComment", key_ ? comments.join(QStringLiteral("和")) : QString()},
                      {"display", display ? display->memberName() : QString()},
                      {"q", q},
                      {"keyParams", params.join(QLatin1Char(','))},
                      {"keyWhere", where.join(QStringLiteral(" and "))},
                      {"updateWhere", updateWhere.join(QStringLiteral(" and "))}};
    }

    QString Build()
    {
        if (cls_.isReadOnly)
            return BuildReadOnly();
        Add();
        Update();
        Get();
        GetFenyePage();
        out_.Emit(deleteSection, vars_);
        out_.Emit(queryAllSection, vars_);
        return out_.Text();
    }

private:
    QString BuildReadOnly()
    {
        out_.Emit(readOnlyHeader, vars_);
        if (key_)
            Get();
        GetFenyePage();
        if (key_) {
            out_.Emit(queryAllSection, vars_);
        } else {
            out_.Emit(classFooter);
        }
        return out_.Text();
    }

    TVars MemberVars(const TMember &member) const
    {
        return vars_.With({{"name", member.memberName()},
                           {"column", Naming::SqlColumn(member)},
                           {"Name", Naming::UpperFirst(member.memberName())}});
    }

    QString Quote(const TMember &member) const { return Naming::Quote(model_.ValueStyle(member)); }

    // The key is never nullable: it names the row.
    static bool Nullable(const TMember &member)
    {
        return member.memberIsNullable() == 1 && member.memberIsPri() != 1;
    }

    // Left empty, the column takes its default, or the next number.
    static bool Defaulted(const TMember &member)
    {
        return !Nullable(member) && member.memberIsPri() != 1
            && (!member.memberDefault().isEmpty() || member.memberAutoIncrement() == 1);
    }

    static bool Hex(const TMember &member) { return member.memberType() == MemberType::Binary; }

    // Written through its "_sql" text rather than quoted as it is.
    static bool Computed(const TMember &member) { return Nullable(member) || Defaulted(member) || Hex(member); }

    void EmitNullableValues(const QList<TMember> &members)
    {
        for (const TMember &member : members) {
            if (!Computed(member) || !TypeRules::HasInput(member))
                continue;
            if (Hex(member))
                out_.Emit(hexValue, MemberVars(member).With({{"empty", Nullable(member) ? QStringLiteral("NULL")
                                                                    : Defaulted(member) ? QStringLiteral("DEFAULT")
                                                                                        : QStringLiteral("''")}}));
            else
                out_.Emit(Nullable(member) ? nullableValue : defaultedValue, MemberVars(member).With({{"q", Quote(member)}}));
        }
    }

    void Add()
    {
        out_.Emit(addHeader, vars_);
        if (composite_) {
            for (const TMember &member : cls_.KeyMembers())
                out_.Emit(readMember, MemberVars(member));
        } else if (!integerKey_) {
            out_.Emit(readKey, vars_);
        }
        for (const TMember &member : nonKey_)
            out_.Emit(readMember, MemberVars(member));
        EmitNullableValues(nonKey_);

        // A text key leads both lists; an integer key is left to the database.
        const QString cls = Naming::LowerFirst(cls_.className);
        QString columns;
        QString values;
        if (composite_) {
            QStringList keyColumns, keyValues;
            for (const TMember &member : cls_.KeyMembers()) {
                keyColumns << Naming::SqlColumn(member);
                keyValues << QStringLiteral("'$%1_%2'").arg(cls, member.memberName());
            }
            columns = keyColumns.join(QLatin1Char(','));
            values = keyValues.join(QLatin1Char(','));
        } else if (!integerKey_) {
            columns = key_ ? Naming::SqlColumn(*key_) : QString();
            values = QStringLiteral("'$%1_%2'").arg(cls, key_ ? key_->memberName() : QString());
        }
        bool first = integerKey_;
        for (const TMember &member : nonKey_) {
            if (!TypeRules::HasInput(member))
                continue; // kept as stored: the pages do not write it
            const QString sep = first ? QString() : QStringLiteral(",");
            const QString q = Computed(member) ? QString() : Quote(member);
            const QString sql = Computed(member) ? QStringLiteral("_sql") : QString();
            columns += sep + Naming::SqlColumn(member);
            values += sep + q + QLatin1Char('$') + cls + QLatin1Char('_') + member.memberName() + sql + q;
            first = false;
        }
        out_.Emit(addFooter, vars_.With({{"columns", columns}, {"values", values}}));
    }

    void Update()
    {
        out_.Emit(updateHeader, vars_);
        if (nonKey_.isEmpty() && composite_) {
            out_.Emit(updateNothing);
            return;
        }
        for (const TMember &member : cls_.members)
            out_.Emit(readMember, MemberVars(member));
        EmitNullableValues(nonKey_);
        out_.Emit(updateSet, vars_);
        bool first = true;
        for (const TMember &member : nonKey_) {
            // The database sets a column that changes with every update.
            if (!TypeRules::HasInput(member) || member.memberOnUpdateNow() == 1)
                continue;
            out_.Emit(Computed(member) ? updateNullable : updateItem, MemberVars(member).With({
                {"sep", first ? QString() : QStringLiteral(",")}, {"q", Quote(member)}}));
            first = false;
        }
        out_.Emit(updateFooter, vars_);
    }

    void Get()
    {
        out_.Emit(getHeader, vars_);
        for (const TMember &member : cls_.members)
            out_.Emit(getItem, MemberVars(member));
        out_.Emit(getFooter, vars_);
    }

    void GetFenyePage()
    {
        const QList<TMember> queryMembers = cls_.QueryMembers();
        QString params;
        for (const TMember &member : queryMembers)
            params += QStringLiteral(",$") + member.memberName();
        out_.Emit(pageHeader, vars_.With({{"params", params}}));
        for (const TMember &member : queryMembers) {
            const QString type = member.memberType();
            if (type == MemberType::Date || MemberType::IsReference(type))
                out_.Emit(conditionEqual, MemberVars(member).With({{"q", Quote(member)}}));
            else if (ChosenFromList(type)) // quoted: the guard reads a bare "0" as "any"
                out_.Emit(conditionEqual, MemberVars(member).With({{"q", QStringLiteral("'")}}));
            else
                out_.Emit(conditionLike, MemberVars(member));
        }
        out_.Emit(pageFooter, vars_);
    }

    const TProjectModel &model_;
    const TClassModel &cls_;
    const TMember *key_;
    bool composite_;
    bool integerKey_;
    QList<TMember> nonKey_;
    TVars vars_;
    TTextBuilder out_;
};

} // namespace

void TService::Generate(const TGenerationTarget &target, const TProjectModel &model)
{
    for (const TClassModel &cls : model.Classes())
        target.WriteGeneratedFile(QStringLiteral("service"),
                                  cls.className + QStringLiteral("Service.class.php"),
                                  BuildFile(model, cls, target.tablePrefix));
}

QString TService::BuildFile(const TProjectModel &model, const TClassModel &cls,
                            const QString &tablePrefix)
{
    return TServiceWriter(model, cls, tablePrefix).Build();
}
