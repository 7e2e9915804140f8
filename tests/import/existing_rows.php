<?php
// Works a generated project over a database it did not make, as its first user would: logs in as
// the default administrator (through the first-login password change); every class's page must
// list every row its table holds; in every writable class a row is added, edited and deleted,
// each change checked in the table itself. A class keyed by several members finds its row by all
// of them.
// Usage: php existing_rows.php BASE_URL MODEL_JSON CONFIG_PHP
//   (MODEL_JSON as written by velmora-cli export; CONFIG_PHP the project's database/config.php)
$base = $argv[1];
$model = json_decode(file_get_contents($argv[2]), true);
$config = require $argv[3];
$cookies = [];
mysqli_report(MYSQLI_REPORT_ERROR | MYSQLI_REPORT_STRICT);
$db = new mysqli($config['host'], $config['user'], $config['password'], $config['database'], (int)$config['port']);
$db->set_charset('utf8mb4');

function fail(string $what): void
{
    fwrite(STDERR, "rows: $what\n");
    exit(1);
}

require __DIR__ . '/http_session.php';

function quoted(string $name): string
{
    return '`' . str_replace('`', '``', $name) . '`';
}

function column(array $member): string
{
    return ($member['memberColumnName'] ?? '') !== '' ? $member['memberColumnName'] : $member['memberName'];
}

function rows(string $sql, array $values = []): array
{
    global $db;
    $stmt = $db->prepare($sql);
    if ($values) {
        $stmt->bind_param(str_repeat('s', count($values)), ...$values);
    }
    $stmt->execute();
    return $stmt->get_result()->fetch_all(MYSQLI_ASSOC);
}

// A value a new row can take for the member: a new text, a reference the first key of its table,
// anything else the value of a seeded row (which keeps a foreign key of several columns whole).
function value_for(array $member, array $tables, int $round, array $seeded): string
{
    $type = $member['memberType'];
    $length = (int)($member['memberLength'] ?? 0);
    // Bytes go in hex; a file's content the pages do not write.
    if ($type === '二进制型' || $type === '文件型') {
        return $type === '二进制型' ? strtoupper(bin2hex(random_bytes(min(4, max(1, $length))))) : '';
    }
    if (!in_array($type, ['字符串', '长文本'], true) && isset($seeded[column($member)])) {
        return (string)$seeded[column($member)];
    }
    switch ($type) {
        case '字符串': case '长文本':
            return substr("新$round-" . bin2hex(random_bytes(4)), 0, max(1, $length ?: 20));
        case '整型': case '长整型': return (string)(3 + $round);
        case '浮点型': case '定点数': return (string)(2.25 + $round);
        case '日期型': return "2026-03-0{$round}";
        case '日期时间型': return "2026-03-0{$round} 10:00:00";
        case '时间型': return "10:0{$round}:00";
        case '是否型': return (string)($round % 2);
        case '枚举型': return $member['memberEnumValues'][$round % count($member['memberEnumValues'])];
    }
    [$table, $key] = $tables[$type];
    return (string)rows('SELECT ' . quoted($key) . ' AS k FROM ' . quoted($table) . ' ORDER BY 1 LIMIT 1')[0]['k'];
}

// The texts of a class's key values, one per row, to tell a new row from the rows before.
function key_texts(array $rows, array $columns): array
{
    return array_map(fn(array $row) => implode("\x1f", array_map(fn($c) => (string)$row[$c], $columns)), $rows);
}

