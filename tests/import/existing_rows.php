<?php
// Works a generated project over a database it did not make, as its first user would: logs in as
// the default administrator (through the first-login password change); every class's page must
// list every row its table holds; in every writable class a row is added, edited and deleted,
// each change checked in the table itself.
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

// One request without following redirects, the cookie jar kept, with this site's Origin and
// Referer as a browser sends them.
function request(string $method, string $path, array $form = []): array
{
    global $base, $cookies;
    $headers = ["Origin: $base", "Referer: $base/index.php"];
    if ($cookies) {
        $headers[] = 'Cookie: ' . implode('; ', array_map(fn($k, $v) => "$k=$v", array_keys($cookies), $cookies));
    }
    $http = ['method' => $method, 'follow_location' => 0, 'ignore_errors' => true, 'timeout' => 30];
    if ($method === 'POST') {
        $headers[] = 'Content-Type: application/x-www-form-urlencoded';
        $http['content'] = http_build_query($form);
    }
    $http['header'] = implode("\r\n", $headers);
    $body = @file_get_contents($base . $path, false, stream_context_create(['http' => $http]));
    if ($body === false) {
        fail("$method $path: no answer");
    }
    $status = (int)explode(' ', $http_response_header[0] ?? '- 0')[1];
    $location = '';
    foreach ($http_response_header as $line) {
        if (preg_match('/^Set-Cookie:\s*([^=;]+)=([^;]*)/i', $line, $m)) {
            $cookies[$m[1]] = $m[2];
        } elseif (preg_match('/^Location:\s*(\S+)/i', $line, $m)) {
            $location = $m[1];
        }
    }
    return [$status, $location, $body];
}

function expect_redirect(array $answer, string $to, string $what): void
{
    if ($answer[0] !== 302 || $answer[1] !== $to) {
        fail("$what: answered {$answer[0]} to \"{$answer[1]}\" instead of a redirect to $to\n" . substr($answer[2], 0, 2000));
    }
}

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

request('GET', '/login.php');
expect_redirect(request('POST', '/login.php', ['username' => 'admin', 'password' => 'admin']),
    '/changePassword.php', 'login with the default password');
$new = 'Existing#' . random_int(1000, 9999);
[$status, , $body] = request('POST', '/changePassword.php',
    ['oldPassword' => 'admin', 'newPassword' => $new, 'confirmPassword' => $new]);
if ($status !== 200 || strpos($body, 'id="enter"') === false) {
    fail("the first-login password change failed ($status)\n" . substr($body, 0, 2000));
}

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

    $key = null;
    $array = lcfirst($name); // the form's array, as the controller reads it
    $form = ['action' => 'add'];
    foreach ($class['members'] as $member) {
        // An integer key is 0, as the page's form sends it.
        if (($member['memberIsPri'] ?? 0) && in_array($member['memberType'], ['整型', '长整型'], true)) {
            $key = $member;
            $form[$array . '[' . $member['memberName'] . ']'] = '0';
            continue;
        }
        if ($member['memberIsPri'] ?? 0) {
            $key = $member;
        }
        $form[$array . '[' . $member['memberName'] . ']'] = value_for($member, $tables, 1, $all[0] ?? []);
    }
    $keyColumn = column($key);
    $before = array_column($all, $keyColumn);
    expect_redirect(request('POST', "$controller?action=add", $form), '/ok.php', "adding a row to $name");
    $added = array_values(array_diff(array_column(rows('SELECT ' . quoted($keyColumn) . ' FROM ' . quoted($table)), $keyColumn), $before));
    if (count($added) !== 1) {
        fail("adding to $name gave " . count($added) . " new rows in $table");
    }
    $id = (string)$added[0];

    $edited = null;
    $form['action'] = 'update';
    $form[$array . '[' . $key['memberName'] . ']'] = $id;
    foreach ($class['members'] as $member) {
        if (!($member['memberIsPri'] ?? 0) && $edited === null && $member['memberType'] === '字符串') {
            $edited = $member;
            $form[$array . '[' . $member['memberName'] . ']'] = value_for($member, $tables, 2, []);
        }
    }
    expect_redirect(request('POST', "$controller?action=update", $form), '/ok.php', "editing the new row of $name");
    if ($edited !== null) {
        $now = rows('SELECT ' . quoted(column($edited)) . ' AS v FROM ' . quoted($table) . ' WHERE ' . quoted($keyColumn) . ' = ?', [$id]);
        if (($now[0]['v'] ?? null) !== $form[$array . '[' . $edited['memberName'] . ']']) {
            fail("editing $name did not change " . column($edited) . " of $table");
        }
    }

    expect_redirect(request('POST', "$controller?action=del&" . rawurlencode($key['memberName']) . '=' . rawurlencode($id),
        ['action' => 'del']), '/ok.php', "deleting the new row of $name");
    if (rows('SELECT 1 FROM ' . quoted($table) . ' WHERE ' . quoted($keyColumn) . ' = ?', [$id])) {
        fail("deleting from $name left the row in $table");
    }
    if (count(rows('SELECT * FROM ' . quoted($table))) !== count($all)) {
        fail("$table does not hold its rows of before");
    }
    echo "rows: $name added, edited and deleted a row of $table\n";
}
