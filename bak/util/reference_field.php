<?php
/*
 * 管理页面中的引用字段：记录不多时是下拉框；引用的表记录很多时（控制器得到 LookupRows）
 * 是查找框，输入文字后由 manage/lookup.php 按显示列查找（js/lookup.js，可以只用键盘操作）。
 * 查找框里显示的是记录的显示文字，随表单提交的是隐藏项中的主键。
 */

/* 查找框给出候选记录的地址。 */
function reference_lookup_url(string $class, string $member): string
{
    return velmora_url('/manage/lookup.php') . '?' . http_build_query(['class' => $class, 'field' => $member], '', '&', PHP_QUERY_RFC3986);
}

/* 查找框：文字框（combobox）与带名字的隐藏项；候选列表由脚本在第一次查找时加上。 */
function reference_combobox(LookupRows $rows, string $id, string $name, string $value, bool $required,
    string $class, string $member, string $placeholder): string
{
    $text = $value === '' ? '' : ($rows->display($value) ?? reference_current_display($class, $member, $value) ?? $value);
    return '<div class="lookup" data-lookup="' . h(reference_lookup_url($class, $member)) . '">'
        . '<input type="text" id="' . h($id) . '" role="combobox" aria-autocomplete="list" aria-expanded="false"'
        . ' autocomplete="off" placeholder="' . h($placeholder) . '"'
        . ' value="' . h($text) . '"' . ($required ? ' required' : '') . '>'
        . '<input type="hidden" name="' . h($name) . '" value="' . h($value) . '">'
        . '<div class="visually-hidden" aria-live="polite"></div>'
        . '</div>';
}

/* 表单中的引用字段。 */
function reference_input($rows, string $id, string $name, $value, bool $required, string $class, string $member): string
{
    if ($rows instanceof LookupRows) {
        return reference_combobox($rows, $id, $name, (string)$value, $required, $class, $member, '输入文字查找');
    }
    $current = (string)$value;
    if ($current !== '' && !reference_offered($rows, $current)) {
        $display = reference_current_display($class, $member, $current);
        if ($display !== null) {
            $rows = array_merge([['v' => $current, 't' => $display]], (array)$rows);
        }
    }
    return '<select id="' . h($id) . '" name="' . h($name) . '"' . ($required ? ' required' : '') . '>'
        . select_options($rows, $value, '请选择') . '</select>';
}

/* 下拉框的记录中是否有主键为 $value 的。 */
function reference_offered($rows, string $value): bool
{
    foreach ((array)$rows as $row) {
        if ((string)(array_values((array)$row)[0] ?? '') === $value) {
            return true;
        }
    }
    return false;
}

/*
 * 表单原来引用的记录的显示文字，不论用户能否看到那条记录（能修改这一行，就能不改引用地保存它）；
 * 记录不存在时返回 null。
 */
function reference_current_display(string $class, string $member, string $value): ?string
{
    $field = velmora_reference_field($class, $member);
    $shape = $field === null ? null : velmora_lookup_source((string)$field['refClass']);
    if ($shape === null) {
        return null;
    }
    $rows = velmora_rows(velmora_guard_conn(), 'select ' . $shape['display'] . ' as t from ' . $shape['table']
        . ' where ' . $shape['key'] . ' = ? limit 1', [$value]);
    return $rows ? (string)$rows[0]['t'] : null;
}

/* 查询表单中的引用条件；留空为“全部”。 */
function reference_search($rows, string $label, string $name, string $value, string $class): string
{
    if ($rows instanceof LookupRows) {
        return '<div class="lookup-search"><label for="s-' . h($name) . '">' . h($label) . '</label> '
            . reference_combobox($rows, 's-' . $name, $name, $value, false, $class, $name, '全部') . '</div>';
    }
    return '<label>' . h($label) . ' <select name="' . h($name) . '">' . select_options($rows, $value, '全部') . '</select></label>';
}

/* 添加表单预先填好的引用（详细信息中“添加”按钮带来的 fill[成员]=主键），只接受引用型成员。 */
function reference_prefill($entity, string $class): void
{
    $fill = req_raw('fill', []);
    if (!is_array($fill)) {
        return;
    }
    foreach ($fill as $member => $value) {
        if (is_string($member) && is_string($value) && velmora_reference_field($class, $member) !== null
            && method_exists($entity, 'set' . $member)) {
            $entity->{'set' . $member}($value);
        }
    }
}
