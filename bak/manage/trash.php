<?php
/* 回收站（只有管理员可以进入）：按类列出删除的记录，恢复或彻底删除。 */
define('VELMORA_OWN_PAGE', true);
define('VELMORA_ADMIN_PAGE', true);
require_once __DIR__ . '/../database/TrashBin.class.php';
require_once __DIR__ . '/../util/util.php';

$db = new SqlHelper();
$class = req_raw_string('class');
if (($_SERVER['REQUEST_METHOD'] ?? 'GET') === 'POST') {
    $op = is_string($_POST['op'] ?? null) ? $_POST['op'] : '';
    $id = (int)($_POST['id'] ?? 0);
    $bin = new TrashBin($db);
    $problem = $op === 'restore' ? $bin->restore($id) : ($op === 'purge' ? $bin->purge($id) : '未知的操作。');
    velmora_log('回收站：' . $op . ' ' . $id . ' ' . ($problem ?? '完成'));
    $_SESSION['velmora_flash'] = $problem !== null ? '!' . $problem : ($op === 'restore' ? '记录已恢复。' : '记录已彻底删除。');
    velmora_redirect('/manage/trash.php' . ($class !== '' ? '?class=' . rawurlencode($class) : ''));
}
$flash = (string)($_SESSION['velmora_flash'] ?? '');
unset($_SESSION['velmora_flash']);
$entities = velmora_entities();
$rows = $db->query_prepared('SELECT * FROM ' . velmora_team_table('trash') . ($class !== '' ? ' WHERE className = ?' : '')
    . ' ORDER BY trashId DESC' . manage_page_limit(), $class !== '' ? [$class] : []);
$total = $db->query_prepared('SELECT COUNT(*) AS n FROM ' . velmora_team_table('trash') . ($class !== '' ? ' WHERE className = ?' : ''),
    $class !== '' ? [$class] : []);
$error = $rows === null ? $db->error : '';
$db->close_connect();

page_begin('回收站');
?>
<div class="page" id="trash-list">
  <div class="page-title"><h2>回收站</h2></div>
  <?php if ($error !== ''): ?><div class="alert error"><?= h($error) ?></div><?php endif; ?>
  <?php if ($flash !== ''): ?><div class="alert <?= $flash[0] === '!' ? 'error' : 'ok' ?>" id="flash"><?= h(ltrim($flash, '!')) ?></div><?php endif; ?>
  <form class="panel search-form" method="get" action="<?= h(velmora_base()) ?>/manage/trash.php">
    <label>类 <select name="class" data-submit><option value="">全部</option>
      <?php foreach ($entities as $name => $info): ?><option value="<?= h($name) ?>"<?= $name === $class ? ' selected' : '' ?>><?= h($info['friend']) ?></option><?php endforeach; ?>
    </select></label>
    <button type="submit">查询</button>
  </form>
  <table class="grid">
    <thead><tr><th>类</th><th>记录</th><th>内容</th><th>删除人</th><th>删除时间</th><th>操作</th></tr></thead><tbody>
    <?php foreach ($rows ?? [] as $row): ?>
    <tr data-trash="<?= (int)$row['trashId'] ?>">
      <td><?= h($entities[$row['className']]['friend'] ?? $row['className']) ?></td>
      <td><?= history_row_label((string)$row['className'], (string)$row['rowKey'], $row['rowValues']) ?></td>
      <td><?= history_values(null, $row['rowValues'], (string)$row['className']) ?><?= velmora_trash_cascade((string)($row['cascadeValues'] ?? '')) ?></td>
      <td><?= h($row['deletedByName']) ?></td>
      <td><?= h($row['deletedAt']) ?></td>
      <td class="ops">
        <form class="inline" method="post" action="<?= h(velmora_base()) ?>/manage/trash.php?class=<?= h(rawurlencode($class)) ?>"><input type="hidden" name="op" value="restore"><input type="hidden" name="id" value="<?= (int)$row['trashId'] ?>"><button type="submit" class="link restore">恢复</button></form>
        <form class="inline" method="post" action="<?= h(velmora_base()) ?>/manage/trash.php?class=<?= h(rawurlencode($class)) ?>" data-confirm="彻底删除后不能再恢复，确定吗？"><input type="hidden" name="op" value="purge"><input type="hidden" name="id" value="<?= (int)$row['trashId'] ?>"><button type="submit" class="link delete">彻底删除</button></form>
      </td>
    </tr>
    <?php endforeach; ?>
    <?php if (!$rows): ?><tr class="empty-row"><td colspan="6">回收站是空的</td></tr><?php endif; ?>
  </tbody></table>
  <?= manage_pager('/manage/trash.php', ['class' => $class], (int)($total[0]['n'] ?? 0)) ?>
</div>
<?php page_end();
