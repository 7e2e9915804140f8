<?php
/*
 * 记录的创建者（只有管理员可以进入）：给一个类的记录成批指定创建者，可以是没有创建者的全部记录
 * （应用之前就在表中的记录）、列表当前查询条件下的记录（列表上“设置这些记录的创建者”的链接），
 * 或者某个成员包含某段文字的记录。
 * “仅限本人创建的记录”按创建者判断；每条改动记入操作记录（操作为“设置创建者”）。
 */
define('VELMORA_OWN_PAGE', true);
define('VELMORA_ADMIN_PAGE', true);
require_once __DIR__ . '/../database/SqlHelper.class.php';
require_once __DIR__ . '/../util/util.php';

/* 一次最多处理的记录数。 */
const VELMORA_OWNERS_MAX = 10000;

/* 列表的查询条件（成员 => 值，与列表相同：文字包含，其他相等）与“查看全部”的限定在 SQL 中的写法。 */
function velmora_owner_list_condition(string $class, array $search, array $of, array &$params): ?string
{
    $profile = velmora_service_profile($class);
    if ($profile === null) {
        return null;
    }
    $sql = '';
    foreach ($search as $member => $value) {
        $column = is_string($member) && in_array($member, $profile['search'], true) ? velmora_member_column($class, $member) : null;
        if ($column === null || !is_string($value) || $value === '' || (in_array($member, $profile['bare_search'], true) && $value === '0')) {
            continue;
        }
        $like = in_array($member, $profile['like_search'], true);
        $sql .= ' AND ' . ($like ? 'CAST(' . $column . ' AS CHAR) LIKE ?' : $column . ' = ?');
        $params[] = $like ? '%' . addcslashes($value, '%_\\') . '%' : $value;
    }
    foreach ($of as $member => $value) {
        $column = is_string($member) && velmora_reference_field($class, $member) !== null ? velmora_member_column($class, $member) : null;
        if ($column !== null && is_string($value)) {
            $sql .= ' AND ' . $column . ' = ?';
            $params[] = $value;
        }
    }
    return $sql;
}

/*
 * 符合条件的记录的主键文字：$scope 为 unowned（没有创建者的全部记录）、list（列表的查询条件 $search、$of）
 * 或 member（成员 $member 包含 $text）。返回 [主键文字...]，条件无效时返回原因（字符串），查询失败时返回 null。
 */
function velmora_owner_targets(SqlHelper $db, string $class, string $scope, string $member = '', string $text = '', array $search = [], array $of = [])
{
    $info = velmora_class_table($class);
    if ($info === null || !empty(velmora_class_fields($class)['readOnly'])) {
        return '这个类的记录不能设置创建者。';
    }
    $key = velmora_key_sql($info['keyColumns']);
    $owners = velmora_team_table('row_owner');
    $sql = 'SELECT ' . $key . ' AS k FROM ' . velmora_sql_name($info['table']) . ' WHERE ';
    $params = [];
    if ($scope === 'unowned') {
        $sql .= $key . ' NOT IN (SELECT rowKey FROM ' . $owners . ' WHERE tableName = ?)';
        $params[] = $info['table'];
    } elseif ($scope === 'list') {
        $condition = velmora_owner_list_condition($class, $search, $of, $params);
        if ($condition === null) {
            return '这个类的查询条件无法使用。';
        }
        $sql .= '1=1' . $condition;
    } else {
        $column = null;
        foreach ((array)(velmora_class_fields($class)['fields'] ?? []) as $field) {
            if (($field['name'] ?? null) === $member) {
                $column = (string)($field['column'] ?? $member);
            }
        }
        if ($column === null || !velmora_is_sql_name($column)) {
            return '请选择成员。';
        }
        $sql .= 'CAST(' . velmora_sql_name($column) . ' AS CHAR) LIKE ?';
        $params[] = '%' . addcslashes($text, '%_\\') . '%';
    }
    $rows = $db->query_prepared($sql . ' LIMIT ' . (VELMORA_OWNERS_MAX + 1), $params);
    if ($rows === null) {
        return null;
    }
    if (count($rows) > VELMORA_OWNERS_MAX) {
        return '符合条件的记录超过 ' . VELMORA_OWNERS_MAX . ' 条，请缩小范围后分几次设置。';
    }
    return array_map(function (array $row): string {
        return (string)$row['k'];
    }, $rows);
}

/* 把这些记录的创建者设为 $adminId，并记入操作记录；返回给用户看的结果（以“!”开头表示失败）。 */
function velmora_set_owners(SqlHelper $db, string $class, array $keys, int $adminId, string $adminName): string
{
    $table = velmora_class_table($class)['table'];
    $changed = 0;
    $done = $db->in_transaction(function (SqlHelper $db) use ($class, $table, $keys, $adminId, $adminName, &$changed) {
        $changed = 0;
        foreach ($keys as $key) {
            $before = $db->query_prepared('SELECT o.adminId, a.adminName FROM ' . velmora_team_table('row_owner') . ' o LEFT JOIN '
                . velmora_admin_table() . ' a ON a.adminId = o.adminId WHERE o.' . str_replace(' AND ', ' AND o.', VELMORA_OWNER_ROW) . ' FOR UPDATE',
                velmora_owner_params($table, $key));
            if ($before === null) {
                return null;
            }
            if ($before && (int)$before[0]['adminId'] === $adminId) {
                continue;
            }
            if (!velmora_set_owner($db, $table, $key, $adminId)
                || !velmora_change_log($db, $class, $key, 'owner', ['创建者' => $before ? (string)($before[0]['adminName'] ?? $before[0]['adminId']) : null],
                    ['创建者' => $adminName])) {
                return null;
            }
            $changed++;
        }
        return true;
    });
    return $done === null ? '!' . ($db->error !== '' ? $db->error : '设置创建者失败。') : '已把 ' . $changed . ' 条记录的创建者设为“' . $adminName . '”。';
}

