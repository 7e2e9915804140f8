<?php
/*
 * 控制器的添加、修改、删除：在同一个事务中执行业务层的语句，并且
 *  - 记下操作记录（谁、何时、哪个类、哪条记录、修改前后的值）；
 *  - 添加时记下记录的创建者（“仅限本人创建的记录”按它判断），用户的表不加任何列；
 *  - 删除时把整条记录放进回收站，图片文件保留，以便恢复；数据库随之删除或清空引用的记录
 *    （ON DELETE CASCADE、SET NULL）锁住后一并记入同一项（见 util/cascade.php）。
 * 任何一步失败，整个事务回滚，业务层的语句也不生效。
 */
require_once __DIR__ . '/../util/guard.php';
require_once __DIR__ . '/CascadeTrash.class.php';

class RowChange
{
    private const VERBS = ['add' => 'insert', 'update' => 'update', 'del' => 'delete'];

    private $class;
    private $table;
    private $keyFields;
    private $keyColumns;
    private $integerKey;
    private $action;

    private function __construct(string $class, array $info, string $action)
    {
        $this->class = $class;
        $this->table = $info['table'];
        $this->keyFields = $info['keys'];
        $this->keyColumns = $info['keyColumns'];
        $this->integerKey = $info['integerKey'];
        $this->action = $action;
    }

    /* 当前请求是控制器的添加、修改或删除，且 $sql 正是对该类的表做这件事时返回对象，否则返回 null。 */
    public static function for_statement(string $sql): ?RowChange
    {
        $class = PHP_SAPI === 'cli' ? null : velmora_controller_class();
        $action = is_string($_REQUEST['action'] ?? null) ? $_REQUEST['action'] : '';
        $info = $class !== null && isset(self::VERBS[$action]) ? velmora_class_table($class) : null;
        if ($info === null) {
            return null;
        }
        $pattern = ['insert' => 'insert\s+into', 'update' => 'update', 'delete' => 'delete\s+from'][self::VERBS[$action]];
        if (!preg_match('/^\s*' . $pattern . '\s+`?' . preg_quote($info['table'], '/') . '`?[\s(]/i', $sql)) {
            return null;
        }
        return new RowChange($class, $info, $action);
    }

    /* 在事务中运行 $statement（返回 execute_dml 的结果）和随之的记录；返回 execute_dml 的结果。 */
    public function run(SqlHelper $db, callable $statement): int
    {
        $outcome = 0;
        $done = $db->in_transaction(function (SqlHelper $db) use ($statement, &$outcome) {
            $key = $this->action === 'add' ? null : $this->requested_key();
            $before = $key !== null ? $this->row($db, $key) : [];
            if ($before === null) {
                return null;
            }
            $plan = null;
            if ($this->action === 'del' && $before) {
                $plan = $this->delete_plan($db, $before);
                if ($plan === null) {
                    return null;
                }
            }
            $outcome = (int)$statement();
            if ($outcome !== 1) {
                // 失败时回滚；没有改变任何记录时（值相同）不记操作记录，表单上的关联照样设置。
                if ($outcome === 0) {
                    return null;
                }
                return $this->action !== 'update' || velmora_save_links($db, $this->class, (string)$key) ? true : null;
            }
            if ($this->action === 'add') {
                $key = $this->integerKey ? (string)$db->conn->insert_id : $this->requested_key();
            }
            $after = $this->action === 'del' ? [] : $this->row($db, (string)$key);
            $ok = $after !== null && $this->record($db, (string)$key, $before, $after, $plan)
                && ($this->action === 'del' || velmora_save_links($db, $this->class, (string)$key));
            if (!$ok) {
                velmora_session_start();
                $_SESSION['velmora_reason'] = $db->error !== '' ? $db->error : '保存操作记录失败，本次操作没有生效。';
            }
            return $ok ? true : null;
        });
        return $done === null ? 0 : $outcome;
    }

    /*
     * 删除前锁住随之删除或修改的记录并再检查一次：不能删除，或者与用户确认的不同时，
     * 记下原因并返回 null（事务回滚）。
     */
    private function delete_plan(SqlHelper $db, array $row): ?array
    {
        $plan = velmora_delete_plan([$db, 'query_prepared'], $this->table, $row, true);
        if ($plan === null) {
            return null;
        }
        $refusal = velmora_cascade_refusal($plan);
        $token = velmora_cascade_token($plan);
        $given = $GLOBALS['VELMORA_RAW']['post']['cascade'] ?? '';
        if ($refusal === null && $token !== '' && $given !== $token) {
            $refusal = '要同时删除或修改的记录已经变化，请重新删除并确认。';
        }
        if ($refusal !== null) {
            velmora_session_start();
            velmora_remember_reason($refusal);
            return null;
        }
        return $plan;
    }

