#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// A column as information_schema.COLUMNS describes it.
struct TColumnInfo {
    QString name;
    QString dataType;   // DATA_TYPE: "varchar", "bigint", ...
    QString columnType; // COLUMN_TYPE: "bigint(20) unsigned", "enum('a','b')", ...
    qlonglong length = 0; // CHARACTER_MAXIMUM_LENGTH
    int precision = 0;    // NUMERIC_PRECISION
    int scale = 0;        // NUMERIC_SCALE
    bool hasScale = false; // NUMERIC_SCALE is not NULL: declared, or a decimal's
    bool nullable = true;
    QString comment;
};

// The member type a column maps to, with the fields that type reads, and what is lost on the
// way (empty when nothing is).
struct TMappedType {
    QString type;
    int length = 0;
    int scale = 0;
    int isUnsigned = 0;
    QStringList enumValues;
    QString loss;
};

// Column types as member types:
//   char, varchar                     -> 字符串 with its length
//   tinytext, text, mediumtext, longtext -> 长文本, its length chosen so that text(N) is the same
//                                        type again in the project's character set
//   tinyint(1), boolean               -> 是否型
//   tinyint, smallint, mediumint, int -> 整型;  bigint -> 长整型; both with 无符号
//   decimal, numeric                  -> 定点数 (precision, scale)
//   double, real with a declared scale -> 定点数; float, double -> 浮点型
//   date -> 日期型; datetime, timestamp -> 日期时间型; time -> 时间型
//   enum -> 枚举型; set -> 枚举型, said to keep one value only
// Nothing for the rest (binary, blob, bit, year, spatial, json).
std::optional<TMappedType> MapColumnType(const TColumnInfo &column, const QString &charset);

// The values of "enum('a','it''s')" or "set(...)", unquoted.
QStringList EnumValues(const QString &columnType);
