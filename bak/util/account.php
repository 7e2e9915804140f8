<?php
/*
 * 管理员账号的安全：密码规则；登录失败的退避见 throttle.php，它所需的表结构见 account_schema.php，
 * 修改密码后其他会话失效见 session.php。
 */
require_once __DIR__ . '/guard.php';
require_once __DIR__ . '/throttle.php';

/* 密码规则 */
const VELMORA_PASSWORD_MIN_CHARS = 8;
const VELMORA_PASSWORD_MAX_BYTES = 72; // password_hash（bcrypt）只使用前 72 个字节

/* 最常见的密码（不区分大小写），长度不足 8 的已由长度规则拒绝，不必列出。 */
const VELMORA_COMMON_PASSWORDS = [
    'password', 'password1', 'password123', 'passw0rd', 'p@ssw0rd', 'p@ssword', '12345678', '123456789',
    '1234567890', '0123456789', '87654321', '98765432', '12341234', '11223344', '112233445566', '12344321',
    '123123123', '123321123', '147258369', '159753456', '11111111', '00000000', '22222222', '33333333',
    '44444444', '55555555', '66666666', '77777777', '88888888', '99999999', '12121212', '66668888',
    'abcd1234', '1234abcd', 'abc12345', 'abc123456', 'a1234567', 'a12345678', 'a123456789', 'aa123456',
    'aa12345678', 'qwertyui', 'qwertyuiop', 'qwerty123', 'qwer1234', '1234qwer', 'asdfghjk', 'asdf1234',
    'zxcvbnm1', 'zxcvbnm123', '1qaz2wsx', 'zaq12wsx', '1q2w3e4r', '1q2w3e4r5t', 'q1w2e3r4', 'qweasdzxc',
    '123qweasd', 'abcdefgh', 'iloveyou', 'iloveyou1', 'sunshine', 'princess', 'football', 'baseball',
    'superman', 'letmein1', 'trustno1', 'welcome1', 'welcome123', 'changeme', 'computer', 'internet',
    'admin123', 'admin1234', 'admin888', 'admin@123', 'administrator', 'root1234', 'woaini1314',
    'woaini520', '5201314520', '1314520520', '520131400', 'woainima', 'velmora1', 'velmora123',
];

/* 新密码的问题（可能有几条），没有问题时返回空数组。 */
function velmora_password_problems(string $new, string $username): array
{
    $problems = [];
    $chars = preg_match('//u', $new) ? preg_match_all('/./su', $new) : strlen($new);
    if ($chars < VELMORA_PASSWORD_MIN_CHARS) {
        $problems[] = '新密码至少需要 ' . VELMORA_PASSWORD_MIN_CHARS . ' 个字符。';
    } elseif (strlen($new) > VELMORA_PASSWORD_MAX_BYTES) {
        $problems[] = '新密码不能超过 72 个字节。';
    }
    $lower = strtolower($new);
    if ($new !== '' && $lower === strtolower($username)) {
        $problems[] = '新密码不能与用户名相同。';
    } elseif (in_array($lower, VELMORA_COMMON_PASSWORDS, true) || ($new !== '' && count(array_unique(str_split($new))) === 1)) {
        $problems[] = '新密码太常见，很容易被猜到，请换一个。';
    }
    return $problems;
}
