<?php
/*
 * 回收站中随一条记录一起删除或清空了引用的记录（见 util/cascade.php）：删除时把它们写进
 * 回收站那一项的 cascadeValues，恢复时先父后子插回，再把清空的引用改回原值。
 * 不是文字的值（二进制）以 base64 保存，恢复时原样写回。
 */
require_once __DIR__ . '/../util/guard.php';

class CascadeTrash
{
    /*
     * 删除之前：记下整组记录（各自的创建者、操作记录），去掉它们的创建者。
     * 返回写进回收站的 JSON（没有随之处理的记录时为空字符串），失败时返回 null。
     */
    public static function record(SqlHelper $db, array $plan): ?string
    {
        if (!$plan['delete'] && !$plan['setNull']) {
            return '';
        }
        $saved = ['delete' => [], 'setNull' => []];
        foreach ($plan['delete'] as $item) {
            [$class, $key] = self::class_key($item['table'], $item['row']);
            $owner = null;
            if ($class !== null) {
                $found = $db->query_prepared('SELECT adminId FROM ' . velmora_team_table('row_owner') . ' WHERE ' . VELMORA_OWNER_ROW,
                    velmora_owner_params($item['table'], $key));
                if ($found === null
                    || $db->execute_prepared('DELETE FROM ' . velmora_team_table('row_owner') . ' WHERE ' . VELMORA_OWNER_ROW,
                        velmora_owner_params($item['table'], $key)) < 0
                    || !velmora_change_log($db, $class, $key, 'delete', self::text_row($item['row']), null)) {
                    return null;
                }
                $owner = $found ? (int)$found[0]['adminId'] : null;
            }
            $saved['delete'][] = ['table' => $item['table'], 'class' => $class, 'key' => $key,
                'owner' => $owner, 'values' => self::encode($item['row'])];
        }
        foreach ($plan['setNull'] as $item) {
            [$class, $key] = self::class_key($item['table'], $item['row']);
            $after = array_merge($item['row'], array_fill_keys($item['columns'], null));
            if ($class !== null && !velmora_change_log($db, $class, $key, 'update', self::text_row($item['row']), self::text_row($after))) {
                return null;
            }
            $saved['setNull'][] = ['table' => $item['table'], 'class' => $class, 'key' => $key,
                'columns' => $item['columns'], 'values' => self::encode($item['row'])];
        }
        return velmora_json($saved);
    }

    /*
     * 恢复整组记录（主记录已经插回之后，在同一个事务中）。不能恢复时 $refusal 为原因并返回 false；
     * 数据库失败时返回 null。
     */
    public static function restore(SqlHelper $db, string $json, ?string &$refusal): ?bool
    {
        $saved = json_decode($json, true);
        if (!is_array($saved)) {
            $refusal = '随这条记录删除的数据无法识别，不能恢复。';
            return false;
        }
        $links = velmora_schema_links([$db, 'query_prepared']);
        if ($links === null) {
            return null;
        }
        foreach ((array)($saved['delete'] ?? []) as $item) {
            $table = (string)($item['table'] ?? '');
            $row = self::decode((array)($item['values'] ?? []));
            $label = velmora_table_label($table);
            $keys = $links['keys'][$table] ?? [];
            if ($keys) {
                $taken = $db->query_prepared('SELECT 1 FROM ' . velmora_sql_name($table) . ' WHERE ' . velmora_key_where($keys) . ' FOR UPDATE',
                    array_map(function ($c) use ($row) {
                        return $row[$c] ?? null;
                    }, $keys));
                if ($taken === null) {
                    return null;
                }
                if ($taken) {
                    $refusal = '随它删除的' . $label . '“' . ($item['key'] ?? '') . '”已经存在，不能恢复。';
                    return false;
                }
            }
            $columns = array_keys($row);
            if ($db->execute_prepared('INSERT INTO ' . velmora_sql_name($table) . ' (' . implode(', ', array_map('velmora_sql_name', $columns))
                    . ') VALUES (' . implode(', ', array_fill(0, count($columns), '?')) . ')', array_values($row)) < 0) {
                if ($db->errno === 1452) {
                    $refusal = '随它删除的' . $label . '记录引用的数据已不存在，不能恢复。';
                    return false;
                }
                return null;
            }
            $class = $item['class'] ?? null;
            if (is_string($class) && (($item['owner'] ?? null) !== null && !velmora_set_owner($db, $table, (string)$item['key'], (int)$item['owner'])
                    || !velmora_change_log($db, $class, (string)$item['key'], 'restore', null, self::text_row($row)))) {
                return null;
            }
        }
        foreach ((array)($saved['setNull'] ?? []) as $item) {
            if (self::restore_references($db, $links, $item) === null) {
                return null;
            }
        }
        return true;
    }