// A new row's composite key: its reference members take the first combination of rows of the
// tables they refer to that no row holds yet; its other key members keep what the form has.
function free_references(array &$form, string $array, array $keys, array $tables, array $all): void
{
    $choices = [[]];
    foreach ($keys as $member) {
        $name = $array . '[' . $member['memberName'] . ']';
        $values = [$form[$name]];
        if (isset($tables[$member['memberType']])) {
            [$table, $key] = $tables[$member['memberType']];
            $values = array_column(rows('SELECT ' . quoted($key) . ' AS k FROM ' . quoted($table) . ' ORDER BY 1'), 'k');
        }
        $choices = array_merge(...array_map(fn($chosen) => array_map(fn($v) => $chosen + [$name => (string)$v], $values), $choices));
    }
    $taken = key_texts($all, array_map('column', $keys));
    foreach ($choices as $chosen) {
        if (!in_array(implode("\x1f", $chosen), $taken, true)) {
            $form = $chosen + $form;
            return;
        }
    }
    fail("no free key for a new row of $array");
}

first_login();

$tables = [];
foreach ($model['classes'] as $class) {
    foreach ($class['members'] as $member) {
        if ($member['memberIsPri'] ?? 0) {
            $tables[$class['className']] = [$class['tableName'] ?? $class['className'], column($member)];
        }
    }
}

foreach ($model['classes'] as $class) {
    $name = $class['className'];
    $table = $class['tableName'] ?? $name;
    $controller = "/controller/{$name}Action.php";
    $list = function () use ($controller): string {
        [$status, $location, $body] = request('GET', "$controller?action=query");
        if ($status !== 200) {
            fail("$controller?action=query answered $status $location\n" . substr($body, 0, 2000));
        }
        return $body;
    };
    $body = $list();
    $all = rows('SELECT * FROM ' . quoted($table));
    if (strpos($body, '共 ' . count($all) . ' 条记录') === false) {
        fail("$name does not count the " . count($all) . " rows of $table\n" . substr($body, 0, 3000));
    }
    foreach ($all as $row) {
        foreach ($class['members'] as $member) {
            $value = $row[column($member)];
            if (in_array($member['memberType'], ['字符串'], true) && ($member['memberQueryDisplay'] ?? 1) && $value !== null
                && strpos($body, htmlspecialchars($value, ENT_QUOTES, 'UTF-8')) === false) {
                fail("$name does not list \"$value\" of $table\n" . substr($body, 0, 3000));
            }
        }
    }
    echo "rows: $name lists the " . count($all) . " rows of $table\n";
    if (!empty($class['classIsReadOnly'])) {
        continue;
    }

    $composite = !empty($class['compositeKey']);
    $keys = array_values(array_filter($class['members'], fn($m) => $m['memberIsPri'] ?? 0));
    $array = lcfirst($name); // the form's array, as the controller reads it
    $form = ['action' => 'add'];
    foreach ($class['members'] as $member) {
        // A numbered key is 0, as the page's form sends it.
        $numbered = !$composite && ($member['memberIsPri'] ?? 0) && in_array($member['memberType'], ['整型', '长整型'], true);
        $value = $numbered ? '0' : value_for($member, $tables, 1, $all[0] ?? []);
        // Text keys as long as their columns allow (up to 180 characters): a key of two runs past 255.
        if (($member['memberIsPri'] ?? 0) && $member['memberType'] === '字符串') {
            $value = implode('', array_slice(preg_split('//u', str_repeat($value, 30), -1, PREG_SPLIT_NO_EMPTY), 0, min(180, (int)$member['memberLength'])));
        }
        $form[$array . '[' . $member['memberName'] . ']'] = $value;
    }
    if ($composite) {
        free_references($form, $array, $keys, $tables, $all);
    }
    $keyColumns = array_map('column', $keys);
    expect_redirect(request('POST', "$controller?action=add", $form), '/ok.php', "adding a row to $name");
    $after = rows('SELECT * FROM ' . quoted($table));
    $added = array_values(array_diff_key($after, array_intersect(key_texts($after, $keyColumns), key_texts($all, $keyColumns))));
    if (count($added) !== 1) {
        fail("adding to $name gave " . count($added) . " new rows in $table");
    }
    $ids = array_map(fn($c) => (string)$added[0][$c], $keyColumns);
    $where = implode(' AND ', array_map(fn($c) => quoted($c) . ' = ?', $keyColumns));
    $address = implode('&', array_map(fn($m, $id) => rawurlencode($m['memberName']) . '=' . rawurlencode($id), $keys, $ids));
    // The detail view finds the new row by its key, whatever its members are named.
    [$status, , $body] = request('GET', "$controller?action=query&view=detail&$address");
    if ($status !== 200 || strpos($body, 'class="detail-list"') === false) {
        fail("the detail view of the new row of $name is empty ($status)\n" . substr($body, 0, 2000));
    }

    // The first text member outside the key is edited; in a class keyed by several members, which
    // may have none, an integer one will do (other integers may belong to a foreign key). A class
    // of its key alone is not edited.
    $edited = null;
    $form['action'] = 'update';
    foreach ($keys as $i => $member) {
        $form[$array . '[' . $member['memberName'] . ']'] = $ids[$i];
    }
    foreach ($class['members'] as $member) {
        if (!($member['memberIsPri'] ?? 0) && $edited === null && in_array($member['memberType'], $composite ? ['字符串', '整型'] : ['字符串'], true)) {
            $edited = $member;
            $form[$array . '[' . $member['memberName'] . ']'] = value_for($member, $tables, 2, []);
        }
    }
    if (count($keys) < count($class['members'])) {
        expect_redirect(request('POST', "$controller?action=update", $form), '/ok.php', "editing the new row of $name");
    }
    if ($edited !== null) {
        $now = rows('SELECT ' . quoted(column($edited)) . ' AS v FROM ' . quoted($table) . " WHERE $where", $ids);
        if ((string)($now[0]['v'] ?? '') !== $form[$array . '[' . $edited['memberName'] . ']']) {
            fail("editing $name did not change " . column($edited) . " of $table");
        }
    }

    expect_redirect(request('POST', "$controller?action=del&$address", ['action' => 'del']), '/ok.php', "deleting the new row of $name");
    if (rows('SELECT 1 FROM ' . quoted($table) . " WHERE $where", $ids)) {
        fail("deleting from $name left the row in $table");
    }
    // Each row as it was: an edit or delete that reached past its row is caught here.
    $now = rows('SELECT * FROM ' . quoted($table));
    if (count($now) !== count($all) || array_diff(array_map('json_encode', $now), array_map('json_encode', $all))) {
        fail("$table does not hold its rows of before");
    }
    echo "rows: $name added, edited and deleted a row of $table\n";
}

