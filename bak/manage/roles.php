<?php
/*
 * 角色管理（只有管理员可以进入）：角色及其对每个类的权限。
 * 管理员角色拥有全部权限，并可进入用户管理、角色管理、操作记录与回收站。
 */
define('VELMORA_OWN_PAGE', true);
define('VELMORA_ADMIN_PAGE', true);
require_once __DIR__ . '/../database/SqlHelper.class.php';
require_once __DIR__ . '/../util/util.php';

const VELMORA_ROLE_COLUMNS = ['view' => 'canView', 'add' => 'canAdd', 'edit' => 'canEdit', 'delete' => 'canDelete',
    'export' => 'canExport', 'own' => 'ownOnly'];

/* 执行一项操作，返回给用户看的结果（以“!”开头表示失败）。 */
function velmora_role_operation(SqlHelper $db, string $op, int $id, array $post): string
{
    $roles = velmora_team_table('role');
    switch ($op) {
        case 'add':
            $name = trim(is_string($post['roleName'] ?? null) ? $post['roleName'] : '');
            if ($name === '' || preg_match_all('/./su', $name) > 50) {
                return '!角色名称不能为空，也不能超过 50 个字符。';
            }
            $n = $db->execute_prepared('INSERT INTO ' . $roles . ' (roleName, isAdmin) VALUES (?, ?)', [$name, empty($post['isAdmin']) ? 0 : 1]);
            return $n < 0 ? '!' . ($db->errno === 1062 ? '角色“' . $name . '”已经存在。' : $db->error) : '已添加角色“' . $name . '”。';
        case 'delete':
            $done = $db->in_transaction(function (SqlHelper $db) use ($id, $roles) {
                foreach ([velmora_team_table('role_right'), velmora_team_table('user_role'), $roles] as $table) {
                    if ($db->execute_prepared('DELETE FROM ' . $table . ' WHERE roleId = ?', [$id]) < 0) {
                        return null;
                    }
                }
                return true;
            });
            return $done === null ? '!' . $db->error : '已删除角色。';
        case 'save':
            if (!$db->query_prepared('SELECT roleId FROM ' . $roles . ' WHERE roleId = ?', [$id])) {
                return '!没有找到这个角色。';
            }
            $rights = is_array($post['rights'] ?? null) ? $post['rights'] : [];
            $done = $db->in_transaction(function (SqlHelper $db) use ($id, $rights, $post, $roles) {
                $table = velmora_team_table('role_right');
                if ($db->execute_prepared('UPDATE ' . $roles . ' SET isAdmin = ?, seeUnowned = ? WHERE roleId = ?',
                        [empty($post['isAdmin']) ? 0 : 1, empty($post['seeUnowned']) ? 0 : 1, $id]) < 0
                    || $db->execute_prepared('DELETE FROM ' . $table . ' WHERE roleId = ?', [$id]) < 0) {
                    return null;
                }
                foreach (array_keys(velmora_entities()) as $class) {
                    $chosen = is_array($rights[$class] ?? null) ? $rights[$class] : [];
                    $values = [$id, $class];
                    foreach (array_keys(VELMORA_ROLE_COLUMNS) as $right) {
                        $values[] = empty($chosen[$right]) ? 0 : 1;
                    }
                    // 没有勾选任何权限的类不写：角色对它没有权限。
                    if (array_sum(array_slice($values, 2, count(VELMORA_RIGHTS))) === 0) {
                        continue;
                    }
                    if ($db->execute_prepared('INSERT INTO ' . $table . ' (roleId, className, ' . implode(', ', VELMORA_ROLE_COLUMNS)
                        . ') VALUES (?, ?, ?, ?, ?, ?, ?, ?)', $values) < 0) {
                        return null;
                    }
                }
                return true;
            });
            return $done === null ? '!' . ($db->error !== '' ? $db->error : '保存权限失败。') : '已保存角色的权限。';
    }
    return '!未知的操作。';
}

$db = new SqlHelper();
if (($_SERVER['REQUEST_METHOD'] ?? 'GET') === 'POST') {
    $op = is_string($_POST['op'] ?? null) ? $_POST['op'] : '';
    $result = velmora_role_operation($db, $op, (int)($_POST['id'] ?? 0), $_POST);
    velmora_log('角色管理：' . $op . ' ' . (int)($_POST['id'] ?? 0) . ' ' . $result);
    $_SESSION['velmora_flash'] = $result;
    velmora_redirect('/manage/roles.php');
}
$flash = (string)($_SESSION['velmora_flash'] ?? '');
unset($_SESSION['velmora_flash']);
$roles = $db->query_prepared('SELECT roleId, roleName, isAdmin, seeUnowned FROM ' . velmora_team_table('role') . ' ORDER BY roleName') ?? [];
$granted = [];
foreach ($db->query_prepared('SELECT * FROM ' . velmora_team_table('role_right')) ?? [] as $row) {
    $granted[(int)$row['roleId']][(string)$row['className']] = $row;
}
$holders = [];
foreach ($db->query_prepared('SELECT ur.roleId, a.adminName FROM ' . velmora_team_table('user_role') . ' ur JOIN '
    . velmora_admin_table() . ' a ON a.adminId = ur.adminId ORDER BY a.adminName') ?? [] as $row) {
    $holders[(int)$row['roleId']][] = (string)$row['adminName'];
}
$error = $db->error;
$db->close_connect();
$labels = VELMORA_RIGHTS + ['own' => '仅限本人创建的记录'];

