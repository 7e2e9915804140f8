<?php
/*
 * 用户管理（只有管理员可以进入）：添加用户、停用与启用、重置密码、分配角色。
 * 新用户和重置过密码的用户下次登录时必须先修改密码。第一个管理员不能停用，他总有全部权限。
 */
define('VELMORA_OWN_PAGE', true);
define('VELMORA_ADMIN_PAGE', true);
require_once __DIR__ . '/../database/SqlHelper.class.php';
require_once __DIR__ . '/../util/util.php';
require_once __DIR__ . '/../util/account.php';

$admins = velmora_admin_table();
$userRoles = velmora_team_table('user_role');

/* 执行一项操作，返回给用户看的结果（以“!”开头表示失败）。 */
function velmora_user_operation(SqlHelper $db, string $op, int $id, array $post): string
{
    $admins = velmora_admin_table();
    $first = velmora_first_admin_id(velmora_guard_conn());
    $password = is_string($post['password'] ?? null) ? $post['password'] : '';
    // 第一个管理员不能被别人停用、重置密码或改变角色；自己的密码只在“修改密码”页面修改（要先输入原密码）。
    $refusals = ['disable' => '!第一个管理员不能停用。', 'enable' => '!第一个管理员不能停用。',
        'reset' => '!不能重置第一个管理员的密码。', 'roles' => '!第一个管理员总有全部权限，不能改变他的角色。'];
    if ($op === 'reset' && $id === velmora_user_id()) {
        return '!请在“修改密码”页面修改自己的密码。';
    }
    if ($id === $first && isset($refusals[$op])) {
        return $refusals[$op];
    }
    switch ($op) {
        case 'add':
            $name = trim(is_string($post['username'] ?? null) ? $post['username'] : '');
            if ($name === '' || preg_match_all('/./su', $name) > 50) {
                return '!用户名不能为空，也不能超过 50 个字符。';
            }
            if ($problems = velmora_password_problems($password, $name)) {
                return '!' . implode(' ', $problems);
            }
            $n = $db->execute_prepared('INSERT INTO ' . $admins . ' (adminName, adminPassword, mustChangePassword) VALUES (?, ?, 1)',
                [$name, password_hash($password, PASSWORD_DEFAULT)]);
            return $n < 0 ? '!' . ($db->errno === 1062 ? '用户名“' . $name . '”已经存在。' : $db->error) : '已添加用户“' . $name . '”。';
        case 'disable':
        case 'enable':
            $n = $db->execute_prepared('UPDATE ' . $admins . ' SET disabled = ? WHERE adminId = ?', [$op === 'disable' ? 1 : 0, $id]);
            return $n < 0 ? '!' . $db->error : ($op === 'disable' ? '已停用该用户，他的会话随即结束。' : '已启用该用户。');
        case 'reset':
            $rows = $db->query_prepared('SELECT adminName FROM ' . $admins . ' WHERE adminId = ?', [$id]);
            if (!$rows) {
                return '!没有找到这个用户。';
            }
            if ($problems = velmora_password_problems($password, (string)$rows[0]['adminName'])) {
                return '!' . implode(' ', $problems);
            }
            $n = $db->execute_prepared('UPDATE ' . $admins . ' SET adminPassword = ?, mustChangePassword = 1,'
                . ' sessionVersion = sessionVersion + 1 WHERE adminId = ?', [password_hash($password, PASSWORD_DEFAULT), $id]);
            return $n < 0 ? '!' . $db->error : '已重置“' . $rows[0]['adminName'] . '”的密码，下次登录时必须修改密码。';
        case 'roles':
            $roles = array_map('intval', array_filter((array)($post['roles'] ?? []), 'is_string'));
            $done = $db->in_transaction(function (SqlHelper $db) use ($id, $roles) {
                $table = velmora_team_table('user_role');
                if ($db->execute_prepared('DELETE FROM ' . $table . ' WHERE adminId = ?', [$id]) < 0) {
                    return null;
                }
                // 只接受存在的用户和角色。
                foreach (array_unique($roles) as $role) {
                    if ($db->execute_prepared('INSERT INTO ' . $table . ' (adminId, roleId) SELECT a.adminId, r.roleId FROM '
                        . velmora_admin_table() . ' a, ' . velmora_team_table('role') . ' r WHERE a.adminId = ? AND r.roleId = ?', [$id, $role]) < 0) {
                        return null;
                    }
                }
                return true;
            });
            return $done === null ? '!' . ($db->error !== '' ? $db->error : '保存角色失败。') : '已保存用户的角色。';
    }
    return '!未知的操作。';
}

