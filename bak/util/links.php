<?php
/*
 * 关联类（多对多）：主键由两个引用组成的类把两边的记录联系起来。
 * 两边的字段说明中 links 列出每个关联：关联表与它的两列、另一边的表、主键与显示列。
 * 查看页列出关联的记录；表单上的多选框在保存记录的同一个事务中设置关联
 * （只增加新选的、删除取消的，关联记录中的其他列保持不变）。
 * 请求守卫的一部分，由 guard.php 加载；直接请求本文件时回答 403。
 */
if (!defined('VELMORA_GUARD_LOADED')) {
    http_response_code(403);
    exit;
}

/* 类 $class 的关联；类名不是字母、数字和下划线或表名、列名不能用于 SQL 的关联不使用。 */
function velmora_links(string $class): array
{
    $links = [];
    foreach ((array)(velmora_class_fields($class)['links'] ?? []) as $link) {
        $names = [$link['table'] ?? '', $link['mine'] ?? '', $link['other'] ?? '',
            $link['otherTable'] ?? '', $link['otherKey'] ?? '', $link['otherDisplay'] ?? ''];
        $usable = is_string($link['class'] ?? null) && preg_match('/^[A-Za-z0-9_$]+$/', $link['class']);
        foreach ($names as $name) {
            $usable = $usable && is_string($name) && velmora_is_sql_name($name);
        }
        if ($usable) {
            $links[] = $link;
        }
    }
    return $links;
}

/* 另一边的全部记录：[[主键, 显示文字], ...]，按显示文字排列；失败时返回 null。 */
function velmora_link_choices(array $link): ?array
{
    $rows = velmora_rows(velmora_guard_conn(), 'SELECT ' . velmora_sql_name($link['otherKey']) . ' AS k, '
        . velmora_sql_name($link['otherDisplay']) . ' AS d FROM ' . velmora_sql_name($link['otherTable']) . ' ORDER BY 2, 1');
    return $rows === null ? null : array_map(function (array $row): array {
        return [(string)$row['k'], (string)$row['d']];
    }, $rows);
}

/* 记录 $key 关联的另一边的主键；失败时返回 null。 */
function velmora_linked_keys(array $link, string $key): ?array
{
    $rows = velmora_rows(velmora_guard_conn(), 'SELECT ' . velmora_sql_name($link['other']) . ' AS k FROM '
        . velmora_sql_name($link['table']) . ' WHERE ' . velmora_sql_name($link['mine']) . ' = ?', [$key]);
    return $rows === null ? null : array_map(function (array $row): string {
        return (string)$row['k'];
    }, $rows);
}

/* 查看页：每个关联一行，列出关联的记录。 */
function link_details(string $class, string $key): string
{
    $html = '';
    foreach (velmora_links($class) as $link) {
        $choices = velmora_link_choices($link);
        $linked = velmora_linked_keys($link, $key);
        if ($choices === null || $linked === null) {
            $shown = '<span class="alert error">无法读取关联的记录。</span>';
        } else {
            $names = [];
            foreach ($choices as [$value, $text]) {
                if (in_array($value, $linked, true)) {
                    $names[] = '<li>' . h($text) . '</li>';
                }
            }
            $shown = $names ? '<ul class="links">' . implode('', $names) . '</ul>' : '无';
        }
        $html .= '<dt>' . h($link['label'] ?? $link['class']) . '</dt><dd data-links="' . h($link['class']) . '">' . $shown . "</dd>\n";
    }
    return $html;
}

