<?php
// Checks of the skeleton's PHP pieces against the generated school project and its live database:
// the request escaping against the server's own escaping, the reading of the generated services,
// the results of SqlHelper, and the page navigation.
// Usage: php skeleton_check.php PROJECT_DIR
$project = $argv[1] ?? '';
require $project . '/database/SqlHelper.class.php';
require $project . '/service/FenyePage.class.php';

$passed = 0;
$failed = 0;
function check(string $what, $actual, $expected): void
{
    global $passed, $failed;
    if ($actual === $expected) {
        $passed++;
        return;
    }
    $failed++;
    echo "not ok - $what\n  expected: " . var_export($expected, true) . "\n  actual:   " . var_export($actual, true) . "\n";
}

// ------------------------------------------------------------------ escaping
$db = new SqlHelper();
check('connects with the shipped settings', $db->conn instanceof mysqli, true);
$samples = ["'", '"', '\\', "\\'", "'\\", "\0", "\n\r\t", "\x1a", "%_", "中文'字符\"", "a\\\\'b", "\\x27", "' OR '1'='1"];
for ($c = 0; $c < 128; $c++) {
    $samples[] = 'a' . chr($c) . 'b';
}
foreach ($samples as $s) {
    check('escape of ' . bin2hex($s) . ' matches the server', velmora_escape($s), $db->conn->real_escape_string($s));
    $rows = $db->execute_dql2("SELECT '" . velmora_escape($s) . "' AS v");
    check('round trip of ' . bin2hex($s), $rows[0]['v'] ?? null, $s);
}
check('escape walks arrays', velmora_escape(['a' => ["x'"], 'b' => 1]), ['a' => ["x\\'"], 'b' => 1]);

foreach (['1', '-2', '+3', ' 4 ', '5.5', '.5', '6.', '1e3', '2E-2'] as $n) {
    check("number $n", velmora_is_number($n), true);
}
foreach (['', ' ', '1 or 1=1', '0x1A', '1;', 'abc', '--1', '1e', '.', null, ['1']] as $n) {
    check('not a number ' . var_export($n, true), velmora_is_number($n), false);
}

// ------------------------------------------------------------------ reading the generated code
$student = velmora_service_profile('Student');
sort($student['bare_top']);
check('Student: bare values', $student['bare_top'],
    ['grade', 'studentId', 'student_age', 'student_grade', 'student_score', 'student_studentId']);
check('Student: bare form members', $student['bare_nested'], ['age', 'score', 'grade', 'studentId']);
check('Student: search fields', $student['search'], ['studentName', 'birthday', 'grade', 'department']);
check('Student: numeric search fields', $student['bare_search'], ['grade']);
check('Student: contains-search fields', $student['like_search'], ['studentName']);
$dept = velmora_service_profile('Department');
check('Department (text key): no bare values', [$dept['bare_top'], $dept['bare_nested']], [[], []]);
check('Department: contains-search fields', $dept['like_search'], ['deptName']);
$grade = velmora_service_profile('Grade');
sort($grade['bare_top']);
check('Grade: bare values', $grade['bare_top'], ['gradeId', 'grade_gradeId']);
check('no service, no profile', velmora_service_profile('Nothing'), null);
check('labels from the entity comments', velmora_member_labels('Student')['birthday'] ?? null, '出生日期');
check('entities with friendly names and tables', velmora_entities()['Student'] ?? null,
    ['friend' => '学生', 'table' => 't_Student']);
check('table prefix found from the entities', velmora_table_prefix(), 't_');
// The drop-down statement of a service, with the names as the services write them.
foreach ([
    ['select id,name from t_A', ['`t_A`', '`id`', '`name`', 'id', 'name']],
    ['select `order`,`key` as title from `t x`', ['`t x`', '`order`', '`key`', 'order', 'title']],
    ['select id as `a``b`, name from t', ['`t`', '`id`', '`name`', 'a`b', 'name']],
] as [$statement, $parts]) {
    check("lookup shape of $statement", array_values(velmora_lookup_shape($statement) ?? []), $parts);
}
foreach (['select * from t', 'select id,name from t where 1=1', 'select id,name,x from t', 'select id,name from t limit 5'] as $statement) {
    check("no lookup shape in $statement", velmora_lookup_shape($statement), null);
}
check('Grade: its drop-down statement', velmora_lookup_source('Grade'),
    ['table' => '`t_Grade`', 'key' => '`gradeId`', 'display' => '`gradeName`', 'keyName' => 'gradeId', 'displayName' => 'gradeName']);