page_begin('角色管理');
?>
<div class="page" id="role-list">
  <div class="page-title"><h2>角色管理</h2></div>
  <?php if ($error !== ''): ?><div class="alert error"><?= h($error) ?></div><?php endif; ?>
  <?php if ($flash !== ''): ?><div class="alert <?= $flash[0] === '!' ? 'error' : 'ok' ?>" id="flash"><?= h(ltrim($flash, '!')) ?></div><?php endif; ?>
  <form class="panel search-form" method="post" action="<?= h(velmora_base()) ?>/manage/roles.php" id="add-role">
    <input type="hidden" name="op" value="add">
    <label>角色名称 <input type="text" name="roleName" maxlength="50" required></label>
    <label><input type="checkbox" name="isAdmin" value="1"> 管理员角色</label>
    <button type="submit">添加角色</button>
  </form>
  <p class="hint" id="own-hint">“仅限本人创建的记录”：有这个角色的用户在这个类中只能看到、修改、删除和导出自己添加的记录；
    他的另一个角色对这个类给了权限而不加这个限制时，不再受限。一项也没有勾选的类，这个角色不能进入，
    但别的类的表单仍可以选择它的记录。</p>
  <?php foreach ($roles as $role): $id = (int)$role['roleId']; $isAdmin = (int)$role['isAdmin'] === 1; ?>
  <form class="panel role" method="post" action="<?= h(velmora_base()) ?>/manage/roles.php" data-role="<?= h($role['roleName']) ?>">
    <input type="hidden" name="op" value="save"><input type="hidden" name="id" value="<?= $id ?>">
    <h3><?= h($role['roleName']) ?> <label class="hint"><input type="checkbox" name="isAdmin" value="1"<?= $isAdmin ? ' checked' : '' ?>> 管理员角色（全部权限）</label>
      <label class="hint"><input type="checkbox" name="seeUnowned" value="1"<?= (int)$role['seeUnowned'] === 1 ? ' checked' : '' ?>> 仅限本人的记录时，也包括没有创建者的记录</label></h3>
    <p class="hint holders">拥有这个角色的用户：<?= h(implode('、', $holders[$id] ?? []) ?: '无') ?></p>
    <?php if ($isAdmin): ?>
    <p class="hint">管理员角色拥有对每个类的全部权限，并可进入用户管理、角色管理、操作记录与回收站。</p>
    <?php else: ?>
    <table class="grid">
      <thead><tr><th>类</th><?php foreach ($labels as $right => $label): ?><th><label><input type="checkbox" data-tick="right" data-right="<?= $right ?>" aria-label="<?= h('全部勾选“' . $label . '”') ?>"> <?= h($label) ?></label></th><?php endforeach; ?></tr></thead><tbody>
      <?php foreach (velmora_entities() as $class => $info): $row = $granted[$id][$class] ?? []; ?>
      <tr data-class="<?= h($class) ?>"><td><label><input type="checkbox" data-tick="class" aria-label="<?= h('全部勾选' . $info['friend']) ?>"> <?= h($info['friend']) ?></label></td>
        <?php foreach (VELMORA_ROLE_COLUMNS as $right => $column): ?>
        <td><input type="checkbox" name="rights[<?= h($class) ?>][<?= $right ?>]" value="1" data-right="<?= $right ?>"<?= (int)($row[$column] ?? 0) === 1 ? ' checked' : '' ?>></td>
        <?php endforeach; ?>
      </tr>
      <?php endforeach; ?>
    </tbody></table>
    <?php endif; ?>
    <div class="form-actions"><button type="submit">保存权限</button></div>
  </form>
  <form method="post" action="<?= h(velmora_base()) ?>/manage/roles.php" class="inline" data-confirm="<?= h('确定要删除角色“' . $role['roleName'] . '”吗？') ?>"><input type="hidden" name="op" value="delete"><input type="hidden" name="id" value="<?= $id ?>"><button type="submit" class="danger small">删除角色“<?= h($role['roleName']) ?>”</button></form>
  <?php endforeach; ?>
</div>
<?php page_end();
