<?php
// Deletes that reach further than their row, over the served project and the session of
// existing_rows.php (which includes this file at its end): a club whose fee keeps it (RESTRICT)
// is refused before anything is deleted; deleting another club first asks, naming by class and
// count what goes with it (members, badges, notes three deep) and what loses it (an event's club);
// the trash then holds the whole set as one entry, and restoring it brings back every table as it
// was before the delete. A clerk whose role sees the rows nobody owns may not delete a club whose
// badges he may not delete; the administrator then gives him every club without an owner.

function class_of_table(array $model, string $table): string
{
    foreach ($model['classes'] as $class) {
        if (($class['tableName'] ?? $class['className']) === $table) {
            return $class['className'];
        }
    }
    fail("no class for table $table");
}

function club_tables(): string
{
    $all = [];
    foreach (['club', 'club_member', 'member_badge', 'badge_note', 'club_event', 'club_fee'] as $table) {
        $all[$table] = rows('SELECT * FROM ' . quoted($table) . ' ORDER BY id');
    }
    return json_encode($all, JSON_UNESCAPED_UNICODE | JSON_PRETTY_PRINT);
}

$club = class_of_table($model, 'club');
$before = club_tables();
$delete = fn(string $id, array $more = []) => request('POST', "/controller/{$club}Action.php?action=del&id=$id", ['action' => 'del'] + $more);

expect_redirect($delete('1'), '/error.php', 'deleting a club a fee keeps');
[, , $body] = request('GET', '/error.php');
if (strpos($body, '1 条会费') === false) {
    fail("the refusal does not name the fee that keeps the club\n" . substr($body, 0, 2000));
}
if (club_tables() !== $before) {
    fail('a refused delete changed the tables');
}

[$status, , $body] = $delete('2');
$expected = '将同时删除 2 条会员、3 条徽章、2 条徽章说明。将清空 1 条活动中引用它的值。';
if ($status !== 200 || strpos($body, $expected) === false || !preg_match('/name="cascade" value="([0-9a-f]+)"/', $body, $m)) {
    fail("deleting a club did not first list what goes with it ($status)\n" . substr($body, 0, 2000));
}
if (club_tables() !== $before) {
    fail('asking to confirm changed the tables');
}
// The list's script asks the same before its confirmation box.
[, , $json] = request('GET', "/manage/cascade.php?cascadeOf=$club&id=2");
$asked = json_decode($json, true);
if (($asked['text'] ?? '') !== $expected || ($asked['token'] ?? '') !== $m[1] || ($asked['refusal'] ?? null) !== null) {
    fail("manage/cascade.php does not tell what the confirmation page does: $json");
}
expect_redirect($delete('2', ['cascade' => $m[1]]), '/ok.php', 'deleting a club, confirmed');
$gone = rows('SELECT (SELECT COUNT(*) FROM club_member) AS m, (SELECT COUNT(*) FROM badge_note) AS n,'
    . ' (SELECT COUNT(*) FROM club_event WHERE club_id IS NULL) AS e')[0];
if ([(int)$gone['m'], (int)$gone['n'], (int)$gone['e']] !== [1, 1, 2]) {
    fail('the database did not take what the confirmation named: ' . json_encode($gone));
}

$trash = rows("SELECT trashId FROM velmora_trash WHERE className = ? AND rowKey = '2'", [$club]);
if (count($trash) !== 1) {
    fail('the trash holds ' . count($trash) . " entries for the club's delete");
}
expect_redirect(request('POST', '/manage/trash.php', ['op' => 'restore', 'id' => $trash[0]['trashId']]), '/manage/trash.php', 'restoring the club');
if (($after = club_tables()) !== $before) {
    fail("the restore did not bring every table back as it was\n--- before\n$before\n--- after\n$after");
}
if (rows("SELECT trashId FROM velmora_trash WHERE className = ? AND rowKey = '2'", [$club])) {
    fail('the restored club is still in the trash');
}
echo "rows: a cascade was named, refused where a fee keeps its club, and restored whole\n";