check('Student: its list reads every column', [velmora_list_source('Student')['table'] ?? null, velmora_member_column('Student', 'grade')],
    ['`t_Student`', '`grade`']);
check('who refers to Grade and Department', array_map(function (array $r) {
    return $r[0] . '.' . $r[1]['name'];
}, array_merge(velmora_referrers('Grade'), velmora_referrers('Department'), velmora_referrers('Student'))),
    ['Student.grade', 'Student.department']);
// An imported cell loses the quote the export puts before formula-looking text, and only that.
require_once $project . '/util/util.php';
require_once $project . '/util/csv_import.php';
foreach (['=1+2', '+x', '-y', '@z', "\tq", '-5', "'plain", "''=x", 'a=b', ''] as $cell) {
    check('export then import of ' . var_export($cell, true), CsvImportPlan::cell_text(csv_cell($cell)), $cell);
}

// ------------------------------------------------------------------ SqlHelper results
$db->execute_dml('DROP TABLE IF EXISTS t_check');
check('create', $db->execute_dml('CREATE TABLE t_check (id int PRIMARY KEY, v varchar(10) NOT NULL)'), 2);
check('insert changes a row', $db->execute_dml("insert into t_check(id,v) values (1,'a')"), 1);
check('update to the same value', $db->execute_dml("update t_check set v='a' where id=1"), 2);
check('update of a missing row', $db->execute_dml("update t_check set v='b' where id=9"), 0);
check('... with a reason', $db->error, '没有找到要修改的记录，它可能已被删除。');
check('delete of a missing row', $db->execute_dml('delete from t_check where id=9'), 2);
check('duplicate key', $db->execute_dml("insert into t_check(id,v) values (1,'a')"), 0);
check('... with a reason', $db->error, '已经存在相同编号（或唯一值）的记录。');
check('strict mode refuses a long text', $db->execute_dml("insert into t_check(id,v) values (2,'12345678901')"), 0);
mysqli_report(MYSQLI_REPORT_ERROR | MYSQLI_REPORT_STRICT);
check('a syntax error returns 0 even when mysqli throws', $db->execute_dml('insert into t_check values ('), 0);
check('a failed select returns no rows', $db->execute_dql2('select * from no_such_table'), []);
$bad = new SqlHelper();
$bad->conn = null;
check('no connection: 0 and no rows', [$bad->execute_dml('delete from t_check'), $bad->execute_dql2('select 1')], [0, []]);
mysqli_report(MYSQLI_REPORT_OFF);
check('a failed prepared query: null, the reason and the server error number',
    [$db->query_prepared('SELECT * FROM no_such_table WHERE id = ?', [1]), $db->error, $db->errno], [null, '数据表不存在，请先导入建表脚本。', 1146]);
check('... and the next call starts clean', [$db->execute_prepared('SET @velmora_check = ?', ['x']), $db->error, $db->errno], [0, '', 0]);
// A transaction is tried again after a deadlock, a lock wait timeout or a lost server (on the next
// server), a bounded number of times.
foreach ([[[1213], 'done', 2], [[1205, 1213], 'done', 3], [[1062], null, 1], [[2006, 1047], 'done', 3],
    [array_fill(0, VELMORA_TX_ATTEMPTS + 1, 1213), null, VELMORA_TX_ATTEMPTS]] as [$errors, $result, $tries]) {
    $calls = 0;
    $got = $db->in_transaction(function (SqlHelper $db) use (&$calls, $errors) {
        $failure = $errors[$calls++] ?? 0;
        if ($failure === 0) {
            return 'done';
        }
        $db->errno = $failure;
        return null;
    });
    check('transaction after errors ' . implode(',', $errors), [$got, $calls], [$result, $tries]);
}
check('... and then the reason is that the database was busy', $db->error, VELMORA_BUSY_REASON);
check('prepared statements take raw values',
    $db->query_prepared('SELECT ? AS v', ["x'\\y"])[0]['v'] ?? null, "x'\\y");

for ($i = 2; $i <= 12; $i++) {
    $db->execute_dml("insert into t_check(id,v) values ($i,'r$i')");
}
$page = new FenyePage();
$page->defaultPageSize = 5; // the page size the controller writes gives way to this default
$page->pageNow = 9;
$page->gotoUrl = 'CheckAction.php';
$db->execute_dql_fenye('select * from t_check where 1=1 limit 40,5', 'select count(id) from t_check where 1=1', $page);
check('page past the end shows the last page', [$page->pageNow, $page->pageCount, $page->rowCount, count($page->res_array)], [3, 3, 12, 2]);
$GLOBALS['VELMORA_RAW'] = ['get' => [], 'post' => ['name' => '"<x>\'', 'action' => 'query', 'empty' => '']];
$page->build();
check('navigation keeps the search text, escaped',
    strpos($page->navigate, 'href="CheckAction.php?action=query&amp;pageNow=2&amp;name=%22%3Cx%3E%27"') !== false, true);
