<?php
/* 操作失败时显示的页面，给出原因和返回的办法。 */
define('VELMORA_OWN_PAGE', true);
// 必须先修改密码时也要能看到失败的原因（例如新密码中有无效的字符）。
define('VELMORA_PASSWORD_PAGE', true);
require_once __DIR__ . '/util/util.php';

$reason = $_SESSION['velmora_reason'] ?? '';
$deleting = ($_SESSION['velmora_reason_action'] ?? '') === 'del';
unset($_SESSION['velmora_reason'], $_SESSION['velmora_reason_action']);
if (!is_string($reason) || $reason === '') {
    $reason = '操作没有完成，请检查填写的内容后重试。';
}
page_begin('操作失败', 'message-page');
?>
<div class="message-box error">
  <h1>操作失败</h1>
  <p id="reason"><?= h($reason) ?></p>
  <p class="actions">
    <a class="btn" href="<?= h(velmora_url('/index.php')) ?>" id="back" data-history-back><?= $deleting ? '返回' : '返回修改' ?></a>
    <a class="btn plain" href="<?= h(velmora_url('/index.php')) ?>" target="_top" id="home">回到首页</a>
  </p>
</div>
<?php page_end();
