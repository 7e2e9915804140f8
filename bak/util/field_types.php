<?php
/*
 * 各种字段类型的值：范围、格式与枚举值的检查，以及存入数据库前的统一写法。
 * 请求守卫的一部分，由 guard.php 加载；直接请求本文件时回答 403。
 */
if (!defined('VELMORA_GUARD_LOADED')) {
    http_response_code(403);
    exit;
}

/* 整数文字的统一写法：去掉正号和多余的 0（"-0" 为 "0"）。 */
function velmora_integer_text(string $text): string
{
    $negative = $text[0] === '-';
    $digits = ltrim(ltrim($text, '+-'), '0');
    if ($digits === '') {
        return '0';
    }
    return ($negative ? '-' : '') . $digits;
}

/* 比较两个统一写法的整数文字：按文字比较，不经过浮点数（长整型超出浮点数的精度）。 */
function velmora_compare_integers(string $a, string $b): int
{
    $an = $a[0] === '-';
    $bn = $b[0] === '-';
    if ($an !== $bn) {
        return $an ? -1 : 1;
    }
    $order = strlen($a) <=> strlen($b) ?: strcmp($a, $b);
    return $an ? -$order : $order;
}

/* 数据库中确切的整数列类型（字段说明的 sqlType）允许的范围 [最小, 最大]；不是更窄的整数类型时返回 null。 */
function velmora_exact_integer_range(array $field): ?array
{
    $type = strtolower((string)($field['sqlType'] ?? ''));
    $unsigned = strpos($type, 'unsigned') !== false;
    $bits = ['tinyint' => 8, 'smallint' => 16, 'mediumint' => 24];
    if (preg_match('/^(tinyint|smallint|mediumint)\b/', $type, $m)) {
        $n = $bits[$m[1]];
        return $unsigned ? ['0', (string)((1 << $n) - 1)] : [(string)-(1 << ($n - 1)), (string)((1 << ($n - 1)) - 1)];
    }
    if (preg_match('/^year\b/', $type)) {
        return ['0', '2155'];
    }
    if (preg_match('/^bit\((\d+)\)/', $type, $m)) {
        return ['0', (int)$m[1] >= 63 ? '9223372036854775807' : (string)((1 << (int)$m[1]) - 1)];
    }
    return null;
}

/* 整数字段（整型 32 位、长整型 64 位，可为无符号；确切的列类型更窄时按它）的问题，%s 处填字段名称。 */
function velmora_integer_problem(array $field, string $text, int $bits): ?string
{
    if (!preg_match('/^[-+]?\d+$/', $text)) {
        return '%s必须是整数。';
    }
    $unsigned = !empty($field['unsigned']);
    $ranges = [
        32 => [['-2147483648', '2147483647'], ['0', '4294967295']],
        64 => [['-9223372036854775808', '9223372036854775807'], ['0', '18446744073709551615']],
    ];
    [$min, $max] = velmora_exact_integer_range($field) ?? $ranges[$bits][$unsigned ? 1 : 0];
    $unsigned = $unsigned || $min === '0';
    $value = velmora_integer_text($text);
    if (velmora_compare_integers($value, $min) < 0 || velmora_compare_integers($value, $max) > 0) {
        return $unsigned && $value[0] === '-' ? '%s不能是负数。' : '%s超出了允许的范围。';
    }
    return null;
}

/* 定点数（共 precision 位，其中 scale 位小数）的问题。 */
function velmora_decimal_problem(array $field, string $text): ?string
{
    if (!preg_match('/^[-+]?(\d*)(?:\.(\d*))?$/', $text, $m) || ($m[1] === '' && ($m[2] ?? '') === '')) {
        return '%s必须是数字。';
    }
    $precision = (int)($field['precision'] ?? 10);
    $scale = (int)($field['scale'] ?? 0);
    $whole = ltrim($m[1], '0');
    $places = rtrim($m[2] ?? '', '0');
    if (strlen($places) > $scale) {
        return $scale > 0 ? '%s最多保留 ' . $scale . ' 位小数。' : '%s必须是整数。';
    }
    if (strlen($whole) > $precision - $scale) {
        return '%s超出了允许的范围（整数部分最多 ' . ($precision - $scale) . ' 位）。';
    }
    return null;
}

/* 日期时间：YYYY-MM-DD HH:MM[:SS]，日期与时间之间也可以是 T（页面的日期时间输入框）。 */
function velmora_datetime_parts(string $text): ?array
{
    if (!preg_match('/^(\d{4})-(\d{1,2})-(\d{1,2})[T ](\d{1,2}):(\d{2})(?::(\d{2}))?$/', $text, $m)
        || !checkdate((int)$m[2], (int)$m[3], (int)$m[1]) || (int)$m[4] > 23 || (int)$m[5] > 59 || (int)($m[6] ?? 0) > 59) {
        return null;
    }
    return array_map('intval', [$m[1], $m[2], $m[3], $m[4], $m[5], $m[6] ?? 0]);
}

