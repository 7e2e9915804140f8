<?php
/*
 * CSV 导入的写入：检查通过的全部行在一个事务中添加或修改，与表单的添加、修改一样
 * 记下操作记录（修改前后的值）和添加的记录的创建者。任何一行写入失败，整个导入回滚。
 */

class CsvImportWriter
{
    /** @var CsvImportPlan */
    private $plan;
    /** 失败时的原因 */
    public $error = '';

    public function __construct(CsvImportPlan $plan)
    {
        $this->plan = $plan;
    }

    /* 写入全部行；成功时返回 true。 */
    public function write(SqlHelper $db): bool
    {
        $done = $db->in_transaction(function (SqlHelper $db) {
            foreach ($this->plan->adds as $row) {
                if (!$this->add($db, $row)) {
                    return null;
                }
            }
            foreach ($this->plan->updates as $row) {
                if (!$this->update($db, $row)) {
                    return null;
                }
            }
            return true;
        });
        if ($done === null) {
            $this->error = ($this->error !== '' ? $this->error : ($db->error !== '' ? $db->error : '数据库操作失败。'))
                . '整个导入没有生效。';
            return false;
        }
        return true;
    }

    private function add(SqlHelper $db, array $row): bool
    {
        $values = $row['values'];
        foreach ($this->plan->fields['fields'] as $field) {
            if (($field['type'] ?? '') === 'picture') {
                $values[$field['name']] = '/upload/NoImage.jpg'; // 与表单添加时没有选择图片相同
            }
        }
        $columns = array_map(function (string $name): string {
            return $this->plan->columns[$name] ?? (string)velmora_member_column($this->plan->class, $name);
        }, array_keys($values));
        $sql = 'insert into ' . $this->plan->table . ' (' . implode(', ', $columns) . ') values ('
            . implode(', ', array_fill(0, count($values), '?')) . ')';
        if ($db->execute_prepared($sql, array_values($values)) < 0) {
            return $this->failed($row, $db);
        }
        $key = $row['key'] !== '' ? $row['key'] : (string)$db->conn->insert_id;
        $after = $this->stored_row($db, $key);
        $info = velmora_class_table($this->plan->class);
        return $after !== null
            && velmora_set_owner($db, $info['table'] ?? '', $key, velmora_user_id())
            && velmora_change_log($db, $this->plan->class, $key, 'add', null, $after);
    }

    private function update(SqlHelper $db, array $row): bool
    {
        $before = $this->stored_row($db, $row['key']);
        if ($before === null) {
            return false;
        }
        $set = [];
        $params = [];
        foreach ($row['values'] as $name => $value) {
            if ($name !== $this->keyName()) {
                $set[] = $this->plan->columns[$name] . ' = ?';
                $params[] = $value;
            }
        }
        if (!$set) {
            return true;
        }
        $params[] = $row['key'];
        if ($db->execute_prepared('update ' . $this->plan->table . ' set ' . implode(', ', $set) . ' where '
            . $this->plan->columns[$this->keyName()] . ' = ?', $params) < 0) {
            return $this->failed($row, $db);
        }
        $after = $this->stored_row($db, $row['key']);
        return $after !== null && ($after == $before
            || velmora_change_log($db, $this->plan->class, $row['key'], 'update', $before, $after));
    }

    /* 一条记录的全部列（锁住它直到事务结束）；失败时返回 null。 */
    private function stored_row(SqlHelper $db, string $key): ?array
    {
        $rows = $db->query_prepared('select * from ' . $this->plan->table . ' where '
            . $this->plan->columns[$this->keyName()] . ' = ? for update', [$key]);
        return $rows === null ? null : ($rows[0] ?? []);
    }

    private function failed(array $row, SqlHelper $db): bool
    {
        $this->error = '第 ' . $row['line'] . ' 行写入失败：' . ($db->error !== '' ? $db->error : '数据库操作失败。');
        return false;
    }

    private function keyName(): string
    {
        return (string)($this->plan->fields['key'] ?? '');
    }
}
