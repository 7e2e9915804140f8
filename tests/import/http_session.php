<?php
// A browser's session with a served project, for the scripts that drive it over HTTP: requests
// with the cookie jar kept, and the default administrator's first login. The including script
// sets $base and $cookies and defines fail().

// One request without following redirects, the cookie jar kept, with this site's Origin and
// Referer as a browser sends them. With $file ([field, file name, content]) the form goes as
// multipart/form-data.
function request(string $method, string $path, array $form = [], array $file = []): array
{
    global $base, $cookies;
    $headers = ["Origin: $base", "Referer: $base/index.php"];
    if ($cookies) {
        $headers[] = 'Cookie: ' . implode('; ', array_map(fn($k, $v) => "$k=$v", array_keys($cookies), $cookies));
    }
    $http = ['method' => $method, 'follow_location' => 0, 'ignore_errors' => true, 'timeout' => 30];
    if ($method === 'POST' && $file) {
        $boundary = 'b' . bin2hex(random_bytes(8));
        $headers[] = "Content-Type: multipart/form-data; boundary=$boundary";
        $body = '';
        foreach ($form as $name => $value) {
            $body .= "--$boundary\r\nContent-Disposition: form-data; name=\"$name\"\r\n\r\n$value\r\n";
        }
        [$field, $fileName, $content] = $file;
        $http['content'] = $body . "--$boundary\r\nContent-Disposition: form-data; name=\"$field\"; filename=\"$fileName\"\r\n"
            . "Content-Type: text/csv\r\n\r\n$content\r\n--$boundary--\r\n";
    } elseif ($method === 'POST') {
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

// Logs in as the default administrator and makes the first-login password change.
function first_login(): void
{
    request('GET', '/login.php');
    expect_redirect(request('POST', '/login.php', ['username' => 'admin', 'password' => 'admin']),
        '/changePassword.php', 'login with the default password');
    $new = 'Changed#' . random_int(1000, 9999);
    [$status, , $body] = request('POST', '/changePassword.php',
        ['oldPassword' => 'admin', 'newPassword' => $new, 'confirmPassword' => $new]);
    if ($status !== 200 || strpos($body, 'id="enter"') === false) {
        fail("the first-login password change failed ($status)\n" . substr($body, 0, 2000));
    }
}
