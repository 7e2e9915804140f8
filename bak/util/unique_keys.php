<?php
/*
 * 重复的唯一值：把数据库报告的索引名换成字段的名称，告诉用户哪一项不能重复。
 * 请求守卫的一部分，由 guard.php 加载；直接请求本文件时回答 403。
 */
if (!defined('VELMORA_GUARD_LOADED')) {
    http_response_code(403);
    exit;
}

/*
 * 数据库的重复值错误（1062）对应的提示，例如：“货号”的值已经存在，不能重复。
 * MariaDB 写 for key 'uq_sku'，MySQL 8 写 for key 't_product.uq_sku'。
 * 不是当前控制器的类、或字段说明中没有这个索引时返回 null。
 */
function velmora_duplicate_reason(string $error): ?string
{
    $class = velmora_controller_class();
    $fields = $class !== null ? velmora_class_fields($class) : null;
    if ($fields === null || !preg_match("/for key '(.*)'\s*$/s", $error, $m)) {
        return null;
    }
    $key = $m[1];
    $dot = strrpos($key, '.');
    if ($dot !== false) {
        $key = substr($key, $dot + 1);
    }
    $members = null;
    if ($key === 'PRIMARY' && is_string($fields['key'] ?? null) && $fields['key'] !== '') {
        $members = [$fields['key']];
    }
    foreach ((array)($fields['unique'] ?? []) as $index) {
        if (is_array($index) && ($index['name'] ?? null) === $key && is_array($index['members'] ?? null)) {
            $members = $index['members'];
        }
    }
    if (!$members) {
        return null;
    }
    $labels = [];
    foreach ($members as $member) {
        $label = (string)$member;
        foreach ($fields['fields'] as $field) {
            if (is_array($field) && ($field['name'] ?? null) === $member && is_string($field['label'] ?? null) && $field['label'] !== '') {
                $label = $field['label'];
            }
        }
        $labels[] = '“' . $label . '”';
    }
    return count($labels) === 1
        ? $labels[0] . '的值已经存在，不能重复。'
        : implode('、', $labels) . '的这一组值已经存在，不能重复。';
}
