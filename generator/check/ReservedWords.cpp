#include "ReservedWords.h"

#include <QSet>
#include <QStringList>

namespace {

const char phpWords[] =
    "__halt_compiler abstract and array as break callable case catch class clone const continue "
    "declare default die do echo else elseif empty enddeclare endfor endforeach endif endswitch "
    "endwhile eval exit extends final finally fn for foreach function global goto if implements "
    "include include_once instanceof insteadof interface isset list match namespace new or print "
    "private protected public readonly require require_once return static switch throw trait try "
    "unset use var while xor yield "
    // Names of built-in types and of the scopes a class refers to itself by.
    "bool false float int iterable mixed never null numeric object parent resource self string "
    "true void enum "
    "__class__ __dir__ __file__ __function__ __line__ __method__ __namespace__ __trait__";

// The reserved words of MySQL 8 and of MariaDB 10/11, together.
const char sqlWords[] =
    "accessible add all alter analyze and as asc asensitive before between bigint binary blob both "
    "by call cascade case change char character check collate column condition constraint continue "
    "convert create cross cube cume_dist current_date current_role current_time current_timestamp "
    "current_user cursor database databases day_hour day_microsecond day_minute day_second dec "
    "decimal declare default delayed delete delete_domain_id dense_rank desc describe deterministic "
    "distinct distinctrow div do_domain_ids double drop dual each else elseif empty enclosed escaped "
    "except exists exit explain false fetch first_value float float4 float8 for force foreign from "
    "fulltext function general generated get grant group grouping groups having high_priority "
    "hour_microsecond hour_minute hour_second if ignore ignore_domain_ids ignore_server_ids in index "
    "infile inner inout insensitive insert int int1 int2 int3 int4 int8 integer intersect interval "
    "into io_after_gtids io_before_gtids is iterate join json_table key keys kill lag last_value "
    "lateral lead leading leave left like limit linear lines load localtime localtimestamp lock long "
    "longblob longtext loop low_priority manual master_bind master_heartbeat_period "
    "master_ssl_verify_server_cert match maxvalue mediumblob mediumint mediumtext middleint "
    "minute_microsecond minute_second mod modifies natural not no_write_to_binlog nth_value ntile "
    "null numeric of offset on optimize optimizer_costs option optionally or order out outer outfile "
    "over page_checksum parallel parse_vcol_expr partition percent_rank position precision primary "
    "procedure purge qualify range rank read reads read_write real recursive ref_system_id "
    "references regexp release rename repeat replace require resignal restrict return returning "
    "revoke right rlike row rows row_number schema schemas second_microsecond select sensitive "
    "separator set show signal slow smallint spatial specific sql sqlexception sqlstate sqlwarning "
    "sql_big_result sql_calc_found_rows sql_small_result ssl starting stats_auto_recalc "
    "stats_persistent stats_sample_pages stored straight_join system table tablesample terminated "
    "then tinyblob tinyint tinytext to trailing trigger true undo union unique unlock unsigned update "
    "usage use using utc_date utc_time utc_timestamp values varbinary varchar varcharacter varying "
    "virtual when where while window with write xor year_month zerofill";

const char skeletonClasses[] = "fenyepage sqlhelper upfiles";

const char pageParameters[] = "action view export pageNow pageSize sort order of fill cascade";

QSet<QString> wordSet(const char *words)
{
    const QStringList list = QString::fromLatin1(words).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return QSet<QString>(list.cbegin(), list.cend());
}

bool contains(const char *words, const QString &name)
{
    // One set per list, built on first use; thread-safe by the rules of function statics.
    static const QSet<QString> php = wordSet(phpWords);
    static const QSet<QString> sql = wordSet(sqlWords);
    static const QSet<QString> skeleton = wordSet(skeletonClasses);
    const QSet<QString> &set = words == phpWords ? php : words == sqlWords ? sql : skeleton;
    return set.contains(name.toLower());
}

} // namespace

namespace ReservedWords {

bool IsPhpReserved(const QString &name) { return contains(phpWords, name); }
bool IsSqlReserved(const QString &name) { return contains(sqlWords, name); }
bool IsSkeletonClass(const QString &name) { return contains(skeletonClasses, name); }

bool IsPageParameter(const QString &name)
{
    static const QSet<QString> names = wordSet(pageParameters);
    return names.contains(name);
}

} // namespace ReservedWords
