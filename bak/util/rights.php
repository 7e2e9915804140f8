<?php
/*
 * 用户的权限：每个角色对每个类有 查看、添加、修改、删除、导出 五项权限和“仅限本人创建的记录”，
 * 一个用户的权限是他各个角色的权限之和；只要有一个给了权限的角色不限于本人的记录，就不限。
 * 第一个管理员（编号最小的账号）和属于管理员角色的用户拥有全部权限，
 * 并且可以进入用户管理、角色管理、操作记录与回收站。
 * 权限每个请求从数据库读一次，修改角色后立即生效。
 * 请求守卫的一部分，由 guard.php 加载；直接请求本文件时回答 403。
 */
if (!defined('VELMORA_GUARD_LOADED')) {
    http_response_code(403);
    exit;
}

const VELMORA_RIGHTS = ['view' => '查看', 'add' => '添加', 'edit' => '修改', 'delete' => '删除', 'export' => '导出'];

/* 守卫与框架页面共用的一个数据库连接；连不上时以 500 结束请求。 */
function velmora_guard_conn(): mysqli
{
    static $conn = null;
    if ($conn === null) {
        $conn = velmora_connect($reason, $detail);
        if ($conn === null) {
            error_log(velmora_log_text('[velmora] ' . $detail));
            velmora_fail((string)$reason);
        }
    }
    return $conn;
}

function velmora_user_id(): int
{
    return (int)($_SESSION['velmora_admin_id'] ?? 0);
}

/* 第一个管理员的编号（编号最小的账号）。 */
function velmora_first_admin_id(mysqli $conn): int
{
    $rows = velmora_rows($conn, 'SELECT MIN(adminId) AS id FROM ' . velmora_admin_table());
    if ($rows === null) {
        velmora_fail('无法读取用户的权限，请稍后再试。');
    }
    return (int)$rows[0]['id'];
}

/* 当前用户的权限：['admin' => bool, 'classes' => [类名 => ['view' => bool, ..., 'own' => bool]]]。 */
function velmora_rights(): array
{
    static $rights = null;
    if ($rights !== null) {
        return $rights;
    }
    $conn = velmora_guard_conn();
    if (!velmora_team_schema($conn)) {
        velmora_fail('多用户所需的数据表无法建立，请导入建表脚本或给数据库用户建表的权限。');
    }
    $id = velmora_user_id();
    if ($id > 0 && $id === velmora_first_admin_id($conn)) {
        return $rights = ['admin' => true, 'classes' => []];
    }
    $rows = velmora_rows($conn, 'SELECT r.isAdmin, r.seeUnowned, rr.* FROM ' . velmora_team_table('user_role') . ' ur'
        . ' JOIN ' . velmora_team_table('role') . ' r ON r.roleId = ur.roleId'
        . ' LEFT JOIN ' . velmora_team_table('role_right') . ' rr ON rr.roleId = r.roleId WHERE ur.adminId = ?', [$id]);
    if ($rows === null) {
        velmora_fail('无法读取用户的权限，请稍后再试。');
    }
    $rights = ['admin' => false, 'classes' => [], 'unowned' => false];
    $unlimited = [];
    foreach ($rows as $row) {
        $rights['admin'] = $rights['admin'] || (int)$row['isAdmin'] === 1;
        $rights['unowned'] = $rights['unowned'] || (int)$row['seeUnowned'] === 1;
        $class = (string)($row['className'] ?? '');
        if ($class === '') {
            continue;
        }
        $granted = array_filter(array_keys(VELMORA_RIGHTS), function (string $right) use ($row): bool {
            return (int)$row['can' . ucfirst($right)] === 1;
        });
        // 一项权限也不给的行（角色页面为每个类都写一行）不算对这个类有权限，也不限制别的角色。
        if ($granted === []) {
            continue;
        }
        $mine = $rights['classes'][$class] ?? array_fill_keys(array_keys(VELMORA_RIGHTS), false);
        foreach ($granted as $right) {
            $mine[$right] = true;
        }
        if ((int)$row['ownOnly'] !== 1) {
            $unlimited[$class] = true;
        }
        $rights['classes'][$class] = $mine;
    }
    foreach ($rights['classes'] as $class => $mine) {
        $rights['classes'][$class]['own'] = empty($unlimited[$class]);
    }
    return $rights;
}

function velmora_is_admin(): bool
{
    return velmora_rights()['admin'];
}

/* 当前用户能否对类 $class 做 $right（view、add、edit、delete、export）。只读的类谁也不能添加、修改、删除。 */
function velmora_may(string $class, string $right): bool
{
    if (in_array($right, ['add', 'edit', 'delete'], true) && !empty(velmora_class_fields($class)['readOnly'])) {
        return false;
    }
    $rights = velmora_rights();
    return $rights['admin'] || !empty($rights['classes'][$class][$right]);
}

