<?php
/* 添加、修改、删除成功后显示的页面。 */
define('VELMORA_OWN_PAGE', true);
require_once __DIR__ . '/util/util.php';

unset($_SESSION['velmora_reason'], $_SESSION['velmora_reason_action']);
// 返回发起操作的页面（只接受本站地址，且不重复执行修改操作）
$back = '';
$referer = $_SERVER['HTTP_REFERER'] ?? '';
if ($referer !== '' && in_array(velmora_normalize_origin($referer), velmora_own_origins(), true)
    && !preg_match('/[?&]action=(add|update|del)\b/', $referer) && !preg_match('#/(ok|error)\.php#', $referer)) {
    $back = $referer;
    // 查询表单以 POST 提交时地址中没有 action，返回时补上，回到列表
    if (preg_match('#/controller/[A-Za-z_][A-Za-z0-9_]*Action\.php$#', (string)parse_url($back, PHP_URL_PATH))
        && !preg_match('/[?&]action=/', $back)) {
        $back .= (strpos($back, '?') === false ? '?' : '&') . 'action=query';
    }
}
page_begin('操作成功', 'message-page');
?>
<div class="message-box ok" id="saved">
  <h1>操作成功！</h1>
  <p id="countdown">数据已保存。</p>
  <p class="actions">
    <?php if ($back !== ''): ?><a class="btn" id="back" href="<?= h($back) ?>">返回</a><?php endif; ?>
    <a class="btn plain" href="<?= h(velmora_url('/index.php')) ?>" target="_top">回到首页</a>
  </p>
</div>
<?php page_end();
