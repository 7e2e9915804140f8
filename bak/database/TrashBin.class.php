<?php
/*
 * 回收站：删除的记录连同创建者以 JSON 保存在回收站表中，图片文件留在 upload/ 中。
 * 恢复时在一个事务中检查主键没有被再次使用、引用的记录都还在，然后插回原表；
 * 随它一起删除的记录在同一项中，先父后子一起插回，清空的引用改回原值（见 CascadeTrash）。
 * 彻底删除时去掉回收站中的记录，提交后删除不再被任何记录使用的图片文件。
 */
require_once __DIR__ . '/SqlHelper.class.php';
require_once __DIR__ . '/CascadeTrash.class.php';

class TrashBin
{
    /** @var SqlHelper */
    private $db;

    public function __construct(SqlHelper $db)
    {
        $this->db = $db;
    }

    /* 恢复一条记录；返回 null 表示成功，否则为给用户看的原因。 */
    public function restore(int $trashId): ?string
    {
        $refusal = null;
        $done = $this->db->in_transaction(function (SqlHelper $db) use ($trashId, &$refusal) {
            $refusal = null;
            $item = $this->item($trashId);
            if ($item === null || is_string($item)) {
                $refusal = $item;
                return $item === null ? null : false;
            }
            [$trash, $info, $row] = $item;
            $keyValues = velmora_key_values((string)$trash['rowKey'], count($info['keyColumns']));
            if ($keyValues === null) {
                $refusal = '这条记录的主键“' . $trash['rowKey'] . '”无法识别，不能恢复。';
                return false;
            }
            $taken = $db->query_prepared('SELECT 1 FROM ' . velmora_sql_name($info['table']) . ' WHERE ' . velmora_key_where($info['keyColumns']) . ' FOR UPDATE', $keyValues);
            if ($taken === null) {
                return null;
            }
            if ($taken) {
                $refusal = '编号为“' . $trash['rowKey'] . '”的记录已经存在，不能恢复。';
                return false;
            }
            foreach ((array)(velmora_class_fields($trash['className'])['fields'] ?? []) as $field) {
                $value = $row[$field['column'] ?? $field['name'] ?? ''] ?? null;
                if (($field['type'] ?? '') !== 'ref' || $value === null || $value === '') {
                    continue;
                }
                $refTable = (string)($field['refTable'] ?? '');
                $refColumn = (string)($field['refColumn'] ?? '');
                if (!velmora_is_sql_name($refTable) || !velmora_is_sql_name($refColumn)) {
                    continue;
                }
                // 锁住被引用的记录，提交之前它不会被删除。
                $found = $db->query_prepared('SELECT 1 FROM ' . velmora_sql_name($refTable) . ' WHERE ' . velmora_sql_name($refColumn) . ' = ? LOCK IN SHARE MODE', [$value]);
                if ($found === null) {
                    return null;
                }
                if (!$found) {
                    $refusal = '这条记录引用的' . ($field['label'] ?? $field['name']) . '“' . $value . '”已不存在，不能恢复。';
                    return false;
                }
            }
            $columns = array_keys($row);
            if ($db->execute_prepared('INSERT INTO ' . velmora_sql_name($info['table']) . ' (' . implode(', ', array_map('velmora_sql_name', $columns)) . ') VALUES ('
                    . implode(', ', array_fill(0, count($columns), '?')) . ')', array_values($row)) < 0) {
                return null;
            }
            // 整组不能恢复时回滚（返回 false 会提交已插回的主记录），原因在 $refusal 中。
            if ((string)($trash['cascadeValues'] ?? '') !== '' && CascadeTrash::restore($db, (string)$trash['cascadeValues'], $refusal) !== true) {
                return null;
            }
            $ok = ($trash['ownerId'] === null || velmora_set_owner($db, $info['table'], (string)$trash['rowKey'], (int)$trash['ownerId']))
                && $db->execute_prepared('DELETE FROM ' . velmora_team_table('trash') . ' WHERE trashId = ?', [$trashId]) >= 0
                && velmora_change_log($db, $trash['className'], $trash['rowKey'], 'restore', null, $row);
            return $ok ? true : null;
        });
        if ($done === true) {
            return null;
        }
        return $refusal ?? ($this->db->error !== '' ? $this->db->error : '恢复失败。');
    }

    /* 彻底删除一条记录及其不再使用的图片；返回 null 表示成功，否则为给用户看的原因。 */
    public function purge(int $trashId): ?string
    {
        $pictures = [];
        $refusal = null;
        $done = $this->db->in_transaction(function (SqlHelper $db) use ($trashId, &$pictures, &$refusal) {
            $item = $this->item($trashId);
            if ($item === null || is_string($item)) {
                $refusal = $item;
                return $item === null ? null : false;
            }
            [$trash, $info, $row] = $item;
            $pictures = [];
            foreach ((array)(velmora_class_fields($trash['className'])['fields'] ?? []) as $field) {
                $value = $row[$field['name'] ?? ''] ?? null;
                if (($field['type'] ?? '') === 'picture' && is_string($value) && velmora_picture_file($value) !== null) {
                    $pictures[] = [$info['table'], (string)$field['name'], $value];
                }
            }
            $ok = $db->execute_prepared('DELETE FROM ' . velmora_team_table('trash') . ' WHERE trashId = ?', [$trashId]) >= 0
                && velmora_change_log($db, $trash['className'], $trash['rowKey'], 'purge', $row, null);
            return $ok ? true : null;
        });
        if ($done !== true) {
            return $refusal ?? ($this->db->error !== '' ? $this->db->error : '彻底删除失败。');
        }
        foreach ($pictures as [$table, $column, $value]) {
            $this->remove_unused_picture($table, $column, $value);
        }
        return null;
    }

    /*
     * 回收站中的一条记录：[回收站行, 类的表与主键, 记录的值]，值只保留表中真实存在的列。
     * 数据库失败时返回 null，记录不存在或无法使用时返回原因。
     */
    private function item(int $trashId)
    {
        $rows = $this->db->query_prepared('SELECT * FROM ' . velmora_team_table('trash') . ' WHERE trashId = ? FOR UPDATE', [$trashId]);
        if ($rows === null) {
            return null;
        }
        if (!$rows) {
            return '回收站中没有这条记录，它可能已被恢复或彻底删除。';
        }
        $trash = $rows[0];
        $info = velmora_class_table((string)$trash['className']);
        $values = json_decode((string)$trash['rowValues'], true);
        $table = $info !== null ? $this->db->table_columns($info['table']) : null;
        if ($info === null || !is_array($values) || $table === null || !$table['columns']) {
            return $this->db->error !== '' ? null : '这条记录所属的类已不存在，不能处理。';
        }
        $row = array_intersect_key($values, array_flip($table['columns']));
        return [$trash, $info, $row];
    }

    private function remove_unused_picture(string $table, string $column, string $value): void
    {
        $used = $this->db->query_prepared('SELECT COUNT(*) AS n FROM `' . $table . '` WHERE `' . $column . '` = ?', [$value]);
        $inTrash = $this->db->query_prepared('SELECT COUNT(*) AS n FROM ' . velmora_team_table('trash') . ' WHERE rowValues LIKE ?',
            ['%' . addcslashes(json_encode($value, JSON_UNESCAPED_SLASHES), '%_\\') . '%']);
        $file = velmora_picture_file($value);
        if ($used !== null && $inTrash !== null && (int)$used[0]['n'] === 0 && (int)$inTrash[0]['n'] === 0
            && $file !== null && is_file($file) && @unlink($file)) {
            velmora_log('彻底删除记录，图片 ' . basename($file) . ' 已删除');
        }
    }
}
