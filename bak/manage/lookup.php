<?php
/*
 * 查找框的候选记录（JSON）：manage/lookup.php?class=类&field=引用型成员&q=文字
 * 按所引用的类的显示列查找，先是以这段文字开头的，不够时再加上包含它的，最多 LOOKUP_LIMIT 条：
 * {"items": [{"value": 主键, "text": 显示文字}, ...], "more": 是否还有更多}
 * 需要对该类的查看、添加或修改权限；只能看本人记录的用户只得到这些记录（与下拉框相同）。
 */
define('VELMORA_OWN_PAGE', true);
require_once __DIR__ . '/../database/SqlHelper.class.php';
require_once __DIR__ . '/../util/util.php';

const LOOKUP_LIMIT = 20;

function lookup_answer(int $status, array $body): void
{
    while (ob_get_level() > 0) {
        ob_end_clean();
    }
    http_response_code($status);
    header('Content-Type: application/json; charset=UTF-8');
    echo json_encode($body, JSON_UNESCAPED_UNICODE | JSON_HEX_TAG | JSON_HEX_AMP | JSON_INVALID_UTF8_SUBSTITUTE);
    exit;
}

$class = req_param('class');
$member = req_param('field');
$text = trim(req_param('q'));
$field = preg_match('/^[A-Za-z_][A-Za-z0-9_]*$/', $class) ? velmora_reference_field($class, $member) : null;
if ($field === null) {
    lookup_answer(404, ['error' => '没有这个引用字段。']);
}
if (!velmora_may($class, 'view') && !velmora_may($class, 'add') && !velmora_may($class, 'edit')) {
    velmora_forbid($class . ' 查找 ' . $member);
}
$target = (string)$field['refClass'];
$shape = velmora_lookup_source($target);
if ($shape === null) {
    lookup_answer(404, ['error' => '没有这个引用字段。']);
}
$select = 'select ' . $shape['key'] . ' as v, ' . $shape['display'] . ' as t from ' . $shape['table']
    . ' where 1=1' . velmora_lookup_condition($target);
$like = strtr($text, ['\\' => '\\\\', '%' => '\\%', '_' => '\\_']);
$db = new SqlHelper();
// 以输入的文字开头的记录可以用显示列上的索引，先取它们。
$rows = $db->query_prepared($select . ' and ' . $shape['display'] . ' like ? order by ' . $shape['display']
    . ' limit ' . (LOOKUP_LIMIT + 1), [$like . '%']);
if ($rows !== null && count($rows) <= LOOKUP_LIMIT && $text !== '') {
    $more = $db->query_prepared($select . ' and ' . $shape['display'] . ' like ? and ' . $shape['display'] . ' not like ?'
        . ' order by ' . $shape['display'] . ' limit ' . (LOOKUP_LIMIT + 1 - count($rows)), ['%' . $like . '%', $like . '%']);
    $rows = $more === null ? null : array_merge($rows, $more);
}
if ($rows === null) {
    lookup_answer(500, ['error' => $db->error !== '' ? $db->error : '数据库查询失败。']);
}
$items = [];
$more = count($rows) > LOOKUP_LIMIT;
$rows = array_slice($rows, 0, LOOKUP_LIMIT);
// 显示文字重复的候选附上主键，才分得清。
$seen = array_count_values(array_map(function ($row) {
    return (string)$row['t'];
}, $rows));
foreach ($rows as $row) {
    $items[] = ['value' => (string)$row['v'], 'text' => distinct_text((string)$row['t'], (string)$row['v'], $seen)];
}
lookup_answer(200, ['items' => $items, 'more' => $more]);

/* 请求参数的原始值（字符串）。 */
function req_param(string $name): string
{
    $value = $GLOBALS['VELMORA_RAW']['get'][$name] ?? '';
    return is_string($value) ? $value : '';
}
