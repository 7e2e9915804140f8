<?php
/*
 * 操作记录与回收站的显示：记录查看页中的“操作记录”，以及操作记录页面、回收站共用的表格。
 * 列用类的中文名称，引用显示所引用记录的显示文字，修改只列出改变了的列，并标出它们。
 */
require_once __DIR__ . '/guard.php';

/* 类 $class 的列：列名 => ['label' => 中文名称, 'ref' => 所引用的类或 null]。 */
function history_columns(string $class): array
{
    static $cache = [];
    if (!isset($cache[$class])) {
        $cache[$class] = [];
        foreach ((array)(velmora_class_fields($class)['fields'] ?? []) as $field) {
            if (is_array($field) && is_string($field['name'] ?? null)) {
                $cache[$class][(string)($field['column'] ?? $field['name'])] = ['label' => (string)($field['label'] ?? $field['name']),
                    'ref' => ($field['type'] ?? '') === 'ref' ? (string)($field['refClass'] ?? '') : null];
            }
        }
    }
    return $cache[$class];
}

/* 类 $class 主键为 $key 的记录的显示文字；找不到（例如已删除）时返回 null。 */
function history_display(string $class, string $key): ?string
{
    static $cache = [];
    if (!array_key_exists($class . "\0" . $key, $cache)) {
        $shape = velmora_lookup_source($class);
        $rows = $shape === null ? null : velmora_rows(velmora_guard_conn(), 'SELECT ' . $shape['display'] . ' AS t FROM '
            . $shape['table'] . ' WHERE ' . $shape['key'] . ' = ? LIMIT 1', [$key]);
        $cache[$class . "\0" . $key] = $rows ? (string)$rows[0]['t'] : null;
    }
    return $cache[$class . "\0" . $key];
}

/* 一个值的显示：引用显示所引用记录的显示文字（主键在提示中）。 */
function history_value(?string $ref, $value): string
{
    $text = (string)$value;
    $shown = $ref !== null && $text !== '' ? history_display($ref, $text) : null;
    return $shown === null ? h($text) : '<span title="' . h($text) . '">' . h($shown) . '</span>';
}

/*
 * 一条操作记录中修改前后的值，按列逐行显示。修改只列出值不同的列（标为 changed）；
 * 添加、删除与回收站列出全部的列。
 */
function history_values(?string $before, ?string $after, string $class = ''): string
{
    $old = $before !== null ? (array)json_decode($before, true) : [];
    $new = $after !== null ? (array)json_decode($after, true) : [];
    $columns = $class !== '' ? history_columns($class) : [];
    $both = $before !== null && $after !== null;
    $out = '';
    foreach (array_unique(array_merge(array_keys($old), array_keys($new))) as $column) {
        $a = array_key_exists($column, $old) ? $old[$column] : null;
        $b = array_key_exists($column, $new) ? $new[$column] : null;
        $changed = $both && (string)$a !== (string)$b;
        if ($both && !$changed) {
            continue;
        }
        $ref = $columns[$column]['ref'] ?? null;
        $out .= '<div' . ($changed ? ' class="changed"' : '') . ' data-col="' . h((string)$column) . '"><span class="hint">'
            . h($columns[$column]['label'] ?? (string)$column) . '</span> '
            . ($before !== null ? '<span class="before">' . history_value($ref, $a) . '</span>' : '')
            . ($both ? ' → ' : '')
            . ($after !== null ? '<span class="after">' . history_value($ref, $b) . '</span>' : '') . '</div>';
    }
    return $out === '' && $both ? '<span class="hint">没有改变的值</span>' : $out;
}

/* 记录本身的显示文字：取自记下的值中类的显示列，没有时为主键。 */
function history_row_label(string $class, string $key, ?string ...$values): string
{
    $shape = velmora_lookup_source($class);
    $display = $shape === null ? '' : (string)$shape['displayName'];
    foreach ($values as $json) {
        $row = $json !== null ? (array)json_decode($json, true) : [];
        if ($display !== '' && isset($row[$display]) && (string)$row[$display] !== '') {
            return '<span title="' . h($key) . '">' . h((string)$row[$display]) . '</span>';
        }
    }
    return h($key);
}

const VELMORA_CHANGE_ACTIONS = ['add' => '添加', 'update' => '修改', 'delete' => '删除', 'restore' => '恢复', 'purge' => '彻底删除',
    'owner' => '设置创建者'];

/* 操作记录的表格；$withRow 时多出类与记录两列。 */
function history_table(array $rows, bool $withRow): string
{
    $entities = velmora_entities();
    $out = '<table class="grid history"><thead><tr><th scope="col">时间</th><th scope="col">用户</th>' . ($withRow ? '<th scope="col">类</th><th scope="col">记录</th>' : '')
        . '<th scope="col">操作</th><th scope="col">修改前 → 修改后</th></tr></thead><tbody>';
    foreach ($rows as $row) {
        $class = (string)$row['className'];
        $out .= '<tr data-action="' . h($row['action']) . '"><td>' . h($row['changedAt']) . '</td><td>' . h($row['adminName']) . '</td>'
            . ($withRow ? '<td>' . h($entities[$class]['friend'] ?? $class) . '</td><td>'
                . history_row_label($class, (string)$row['rowKey'], $row['afterValues'], $row['beforeValues']) . '</td>' : '')
            . '<td>' . h(VELMORA_CHANGE_ACTIONS[$row['action']] ?? $row['action']) . '</td>'
            . '<td>' . history_values($row['beforeValues'], $row['afterValues'], $class) . '</td></tr>';
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

/* 管理页面的分页：当前页（从 1 起）与每页条数的 LIMIT 子句。 */
const VELMORA_MANAGE_PAGE_SIZE = 50;

function manage_page_now(): int
{
    return max(1, (int)req_raw_string('page'));
}

function manage_page_limit(): string
{
    return ' LIMIT ' . VELMORA_MANAGE_PAGE_SIZE . ' OFFSET ' . ((manage_page_now() - 1) * VELMORA_MANAGE_PAGE_SIZE);
}

/* 分页导航：上一页、第 N / M 页、下一页；$query 为其余的查询参数。 */
function manage_pager(string $path, array $query, int $total): string
{
    $pages = max(1, (int)ceil($total / VELMORA_MANAGE_PAGE_SIZE));
    $now = min(manage_page_now(), $pages);
    $link = function (int $page, string $text, string $rel) use ($path, $query): string {
        return '<a class="btn plain small" rel="' . $rel . '" href="' . h(velmora_url($path) . '?' . http_build_query(['page' => $page] + $query)) . '">' . $text . '</a>';
    };
    return '<nav class="pager" aria-label="分页">' . ($now > 1 ? $link($now - 1, '上一页', 'prev') : '')
        . ' <span>第 ' . $now . ' / ' . $pages . ' 页，共 ' . $total . ' 条</span> '
        . ($now < $pages ? $link($now + 1, '下一页', 'next') : '') . '</nav>';
}
