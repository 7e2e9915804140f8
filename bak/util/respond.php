<?php
/*
 * 结束请求的几种回答：跳转、转到 /error.php、直接给出拒绝页面。
 * 请求守卫的一部分，由 guard.php 加载；直接请求本文件时回答 403。
 */
if (!defined('VELMORA_GUARD_LOADED')) {
    http_response_code(403);
    exit;
}

function velmora_redirect(string $url): void
{
    header('Location: ' . $url);
    exit();
}

/* 把失败原因交给 /error.php 显示，并跳转过去。 */
function velmora_fail(string $reason): void
{
    velmora_session_start();
    velmora_remember_reason($reason);
    velmora_redirect('/error.php');
}

/* 留给 /error.php 的失败原因，连同失败的操作（删除失败时没有要修改的内容）。 */
function velmora_remember_reason(string $reason): void
{
    $_SESSION['velmora_reason'] = $reason;
    $action = $_REQUEST['action'] ?? '';
    $_SESSION['velmora_reason_action'] = is_string($action) ? $action : '';
}

/* 直接输出一个拒绝页面（不跳转），用于来源检查失败等情况。 */
function velmora_refuse(int $status, string $message): void
{
    while (ob_get_level() > 0) {
        ob_end_clean();
    }
    http_response_code($status);
    header('Content-Type: text/html; charset=UTF-8');
    $m = htmlspecialchars($message, ENT_QUOTES, 'UTF-8');
    echo '<!DOCTYPE html><html lang="zh-CN"><head><meta charset="UTF-8"><title>请求被拒绝</title>'
        . '<link rel="stylesheet" href="' . htmlspecialchars(velmora_url('/css/style.css'), ENT_QUOTES, 'UTF-8') . '"></head><body class="message-page">'
        . '<div class="message-box error"><h1>请求被拒绝</h1><p>' . $m . '</p>'
        . '<p class="actions"><a class="btn" href="' . htmlspecialchars(velmora_url('/index.php'), ENT_QUOTES, 'UTF-8') . '" target="_top">回到首页</a></p></div></body></html>';
    exit();
}
