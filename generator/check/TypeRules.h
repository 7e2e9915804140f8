#pragma once

#include "model/Member.h"

#include <QString>
#include <QStringList>

#include <optional>

// What each member type is, asked by every generator, so that the PHP and the SQL of a member
// agree: a value written bare in PHP sits in a number column, a length is read where the
// column has one, and so on.
namespace TypeRules {

// 整型, 浮点型, 长整型 and 定点数.
bool IsNumber(const QString &type);
// Written bare in PHP and SQL: the numbers and 是否型 (0 or 1). A reference follows the key it
// refers to (Naming::ValueStyle); every other type is quoted.
bool IsBare(const QString &type);

// Which of a member's own fields its type reads:
//   the length: 字符串 (characters), 定点数 (precision), 长文本 (most characters; 0: the plain
//   text column); the scale (小数位): 定点数; 无符号: 整型 and 长整型; the values: 枚举型.
bool UsesLength(const QString &type);
bool UsesScale(const QString &type);
bool UsesUnsigned(const QString &type);
bool UsesEnumValues(const QString &type);

// The types a key member may have. 整型 and 长整型 make an integer key, numbered by the database.
bool CanBeKey(const QString &type);
// Whether a key member makes an integer key (auto-increment, compared bare). A class without
// a key member is treated as having a text key.
bool IsIntegerKey(const TMember *key);

// A member's column as MySQL declares it, without character set, NULL or comment:
// "varchar(20)", "int(11)", "int(10) unsigned", "bigint(20)", "decimal(10,2)", "datetime",
// "text", "text(5000)", "tinyint(1)", "enum('a','b')". As the key (asKey) a member that is not
// an integer key is a varchar of its length. A reference takes the type of the key it refers
// to (refKey), without numbering; empty when that key does not exist.
QString SqlType(const TMember &member, const TMember *refKey, bool asKey);
// Whether that column holds text in a character set: varchar, text and enum.
bool HoldsText(const TMember &member, const TMember *refKey, bool asKey);
// Whether the column takes NULL: a nullable member, and (as always) a 字符串 not required;
// never the key.
bool TakesNull(const TMember &member, bool asKey);

// A text as the content of a single-quoted MySQL string: backslash and quote doubled.
QString SqlStringText(const QString &text);

// ---- The column types as the database has them (a member's memberSqlType) ----

enum class TSqlKind { Integer, Decimal, Float, Bit, Char, Text, Binary, Blob, Date, Temporal, Year,
                      Enum, Set, Json, Native };

struct TSqlTypeInfo {
    QString name;       // "tinyint", "varbinary", "timestamp"...
    TSqlKind kind;
    QString memberType; // the 类型 a member of this column type has
    int rank = 0;       // within the integer, float, text and blob kinds: larger holds more
    qint64 bytes = 0;   // text and blob kinds: the most bytes a value holds
};

// The type of that name, null for a name MySQL has no such column type of.
const TSqlTypeInfo *FindSqlType(const QString &name);
// The type a member's column has: its own exact type, else the one its 类型 gives
// (int(11) for 整型...), parsed from SqlType. Null for an unresolved reference.
const TSqlTypeInfo *ColumnTypeOf(const TMember &member, const TMember *refKey, bool asKey);
// Whether the member carries its column's exact type.
inline bool IsExact(const TMember &member) { return !member.memberSqlType().isEmpty(); }
// The exact column type as MySQL writes it: "tinyint(3) unsigned zerofill", "char(10)",
// "datetime(3)", "set('a','b')", "double(8,2)", "longblob".
QString ExactSqlType(const TMember &member);
// Whether the database numbers the column itself: an exact member's own AUTO_INCREMENT, else
// the one-column integer key as it always was.
bool AutoIncrements(const TMember &member, bool asKey, bool compositeKey);
// Whether the add form takes a value of the member: not for a 文件型 or a 二进制型 key, which the
// pages show but do not write, nor for a column type outside the table, which no input knows.
bool HasInput(const TMember &member);
// " DEFAULT ..." for a member with a default; an expression in brackets, as MySQL wants it.
QString DefaultClause(const TMember &member);
// " ON UPDATE current_timestamp(n)" for a member that has it.
QString OnUpdateClause(const TMember &member);
// The value a form starts with for a member whose default is a plain value (text unquoted);
// nothing for no default, NULL or an expression the database works out.
std::optional<QString> DefaultValue(const TMember &member);
// Why a column of type `before` (as SqlType writes it) may not hold every value when made
// `after`; empty when every value fits. charset: the table's, for the text sizes.
QString Narrowing(const QString &before, const QString &after, const QString &charset);
// The SQL condition that finds the rows whose value Narrowing would not keep ("CHAR_LENGTH(`a`) > 40",
// "`n` NOT BETWEEN 0 AND 255"); empty where no plain condition tells them.
QString RowsAtRisk(const QString &before, const QString &after, const QString &column);
// A member edited where the exact column is not shown (the member dialogs), as stored again:
// with the same 类型 it keeps its exact column, its default and character set, and the numbers
// its type reads that the dialog does not; with another 类型 it is what that type makes.
TMember KeepExact(const TMember &stored, const TMember &edited);
// The parts of a column type text: "int(10) unsigned" -> "int", {10}, "unsigned".
struct TParsedType {
    QString name;
    QList<int> numbers;
    bool isUnsigned = false;
    QStringList values;
};
TParsedType ParseSqlType(const QString &type);

} // namespace TypeRules
