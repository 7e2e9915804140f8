<?php
/*
 * 上传的图片：manage/file.php?f=文件名&c=类。
 * 只给能看到使用这张图片的记录的用户（查看或修改的权限与“仅限本人创建的记录”，与列表相同），
 * 先在页面所属的类 c 中找，再找其他类；谁也看不到的回答 403，没有的回答 404。
 */
define('VELMORA_OWN_PAGE', true);
require_once __DIR__ . '/../database/SqlHelper.class.php';

const VELMORA_PICTURE_TYPES = ['jpg' => 'image/jpeg', 'png' => 'image/png', 'gif' => 'image/gif', 'bmp' => 'image/bmp', 'webp' => 'image/webp'];

$name = $GLOBALS['VELMORA_RAW']['get']['f'] ?? '';
$value = '/upload/' . (is_string($name) ? $name : '');
$file = is_string($name) ? velmora_picture_file($value) : null;
if ($file === null || !is_file($file)) {
    velmora_refuse(404, '没有这张图片。');
}
$class = $GLOBALS['VELMORA_RAW']['get']['c'] ?? '';
$classes = array_keys(velmora_entities());
if (is_string($class) && in_array($class, $classes, true)) {
    $classes = array_merge([$class], array_diff($classes, [$class]));
}
if (!velmora_picture_visible($classes, $value)) {
    velmora_forbid('图片 ' . $name);
}
$bytes = velmora_picture_bytes($file);
if ($bytes === null) {
    velmora_refuse(404, '没有这张图片。');
}
while (ob_get_level() > 0) {
    ob_end_clean();
}
header('Content-Type: ' . VELMORA_PICTURE_TYPES[strtolower(pathinfo($name, PATHINFO_EXTENSION))]);
header('Content-Length: ' . strlen($bytes));
header('X-Content-Type-Options: nosniff');
// 图片的名字从不重复使用，浏览器可以留着它；但只留在自己这里，权限收回后不经共享缓存给别人。
header('Cache-Control: private, max-age=3600');
echo $bytes;
