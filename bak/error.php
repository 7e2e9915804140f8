<?php
/* 操作失败时显示的页面，给出原因和返回的办法。 */
define('VELMORA_OWN_PAGE', true);
require_once __DIR__ . '/util/util.php';

$reason = $_SESSION['velmora_reason'] ?? '';
unset($_SESSION['velmora_reason']);
if (!is_string($reason) || $reason === '') {
    $reason = '操作没有完成，请检查填写的内容后重试。';
}
page_begin('操作失败', 'message-page');
?>
<div class="message-box error">
  <h1>操作失败</h1>
  <p id="reason"><?= h($reason) ?></p>
  <p class="actions">
    <a class="btn" href="javascript:history.back()" id="back">返回修改</a>
    <a class="btn plain" href="/index.php" target="_top" id="home">回到首页</a>
  </p>
</div>
<script>
(function () {
  var p = window.parent;
  if (p && p !== window && p.VelmoraOpen && p.VelmoraOpen.isOpen()) {
    var home = document.getElementById('home');
    home.textContent = '关闭';
    home.removeAttribute('target');
    home.onclick = function (e) { e.preventDefault(); p.VelmoraOpen.close(false); };
  }
})();
</script>
<?php page_end();
