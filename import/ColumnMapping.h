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
    std::optional<QString> columnDefault; // COLUMN_DEFAULT; nullopt for SQL NULL
    QString extra;     // EXTRA, lower-cased: "auto_increment", "on update current_timestamp()"...
    QString charset;   // CHARACTER_SET_NAME; empty for a column without one
    QString collation; // COLLATION_NAME
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
    // The column exactly (TMember::memberSqlType and the fields it reads); length and scale
    // are the numbers in the type's brackets.
    QString sqlType;
    int exactLength = 0;
    int exactScale = 0;
    int zerofill = 0;
};

// Column types as member types, each with its exact type beside (TypeRules' type table):
//   char, varchar                     -> 字符串 with its length
//   tinytext, text, mediumtext, longtext -> 长文本, its length the characters it holds in the
//                                        column's character set (0 for text)
//   tinyint(1), boolean               -> 是否型
//   tinyint, smallint, mediumint, int, year -> 整型;  bigint, bit -> 长整型; with 无符号
//   decimal, numeric                  -> 定点数 (precision, scale)
//   float, double                     -> 浮点型
//   date -> 日期型; datetime, timestamp -> 日期时间型; time -> 时间型
//   enum, set -> 枚举型; binary, varbinary -> 二进制型; the blobs -> 文件型; json -> 长文本
// Nothing for the rest (spatial types).
std::optional<TMappedType> MapColumnType(const TColumnInfo &column, const QString &charset);

// The default as the model keeps it (TMember::memberDefault): MariaDB gives it as SQL
// already; MySQL gives a literal bare, which is quoted here unless the type is a number.
QString DefaultOf(const TColumnInfo &column, bool mariadb);

// The values of "enum('a','it''s')" or "set(...)", unquoted.
QStringList EnumValues(const QString &columnType);
