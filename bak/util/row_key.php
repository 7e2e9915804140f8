<?php
/*
 * 记录的主键文字（操作记录、回收站与创建者表中的 rowKey）：只有一个主键时就是它的值；
 * 复合主键时各个值依次以逗号相连，值中的反斜杠和逗号前加反斜杠，因此能准确拆回各个值。
 * 请求守卫的一部分，由 guard.php 加载；直接请求本文件时回答 403。
 */
if (!defined('VELMORA_GUARD_LOADED')) {
    http_response_code(403);
    exit;
}

function velmora_key_text(array $values): string
{
    if (count($values) === 1) {
        return (string)reset($values);
    }
    return implode(',', array_map(function ($value): string {
        return str_replace(['\\', ','], ['\\\\', '\\,'], (string)$value);
    }, array_values($values)));
}

/* 主键文字拆回 $count 个值；个数不符时返回 null。 */
function velmora_key_values(string $text, int $count): ?array
{
    if ($count === 1) {
        return [$text];
    }
    $values = [''];
    $length = strlen($text);
    for ($i = 0; $i < $length; $i++) {
        if ($text[$i] === '\\' && $i + 1 < $length) {
            $values[count($values) - 1] .= $text[++$i];
        } elseif ($text[$i] === ',') {
            $values[] = '';
        } else {
            $values[count($values) - 1] .= $text[$i];
        }
    }
    return count($values) === $count ? $values : null;
}

/* 按全部主键列找一条记录的条件（预处理语句，每个主键一个 ?）。 */
function velmora_key_where(array $columns): string
{
    return implode(' AND ', array_map(function (string $column): string {
        return velmora_sql_name($column) . ' = ?';
    }, $columns));
}

/* 在 SQL 中算出与 velmora_key_text 相同的主键文字，用于与 rowKey 比较。 */
function velmora_key_sql(array $columns): string
{
    if (count($columns) === 1) {
        return 'CAST(' . velmora_sql_name($columns[0]) . ' AS CHAR)';
    }
    $slash = 'CHAR(92 USING utf8mb4)';
    $parts = array_map(function (string $column) use ($slash): string {
        return 'REPLACE(REPLACE(CAST(' . velmora_sql_name($column) . ' AS CHAR), ' . $slash . ', CONCAT(' . $slash . ', ' . $slash . ')), \',\', CONCAT('
            . $slash . ', \',\'))';
    }, $columns);
    return 'CONCAT_WS(\',\', ' . implode(', ', $parts) . ')';
}

/* 创建者表（row_owner）中一条记录的条件与参数：主键文字可以任意长，按它的 SHA-1 找到。 */
const VELMORA_OWNER_ROW = 'tableName = ? AND rowKeyHash = ?';

function velmora_owner_params(string $table, string $key): array
{
    return [$table, sha1($key)];
}

/* 记下（或改为）一条记录的创建者；$db 为 SqlHelper。失败时返回 false。 */
function velmora_set_owner($db, string $table, string $key, int $adminId): bool
{
    return $db->execute_prepared('INSERT INTO ' . velmora_team_table('row_owner') . ' (tableName, rowKey, rowKeyHash, adminId) VALUES (?, ?, ?, ?)'
        . ' ON DUPLICATE KEY UPDATE adminId = VALUES(adminId)', [$table, $key, sha1($key), $adminId]) >= 0;
}
