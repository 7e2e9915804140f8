<?php
/*
 * 退出登录：只接受页头中“退出”表单的 POST（请求守卫已检查它来自本站页面），清除会话后回到登录页。
 * 直接打开本页（GET，例如其他网站上的 <img src=".../logout.php">）不会结束会话。
 */
define('VELMORA_OWN_PAGE', true);
define('VELMORA_PUBLIC_PAGE', true);
require_once __DIR__ . '/util/guard.php';

if (($_SERVER['REQUEST_METHOD'] ?? 'GET') !== 'POST') {
    velmora_redirect(velmora_logged_in() ? '/index.php' : '/login.php');
}
$_SESSION = [];
if (ini_get('session.use_cookies')) {
    $p = session_get_cookie_params();
    setcookie(session_name(), '', [
        'expires' => time() - 3600, 'path' => $p['path'], 'domain' => $p['domain'],
        'secure' => $p['secure'], 'httponly' => $p['httponly'], 'samesite' => $p['samesite'] ?: 'Lax',
    ]);
}
session_destroy();
velmora_redirect('/login.php');
