<?php
/*
 * 提交内容的检查：无效的字符、不加引号进入 SQL 的值、按字段说明检查表单。
 * 请求守卫的一部分，由 guard.php 加载；直接请求本文件时回答 403。
 */
if (!defined('VELMORA_GUARD_LOADED')) {
    http_response_code(403);
    exit;
}

/* 文字是否可以接受：不含空字符，并且是有效的 UTF-8。 */
function velmora_clean_text(string $text): bool
{
    return strpos($text, "\0") === false && preg_match('//u', $text) === 1;
}

/* 第一个名字或值含空字符、或不是 UTF-8 文字的请求项的名字；都没有问题时返回 null。 */
function velmora_bad_field(array $values, string $prefix = ''): ?string
{
    foreach ($values as $k => $v) {
        if (!velmora_clean_text((string)$k)) {
            return $prefix;
        }
        $name = $prefix === '' ? (string)$k : $prefix . '[' . $k . ']';
        if (is_array($v)) {
            $bad = velmora_bad_field($v, $name);
            if ($bad !== null) {
                return $bad;
            }
        } elseif (is_string($v) && !velmora_clean_text($v)) {
            return $name;
        }
    }
    return null;
}

/* 请求项在页面上的名称：表单成员取字段说明中的标题，框架页面的项取固定的名称。 */
function velmora_field_label(string $name): string
{
    $own = ['username' => '用户名', 'password' => '密码', 'oldPassword' => '原密码',
        'newPassword' => '新密码', 'confirmPassword' => '确认新密码'];
    if (isset($own[$name])) {
        return $own[$name];
    }
    $class = velmora_controller_class();
    $fields = $class !== null ? velmora_class_fields($class) : null;
    if ($fields !== null && preg_match('/^[A-Za-z_]\w*(?:\[([A-Za-z_]\w*)\])?$/', $name, $m)) {
        $member = $m[1] ?? $name;
        foreach ($fields['fields'] as $field) {
            if (is_array($field) && ($field['name'] ?? null) === $member && is_string($field['label'] ?? null)) {
                return $field['label'];
            }
        }
    }
    return $name;
}

/* 拒绝含空字符或不是 UTF-8 文字的提交：已登录时转到 /error.php，否则直接给出拒绝页面。 */
function velmora_refuse_bad_bytes(): void
{
    $bad = velmora_bad_field($_GET);
    if ($bad === null) {
        $bad = velmora_bad_field($_POST);
    }
    foreach ($_FILES as $field => $file) {
        if ($bad === null && is_array($file) && velmora_bad_field(['name' => $file['name'] ?? '']) !== null) {
            $bad = (string)$field;
        }
    }
    if ($bad === null) {
        return;
    }
    $label = $bad !== '' && velmora_clean_text($bad) ? velmora_field_label($bad) : '';
    $reason = ($label !== '' ? '“' . $label . '”中' : '提交的内容中')
        . '有无效的字符（空字符或不是 UTF-8 编码的文字），请删除后重新提交。';
    velmora_log('提交的内容含无效的字符：' . ($bad !== '' ? $bad : '（项目名称）') . '，已拒绝');
    if (velmora_logged_in()) {
        velmora_fail($reason);
    }
    velmora_refuse(400, $reason);
}

/* 不加引号进入 SQL 的值所属的成员是否只接受整数：整型、引用（引用整型主键）与整型主键。 */
function velmora_whole_number_member(string $class, string $member): bool
{
    $fields = velmora_class_fields($class);
    foreach ($fields['fields'] ?? [] as $field) {
        if (is_array($field) && ($field['name'] ?? null) === $member) {
            return in_array($field['type'] ?? '', ['int', 'bigint', 'bool', 'ref'], true) || (!empty($field['key']) && !empty($fields['integerKey']));
        }
    }
    return false;
}

/* 字段说明中标为允许空的成员：留空时保存为 NULL。 */
function velmora_nullable_member(string $class, string $member): bool
{
    foreach (velmora_class_fields($class)['fields'] ?? [] as $field) {
        if (is_array($field) && ($field['name'] ?? null) === $member) {
            return !empty($field['nullable']);
        }
    }
    return false;
}

/* 值为空、且允许空的成员。 */
function velmora_empty_nullable(string $class, string $member, $value): bool
{
    return is_string($value) && trim($value) === '' && velmora_nullable_member($class, $member);
}

/* 不加引号的值的问题（%s 处填字段名称）：不是数字，或该成员只接受整数而值带小数。 */
function velmora_bare_problem(string $class, string $member, $value): ?string
{
    if (!velmora_is_number($value)) {
        return '%s必须是数字。';
    }
    if (velmora_whole_number_member($class, $member) && !preg_match('/^\s*[-+]?\d+\s*$/', $value)) {
        return '%s必须是整数。';
    }
    return null;
}

