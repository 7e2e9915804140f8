<?php
/* 登录后的首页：欢迎信息，各数据表的记录数，有日期成员的表按月的记录数。 */
define('VELMORA_OWN_PAGE', true);
require_once __DIR__ . '/database/SqlHelper.class.php';
require_once __DIR__ . '/util/util.php';
require_once __DIR__ . '/util/desk_chart.php';

$db = new SqlHelper();
$dbError = $db->error;
$cards = [];
$months = desk_months();
foreach (velmora_entities() as $class => $info) {
    if (!is_file(__DIR__ . '/controller/' . $class . 'Action.php') || !velmora_may($class, 'view')) {
        continue;
    }
    $count = null;
    $monthly = null;
    $date = desk_date_member($class);
    // 表名按数据库中的名称（字段说明中的，可以不同于类名）。
    $table = (string)(velmora_class_fields($class)['table'] ?? '');
    if ($table !== '' && velmora_is_sql_name($table)) {
        $own = velmora_own_condition($class);
        $rows = $own === null ? null : $db->query_prepared('SELECT COUNT(*) AS n FROM ' . velmora_sql_name($table) . ' WHERE 1=1' . $own);
        $count = $rows ? (int)$rows[0]['n'] : null;
        if ($rows !== null && $date !== null) {
            $monthly = desk_monthly_counts($db, $table, $date['name'], $months);
        }
        if ($rows === null && $dbError === '') {
            $dbError = $db->error;
        }
    }
    $cards[] = ['class' => $class, 'label' => $info['friend'], 'count' => $count, 'monthly' => $monthly,
        'dateLabel' => $date['label'] ?? ''];
}
$db->close_connect();
// 与菜单相同，按模型中类的顺序
usort($cards, function (array $a, array $b): int {
    return [velmora_class_order($a['class']), $a['class']] <=> [velmora_class_order($b['class']), $b['class']];
});
page_begin('首页');
?>
<div class="page">
  <div class="page-title"><h2>欢迎使用<?= h(velmora_app_title()) ?></h2></div>
  <?php if ($dbError !== ''): ?><div class="alert error"><?= h($dbError) ?></div><?php endif; ?>
  <div class="panel">
    <table class="info-table">
      <tbody>
      <tr><td>当前用户</td><td><?= h($_SESSION['velmora_admin_name'] ?? '') ?></td></tr>
      <tr><td>登录时间</td><td><?= h($_SESSION['velmora_login_time'] ?? '') ?></td></tr>
      </tbody>
    </table>
  </div>
  <h3>数据概览</h3>
  <div class="cards">
    <?php foreach ($cards as $c): ?>
    <a class="card" data-class="<?= h($c['class']) ?>" href="<?= h(velmora_url('/controller/' . rawurlencode($c['class']) . 'Action.php?action=query')) ?>">
      <div class="num"><?= $c['count'] === null ? '-' : (int)$c['count'] ?></div>
      <div class="name"><?= h($c['label']) ?></div>
    </a>
    <?php endforeach; ?>
    <?php if (!$cards): ?><p class="hint">还没有生成任何模块。</p><?php endif; ?>
  </div>
  <?php foreach ($cards as $c): if ($c['monthly'] === null) { continue; } ?>
  <?php $caption = $c['label'] . '：最近 12 个月每月的记录数（按' . $c['dateLabel'] . '）'; ?>
  <figure class="panel chart-panel" data-class="<?= h($c['class']) ?>">
    <figcaption><?= h($caption) ?></figcaption>
    <?= desk_bar_chart('chart-' . $c['class'], $caption, $c['monthly']) ?>
    <?= desk_chart_table($caption, $c['monthly']) ?>
  </figure>
  <?php endforeach; ?>
</div>
<?php page_end();