/* 当前用户对类 $class 是否只能看到、修改、删除本人创建的记录。 */
function velmora_own_only(string $class): bool
{
    $rights = velmora_rights();
    return !$rights['admin'] && ($rights['classes'][$class]['own'] ?? true);
}

/*
 * 类的表名、主键字段名（请求中的参数名）与主键列名（取自字段说明）；没有时返回 null。
 * keys 为全部主键字段名（复合主键时多于一个），keyColumns 为它们的列名；key、keyColumn 为其中第一个。
 * 表名与列名在 SQL 中一律用 velmora_sql_name 加上反引号。
 */
function velmora_class_table(string $class): ?array
{
    $fields = velmora_class_fields($class);
    $table = (string)($fields['table'] ?? '');
    $key = (string)($fields['key'] ?? '');
    $keys = is_array($fields['keys'] ?? null) ? array_values($fields['keys']) : [$key];
    $columnOf = [];
    foreach ((array)($fields['fields'] ?? []) as $field) {
        if (is_array($field) && is_string($field['name'] ?? null)) {
            $columnOf[$field['name']] = (string)($field['column'] ?? $field['name']);
        }
    }
    $keyColumns = [];
    foreach ($keys as $name) {
        if (!is_string($name) || !preg_match('/^[A-Za-z0-9_$]+$/', $name)) {
            return null;
        }
        $keyColumns[] = $name === $key ? (string)($fields['keyColumn'] ?? $key) : ($columnOf[$name] ?? $name);
    }
    if (!velmora_is_sql_name($table) || !preg_match('/^[A-Za-z0-9_$]+$/', $key)) {
        return null;
    }
    foreach ($keyColumns as $column) {
        if (!velmora_is_sql_name($column)) {
            return null;
        }
    }
    return ['table' => $table, 'key' => $key, 'keyColumn' => $keyColumns[0], 'keys' => $keys, 'keyColumns' => $keyColumns,
        'integerKey' => !empty($fields['integerKey'])];
}

/*
 * 只看本人记录时加在 where 之后的条件（以 " and " 开头）；不受限制时为空字符串，
 * 不知道类的表与主键时为 null（调用者不显示任何记录）。
 */
function velmora_own_condition(string $class): ?string
{
    // 只读的类的记录都不是在本应用中添加的，没有创建者。
    if (!velmora_own_only($class) || !empty(velmora_class_fields($class)['readOnly'])) {
        return '';
    }
    $info = velmora_class_table($class);
    if ($info === null) {
        return null;
    }
    $table = "'" . str_replace(['\\', "'"], ['\\\\', "''"], $info['table']) . "'";
    $key = velmora_key_sql($info['keyColumns']);
    $mine = $key . ' IN (SELECT rowKey FROM ' . velmora_team_table('row_owner') . ' WHERE tableName = ' . $table . ' AND adminId = ' . velmora_user_id() . ')';
    if (empty(velmora_rights()['unowned'])) {
        return ' and ' . $mine;
    }
    // 角色也可以处理没有创建者的记录（应用之前就在表中的记录）。
    return ' and (' . $mine . ' OR ' . $key . ' NOT IN (SELECT rowKey FROM ' . velmora_team_table('row_owner') . ' WHERE tableName = ' . $table . '))';
}

/*
 * 下拉框的数据（select 主键,显示列 from 表）：可选的记录按 velmora_lookup_condition 限定。
 */
function velmora_own_lookup(string $sql): string
{
    if (PHP_SAPI === 'cli' || !velmora_logged_in() || velmora_controller_class() === null
        || !preg_match('/^\s*select\s+[A-Za-z0-9_$]+\s*,\s*[A-Za-z0-9_$]+\s+from\s+`?([A-Za-z0-9_$]+)`?\s*$/i', $sql, $m)) {
        return $sql;
    }
    foreach (velmora_entities() as $class => $info) {
        if ($info['table'] === $m[1]) {
            $own = velmora_lookup_condition($class);
            return $own === '' ? $sql : $sql . ' where 1=1' . $own;
        }
    }
    return $sql;
}

/*
 * 选择类 $class 的记录（引用字段的下拉框、查找框、查询条件，CSV 导入按显示文字找记录）时加在 where 1=1 之后的条件。
 * 能查看这个类时是他能看到的记录（只能看本人的记录时只有这些）；不能查看时不限，
 * 他只看到记录的显示文字，表单照样可以选择和保存。无法加上条件时不给任何记录。
 * 正在修改的记录原来引用的那一条总是可选的（见 reference_current_display）。
 */
function velmora_lookup_condition(string $class): string
{
    if (!velmora_may($class, 'view')) {
        return '';
    }
    $own = velmora_own_condition($class);
    return $own === null ? ' and 0=1' : $own;
}

