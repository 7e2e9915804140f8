<?php
// Logs in to a served project as the default administrator (through the first-login password
// change), then loads every class's management page and checks its status, its title and that it
// lists the one row each table holds.
// Usage: php manage_pages.php BASE_URL MODEL_JSON [MORE_CHECKS]   (MODEL_JSON as written by
// velmora-cli export; MORE_CHECKS a PHP file run afterwards in the same session)
$base = $argv[1];
$model = json_decode(file_get_contents($argv[2]), true);
$cookies = [];

function fail(string $what): void
{
    fwrite(STDERR, "pages: $what\n");
    exit(1);
}

require __DIR__ . '/http_session.php';

first_login();
[$status] = request('GET', '/index.php');
if ($status !== 200) {
    fail("/index.php answered $status after login");
}

foreach ($model['classes'] as $class) {
    $path = '/controller/' . $class['className'] . 'Action.php?action=query';
    [$status, $location, $body] = request('GET', $path);
    $title = '<h2>' . htmlspecialchars($class['friendName'], ENT_QUOTES, 'UTF-8') . '管理</h2>';
    if ($status !== 200 || strpos($body, $title) === false || strpos($body, '共 1 条记录') === false) {
        fail("$path answered $status" . ($location !== '' ? " to $location" : '') . " without $title and one row\n" . substr($body, 0, 2000));
    }
    if (!empty($class['classIsReadOnly'])) {
        // Listed and exported, never changed: no links, and the controller refuses the change.
        if (strpos($body, 'id="add"') !== false || strpos($body, 'class="edit"') !== false) {
            fail("$path offers to change a read-only class");
        }
        [$status, , $csv] = request('GET', $path . '&export=csv');
        if ($status !== 200 || count(array_filter(explode("\n", trim($csv)))) !== 2) {
            fail("$path&export=csv answered $status without a heading and one row\n" . substr($csv, 0, 2000));
        }
        [$status] = request('POST', '/controller/' . $class['className'] . 'Action.php', ['action' => 'add']);
        if ($status !== 403) {
            fail("adding to the read-only class {$class['className']} answered $status, not 403");
        }
    }
    echo "pages: $path loads\n";
}
if (isset($argv[3])) {
    require $argv[3];
}