/* 表单：每个可在表单上设置的关联一个多选框；$key 为 null 时是添加。 */
function link_fields(string $class, ?string $key): string
{
    $html = '';
    foreach (velmora_links($class) as $link) {
        if (empty($link['editable'])) {
            continue;
        }
        $name = $link['class'];
        $choices = velmora_link_choices($link);
        $linked = $key === null ? [] : velmora_linked_keys($link, $key);
        if ($choices === null || $linked === null) {
            $html .= '<div class="alert error">无法读取' . h($link['label'] ?? $name) . '，保存时不改变关联。</div>';
            continue;
        }
        $options = '';
        foreach ($choices as [$value, $text]) {
            $options .= '<option value="' . h($value) . '"' . (in_array($value, $linked, true) ? ' selected' : '') . '>' . h($text) . '</option>';
        }
        $html .= '<div class="form-row"><label for="l-' . h($name) . '">' . h($link['label'] ?? $name) . '</label><div class="field">'
            . '<input type="hidden" name="velmora_links_shown[' . h($name) . ']" value="1">'
            . '<select id="l-' . h($name) . '" name="velmora_links[' . h($name) . '][]" multiple size="' . max(2, min(8, count($choices))) . '">'
            . $options . "</select></div></div>\n";
    }
    return $html;
}

/*
 * 在添加或修改记录 $key 的事务中设置它的关联：只处理表单上显示了多选框的关联，
 * 其余不变。成功返回 true；失败时返回 false（事务随之回滚）。
 */
function velmora_save_links(SqlHelper $db, string $class, string $key): bool
{
    $raw = $GLOBALS['VELMORA_RAW']['post'] ?? [];
    $shown = is_array($raw['velmora_links_shown'] ?? null) ? $raw['velmora_links_shown'] : [];
    foreach (velmora_links($class) as $link) {
        $name = $link['class'];
        if (empty($link['editable']) || !isset($shown[$name])) {
            continue;
        }
        $chosen = $raw['velmora_links'][$name] ?? [];
        if (!is_array($chosen)) {
            return false;
        }
        $chosen = array_values(array_unique(array_filter($chosen, 'is_string')));
        $table = velmora_sql_name($link['table']);
        $mine = velmora_sql_name($link['mine']);
        $other = velmora_sql_name($link['other']);
        $kept = $chosen ? ' AND ' . $other . ' NOT IN (' . implode(', ', array_fill(0, count($chosen), '?')) . ')' : '';
        $dropped = $db->query_prepared('SELECT * FROM ' . $table . ' WHERE ' . $mine . ' = ?' . $kept . ' FOR UPDATE', array_merge([$key], $chosen));
        if ($dropped === null
            || $db->execute_prepared('DELETE FROM ' . $table . ' WHERE ' . $mine . ' = ?' . $kept, array_merge([$key], $chosen)) < 0) {
            return false;
        }
        foreach ($dropped as $row) {
            if (!velmora_link_logged($db, $link, $row, 'delete')) {
                return false;
            }
        }
        foreach ($chosen as $value) {
            $n = $db->execute_prepared('INSERT INTO ' . $table . ' (' . $mine . ', ' . $other . ') SELECT ?, ? FROM DUAL WHERE NOT EXISTS'
                . ' (SELECT 1 FROM ' . $table . ' WHERE ' . $mine . ' = ? AND ' . $other . ' = ?)', [$key, $value, $key, $value]);
            if ($n < 0) {
                return false;
            }
            $added = $n === 0 ? [] : $db->query_prepared('SELECT * FROM ' . $table . ' WHERE ' . $mine . ' = ? AND ' . $other . ' = ?', [$key, $value]);
            if ($added === null || ($added && !velmora_link_logged($db, $link, $added[0], 'add'))) {
                return false;
            }
        }
    }
    return true;
}

/* 表单增加或取消的一条关联记入操作记录，记在关联类名下，与其他添加、删除一样。 */
function velmora_link_logged(SqlHelper $db, array $link, array $row, string $action): bool
{
    $info = velmora_class_table($link['class']);
    $values = [];
    foreach ($info['keyColumns'] ?? [] as $column) {
        $values[] = (string)($row[$column] ?? '');
    }
    return velmora_change_log($db, $link['class'], velmora_key_text($values), $action,
        $action === 'delete' ? $row : null, $action === 'add' ? $row : null);
}