$db = new SqlHelper();
if (($_SERVER['REQUEST_METHOD'] ?? 'GET') === 'POST') {
    $op = is_string($_POST['op'] ?? null) ? $_POST['op'] : '';
    $result = velmora_user_operation($db, $op, (int)($_POST['id'] ?? 0), $_POST);
    velmora_log('用户管理：' . $op . ' ' . (int)($_POST['id'] ?? 0) . ' ' . $result);
    $_SESSION['velmora_flash'] = $result;
    velmora_redirect('/manage/users.php');
}
$flash = (string)($_SESSION['velmora_flash'] ?? '');
unset($_SESSION['velmora_flash']);
$users = $db->query_prepared('SELECT adminId, adminName, disabled, mustChangePassword, lastLoginTime FROM ' . $admins . ' ORDER BY adminId') ?? [];
$roles = $db->query_prepared('SELECT roleId, roleName FROM ' . velmora_team_table('role') . ' ORDER BY roleName') ?? [];
$held = [];
$roleNames = array_column($roles, 'roleName', 'roleId');
foreach ($db->query_prepared('SELECT adminId, roleId FROM ' . $userRoles) ?? [] as $row) {
    $held[(int)$row['adminId']][(int)$row['roleId']] = $roleNames[$row['roleId']] ?? '';
}
$first = velmora_first_admin_id(velmora_guard_conn());
$error = $db->error;
$db->close_connect();

page_begin('用户管理');
?>
<div class="page" id="user-list">
  <div class="page-title"><h2>用户管理</h2></div>
  <?php if ($error !== ''): ?><div class="alert error"><?= h($error) ?></div><?php endif; ?>
  <?php if ($flash !== ''): ?><div class="alert <?= $flash[0] === '!' ? 'error' : 'ok' ?>" id="flash"><?= h(ltrim($flash, '!')) ?></div><?php endif; ?>
  <form class="panel search-form" method="post" action="<?= h(velmora_base()) ?>/manage/users.php" id="add-user" autocomplete="off">
    <input type="hidden" name="op" value="add">
    <label>用户名 <input type="text" name="username" maxlength="50" required></label>
    <label>初始密码 <input type="password" name="password" maxlength="72" required></label>
    <button type="submit">添加用户</button>
    <span class="hint">新用户第一次登录时必须修改密码</span>
  </form>
  <table class="grid">
    <thead><tr><th>用户名</th><th>状态</th><th>最后登录</th><th>角色</th><th>操作</th></tr></thead><tbody>
    <?php foreach ($users as $u): $id = (int)$u['adminId']; ?>
    <tr data-user="<?= h($u['adminName']) ?>">
      <td><?= h($u['adminName']) ?></td>
      <td><?= $id === $first ? '第一个管理员' : ((int)$u['disabled'] === 1 ? '已停用' : '正常') ?></td>
      <td><?= h((string)$u['lastLoginTime']) ?></td>
      <td>
        <?php if ($id === $first): ?>全部权限<?php else: ?>
        <span class="held"><?= h(implode('、', $held[$id] ?? []) ?: '没有角色') ?></span>
        <form method="post" action="<?= h(velmora_base()) ?>/manage/users.php" class="inline roles">
          <input type="hidden" name="op" value="roles"><input type="hidden" name="id" value="<?= $id ?>">
          <?php foreach ($roles as $r): ?>
          <label><input type="checkbox" name="roles[]" value="<?= (int)$r['roleId'] ?>"<?= isset($held[$id][(int)$r['roleId']]) ? ' checked' : '' ?>> <?= h($r['roleName']) ?></label>
          <?php endforeach; ?>
          <button type="submit" class="small">保存角色</button>
        </form>
        <?php endif; ?>
      </td>
      <td class="ops">
        <?php if ($id !== $first): ?>
        <form method="post" action="<?= h(velmora_base()) ?>/manage/users.php" class="inline"><input type="hidden" name="op" value="<?= (int)$u['disabled'] === 1 ? 'enable' : 'disable' ?>"><input type="hidden" name="id" value="<?= $id ?>"><button type="submit" class="link toggle"<?= (int)$u['disabled'] === 1 ? '' : ' data-confirm="' . h('确定要停用“' . $u['adminName'] . '”吗？他的会话随即结束。') . '"' ?>><?= (int)$u['disabled'] === 1 ? '启用' : '停用' ?></button></form>
        <?php endif; ?>
        <?php if ($id !== $first && $id !== velmora_user_id()): ?>
        <form method="post" action="<?= h(velmora_base()) ?>/manage/users.php" class="inline reset" autocomplete="off"><input type="hidden" name="op" value="reset"><input type="hidden" name="id" value="<?= $id ?>"><input type="password" name="password" maxlength="72" placeholder="新密码" required> <button type="submit" class="small" data-confirm="<?= h('确定要重置“' . $u['adminName'] . '”的密码吗？他下次登录时必须修改密码。') ?>">重置密码</button></form>
        <?php endif; ?>
      </td>
    </tr>
    <?php endforeach; ?>
  </tbody></table>
</div>
<?php page_end();