    /* 把清空的引用改回原值；这期间已被修改（不再为空）或删除的记录保持现状。 */
    private static function restore_references(SqlHelper $db, array $links, array $item): ?bool
    {
        $table = (string)($item['table'] ?? '');
        $row = self::decode((array)($item['values'] ?? []));
        $columns = array_values(array_intersect((array)($item['columns'] ?? []), array_keys($row)));
        if (!$columns) {
            return true;
        }
        $match = $links['keys'][$table] ?? array_diff(array_keys($row), $columns);
        $where = array_map(function ($c) {
            return velmora_sql_name($c) . ' <=> ?';
        }, $match);
        foreach ($columns as $c) {
            $where[] = velmora_sql_name($c) . ' IS NULL';
        }
        $params = array_merge(array_map(function ($c) use ($row) {
            return $row[$c];
        }, $columns), array_map(function ($c) use ($row) {
            return $row[$c] ?? null;
        }, $match));
        $n = $db->execute_prepared('UPDATE ' . velmora_sql_name($table) . ' SET ' . implode(', ', array_map(function ($c) {
            return velmora_sql_name($c) . ' = ?';
        }, $columns)) . ' WHERE ' . implode(' AND ', $where) . ' LIMIT 1', $params);
        if ($n < 0) {
            return null;
        }
        $class = $item['class'] ?? null;
        if ($n > 0 && is_string($class)) {
            $before = self::text_row(array_merge($row, array_fill_keys($columns, null)));
            return velmora_change_log($db, $class, (string)$item['key'], 'update', $before, self::text_row($row)) ? true : null;
        }
        return true;
    }

    /* 表中一条记录所属的类与主键文字；不属于任何类的表，主键文字取主键列（没有时取全部列）的值。 */
    private static function class_key(string $table, array $row): array
    {
        $class = velmora_table_classes()[$table] ?? null;
        $info = $class !== null ? velmora_class_table($class) : null;
        $columns = $info !== null ? $info['keyColumns'] : (velmora_schema_links('velmora_guard_rows')['keys'][$table] ?? array_keys($row));
        return [$info !== null ? $class : null, velmora_key_text(array_map(function ($c) use ($row) {
            return (string)($row[$c] ?? '');
        }, $columns))];
    }

    /* 值原样保存：不是 UTF-8 文字的值写成 ['base64' => ...]。 */
    private static function encode(array $row): array
    {
        return array_map(function ($v) {
            return $v === null || preg_match('//u', (string)$v) ? $v : ['base64' => base64_encode((string)$v)];
        }, $row);
    }

    private static function decode(array $row): array
    {
        return array_map(function ($v) {
            return is_array($v) ? base64_decode((string)($v['base64'] ?? ''), true) : $v;
        }, $row);
    }

    /* 操作记录中显示的值：二进制值只写出它的长度。 */
    private static function text_row(array $row): array
    {
        return array_map(function ($v) {
            return $v === null || preg_match('//u', (string)$v) ? $v : '(' . strlen((string)$v) . ' 字节)';
        }, $row);
    }
}
