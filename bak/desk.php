<?php
/* 登录后的首页：欢迎信息与各数据表的记录数。 */
define('VELMORA_OWN_PAGE', true);
require_once __DIR__ . '/database/SqlHelper.class.php';
require_once __DIR__ . '/util/util.php';

$db = new SqlHelper();
$dbError = $db->error;
$cards = [];
foreach (velmora_entities() as $class => $info) {
    if (!is_file(__DIR__ . '/controller/' . $class . 'Action.php')) {
        continue;
    }
    $count = null;
    if (preg_match('/^[A-Za-z0-9_]+$/', $info['table'])) {
        $rows = $db->query_prepared('SELECT COUNT(*) AS n FROM `' . $info['table'] . '`');
        $count = $rows ? (int)$rows[0]['n'] : null;
        if ($rows === null && $dbError === '') {
            $dbError = $db->error;
        }
    }
    $cards[] = ['class' => $class, 'label' => $info['friend'], 'count' => $count];
}
$db->close_connect();
page_begin('首页');
?>
<div class="page">
  <div class="page-title"><h2>欢迎使用<?= h(velmora_app_title()) ?></h2></div>
  <?php if ($dbError !== ''): ?><div class="alert error"><?= h($dbError) ?></div><?php endif; ?>
  <div class="panel">
    <table class="info-table">
      <tr><td>当前用户</td><td><?= h($_SESSION['velmora_admin_name'] ?? '') ?></td></tr>
      <tr><td>登录时间</td><td><?= h($_SESSION['velmora_login_time'] ?? '') ?></td></tr>
    </table>
  </div>
  <h3>数据概览</h3>
  <div class="cards">
    <?php foreach ($cards as $c): ?>
    <a class="card" href="/controller/<?= h(rawurlencode($c['class'])) ?>Action.php?action=query">
      <div class="num"><?= $c['count'] === null ? '-' : (int)$c['count'] ?></div>
      <div class="name"><?= h($c['label']) ?></div>
    </a>
    <?php endforeach; ?>
    <?php if (!$cards): ?><p class="hint">还没有生成任何模块。</p><?php endif; ?>
  </div>
</div>
<?php page_end();