/* 一个表单项的问题（%s 处填字段名称），没有问题时返回 null。$value 为提交的原始值。 */
function velmora_field_problem(array $field, $value, bool $adding, bool $integerKey): ?string
{
    $type = (string)($field['type'] ?? 'text');
    $required = !empty($field['required']);
    if ($type === 'picture') {
        $name = (string)($field['name'] ?? '');
        $chosen = isset($_FILES[$name]['name']) && is_string($_FILES[$name]['name']) && $_FILES[$name]['name'] !== '';
        return $adding && $required && !$chosen ? '请选择%s的图片。' : null;
    }
    if (!empty($field['key']) && $integerKey && $adding) {
        return null; // 由数据库编号
    }
    if ($value !== null && !is_string($value)) {
        return '%s的值无效。';
    }
    $text = trim((string)$value);
    if ($text === '') {
        return $required ? '%s不能为空。' : null;
    }
    $typed = velmora_typed_problem($field, $type, $text, (string)$value);
    if ($typed !== false) {
        return $typed;
    }
    switch ($type) {
        case 'text':
            // 长度按字符计算，与数据库的 varchar(N) 一致（不依赖 mbstring 扩展）。
            $chars = preg_match_all('/./su', (string)$value);
            if ($chars === false) {
                return '%s包含无法识别的字符。';
            }
            $length = (int)($field['length'] ?? 0);
            if ($length > 0 && $chars > $length) {
                return '%s不能超过 ' . $length . ' 个字符。';
            }
            return velmora_charset_problem($field, (string)$value);
        case 'float':
            return velmora_is_number($text) && is_finite((float)$text) ? null : '%s必须是数字。';
        case 'date':
            if (!preg_match('/^(\d{4})-(\d{1,2})-(\d{1,2})$/', $text, $m) || !checkdate((int)$m[2], (int)$m[3], (int)$m[1])) {
                return '%s不是有效的日期。';
            }
            return null;
        case 'ref':
            return velmora_reference_exists($field, $text) ? null : '所选的%s不存在。';
    }
    return null;
}

/* 引用的记录是否存在；无法检查（说明不全或连不上数据库）时按存在处理，由数据库把关。 */
function velmora_reference_exists(array $field, string $value): bool
{
    $table = (string)($field['refTable'] ?? '');
    $column = (string)($field['refColumn'] ?? '');
    if (!velmora_is_sql_name($table) || !velmora_is_sql_name($column)) {
        return true;
    }
    $row = velmora_lookup('SELECT 1 AS found FROM ' . velmora_sql_name($table) . ' WHERE ' . velmora_sql_name($column) . ' = ? LIMIT 1', [$value], $errno, $error);
    if ($row === null && $errno > 0) {
        velmora_log('无法检查所选的记录是否存在：' . $errno . ' ' . $error);
    }
    return $row === null || $row !== [];
}

/* 按字段说明检查添加、修改的表单；有问题时指出字段并拒绝，什么也不写入。 */
function velmora_validate_form(string $class, string $action): void
{
    $fields = velmora_class_fields($class);
    if ($fields === null) {
        return;
    }
    $form = $_POST[velmora_lcfirst($class)] ?? [];
    foreach ($fields['fields'] as $field) {
        if (!is_array($field) || !is_string($field['name'] ?? null)) {
            continue;
        }
        $name = $field['name'];
        // 控制器直接读取 $_FILES 中的图片项；请求中没有这一项时按“没有选择文件”处理。
        if (($field['type'] ?? '') === 'picture' && !isset($_FILES[$name])) {
            $_FILES[$name] = ['name' => '', 'type' => '', 'tmp_name' => '', 'error' => UPLOAD_ERR_NO_FILE, 'size' => 0];
        }
        $problem = velmora_field_problem($field, $form[$name] ?? null, $action === 'add', !empty($fields['integerKey']));
        if ($problem === null && ($field['type'] ?? '') === 'ref' && is_string($form[$name] ?? null) && trim($form[$name]) !== ''
            && !velmora_reference_choosable($class, $field, trim($form[$name]), $action)) {
            $problem = '所选的%s不存在。';
        }
        if ($problem !== null) {
            $label = is_string($field['label'] ?? null) && $field['label'] !== '' ? $field['label'] : $name;
            velmora_log('表单项 ' . $name . ' 未通过检查，已拒绝');
            velmora_fail(sprintf($problem, '“' . $label . '”'));
        }
        // 没有勾选的是否型不随表单提交，按“否”保存；其余的值按数据库接受的写法保存。
        $value = $form[$name] ?? null;
        if (($field['type'] ?? '') === 'bool' && ($value === null || trim((string)$value) === '')) {
            $_POST[velmora_lcfirst($class)][$name] = '0';
        } elseif (is_string($value) && trim($value) !== '' && array_key_exists($name, $form)) {
            $_POST[velmora_lcfirst($class)][$name] = velmora_field_value($field, $value);
        }
    }
}