$db = new SqlHelper();
$entities = velmora_entities();
$class = req_raw_string('class');
$member = req_raw_string('member');
$text = req_raw_string('text');
$scope = req_raw_string('scope', 'unowned');
$search = is_array(req_raw('f', [])) ? req_raw('f', []) : [];
$of = is_array(req_raw('of', [])) ? req_raw('of', []) : [];
$users = $db->query_prepared('SELECT adminId, adminName FROM ' . velmora_admin_table() . ' ORDER BY adminId') ?? [];
if (($_SERVER['REQUEST_METHOD'] ?? 'GET') === 'POST') {
    $userId = (int)req_raw_string('user');
    $userName = null;
    foreach ($users as $user) {
        if ((int)$user['adminId'] === $userId) {
            $userName = (string)$user['adminName'];
        }
    }
    $targets = isset($entities[$class]) ? velmora_owner_targets($db, $class, $scope, $member, $text, $search, $of) : '请选择类。';
    if ($userName === null) {
        $result = '!请选择用户。';
    } elseif (!is_array($targets)) {
        $result = '!' . ($targets ?? $db->error);
    } else {
        $result = velmora_set_owners($db, $class, $targets, $userId, $userName);
    }
    velmora_log('记录的创建者：' . $class . ' ' . $result);
    $_SESSION['velmora_flash'] = $result;
    velmora_redirect('/manage/owners.php?class=' . rawurlencode($class));
}
$flash = (string)($_SESSION['velmora_flash'] ?? '');
unset($_SESSION['velmora_flash']);
$unowned = isset($entities[$class]) ? velmora_owner_targets($db, $class, 'unowned') : null;
$listed = isset($entities[$class]) && $scope === 'list' ? velmora_owner_targets($db, $class, 'list', '', '', $search, $of) : null;
$error = $db->error;
$db->close_connect();

page_begin('记录的创建者');
?>
<div class="page" id="owners">
  <div class="page-title"><h2>记录的创建者</h2></div>
  <?php if ($error !== ''): ?><div class="alert error"><?= h($error) ?></div><?php endif; ?>
  <?php if ($flash !== ''): ?><div class="alert <?= $flash[0] === '!' ? 'error' : 'ok' ?>" id="flash"><?= h(ltrim($flash, '!')) ?></div><?php endif; ?>
  <form class="panel search-form" method="get" action="<?= h(velmora_base()) ?>/manage/owners.php">
    <label>类 <select name="class" data-submit><option value="">请选择</option>
      <?php foreach ($entities as $name => $info): ?><option value="<?= h($name) ?>"<?= $name === $class ? ' selected' : '' ?>><?= h($info['friend']) ?></option><?php endforeach; ?>
    </select></label>
    <button type="submit">选择</button>
  </form>
  <?php if (isset($entities[$class])): ?>
  <form class="panel" method="post" action="<?= h(velmora_base()) ?>/manage/owners.php?class=<?= h(rawurlencode($class)) ?>">
    <p id="unowned-count"><?= is_array($unowned) ? '没有创建者的记录：' . count($unowned) . ' 条' : h((string)$unowned) ?></p>
    <?php if ($listed !== null): ?>
    <p><label><input type="radio" name="scope" value="list" checked> 列表查询条件下的记录（<?= is_array($listed) ? count($listed) . ' 条' : h((string)$listed) ?>）</label>
      <?php foreach ($search as $name => $value): if (is_string($name) && is_string($value)): ?><input type="hidden" name="f[<?= h($name) ?>]" value="<?= h($value) ?>"><?php endif; endforeach; ?>
      <?php foreach ($of as $name => $value): if (is_string($name) && is_string($value)): ?><input type="hidden" name="of[<?= h($name) ?>]" value="<?= h($value) ?>"><?php endif; endforeach; ?></p>
    <?php endif; ?>
    <p><label><input type="radio" name="scope" value="unowned"<?= $listed === null ? ' checked' : '' ?>> 没有创建者的全部记录</label></p>
    <p><label><input type="radio" name="scope" value="member"> 成员</label>
      <select name="member" aria-label="成员"><?php foreach ((array)(velmora_class_fields($class)['fields'] ?? []) as $field): ?>
        <option value="<?= h($field['name']) ?>"<?= $field['name'] === $member ? ' selected' : '' ?>><?= h($field['label'] ?? $field['name']) ?></option><?php endforeach; ?>
      </select> 包含 <input type="text" name="text" value="<?= h($text) ?>" aria-label="包含的文字"> 的记录</p>
    <p><label>创建者设为 <select name="user"><?php foreach ($users as $user): ?><option value="<?= (int)$user['adminId'] ?>"><?= h($user['adminName']) ?></option><?php endforeach; ?></select></label></p>
    <div class="form-actions"><button type="submit">设置创建者</button></div>
  </form>
  <?php endif; ?>
</div>
<?php page_end();
