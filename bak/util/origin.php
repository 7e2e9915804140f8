<?php
/*
 * 来源检查：修改数据的请求必须来自本站页面。
 * 请求守卫的一部分，由 guard.php 加载；直接请求本文件时回答 403。
 */
if (!defined('VELMORA_GUARD_LOADED')) {
    http_response_code(403);
    exit;
}

/* 本站的来源（scheme://host[:port]），加上设置中信任的来源。 */
function velmora_own_origins(): array
{
    $https = velmora_request_https();
    $origins = [];
    if (!empty($_SERVER['HTTP_HOST'])) {
        $own = velmora_normalize_origin(($https ? 'https' : 'http') . '://' . $_SERVER['HTTP_HOST']);
        if ($own !== null) {
            $origins[] = $own;
        }
    }
    foreach ((array)velmora_config()['trusted_origins'] as $o) {
        $n = velmora_normalize_origin((string)$o);
        if ($n !== null) {
            $origins[] = $n;
        }
    }
    return $origins;
}

function velmora_normalize_origin(string $url): ?string
{
    $p = parse_url($url);
    if (!is_array($p) || empty($p['scheme']) || empty($p['host'])) {
        return null;
    }
    $scheme = strtolower($p['scheme']);
    $host = strtolower($p['host']);
    $port = $p['port'] ?? ($scheme === 'https' ? 443 : 80);
    return $scheme . '://' . $host . ':' . $port;
}

/* 修改数据的请求必须来自本站页面；返回 null 表示通过，否则返回原因。 */
function velmora_origin_problem(): ?string
{
    $own = velmora_own_origins();
    $origin = $_SERVER['HTTP_ORIGIN'] ?? '';
    if ($origin !== '') {
        $n = velmora_normalize_origin($origin);
        if ($n !== null && in_array($n, $own, true)) {
            return null;
        }
        return '来源 ' . $origin . ' 不是本站';
    }
    $referer = $_SERVER['HTTP_REFERER'] ?? '';
    if ($referer !== '') {
        $n = velmora_normalize_origin($referer);
        if ($n !== null && in_array($n, $own, true)) {
            return null;
        }
        return '引用页 ' . $referer . ' 不是本站';
    }
    return '请求既没有 Origin 头也没有 Referer 头';
}
