<?php
/*
 * 业务层类中的 SQL：下拉框数据的语句（select 主键,显示列 from 表）与分页查询的列和表。
 * 表名、列名以生成的业务层类为准（类与成员可以有自己的表名、列名），读出的记录以成员名为键。
 * 请求守卫的一部分，由 guard.php 加载；直接请求本文件时回答 403。
 */
if (!defined('VELMORA_GUARD_LOADED')) {
    http_response_code(403);
    exit;
}

/* 一个表名或列名：字母、数字、下划线，或反引号中的名字。 */
const VELMORA_SQL_NAME = '(?:`(?:[^`]|``)+`|[A-Za-z0-9_$]+)';

/* 去掉名字的反引号。 */
function velmora_sql_unquote(string $name): string
{
    return $name !== '' && $name[0] === '`' ? str_replace('``', '`', substr($name, 1, -1)) : $name;
}

/* 名字加反引号（已有反引号的原样返回）。 */
function velmora_sql_quote(string $name): string
{
    return $name !== '' && $name[0] === '`' ? $name : '`' . str_replace('`', '``', $name) . '`';
}

/*
 * 下拉框数据的语句（select 主键[ as 成员],显示列[ as 成员] from 表）的各部分：
 * ['table', 'key', 'display'] 为可以写进 SQL 的名字，['keyName', 'displayName'] 为记录中的键。
 * 不是这种语句时返回 null。
 */
function velmora_lookup_shape(string $sql): ?array
{
    $n = VELMORA_SQL_NAME;
    $column = '(' . $n . ')(?:\s+as\s+(' . $n . '))?';
    if (!preg_match('/^\s*select\s+' . $column . '\s*,\s*' . $column . '\s+from\s+(' . $n . ')\s*$/i', $sql, $m)) {
        return null;
    }
    return ['table' => velmora_sql_quote($m[5]), 'key' => velmora_sql_quote($m[1]), 'display' => velmora_sql_quote($m[3]),
        'keyName' => velmora_sql_unquote($m[2] !== '' ? $m[2] : $m[1]),
        'displayName' => velmora_sql_unquote(($m[4] ?? '') !== '' ? $m[4] : $m[3])];
}

/* 生成的业务层类的源文件；没有时返回空字符串。 */
function velmora_service_source(string $class): string
{
    static $cache = [];
    if (!array_key_exists($class, $cache)) {
        $file = velmora_root() . '/service/' . $class . 'Service.class.php';
        $cache[$class] = preg_match('/^[A-Za-z_][A-Za-z0-9_]*$/', $class) && is_file($file) ? (string)file_get_contents($file) : '';
    }
    return $cache[$class];
}

/* 类的下拉框数据语句的各部分（见 velmora_lookup_shape）；业务层类中没有时返回 null。 */
function velmora_lookup_source(string $class): ?array
{
    $src = velmora_service_source($class);
    if (!preg_match('/function\s+QueryAll' . preg_quote($class, '/') . '\s*\(\s*\)\s*\{\s*\$sql\s*=\s*"([^"]*)"/', $src, $m)) {
        return null;
    }
    return velmora_lookup_shape($m[1]);
}

/*
 * 类的分页查询所读的列与表：['select' => '*' 或 "列 as 成员,...", 'table' => 表,
 * 'columns' => [成员 => 列]]，均可写进 SQL。业务层类中没有时返回 null。
 */
function velmora_list_source(string $class): ?array
{
    $n = VELMORA_SQL_NAME;
    if (!preg_match('/\$sql1\s*=\s*"select\s+(.+?)\s+from\s+(' . $n . ')\s+where 1=1"/', velmora_service_source($class), $m)) {
        return null;
    }
    $columns = [];
    if ($m[1] !== '*') {
        foreach (explode(',', $m[1]) as $item) {
            // 二进制列读作十六进制，文件型读作大小：成员仍对应原来的列。
            if (!preg_match('/^\s*(?:(?:HEX|LENGTH)\((' . $n . ')\)|(' . $n . '))(?:\s+as\s+(' . $n . '))?\s*$/i', $item, $c)) {
                return null;
            }
            $column = $c[1] !== '' ? $c[1] : $c[2];
            $columns[velmora_sql_unquote(($c[3] ?? '') !== '' ? $c[3] : $column)] = velmora_sql_quote($column);
        }
    }
    return ['select' => $m[1], 'table' => velmora_sql_quote($m[2]), 'columns' => $columns];
}

/* 成员在表中的列（可以写进 SQL）；分页查询读全部列（*）时列名就是成员名。 */
function velmora_member_column(string $class, string $member): ?string
{
    $source = velmora_list_source($class);
    if ($source === null) {
        return null;
    }
    if ($source['select'] === '*') {
        return velmora_sql_quote($member);
    }
    return $source['columns'][$member] ?? null;
}

/* 引用类 $class 的各个类与成员：[[类, 字段说明中的字段], ...]，按模型中类的顺序。 */
function velmora_referrers(string $class): array
{
    $found = [];
    foreach (array_keys(velmora_entities()) as $other) {
        foreach ((array)(velmora_class_fields($other)['fields'] ?? []) as $field) {
            if (is_array($field) && ($field['type'] ?? '') === 'ref' && ($field['refClass'] ?? '') === $class) {
                $found[] = [$other, $field];
            }
        }
    }
    usort($found, function (array $a, array $b): int {
        return [velmora_class_order($a[0]), $a[0]] <=> [velmora_class_order($b[0]), $b[0]];
    });
    return $found;
}

/* 类 $class 的一个引用型字段；不是引用时返回 null。 */
function velmora_reference_field(string $class, string $member): ?array
{
    foreach ((array)(velmora_class_fields($class)['fields'] ?? []) as $field) {
        if (is_array($field) && ($field['name'] ?? null) === $member && ($field['type'] ?? '') === 'ref'
            && is_string($field['refClass'] ?? null)) {
            return $field;
        }
    }
    return null;
}
