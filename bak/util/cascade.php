<?php
/*
 * 删除一条记录时数据库随之删除或修改的记录：按数据库中真实的外键（ON DELETE CASCADE、SET NULL）
 * 逐层找出，删除前让用户确认、检查权限，并发现会被 RESTRICT 拒绝的删除；
 * 回收站把整组记录作为一项保存，恢复时按先父后子的顺序插回（见 TrashBin）。
 * 查询通过 $query(string $sql, array $params): ?array 进行，守卫用自己的连接，
 * 删除时在删除的事务中进行并锁住找到的记录。
 * 请求守卫的一部分，由 guard.php 加载；直接请求本文件时回答 403。
 */
if (!defined('VELMORA_GUARD_LOADED')) {
    http_response_code(403);
    exit;
}

/* 一次删除最多随之处理的记录数，再多时拒绝删除（回收站要完整保存它们）。 */
const VELMORA_CASCADE_MAX = 5000;

/*
 * 数据库中的外键与主键：['refs' => [被引用的表 => [['table', 'columns', 'refColumns', 'rule'], ...]],
 * 'keys' => [表 => 主键列]]。失败时返回 null。
 */
function velmora_schema_links(callable $query): ?array
{
    static $links = null;
    if ($links !== null) {
        return $links;
    }
    $rows = $query('SELECT k.TABLE_NAME AS t, k.CONSTRAINT_NAME AS c, k.COLUMN_NAME AS col, k.REFERENCED_TABLE_NAME AS rt,'
        . ' k.REFERENCED_COLUMN_NAME AS rcol, rc.DELETE_RULE AS rule FROM information_schema.KEY_COLUMN_USAGE k'
        . ' LEFT JOIN information_schema.REFERENTIAL_CONSTRAINTS rc ON rc.CONSTRAINT_SCHEMA = k.CONSTRAINT_SCHEMA'
        . ' AND rc.CONSTRAINT_NAME = k.CONSTRAINT_NAME AND rc.TABLE_NAME = k.TABLE_NAME'
        . ' WHERE k.TABLE_SCHEMA = DATABASE() AND (k.REFERENCED_TABLE_NAME IS NOT NULL OR k.CONSTRAINT_NAME = \'PRIMARY\')'
        . ' ORDER BY k.TABLE_NAME, k.CONSTRAINT_NAME, k.ORDINAL_POSITION', []);
    if ($rows === null) {
        return null;
    }
    $found = ['refs' => [], 'keys' => []];
    $foreign = [];
    foreach ($rows as $row) {
        if ($row['c'] === 'PRIMARY' && $row['rt'] === null) {
            $found['keys'][$row['t']][] = $row['col'];
            continue;
        }
        $id = $row['t'] . "\0" . $row['c'];
        $foreign[$id] = $foreign[$id] ?? ['table' => $row['t'], 'refTable' => $row['rt'], 'columns' => [], 'refColumns' => [],
            'rule' => strtoupper((string)($row['rule'] ?? 'RESTRICT'))];
        $foreign[$id]['columns'][] = $row['col'];
        $foreign[$id]['refColumns'][] = $row['rcol'];
    }
    foreach ($foreign as $fk) {
        $found['refs'][$fk['refTable']][] = $fk;
    }
    return $links = $found;
}

/* 表名 => 类名（应用中的类；不属于任何类的表没有）。 */
function velmora_table_classes(): array
{
    static $map = null;
    if ($map === null) {
        $map = [];
        foreach (array_keys(velmora_entities()) as $class) {
            $info = velmora_class_table($class);
            if ($info !== null) {
                $map[$info['table']] = $class;
            }
        }
    }
    return $map;
}

/* 一条记录在整组中的标识：表与主键值（没有主键的表用整行的值）。 */
function velmora_cascade_id(string $table, array $row, array $keys): string
{
    $values = [];
    foreach ($keys ?: array_keys($row) as $column) {
        $values[] = $row[$column] ?? null;
    }
    return $table . "\0" . json_encode($values, JSON_UNESCAPED_UNICODE | JSON_INVALID_UTF8_SUBSTITUTE);
}

