<?php
/* 操作记录（只有管理员可以进入）：按用户、类和日期筛选，可导出为 CSV。 */
define('VELMORA_OWN_PAGE', true);
define('VELMORA_ADMIN_PAGE', true);
require_once __DIR__ . '/../database/SqlHelper.class.php';
require_once __DIR__ . '/../util/util.php';

$user = req_raw_string('user');
$class = req_raw_string('class');
$from = req_raw_string('from');
$to = req_raw_string('to');
$where = ' WHERE 1=1';
$params = [];
foreach ([['adminName = ?', $user], ['className = ?', $class]] as [$condition, $value]) {
    if ($value !== '') {
        $where .= ' AND ' . $condition;
        $params[] = $value;
    }
}
// 日期只接受 年-月-日，其他写法不作为条件。
foreach ([['changedAt >= ?', $from, ' 00:00:00'], ['changedAt <= ?', $to, ' 23:59:59']] as [$condition, $value, $time]) {
    if (preg_match('/^\d{4}-\d{2}-\d{2}$/', $value)) {
        $where .= ' AND ' . $condition;
        $params[] = $value . $time;
    }
}
$exporting = req_raw_string('export') === 'csv';
$db = new SqlHelper();
$rows = $db->query_prepared('SELECT * FROM ' . velmora_team_table('change_log') . $where . ' ORDER BY changeId DESC'
    . ($exporting ? '' : manage_page_limit()), $params);
$total = $exporting ? [] : $db->query_prepared('SELECT COUNT(*) AS n FROM ' . velmora_team_table('change_log') . $where, $params);
$users = $db->query_prepared('SELECT adminName FROM ' . velmora_admin_table() . ' ORDER BY adminName') ?? [];
$error = $rows === null ? $db->error : '';
$db->close_connect();
$rows = $rows ?? [];

if ($exporting && $error === '') {
    $entities = velmora_entities();
    $lines = array_map(function (array $row) use ($entities) {
        return [$row['changedAt'], $row['adminName'], $entities[$row['className']]['friend'] ?? $row['className'], $row['rowKey'],
            VELMORA_CHANGE_ACTIONS[$row['action']] ?? $row['action'], (string)$row['beforeValues'], (string)$row['afterValues']];
    }, $rows);
    csv_send('操作记录', ['时间', '用户', '类', '主键', '操作', '修改前', '修改后'], $lines);
}

$options = function (array $values, string $selected): string {
    $html = '<option value="">全部</option>';
    foreach ($values as $value => $label) {
        $html .= '<option value="' . h($value) . '"' . ((string)$value === $selected ? ' selected' : '') . '>' . h($label) . '</option>';
    }
    return $html;
};
$classes = array_map(function (array $info) {
    return $info['friend'];
}, velmora_entities());
$names = array_column($users, 'adminName', 'adminName');
page_begin('操作记录');
?>
<div class="page" id="change-list">
  <div class="page-title"><h2>操作记录</h2>
    <span class="actions"><a class="btn plain" id="export" href="<?= h(velmora_base()) ?>/manage/changes.php?<?= h(http_build_query(['user' => $user, 'class' => $class, 'from' => $from, 'to' => $to, 'export' => 'csv'])) ?>">导出</a></span></div>
  <form class="panel search-form" method="get" action="<?= h(velmora_base()) ?>/manage/changes.php" id="search">
    <label>用户 <select name="user"><?= $options($names, $user) ?></select></label>
    <label>类 <select name="class"><?= $options($classes, $class) ?></select></label>
    <label>从 <input type="date" name="from" value="<?= h($from) ?>"></label>
    <label>到 <input type="date" name="to" value="<?= h($to) ?>"></label>
    <button type="submit">查询</button>
  </form>
  <?php if ($error !== ''): ?><div class="alert error"><?= h($error) ?></div><?php endif; ?>
  <div class="grid-wrap"><?= history_table($rows, true) ?></div>
  <?= manage_pager('/manage/changes.php', ['user' => $user, 'class' => $class, 'from' => $from, 'to' => $to], (int)($total[0]['n'] ?? 0)) ?>
</div>
<?php page_end();