check('navigation leaves out empty fields', strpos($page->navigate, 'empty='), false);
check('navigation summary', strpos($page->navigate, '共 12 条记录，第 3/3 页') !== false, true);
$db->execute_dml('DROP TABLE t_check');

// ------------------------------------------------------------------ origins
$_SERVER['HTTP_HOST'] = '127.0.0.1:8080';
foreach ([
    ['http://127.0.0.1:8080', '', true], ['', 'http://127.0.0.1:8080/index.php', true],
    ['http://127.0.0.1:8081', '', false], ['null', '', false], ['', 'http://evil.example/', false],
    ['', '', false], ['http://127.0.0.1:8080.evil.example', '', false],
] as [$origin, $referer, $ok]) {
    $_SERVER['HTTP_ORIGIN'] = $origin;
    $_SERVER['HTTP_REFERER'] = $referer;
    check("origin '$origin' referer '$referer'", velmora_origin_problem() === null, $ok);
}
check('default ports', velmora_normalize_origin('HTTPS://Example.com/x'), 'https://example.com:443');
check('post_max_size units', [velmora_ini_bytes('8M'), velmora_ini_bytes('1G'), velmora_ini_bytes('512K')],
    [8388608, 1073741824, 524288]);

// ------------------------------------------------------------------ account, log and request hygiene
require_once $project . '/util/account.php';
require_once $project . '/util/pictures.php';
foreach ([
    ['1234567', 'admin', ['新密码至少需要 8 个字符。']], ['Administrator', 'administrator', ['新密码不能与用户名相同。']],
    ['PassWord1', 'admin', ['新密码太常见，很容易被猜到，请换一个。']], ['zzzzzzzzz', 'admin', ['新密码太常见，很容易被猜到，请换一个。']],
    ['密码够长够安全了吧', 'admin', []], ['Velmora#2026', 'admin', []], [str_repeat('x1', 40), 'admin', ['新密码不能超过 72 个字节。']],
] as [$new, $user, $expected]) {
    check("password rules for $new", velmora_password_problems($new, $user), $expected);
}
check('back-off: free, then login_lock (5 s in this test) doubling, capped at 15 minutes',
    array_map(function ($n) { return velmora_lock_seconds($n, 5); }, [1, 4, 5, 6, 9, 14, 40]), [0, 0, 5, 10, 80, 900, 900]);
check('control characters in logged values', velmora_log_text("a\nb\r\x1b[31m\0"), 'a\\x0Ab\\x0D\\x1B[31m\\x00');
foreach ([
    [['a' => 'ok', 'b' => ['c' => "x\0"]], 'b[c]'], [['q' => "\xBF'"], 'q'], [["k\xff" => '1'], ''],
    [['name' => '中文', 'n' => ['1', '2']], null],
] as [$values, $bad]) {
    check('bad field in ' . json_encode(array_keys($values)), velmora_bad_field($values), $bad);
}
foreach (['/upload/20260101abcdef0123456789abcdef01.png' => true, '/upload/NoImage.jpg' => false,
    '/upload/../database/config.php' => false, '/upload/index.html' => false, 'http://x/upload/20260101abcdef0123456789abcdef01.png' => false,
] as $value => $ours) {
    check("picture file of $value", velmora_picture_file($value) !== null, $ours);
}

