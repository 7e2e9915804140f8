<?php
/*
 * 列表只显示引用某条记录的行：地址中的 of[成员]=主键（详细信息中“查看全部”的链接）。
 * 只接受引用型成员；条件由 SqlHelper::execute_dql_fenye 加在分页查询上，翻页、排序、查询与导出时保留。
 * 请求守卫的一部分，由 guard.php 加载；直接请求本文件时回答 403。
 */
if (!defined('VELMORA_GUARD_LOADED')) {
    http_response_code(403);
    exit;
}

/* 当前请求对类 $class 的列表所加的限定：成员 => 主键（原始值）。 */
function velmora_parent_filter(string $class): array
{
    $raw = $GLOBALS['VELMORA_RAW'] ?? ['get' => $_GET, 'post' => $_POST];
    $of = $raw['post']['of'] ?? ($raw['get']['of'] ?? null);
    $filter = [];
    foreach (is_array($of) ? $of : [] as $member => $value) {
        if (is_string($member) && is_string($value) && $value !== '' && velmora_reference_field($class, $member) !== null) {
            $filter[$member] = $value;
        }
    }
    return $filter;
}

/* 限定在 SQL 中的条件（以 " and " 开头）；列无法确定时为 " and 0=1"。 */
function velmora_parent_condition(string $class, mysqli $conn): string
{
    $condition = '';
    foreach (velmora_parent_filter($class) as $member => $value) {
        $column = velmora_member_column($class, $member);
        $condition .= $column === null ? ' and 0=1' : ' and ' . $column . " = '" . $conn->real_escape_string($value) . "'";
    }
    return $condition;
}
