<?php
/*
 * 错误日志。
 * 请求守卫的一部分，由 guard.php 加载；直接请求本文件时回答 403。
 */
if (!defined('VELMORA_GUARD_LOADED')) {
    http_response_code(403);
    exit;
}

/* 写入日志的文字：控制字符写成 \xNN，请求中的换行不能伪造出另一行日志。 */
function velmora_log_text(string $text): string
{
    return (string)preg_replace_callback('/[\x00-\x1F\x7F]/', function (array $m): string {
        return sprintf('\\x%02X', ord($m[0]));
    }, $text);
}

/* 记录拒绝原因到 PHP 错误日志。 */
function velmora_log(string $what): void
{
    $ip = $_SERVER['REMOTE_ADDR'] ?? '-';
    $uri = $_SERVER['REQUEST_URI'] ?? '-';
    error_log(velmora_log_text('[velmora] ' . $what . ' (' . $ip . ' ' . ($_SERVER['REQUEST_METHOD'] ?? '-') . ' ' . $uri . ')'));
}
