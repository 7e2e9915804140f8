#pragma once

#include "model/Member.h"

#include <QString>

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

} // namespace TypeRules