    /* 请求中的主键文字（转义之前的原值，见 velmora_key_text）：修改时在表单中，删除时在地址中。 */
    private function requested_key(): ?string
    {
        $raw = $GLOBALS['VELMORA_RAW'] ?? ['get' => [], 'post' => []];
        $values = [];
        foreach ($this->keyFields as $field) {
            $value = $this->action === 'del'
                ? ($raw['get'][$field] ?? null)
                : ($raw['post'][velmora_lcfirst($this->class)][$field] ?? null);
            if (!is_string($value)) {
                return null;
            }
            $values[] = $value;
        }
        return velmora_key_text($values);
    }

    /* 一条记录的全部列（锁住它直到事务结束）；没有时返回 []，失败时返回 null。 */
    private function row(SqlHelper $db, string $key): ?array
    {
        $values = velmora_key_values($key, count($this->keyColumns));
        if ($values === null) {
            return [];
        }
        $rows = $db->query_prepared('SELECT * FROM ' . velmora_sql_name($this->table) . ' WHERE ' . velmora_key_where($this->keyColumns) . ' FOR UPDATE', $values);
        return $rows === null ? null : ($rows[0] ?? []);
    }

    private function record(SqlHelper $db, string $key, array $before, array $after, ?array $plan): bool
    {
        $user = velmora_user_id();
        $owners = velmora_team_table('row_owner');
        if ($this->action === 'add'
            && !velmora_set_owner($db, $this->table, $key, $user)) {
            return false;
        }
        if ($this->action === 'del') {
            $owner = $db->query_prepared('SELECT adminId FROM ' . $owners . ' WHERE ' . VELMORA_OWNER_ROW, velmora_owner_params($this->table, $key));
            $cascade = $owner === null ? null : ($plan !== null ? CascadeTrash::record($db, $plan) : '');
            if ($owner === null || $cascade === null
                || $db->execute_prepared('INSERT INTO ' . velmora_team_table('trash')
                    . ' (className, rowKey, rowValues, ownerId, deletedBy, deletedByName, deletedAt, cascadeValues) VALUES (?, ?, ?, ?, ?, ?, NOW(), ?)',
                    [$this->class, $key, velmora_json($before), $owner[0]['adminId'] ?? null, $user, self::user_name(),
                        $cascade === '' ? null : $cascade]) < 0
                || $db->execute_prepared('DELETE FROM ' . $owners . ' WHERE ' . VELMORA_OWNER_ROW, velmora_owner_params($this->table, $key)) < 0) {
                return false;
            }
        }
        $action = ['add' => 'add', 'update' => 'update', 'del' => 'delete'][$this->action];
        return velmora_change_log($db, $this->class, $key, $action, $before ?: null, $after ?: null);
    }

    public static function user_name(): string
    {
        return (string)($_SESSION['velmora_admin_name'] ?? '');
    }
}

/* 记录的值写成 JSON（中文不转义）。 */
function velmora_json(array $row): string
{
    return (string)json_encode($row, JSON_UNESCAPED_UNICODE | JSON_UNESCAPED_SLASHES | JSON_INVALID_UTF8_SUBSTITUTE);
}

/*
 * 写一条操作记录；$before、$after 为 null 表示没有（添加前、删除后）。
 * 记录的编号是事务的提交凭据：提交时连接中断的话，查到它就说明已经提交，不能再做一次。
 */
function velmora_change_log(SqlHelper $db, string $class, string $key, string $action, ?array $before, ?array $after): bool
{
    $table = velmora_team_table('change_log');
    if ($db->execute_prepared('INSERT INTO ' . $table
        . ' (changedAt, adminId, adminName, className, rowKey, action, beforeValues, afterValues) VALUES (NOW(), ?, ?, ?, ?, ?, ?, ?)',
        [velmora_user_id(), RowChange::user_name(), $class, $key, $action,
            $before === null ? null : velmora_json($before), $after === null ? null : velmora_json($after)]) < 0) {
        return false;
    }
    $db->commit_proof('SELECT 1 FROM ' . $table . ' WHERE changeId = ?', [(string)$db->conn->insert_id]);
    return true;
}