// The desk counts every class's rows in its own table.
[, , $desk] = request('GET', '/desk.php');
foreach ($model['classes'] as $class) {
    $count = count(rows('SELECT 1 FROM ' . quoted($class['tableName'] ?? $class['className'])));
    if (!preg_match('/data-class="' . preg_quote($class['className'], '/') . '"[^>]*>\s*<div class="num">' . $count . '</', $desk)) {
        fail("the desk does not count the $count rows of {$class['className']}");
    }
}

// Each writable class's export, imported back into its unchanged table, changes nothing.
foreach ($model['classes'] as $class) {
    if (!empty($class['classIsReadOnly']) || !empty($class['compositeKey'])) {
        continue;
    }
    $name = $class['className'];
    [$status, , $csv] = request('GET', "/controller/{$name}Action.php?action=query&export=csv");
    [, , $body] = request('POST', "/manage/import.php?class=$name", ['step' => 'check'], ['csv', "$name.csv", $csv]);
    if ($status !== 200 || !preg_match('/id="import-summary">([^<]*)</u', $body, $m) || strpos($m[1], '将添加 0 条，修改 0 条记录；0 行不能导入') === false) {
        fail("$name's export imported back is not without changes ($status): " . ($m[1] ?? substr($body, 0, 3000)) . "\n" . substr($csv, 0, 1000));
    }
}
echo "rows: every writable class's export imports back without a change\n";

require __DIR__ . '/cascade_rows.php';