// The clerk: view and delete clubs and members, own rows only but also those without an owner.
$admin = $cookies;
$entries = [];
foreach ([$club, class_of_table($model, 'club_member'), class_of_table($model, 'member_badge')] as $i => $name) {
    $entries["rights[$name][view]"] = '1';
    if ($i < 2) {
        $entries["rights[$name][delete]"] = '1';
    }
    $entries["rights[$name][own]"] = '1';
}
expect_redirect(request('POST', '/manage/roles.php', ['op' => 'add', 'roleName' => '会员管理']), '/manage/roles.php', 'adding a role');
$role = rows('SELECT roleId FROM velmora_role WHERE roleName = ?', ['会员管理'])[0]['roleId'];
expect_redirect(request('POST', '/manage/roles.php', ['op' => 'save', 'id' => $role, 'seeUnowned' => '1'] + $entries), '/manage/roles.php', 'saving the role');
$password = 'Clerk#' . random_int(1000, 9999) . 'x';
expect_redirect(request('POST', '/manage/users.php', ['op' => 'add', 'username' => 'clerk', 'password' => $password]), '/manage/users.php', 'adding the clerk');
$clerk = rows('SELECT adminId FROM velmora_admin WHERE adminName = ?', ['clerk'])[0]['adminId'];
expect_redirect(request('POST', '/manage/users.php', ['op' => 'roles', 'id' => $clerk, 'roles' => [$role]]), '/manage/users.php', 'giving the clerk his role');

$cookies = [];
request('GET', '/login.php');
expect_redirect(request('POST', '/login.php', ['username' => 'clerk', 'password' => $password]), '/changePassword.php', 'the clerk logs in');
$changed = $password . 'y';
request('POST', '/changePassword.php', ['oldPassword' => $password, 'newPassword' => $changed, 'confirmPassword' => $changed]);
[, , $body] = request('GET', "/controller/{$club}Action.php?action=query");
if (strpos($body, '共 2 条记录') === false) {
    fail("the clerk does not see the two clubs nobody owns\n" . substr($body, 0, 2000));
}
expect_redirect($delete('2'), '/error.php', 'the clerk deleting a club with badges');
[, , $body] = request('GET', '/error.php');
if (strpos($body, '没有删除它们的权限') === false || club_tables() !== $before) {
    fail("the clerk's delete reaching badges was not refused before it\n" . substr($body, 0, 2000));
}

$cookies = $admin;
expect_redirect(request('POST', "/manage/owners.php?class=$club", ['class' => $club, 'scope' => 'unowned', 'user' => $clerk]),
    "/manage/owners.php?class=$club", 'giving the clerk the clubs');
$owned = rows('SELECT COUNT(*) AS n FROM velmora_row_owner WHERE tableName = ? AND adminId = ?', ['club', $clerk])[0]['n'];
$logged = rows("SELECT COUNT(*) AS n FROM velmora_change_log WHERE className = ? AND action = 'owner'", [$club])[0]['n'];
if ((int)$owned !== 2 || (int)$logged !== 2) {
    fail("the clubs without an owner did not become the clerk's ($owned owned, $logged in the history)");
}
// The members' list leads to giving the rows it shows to the clerk.
$members = class_of_table($model, 'club_member');
[, , $body] = request('GET', "/controller/{$members}Action.php?action=query");
if (!preg_match('/class="owners-link" href="([^"]+)"/', $body, $link)) {
    fail("the list offers the administrator no way to give its rows an owner\n" . substr($body, 0, 2000));
}
$link = html_entity_decode($link[1], ENT_QUOTES, 'UTF-8');
[, , $body] = request('GET', $link);
if (strpos($body, '列表查询条件下的记录（3 条）') === false) {
    fail("the owners page does not count the list's rows\n" . substr($body, 0, 2000));
}
parse_str((string)parse_url($link, PHP_URL_QUERY), $fromList);
expect_redirect(request('POST', "/manage/owners.php?class=$members", $fromList + ['user' => $clerk]), "/manage/owners.php?class=$members", "giving the clerk the list's rows");
if ((int)rows('SELECT COUNT(*) AS n FROM velmora_row_owner WHERE tableName = ? AND adminId = ?', ['club_member', $clerk])[0]['n'] !== 3) {
    fail("the list's rows did not become the clerk's");
}
echo "rows: the clerk saw the rows nobody owned, was refused a cascade past his rights, and was given the clubs\n";
