<?php
/*
 * 一条记录的详细信息中，引用它的其他类的记录（例如一个年级的学生）：
 * 每个引用它的类列出第一页，带有“查看全部”（该类的列表，只显示引用这条记录的行）
 * 和“添加”（该类的添加表单，引用已经填好）。只列出用户可以查看的类与记录。
 */

/* 详细信息中每个引用类列出的记录数。 */
const CHILD_ROWS_SHOWN = 10;
/* 每个引用类最多显示的列数。 */
const CHILD_COLUMNS_SHOWN = 5;

/* 引用类 $class 中主键为 $key 的记录的各类记录。 */
function row_children(string $class, string $key): string
{
    $html = '';
    foreach (velmora_referrers($class) as [$child, $field]) {
        if (velmora_may($child, 'view')) {
            $html .= child_rows_section($child, $field, $key);
        }
    }
    return $html;
}

/* 类 $child 的记录中，成员 $field 引用 $key 的那些。 */
function child_rows_section(string $child, array $field, string $key): string
{
    $fields = velmora_class_fields($child) ?? [];
    $source = velmora_list_source($child);
    $column = velmora_member_column($child, (string)$field['name']);
    $own = velmora_own_condition($child);
    if ($source === null || $column === null || $own === null) {
        return '';
    }
    $where = ' from ' . $source['table'] . ' where 1=1' . $own . ' and ' . $column . ' = ?';
    $db = new SqlHelper();
    $counted = $db->query_prepared('select count(*) as n' . $where, [$key]);
    $rows = $counted === null ? null : $db->query_prepared('select ' . $source['select'] . $where . ' limit ' . CHILD_ROWS_SHOWN, [$key]);
    $error = $db->error;
    $db->close_connect();

    $id = 'children-' . $child . '-' . $field['name'];
    $title = ($fields['friend'] ?? $child) . '（' . ($field['label'] ?? $field['name']) . '）';
    $member = (string)$field['name'];
    $controller = velmora_url('/controller/' . rawurlencode($child) . 'Action.php');
    $filtered = ['action' => 'query', 'of' => [$member => $key]];
    $html = '<section class="children" id="' . h($id) . '" aria-labelledby="' . h($id) . '-title">'
        . '<h3 id="' . h($id) . '-title">' . h($title) . '</h3>';
    if ($rows === null) {
        return $html . '<div class="alert error">' . h($error !== '' ? $error : '数据库查询失败。') . '</div></section>';
    }
    $count = (int)($counted[0]['n'] ?? 0);
    $shown = child_columns($fields, $member);
    $html .= '<div class="grid-wrap"><table class="grid"><thead><tr>';
    foreach ($shown as $f) {
        $html .= '<th scope="col">' . h($f['label'] ?? $f['name']) . '</th>';
    }
    $html .= '<th scope="col">操作</th></tr></thead><tbody>';
    $childKey = (string)($fields['key'] ?? '');
    foreach ($rows as $row) {
        $html .= '<tr>';
        foreach ($shown as $f) {
            $html .= '<td data-col="' . h($f['name']) . '">' . h(child_cell($f, $row[$f['name']] ?? null)) . '</td>';
        }
        $detail = ['action' => 'query', 'view' => 'detail', $childKey => (string)($row[$childKey] ?? '')];
        $html .= '<td class="ops"><a class="view" href="' . h($controller . '?' . http_build_query($detail, '', '&', PHP_QUERY_RFC3986))
            . '">查看</a></td></tr>';
    }
    if (!$rows) {
        $html .= '<tr class="empty-row"><td colspan="' . (count($shown) + 1) . '">没有引用这条记录的' . h($fields['friend'] ?? $child) . '</td></tr>';
    }
    $html .= '</tbody></table></div><p class="children-actions"><span class="summary">共 ' . $count . ' 条</span> '
        . '<a class="btn plain" href="' . h($controller . '?' . http_build_query($filtered, '', '&', PHP_QUERY_RFC3986))
        . '" target="_parent">查看全部</a>';
    if (velmora_may($child, 'add')) {
        $add = ['action' => 'query', 'view' => 'add', 'fill' => [$member => $key]];
        $html .= ' <a class="btn add-child" href="' . h($controller . '?' . http_build_query($add, '', '&', PHP_QUERY_RFC3986))
            . '">添加</a>';
    }
    return $html . '</p></section>';
}

/* 列出的列：除引用本记录的成员、图片与长文字外，按模型中的顺序取前几列。 */
function child_columns(array $fields, string $member): array
{
    $shown = [];
    foreach ((array)($fields['fields'] ?? []) as $f) {
        if (is_array($f) && is_string($f['name'] ?? null) && $f['name'] !== $member
            && !in_array($f['type'] ?? '', ['picture', 'longtext'], true) && count($shown) < CHILD_COLUMNS_SHOWN) {
            $shown[] = $f;
        }
    }
    return $shown;
}

/* 一格的文字：引用显示为所引用记录的显示文字，日期、时间与是否型按列表中的写法。 */
function child_cell(array $field, $value): string
{
    switch ($field['type'] ?? '') {
        case 'ref':
            $rows = reference_rows((string)($field['refClass'] ?? ''));
            return $rows !== null ? ($rows->display($value) ?? (string)$value) : (string)$value;
        case 'date':
            return format_date($value);
        case 'datetime':
            return format_date($value, 'Y-m-d H:i');
        case 'time':
            return format_date($value, 'H:i');
        case 'bool':
            return format_yes_no($value);
    }
    return (string)$value;
}

/* 按主键查显示文字用的对象（每个类一个）；类的业务层没有下拉框语句时返回 null。 */
function reference_rows(string $class): ?LookupRows
{
    static $made = [];
    if (!array_key_exists($class, $made)) {
        $shape = velmora_lookup_source($class);
        $made[$class] = $shape === null ? null : new LookupRows($shape,
            'select ' . $shape['key'] . ' as ' . velmora_sql_quote($shape['keyName']) . ', ' . $shape['display'] . ' as '
            . velmora_sql_quote($shape['displayName']) . ' from ' . $shape['table'] . ' where 1=1' . velmora_lookup_condition($class));
    }
    return $made[$class];
}

/* 列表只显示引用某条记录的行时：查询表单中保留这个限定的隐藏项。 */
function parent_filter_fields(string $class): string
{
    $html = '';
    foreach (velmora_parent_filter($class) as $member => $value) {
        $html .= '<input type="hidden" name="of[' . h($member) . ']" value="' . h($value) . '">';
    }
    return $html;
}

/* 列表只显示引用某条记录的行时的说明，带有显示全部记录的链接。 */
function parent_filter_note(string $class): string
{
    $parts = [];
    foreach (velmora_parent_filter($class) as $member => $value) {
        $field = velmora_reference_field($class, $member);
        $rows = reference_rows((string)$field['refClass']);
        $text = $rows !== null ? ($rows->display($value) ?? $value) : $value;
        $parts[] = ($field['label'] ?? $member) . '为“' . $text . '”';
    }
    if (!$parts) {
        return '';
    }
    return '<div class="alert info parent-filter">只显示' . h(implode('、', $parts)) . '的记录。 <a class="btn plain" href="'
        . h(velmora_url('/controller/' . rawurlencode($class) . 'Action.php') . '?action=query') . '">显示全部记录</a></div>';
}