// ------------------------------------------------------------------ values of the later field types
$u = ['unsigned' => true];
$d = ['precision' => 5, 'scale' => 2];
$e = ['values' => ['new', "it's"]];
foreach ([
    ['int', [], '2147483647', null], ['int', [], '2147483648', '%s超出了允许的范围。'], ['int', $u, '4294967295', null],
    ['int', $u, '-1', '%s不能是负数。'], ['bigint', [], '-9223372036854775808', null], ['bigint', [], '9223372036854775808', '%s超出了允许的范围。'],
    ['bigint', $u, '18446744073709551615', null], ['bigint', $u, '018446744073709551616', '%s超出了允许的范围。'], ['bigint', [], '1.0', '%s必须是整数。'],
    ['decimal', $d, '-999.99', null], ['decimal', $d, '1000', '%s超出了允许的范围（整数部分最多 3 位）。'], ['decimal', $d, '1.230', null],
    ['decimal', $d, '1.234', '%s最多保留 2 位小数。'], ['decimal', $d, '.', '%s必须是数字。'], ['decimal', $d, '1e3', '%s必须是数字。'],
    ['datetime', [], '2024-02-29T23:59', null], ['datetime', [], '2023-02-29 10:00', '%s不是有效的日期时间。'], ['datetime', [], '2024-01-01 24:00', '%s不是有效的日期时间。'],
    ['time', [], '7:05', null], ['time', [], '12:60', '%s不是有效的时间。'], ['bool', [], '1', null], ['bool', [], '2', '%s只能是“是”或“否”。'],
    ['enum', $e, "it's", null], ['enum', $e, 'New', '%s只能从列出的值中选择。'], ['longtext', ['length' => 2], '中文', null],
    ['longtext', ['length' => 2], '中文字', '%s不能超过 2 个字符。'], ['longtext', ['length' => 0], str_repeat('x', 65536), '%s不能超过 65535 个字节。'],
] as [$type, $extra, $value, $problem]) {
    check("$type value " . substr($value, 0, 24), velmora_field_problem(['type' => $type] + $extra, $value, true, false), $problem);
}
foreach ([['datetime', '2024-2-9T08:05', '2024-02-09 08:05:00'], ['time', '7:05', '07:05:00'], ['bigint', '+007', '7'], ['bool', '0', '0']] as [$type, $value, $saved]) {
    check("$type saved as $saved", velmora_field_value(['type' => $type], $value), $saved);
}
$_SERVER['SCRIPT_FILENAME'] = $project . '/controller/StudentAction.php';
foreach (["for key 'PRIMARY'", "for key 't_Student.PRIMARY'"] as $said) {
    check("a duplicate $said names the key field", velmora_duplicate_reason("Duplicate entry '7' $said"), '“学号”的值已经存在，不能重复。');
}
check('an unknown key is left to the general message', velmora_duplicate_reason("Duplicate entry 'x' for key 'other'"), null);
unset($_SERVER['SCRIPT_FILENAME']);

// ------------------------------------------------------------------ the application's path
$root = realpath($project);
foreach ([
    ['/school/controller/StudentAction.php', "$root/controller/StudentAction.php", '/school'],
    ['/login.php', "$root/login.php", ''],
    ['/a/b/login.php', "$root/login.php", '/a/b'],
    ['/other/login.php', "$root/index.php", ''],
    ['/x"y/login.php', "$root/login.php", ''],
    ['/school/login.php', '/tmp/login.php', ''],
] as [$name, $file, $base]) {
    check("base of $name", velmora_base_from($name, $file, $project), $base);
}
foreach ([
    ['/ok.php', '/school', '/school/ok.php'], ['/school/ok.php', '/school', '/school/ok.php'],
    ['/schools/x.php', '/school', '/school/schools/x.php'], ['//evil.example/', '/school', '//evil.example/'],
    ['http://h/ok.php', '/school', 'http://h/ok.php'], ['/ok.php', '', '/ok.php'], ['ok.php', '/school', 'ok.php'],
] as [$location, $base, $expected]) {
    check("redirect $location under '$base'", velmora_located($location, $base), $expected);
}

// ------------------------------------------------------------------ several database servers
foreach ([
    ['db2', ['host' => 'db2', 'port' => 3306, 'socket' => '']],
    [' 10.0.0.3:3307 ', ['host' => '10.0.0.3', 'port' => 3307, 'socket' => '']],
    ['[::1]:3308', ['host' => '::1', 'port' => 3308, 'socket' => '']],
    [['socket' => '/run/n2.sock'], ['host' => '127.0.0.1', 'port' => 3306, 'socket' => '/run/n2.sock']],
    ['', null], ['a b', null], ['h:x', null], [42, null],
] as [$server, $expected]) {
    check('server entry ' . json_encode($server), velmora_server_entry($server, 3306), $expected);
}
// Retried whole on the same connection, on another server, or not at all.
foreach ([[1213, 'again'], [1205, 'again'], [2006, 'reconnect'], [2013, 'reconnect'], [1047, 'reconnect'],
    [1062, null], [1452, null], [0, null]] as [$errno, $kind]) {
    check("retry after $errno", velmora_retry_kind($errno), $kind);
}
$cluster = new SqlHelper();
check('a lone server is no cluster node', velmora_is_cluster_node($cluster->conn), false);
check('a reconnected link keeps working', velmora_reconnect($cluster->conn) && $cluster->query_prepared('SELECT 1 AS one') === [['one' => 1]], true);

echo "skeleton: $passed passed, $failed failed\n";
exit($failed === 0 ? 0 : 1);