/* 一天中的时刻：HH:MM[:SS]。 */
function velmora_time_parts(string $text): ?array
{
    if (!preg_match('/^(\d{1,2}):(\d{2})(?::(\d{2}))?$/', $text, $m) || (int)$m[1] > 23 || (int)$m[2] > 59 || (int)($m[3] ?? 0) > 59) {
        return null;
    }
    return array_map('intval', [$m[1], $m[2], $m[3] ?? 0]);
}

/* 后来加入的字段类型的问题；不是这些类型时返回 false（由调用者检查）。 */
function velmora_typed_problem(array $field, string $type, string $text, string $raw)
{
    switch ($type) {
        case 'int':
            return velmora_integer_problem($field, $text, 32);
        case 'bigint':
            return velmora_integer_problem($field, $text, 64);
        case 'decimal':
            return velmora_decimal_problem($field, $text);
        case 'datetime':
            return velmora_datetime_parts($text) === null ? '%s不是有效的日期时间。' : null;
        case 'time':
            return velmora_time_parts($text) === null ? '%s不是有效的时间。' : null;
        case 'bool':
            return $text === '0' || $text === '1' ? null : '%s只能是“是”或“否”。';
        case 'enum':
            // 集合（set）列的值是逗号分隔的几个值。
            $chosen = strncasecmp((string)($field['sqlType'] ?? ''), 'set(', 4) === 0 ? explode(',', $raw) : [$raw];
            return array_diff($chosen, (array)($field['values'] ?? [])) === [] ? null : '%s只能从列出的值中选择。';
        case 'longtext':
            if (strtolower((string)($field['sqlType'] ?? '')) === 'json' && json_decode($raw) === null && strtolower($text) !== 'null') {
                return '%s不是有效的 JSON。';
            }
            $length = (int)($field['length'] ?? 0);
            if ($length > 0) {
                return preg_match_all('/./su', $raw) > $length ? '%s不能超过 ' . $length . ' 个字符。' : velmora_charset_problem($field, $raw);
            }
            return strlen($raw) > 65535 ? '%s不能超过 65535 个字节。' : velmora_charset_problem($field, $raw);
        case 'binary':
            if (!preg_match('/^([0-9A-Fa-f]{2})*$/', $text)) {
                return '%s必须是十六进制数字，每个字节两位。';
            }
            $length = (int)($field['length'] ?? 0);
            return $length > 0 && strlen($text) / 2 > $length ? '%s不能超过 ' . $length . ' 个字节。' : null;
        case 'blob':
            return null; // 页面不写入
    }
    return false;
}

/* 列有自己的字符集（字段说明的 charset）时，它不能保存的字符的问题。 */
function velmora_charset_problem(array $field, string $raw): ?string
{
    switch (strtolower((string)($field['charset'] ?? ''))) {
        case 'ascii':
            return preg_match('/[^\x00-\x7F]/', $raw) ? '%s只能包含 ASCII 字符。' : null;
        case 'latin1':
            // MariaDB 的 latin1 即 Windows-1252。
            return preg_match('/[^\x{00}-\x{FF}\x{152}\x{153}\x{160}\x{161}\x{178}\x{17D}\x{17E}\x{192}\x{2C6}\x{2DC}\x{2013}\x{2014}\x{2018}-\x{201A}\x{201C}-\x{201E}\x{2020}-\x{2022}\x{2026}\x{2030}\x{2039}\x{203A}\x{20AC}\x{2122}]/u', $raw)
                ? '%s只能包含西欧字符（latin1）。' : null;
        case 'utf8':
        case 'utf8mb3':
            return preg_match('/[\x{10000}-\x{10FFFF}]/u', $raw) ? '%s不能包含表情符号等 4 字节字符。' : null;
    }
    return null;
}

/* 检查通过的值存入数据库时的写法：日期时间与时间补全秒，整数去掉多余的 0，其他不变。 */
function velmora_field_value(array $field, string $raw): string
{
    $text = trim($raw);
    switch ((string)($field['type'] ?? '')) {
        case 'datetime':
            return vsprintf('%04d-%02d-%02d %02d:%02d:%02d', velmora_datetime_parts($text));
        case 'time':
            return vsprintf('%02d:%02d:%02d', velmora_time_parts($text));
        case 'int':
        case 'bigint':
        case 'bool':
            return velmora_integer_text($text);
        case 'decimal':
            return $text;
    }
    return $raw;
}
