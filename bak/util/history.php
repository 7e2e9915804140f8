<?php
/*
 * 操作记录的显示：记录查看页中的“操作记录”，以及操作记录页面共用的表格。
 */
require_once __DIR__ . '/guard.php';

/* 一条操作记录中修改前后的值，按列逐行显示（值不同的列标出）。 */
function history_values(?string $before, ?string $after): string
{
    $old = $before !== null ? (array)json_decode($before, true) : [];
    $new = $after !== null ? (array)json_decode($after, true) : [];
    $out = '';
    foreach (array_unique(array_merge(array_keys($old), array_keys($new))) as $column) {
        $a = array_key_exists($column, $old) ? (string)$old[$column] : '';
        $b = array_key_exists($column, $new) ? (string)$new[$column] : '';
        $changed = $before !== null && $after !== null && $a !== $b;
        $out .= '<div' . ($changed ? ' class="changed"' : '') . ' data-col="' . h($column) . '"><span class="hint">' . h($column) . '</span> '
            . ($before !== null ? '<span class="before">' . h($a) . '</span>' : '')
            . ($before !== null && $after !== null ? ' → ' : '')
            . ($after !== null ? '<span class="after">' . h($b) . '</span>' : '') . '</div>';
    }
    return $out;
}

const VELMORA_CHANGE_ACTIONS = ['add' => '添加', 'update' => '修改', 'delete' => '删除', 'restore' => '恢复', 'purge' => '彻底删除',
    'owner' => '设置创建者'];

/* 操作记录的表格；$withRow 时多出类与主键两列。 */
function history_table(array $rows, bool $withRow): string
{
    $entities = velmora_entities();
    $out = '<table class="grid history"><thead><tr><th scope="col">时间</th><th scope="col">用户</th>' . ($withRow ? '<th scope="col">类</th><th scope="col">主键</th>' : '')
        . '<th scope="col">操作</th><th scope="col">修改前 → 修改后</th></tr></thead><tbody>';
    foreach ($rows as $row) {
        $out .= '<tr data-action="' . h($row['action']) . '"><td>' . h($row['changedAt']) . '</td><td>' . h($row['adminName']) . '</td>'
            . ($withRow ? '<td>' . h($entities[$row['className']]['friend'] ?? $row['className']) . '</td><td>' . h($row['rowKey']) . '</td>' : '')
            . '<td>' . h(VELMORA_CHANGE_ACTIONS[$row['action']] ?? $row['action']) . '</td>'
            . '<td>' . history_values($row['beforeValues'], $row['afterValues']) . '</td></tr>';
    }
    if (!$rows) {
        $out .= '<tr class="empty-row"><td colspan="' . ($withRow ? 6 : 4) . '">没有操作记录</td></tr>';
    }
    return $out . '</tbody></table>';
}

/* 记录查看页中的“操作记录”：这条记录的全部添加、修改、删除与恢复。 */
function row_history(string $class, string $key): string
{
    $rows = velmora_rows(velmora_guard_conn(), 'SELECT * FROM ' . velmora_team_table('change_log')
        . ' WHERE className = ? AND rowKey = ? ORDER BY changeId DESC LIMIT 200', [$class, $key]);
    $body = $rows === null ? '<div class="alert error">无法读取操作记录。</div>' : history_table($rows, false);
    return '<details class="panel history-tab" id="history"><summary>操作记录</summary>' . $body . '</details>';
}