/*
 * 表单提交的引用 $value 是否可以选择（与下拉框相同的规则，见 velmora_lookup_condition），
 * 或者就是正在修改的这一行原来引用的记录。绕过表单提交的其他记录不接受。
 */
function velmora_reference_choosable(string $class, array $field, string $value, string $action): bool
{
    $target = (string)($field['refClass'] ?? '');
    $condition = velmora_lookup_condition($target);
    $shape = velmora_lookup_source($target);
    if ($condition === '' || $shape === null) {
        return true;
    }
    $conn = velmora_guard_conn();
    $rows = velmora_rows($conn, 'SELECT 1 AS found FROM ' . $shape['table'] . ' WHERE ' . $shape['key'] . ' = ?' . $condition . ' LIMIT 1', [$value]);
    $info = $action === 'update' ? velmora_class_table($class) : null;
    $column = velmora_member_column($class, (string)$field['name']);
    $key = $info === null ? null : velmora_requested_key($class, 'edit');
    if ($rows === null) {
        velmora_fail('无法检查所选的记录，请稍后再试。');
    }
    if ($rows !== [] || $key === null || $column === null) {
        return $rows !== [];
    }
    $values = velmora_key_values($key, count($info['keyColumns']));
    $stored = $values === null ? [] : velmora_rows($conn, 'SELECT ' . $column . ' AS v FROM ' . velmora_sql_name($info['table'])
        . ' WHERE ' . velmora_key_where($info['keyColumns']), $values);
    return $stored && (string)$stored[0]['v'] === $value;
}

/* 记录是否由当前用户创建（角色可以处理没有创建者的记录时，也包括这些记录）。 */
function velmora_owns(string $class, string $key): bool
{
    $info = velmora_class_table($class);
    if ($info === null) {
        return false;
    }
    $rows = velmora_rows(velmora_guard_conn(), 'SELECT adminId FROM ' . velmora_team_table('row_owner')
        . ' WHERE ' . VELMORA_OWNER_ROW, velmora_owner_params($info['table'], $key));
    if ($rows === null) {
        velmora_fail('无法读取记录的创建者，请稍后再试。');
    }
    if ($rows === []) {
        return !empty(velmora_rights()['unowned']);
    }
    return (int)$rows[0]['adminId'] === velmora_user_id();
}

/* 控制器请求所需的权限。管理页面先在 POST、再在 GET 中找 view 与 export，先处理导出，这里也一样。 */
function velmora_requested_right(): string
{
    $action = is_string($_REQUEST['action'] ?? null) ? $_REQUEST['action'] : '';
    $page = function (string $name): string {
        $value = array_key_exists($name, $_POST) ? $_POST[$name] : ($_GET[$name] ?? '');
        return is_scalar($value) ? (string)$value : '';
    };
    switch ($action) {
        case 'add':
            return 'add';
        case 'update':
            return 'edit';
        case 'del':
            return 'delete';
    }
    if ($page('export') === 'csv') {
        return 'export';
    }
    $view = $page('view');
    return $view === 'add' || $view === 'edit' ? $view : 'view';
}

/* 请求所指的那条记录的主键（查看、修改表单、修改、删除）；没有时返回 null。 */
function velmora_requested_key(string $class, string $right): ?string
{
    $info = velmora_class_table($class);
    if ($info === null) {
        return null;
    }
    $values = [];
    foreach ($info['keys'] as $key) {
        $value = $right === 'edit' && ($_REQUEST['action'] ?? '') === 'update'
            ? ($_POST[velmora_lcfirst($class)][$key] ?? null)
            : ($_GET[$key] ?? null);
        if (!is_string($value)) {
            return null;
        }
        $values[] = $value;
    }
    return velmora_key_text($values);
}

function velmora_forbid(string $what): void
{
    velmora_log('用户 ' . ($_SESSION['velmora_admin_name'] ?? '') . ' 没有权限：' . $what . '，已拒绝');
    velmora_refuse(403, '你没有权限进行这项操作。');
}

/* 请求守卫中的权限检查：管理员页面、控制器的每个操作、只看本人记录时所指的记录。 */
function velmora_guard_rights(): void
{
    if (defined('VELMORA_ADMIN_PAGE') && !velmora_is_admin()) {
        velmora_forbid('管理员页面');
    }
    $class = velmora_controller_class();
    if ($class === null) {
        return;
    }
    $right = velmora_requested_right();
    // 导出的是列表，也需要查看的权限。
    if (!velmora_may($class, $right) || ($right === 'export' && !velmora_may($class, 'view'))) {
        velmora_forbid($class . ' ' . VELMORA_RIGHTS[$right]);
    }
    if ($right === 'add' || !velmora_own_only($class)) {
        return;
    }
    $key = velmora_requested_key($class, $right);
    if ($key !== null && !velmora_owns($class, $key)) {
        velmora_forbid($class . ' 他人创建的记录 ' . $key);
    }
}
