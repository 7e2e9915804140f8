<?php
/*
 * PHP 内置服务器的路由脚本：php -S 地址:端口 -t 网站目录 项目文件夹/util/router.php
 * 网站目录可以就是项目文件夹，也可以是它的上级目录（应用在子目录中，例如 /school/）。
 *
 * 拒绝路径中任何以 "." 开头的部分（生成记录 .velmora/、.htaccess、.settings/ 等）、
 * 合并时写在旁边的文件、管理页面的字段说明 (*.fields.json) 以及只由页面加载的 util/ 目录，
 * 上传的图片转到 manage/file.php，其余请求交回内置服务器照常处理。Apache 下由 .htaccess 做同样的事。
 */
$velmora_path = str_replace('\\', '/', rawurldecode((string)parse_url($_SERVER['REQUEST_URI'] ?? '/', PHP_URL_PATH)));
foreach (explode('/', $velmora_path) as $velmora_segment) {
    if ($velmora_segment !== '' && $velmora_segment[0] === '.') {
        http_response_code(403);
        exit;
    }
}
// 应用在网站目录中的位置：项目文件夹相对网站目录的路径
$velmora_docroot = realpath((string)($_SERVER['DOCUMENT_ROOT'] ?? ''));
$velmora_app = realpath(dirname(__DIR__));
$velmora_prefix = '';
if ($velmora_docroot !== false && $velmora_app !== false && strpos($velmora_app . '/', rtrim($velmora_docroot, '/') . '/') === 0) {
    $velmora_prefix = substr($velmora_app, strlen(rtrim($velmora_docroot, '/')));
}
if (preg_match('/\.(merge\.txt|new\.txt|fields\.json)$/i', $velmora_path)
    || preg_match('#^/*' . preg_quote(ltrim($velmora_prefix, '/'), '#') . '/+util(/|$)#i', $velmora_path)) {
    http_response_code(403);
    exit;
}
// 上传的图片只经 manage/file.php 按记录的权限取得（见 util/pictures.php）；以前的地址转到那里。
if (preg_match('#^/*' . preg_quote(ltrim($velmora_prefix, '/'), '#') . '/+upload/+(\d{8}[0-9a-f]{24}\.(jpg|png|gif|bmp|webp))$#',
    $velmora_path, $velmora_m)) {
    header('Location: ' . $velmora_prefix . '/manage/file.php?f=' . $velmora_m[1], true, 302);
    exit;
}
return false;
