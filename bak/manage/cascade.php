<?php
/*
 * 删除确认用的说明（JSON）：manage/cascade.php?cascadeOf=类&主键=值…
 * 回答 {"text": 随之删除或清空引用的记录, "token": 确认的凭据, "refusal": 不能删除的原因}，
 * 页面在删除前显示它，确认后把 token 随删除一起提交（见 util/cascade.php）。
 */
define('VELMORA_OWN_PAGE', true);
require_once __DIR__ . '/../util/guard.php';

header('Content-Type: application/json; charset=UTF-8');
$class = $_GET['cascadeOf'] ?? '';
$answer = function (int $status, array $body): void {
    http_response_code($status);
    echo json_encode($body, JSON_UNESCAPED_UNICODE);
    exit;
};
if (!is_string($class) || !preg_match('/^[A-Za-z_][A-Za-z0-9_]*$/', $class) || velmora_class_table($class) === null) {
    $answer(404, ['refusal' => '没有这个模块。']);
}
if (!velmora_may($class, 'delete')) {
    $answer(403, ['refusal' => '你没有权限进行这项操作。']);
}
$found = velmora_requested_delete($class);
if ($found === null) {
    $answer(200, ['text' => '', 'token' => '', 'refusal' => null]);
}
[$info, $row] = $found;
if (velmora_own_only($class) && !velmora_owns($class, velmora_key_text(array_map(function ($c) use ($row) {
    return (string)$row[$c];
}, $info['keyColumns'])))) {
    $answer(403, ['refusal' => '你没有权限进行这项操作。']);
}
$plan = velmora_delete_plan('velmora_guard_rows', $info['table'], $row, false);
if ($plan === null) {
    $answer(500, ['refusal' => '无法读取随这条记录删除的数据，请稍后再试。']);
}
$answer(200, ['text' => velmora_cascade_text($plan), 'token' => velmora_cascade_token($plan), 'refusal' => velmora_cascade_refusal($plan)]);