/*
 * 删除表 $table 中的记录 $row 时数据库随之处理的记录：
 *   delete   => 随之删除的记录（不含 $row 本身），先父后子：[['table', 'row', 'id'], ...]；
 *   setNull  => 引用列被清空的记录：[['table', 'row', 'columns', 'id'], ...]；
 *   restrict => 阻止删除的记录数：[表 => 条数]；
 *   tooMany  => 超过 VELMORA_CASCADE_MAX 条时为 true（其余各项不完整）。
 * $lock 时锁住找到的记录直到事务结束。查询失败时返回 null。
 */
function velmora_delete_plan(callable $query, string $table, array $row, bool $lock): ?array
{
    $links = velmora_schema_links($query);
    if ($links === null) {
        return null;
    }
    $rootId = velmora_cascade_id($table, $row, $links['keys'][$table] ?? []);
    $nodes = [$rootId => ['table' => $table, 'row' => $row, 'id' => $rootId]];
    $queue = [$rootId];
    $edges = [];
    $setNull = [];
    $restrict = [];
    while ($queue) {
        $parentId = array_shift($queue);
        $parent = $nodes[$parentId];
        foreach ($links['refs'][$parent['table']] ?? [] as $fk) {
            $values = [];
            foreach ($fk['refColumns'] as $column) {
                $values[] = $parent['row'][$column] ?? null;
            }
            if (in_array(null, $values, true)) {
                continue;
            }
            $children = $query('SELECT * FROM ' . velmora_sql_name($fk['table']) . ' WHERE ' . velmora_key_where($fk['columns'])
                . ($lock ? ' FOR UPDATE' : ''), $values);
            if ($children === null) {
                return null;
            }
            foreach ($children as $child) {
                $id = velmora_cascade_id($fk['table'], $child, $links['keys'][$fk['table']] ?? []);
                if ($id === $parentId && $fk['rule'] !== 'CASCADE') {
                    continue; // 引用自己的记录随自己一起删除
                }
                $edges[] = [$parentId, $id];
                if ($fk['rule'] === 'CASCADE') {
                    if (!isset($nodes[$id])) {
                        $nodes[$id] = ['table' => $fk['table'], 'row' => $child, 'id' => $id];
                        $queue[] = $id;
                        if (count($nodes) > VELMORA_CASCADE_MAX + 1) {
                            return ['delete' => [], 'setNull' => [], 'restrict' => [], 'tooMany' => true];
                        }
                    }
                } elseif ($fk['rule'] === 'SET NULL') {
                    $setNull[$id] = $setNull[$id] ?? ['table' => $fk['table'], 'row' => $child, 'columns' => [], 'id' => $id];
                    $setNull[$id]['columns'] = array_values(array_unique(array_merge($setNull[$id]['columns'], $fk['columns'])));
                } else {
                    $restrict[$id] = $fk['table'];
                }
            }
        }
    }
    $plan = ['delete' => [], 'setNull' => [], 'restrict' => [], 'tooMany' => false];
    foreach ($restrict as $id => $childTable) {
        if (!isset($nodes[$id])) {
            $plan['restrict'][$childTable] = ($plan['restrict'][$childTable] ?? 0) + 1;
        }
    }
    foreach ($setNull as $id => $item) {
        if (!isset($nodes[$id])) {
            $plan['setNull'][] = $item;
        }
    }
    foreach (velmora_parents_first(array_keys($nodes), $edges) as $id) {
        if ($id !== $rootId) {
            $plan['delete'][] = $nodes[$id];
        }
    }
    return $plan;
}

/* 按 $edges（[父, 子]）排出先父后子的顺序；有环时其余的按发现的顺序排在后面。 */
function velmora_parents_first(array $ids, array $edges): array
{
    $known = array_flip($ids);
    $parents = array_fill_keys($ids, 0);
    $children = [];
    foreach ($edges as [$parent, $child]) {
        if (isset($known[$parent], $known[$child]) && $parent !== $child) {
            $parents[$child]++;
            $children[$parent][] = $child;
        }
    }
    $order = [];
    $ready = array_values(array_filter($ids, function ($id) use ($parents) {
        return $parents[$id] === 0;
    }));
    while ($ready) {
        $id = array_shift($ready);
        $order[$id] = true;
        foreach ($children[$id] ?? [] as $child) {
            if (--$parents[$child] === 0) {
                $ready[] = $child;
            }
        }
    }
    foreach ($ids as $id) {
        $order[$id] = true;
    }
    return array_keys($order);
}

