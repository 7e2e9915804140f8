<?php
/*
 * 请求值的转义与数字的判断。
 * 请求守卫的一部分，由 guard.php 加载；直接请求本文件时回答 403。
 */
if (!defined('VELMORA_GUARD_LOADED')) {
    http_response_code(403);
    exit;
}

/*
 * 按 mysqli_real_escape_string 的规则转义（数组逐层处理）。给出连接时由该连接转义，
 * 它知道服务器的 SQL 模式；没有连接时逐字节替换，连接字符集固定为 utf8mb4，结果相同。
 */
function velmora_escape($value, ?mysqli $conn = null)
{
    if (is_array($value)) {
        foreach ($value as $k => $v) {
            $value[$k] = velmora_escape($v, $conn);
        }
        return $value;
    }
    if (!is_string($value)) {
        return $value;
    }
    if ($conn !== null) {
        return $conn->real_escape_string($value);
    }
    return strtr($value, [
        '\\' => '\\\\', "\0" => '\\0', "\n" => '\\n', "\r" => '\\r',
        "'" => "\\'", '"' => '\\"', "\x1a" => '\\Z',
    ]);
}

/* 值中是否有转义时会改变的字符（没有时不必为转义连接数据库）。 */
function velmora_needs_escaping($value): bool
{
    if (is_array($value)) {
        foreach ($value as $v) {
            if (velmora_needs_escaping($v)) {
                return true;
            }
        }
        return false;
    }
    return is_string($value) && strpbrk($value, "\\\0\n\r'\"\x1a") !== false;
}

function velmora_is_number($value): bool
{
    return is_string($value)
        && preg_match('/^\s*[-+]?(\d+(\.\d*)?|\.\d+)([eE][-+]?\d+)?\s*$/', $value) === 1;
}
