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

// One request without following redirects; the cookie jar is kept across calls. Every request
// carries this site's Origin and Referer, as a browser's would, for the same-origin check.
function request(string $method, string $path, array $form = []): array
{
    global $base, $cookies;
    $headers = ["Origin: $base", "Referer: $base/login.php"];
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

request('GET', '/login.php');
expect_redirect(request('POST', '/login.php', ['username' => 'admin', 'password' => 'admin']),
    '/changePassword.php', 'login with the default password');
$new = 'Imported#' . random_int(1000, 9999);
[$status, , $body] = request('POST', '/changePassword.php',
    ['oldPassword' => 'admin', 'newPassword' => $new, 'confirmPassword' => $new]);
if ($status !== 200 || strpos($body, 'id="enter"') === false) {
    fail("the first-login password change failed ($status)\n" . substr($body, 0, 2000));
}
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