/* 表的显示名：类的友好名称，不属于任何类的表用表名。 */
function velmora_table_label(string $table): string
{
    $class = velmora_table_classes()[$table] ?? null;
    return $class !== null ? (string)(velmora_entities()[$class]['friend'] ?? $class) : $table;
}

/* 按表计数：“17 条联系人、9 条订单”。 */
function velmora_cascade_counts(array $items): string
{
    $counts = [];
    foreach ($items as $item) {
        $counts[$item['table']] = ($counts[$item['table']] ?? 0) + 1;
    }
    $parts = [];
    foreach ($counts as $table => $n) {
        $parts[] = $n . ' 条' . velmora_table_label((string)$table);
    }
    return implode('、', $parts);
}

/* 确认时显示的说明；没有随之处理的记录时为空。 */
function velmora_cascade_text(array $plan): string
{
    $text = $plan['delete'] ? '将同时删除 ' . velmora_cascade_counts($plan['delete']) . '。' : '';
    if ($plan['setNull']) {
        $text .= '将清空 ' . velmora_cascade_counts($plan['setNull']) . '中引用它的值。';
    }
    return $text;
}

/* 确认的凭据：随之处理的记录（表与主键）不变，它就不变。 */
function velmora_cascade_token(array $plan): string
{
    if (!$plan['delete'] && !$plan['setNull']) {
        return '';
    }
    $ids = [];
    foreach (['delete', 'setNull'] as $kind) {
        foreach ($plan[$kind] as $item) {
            $ids[] = $kind . ':' . $item['id'];
        }
    }
    sort($ids, SORT_STRING);
    return substr(sha1(implode("\n", $ids)), 0, 16);
}

/*
 * 不能这样删除的原因；可以时返回 null。RESTRICT 的外键、太多的记录、
 * 用户对随之删除的类没有删除权限（清空引用时没有修改权限），或其中有不属于他的记录（仅限本人的记录时）。
 */
function velmora_cascade_refusal(array $plan): ?string
{
    if ($plan['tooMany']) {
        return '随这条记录一起删除的记录超过 ' . VELMORA_CASCADE_MAX . ' 条，不能在这里删除。';
    }
    if ($plan['restrict']) {
        $parts = [];
        foreach ($plan['restrict'] as $table => $n) {
            $parts[] = $n . ' 条' . velmora_table_label((string)$table);
        }
        return '这条记录正被其他数据引用，不能删除：还有 ' . implode('、', $parts) . '引用它（或随它删除的记录），请先删除或修改它们。';
    }
    $classes = velmora_table_classes();
    foreach (['delete' => 'delete', 'setNull' => 'edit'] as $kind => $right) {
        foreach ($plan[$kind] as $item) {
            $class = $classes[$item['table']] ?? null;
            $allowed = $class !== null ? velmora_may($class, $right) : velmora_is_admin();
            if (!$allowed) {
                return '不能删除：这条记录连带' . ($kind === 'delete' ? '删除' : '修改') . velmora_table_label($item['table'])
                    . '的记录，而你没有' . VELMORA_RIGHTS[$right] . '它们的权限。';
            }
            if ($class !== null && velmora_own_only($class) && empty(velmora_class_fields($class)['readOnly'])) {
                $info = velmora_class_table($class);
                $key = velmora_key_text(array_map(function ($c) use ($item) {
                    return (string)$item['row'][$c];
                }, $info['keyColumns']));
                if (!velmora_owns($class, $key)) {
                    return '不能删除：这条记录连带' . ($kind === 'delete' ? '删除' : '修改') . '他人创建的' . velmora_table_label($item['table']) . '记录。';
                }
            }
        }
    }
    return null;
}

/* 守卫自己的连接上的查询（velmora_rows），供 $query 参数使用。 */
function velmora_guard_rows(string $sql, array $params): ?array
{
    return velmora_rows(velmora_guard_conn(), $sql, $params);
}

