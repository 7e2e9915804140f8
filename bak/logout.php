<?php
/* 退出登录：清除会话后回到登录页。 */
define('VELMORA_OWN_PAGE', true);
define('VELMORA_PUBLIC_PAGE', true);
require_once __DIR__ . '/util/guard.php';

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
