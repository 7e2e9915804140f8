<?php
/*
 * 会话与登录状态，修改密码后其他会话失效。
 * 请求守卫的一部分，由 guard.php 加载；直接请求本文件时回答 403。
 */
if (!defined('VELMORA_GUARD_LOADED')) {
    http_response_code(403);
    exit;
}

/*
 * 请求是否经 HTTPS 到达：直接的 HTTPS，或设置 trusted_proxies 中列出的反向代理转来的
 * X-Forwarded-Proto: https。别的来源可以随意填写这个头，不予理会。
 */
function velmora_request_https(): bool
{
    if (!empty($_SERVER['HTTPS']) && $_SERVER['HTTPS'] !== 'off') {
        return true;
    }
    $forwarded = strtolower(trim(explode(',', (string)($_SERVER['HTTP_X_FORWARDED_PROTO'] ?? ''))[0]));
    if ($forwarded !== 'https') {
        return false;
    }
    $peer = @inet_pton((string)($_SERVER['REMOTE_ADDR'] ?? ''));
    foreach ((array)velmora_config()['trusted_proxies'] as $proxy) {
        if ($peer !== false && @inet_pton(trim((string)$proxy)) === $peer) {
            return true;
        }
    }
    return false;
}

function velmora_session_start(): void
{
    if (session_status() === PHP_SESSION_ACTIVE) {
        return;
    }
    $https = velmora_request_https();
    ini_set('session.use_strict_mode', '1');
    ini_set('session.use_only_cookies', '1');
    session_name('VELMORASESSID');
    session_set_cookie_params([
        // Cookie 只属于本应用的目录：同一网站另一个目录中的应用不会拿到、也不会覆盖它。
        'lifetime' => 0, 'path' => velmora_base() . '/', 'secure' => $https, 'httponly' => true, 'samesite' => 'Lax',
    ]);
    if (headers_sent()) {
        // 没有输出缓冲时 BOM 已经发出，会话 Cookie 无法设置；这属于部署问题，写入日志。
        velmora_log('输出已开始，无法启动会话；请在 php.ini 中开启 output_buffering');
    }
    // 会话保存在数据库中，几台服务器共用（见 session_store.php）。
    session_set_save_handler(new VelmoraSessionStore(), true);
    if (!@session_start() && !headers_sent()) {
        velmora_refuse(503, '无法连接数据库，会话无法建立，请稍后再试或检查 database/config.php 中的连接设置。');
    }
    // 在回答发出之前写回会话：跳转后的下一个请求可能到另一台服务器、连另一个数据库节点，
    // 那时会话必须已经提交（PHP 自己要到回答发出之后才写回）。
    register_shutdown_function('session_write_close');
}

function velmora_logged_in(): bool
{
    return !empty($_SESSION['velmora_admin_id']);
}

/*
 * 当前会话是否仍然有效：账号还在、没有停用，且会话记下的版本与管理员表中的一致（修改密码后加一）。
 * 数据库暂时连不上（之后的页面会报告）时按有效处理；其他失败写入日志。
 */
function velmora_session_current(): bool
{
    $id = (int)($_SESSION['velmora_admin_id'] ?? 0);
    $row = velmora_lookup('SELECT * FROM ' . velmora_admin_table() . ' WHERE adminId = ?', [$id], $errno, $error);
    if ($row === null) {
        if ($errno > 0) {
            velmora_log('无法检查会话是否仍然有效：' . $errno . ' ' . $error);
        }
        return true;
    }
    return $row !== [] && empty($row['disabled'])
        && (int)($row['sessionVersion'] ?? 0) === (int)($_SESSION['velmora_session_version'] ?? 0);
}