/* 当前请求要删除的记录：[类的表与主键, 记录]；不是删除请求或找不到记录时返回 null。 */
function velmora_requested_delete(string $class): ?array
{
    $info = velmora_class_table($class);
    $raw = $GLOBALS['VELMORA_RAW']['get'] ?? $_GET;
    if ($info === null) {
        return null;
    }
    $values = [];
    foreach ($info['keys'] as $field) {
        if (!is_string($raw[$field] ?? null)) {
            return null;
        }
        $values[] = $raw[$field];
    }
    $rows = velmora_guard_rows('SELECT * FROM ' . velmora_sql_name($info['table']) . ' WHERE ' . velmora_key_where($info['keyColumns']), $values);
    return $rows ? [$info, $rows[0]] : null;
}

/*
 * 请求守卫中的一步：删除之前找出随之处理的记录。不能删除时转到 /error.php 说明原因；
 * 有随之删除或修改的记录而请求没有带上对它们的确认（cascade）时，给出确认页面。
 * 删除的事务中会在锁住记录后再检查一次（见 RowChange）。
 */
function velmora_guard_delete(string $class): void
{
    $found = velmora_requested_delete($class);
    if ($found === null) {
        return; // 找不到记录时由控制器照常回答
    }
    [$info, $row] = $found;
    $plan = velmora_delete_plan('velmora_guard_rows', $info['table'], $row, false);
    if ($plan === null) {
        velmora_fail('无法读取随这条记录删除的数据，请稍后再试。');
    }
    $refusal = velmora_cascade_refusal($plan);
    if ($refusal !== null) {
        velmora_log('删除 ' . $class . ' 的记录被拒绝：' . $refusal);
        velmora_fail($refusal);
    }
    $token = velmora_cascade_token($plan);
    $given = $_POST['cascade'] ?? '';
    if ($token === '' || $given === $token) {
        return;
    }
    while (ob_get_level() > 0) {
        ob_end_clean();
    }
    $e = function (string $text): string {
        return htmlspecialchars($text, ENT_QUOTES, 'UTF-8');
    };
    $again = $given !== '' ? '<p class="alert error">要同时处理的记录在你确认之后有了变化，请再确认一次。</p>' : '';
    echo '<!DOCTYPE html><html lang="zh-CN"><head><meta charset="UTF-8"><title>确认删除</title>'
        . '<link rel="stylesheet" href="' . $e(velmora_url('/css/style.css')) . '"><script src="' . $e(velmora_url('/js/app.js')) . '"></script></head>'
        . '<body class="message-page"><div class="message-box" id="cascade-confirm"><h1>确认删除</h1>' . $again
        . '<p id="cascade-text">' . $e(velmora_cascade_text($plan)) . '</p><p>这些记录会和它一起放进回收站，可以一起恢复。</p>'
        . '<form method="post" action="' . $e((string)($_SERVER['REQUEST_URI'] ?? '')) . '"><input type="hidden" name="action" value="del">'
        . '<input type="hidden" name="cascade" value="' . $e($token) . '"><p class="actions"><button type="submit" class="btn danger">删除</button> '
        . '<a class="btn" data-history-back href="' . $e(velmora_url('/controller/' . $class . 'Action.php?action=query')) . '">取消</a></p></form>'
        . '</div></body></html>';
    exit();
}

/* 回收站中一项随之删除或清空引用的记录，按类计数（HTML）；没有时为空字符串。 */
function velmora_trash_cascade(string $json): string
{
    $saved = $json !== '' ? json_decode($json, true) : null;
    if (!is_array($saved)) {
        return '';
    }
    $text = velmora_cascade_text(['delete' => (array)($saved['delete'] ?? []), 'setNull' => (array)($saved['setNull'] ?? [])]);
    $text = strtr($text, ['将同时删除 ' => '同时删除了 ', '将清空 ' => '清空了 ']);
    return $text === '' ? '' : '<div class="hint cascade">' . htmlspecialchars($text . '恢复时一起恢复。', ENT_QUOTES, 'UTF-8') . '</div>';
}
