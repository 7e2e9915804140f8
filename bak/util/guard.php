<?php
/*
 * 请求守卫。
 *
 * 每个控制器都先加载自己的业务层类，业务层类再加载 database/SqlHelper.class.php，
 * 而 SqlHelper.class.php 第一件事就是加载本文件；框架自带的页面也在最前面加载它。
 * 因此在任何控制器代码运行之前，这里已经完成了：
 *
 *  1. 输出缓冲：去掉 UTF-8 文件开头的 BOM，保证之后仍可发送跳转和 Cookie；
 *  2. 会话与登录检查：除登录页外，未登录的请求一律转到 /login.php；
 *     使用默认密码首次登录的管理员必须先修改密码；
 *  3. 来源检查：修改数据的请求（POST，以及 action 为 add、update、del 的请求）
 *     只接受来自本站页面的提交（检查 Origin 或 Referer 头），拒绝时记入错误日志；
 *  4. 请求值转义：$_GET、$_POST、$_REQUEST、$_COOKIE 中的每个值（逐层递归）
 *     按 MySQL 字符串常量的规则转义一次。业务层类用拼接的方式构造 SQL，
 *     值放在单引号中，转义后引号和反斜杠会原样存入数据库，无法提前结束引号；
 *  5. 数值检查：业务层 SQL 中不加引号的值（整型、浮点型、引用整型主键的外键）
 *     必须是数字，否则拒绝请求；
 *  6. 查询参数整理：分页导航链接用地址栏带回查询条件，这里补回到 $_POST 中，
 *     页码只接受正整数。
 *
 * 此外：含空字符或不是 UTF-8 的提交一律拒绝；修改密码后同一账号的其他会话失效；
 * 请求中保存的上传图片在操作失败时删除，被新图片替换或随记录删除的旧图片在成功后删除。
 *
 * 框架自带的页面在加载本文件之前定义 VELMORA_OWN_PAGE，它们使用预处理语句和原始值，
 * 不做第 4 至 6 步。转义前的原始值保存在 $GLOBALS['VELMORA_RAW'] 中，
 * 管理页面显示用户输入时请用 util.php 中的 req_raw() 取原始值。
 */

if (defined('VELMORA_GUARD_LOADED')) {
    return;
}
define('VELMORA_GUARD_LOADED', true);

const VELMORA_BOM = "\xEF\xBB\xBF";

/*
 * 内容安全策略：只运行本站的脚本文件和样式表（页面中不写内联脚本、事件属性和 style 属性），
 * 图片另外允许 blob:（表单中预览所选的图片），只允许本站页面嵌入。
 */
const VELMORA_CSP = "Content-Security-Policy: default-src 'self'; script-src 'self'; style-src 'self';"
    . " img-src 'self' blob: data:; object-src 'none'; base-uri 'self'; form-action 'self'; frame-ancestors 'self'";

/* 读取 database/config.php，缺少的项取默认值。 */
function velmora_config(): array
{
    static $config = null;
    if ($config === null) {
        $defaults = [
            'host' => '127.0.0.1', 'port' => 3306, 'socket' => '', 'user' => 'root',
            'password' => '', 'database' => 'velmora', 'charset' => 'utf8mb4',
            'table_prefix' => null, 'sql_mode' => '', 'trusted_origins' => [], 'trusted_proxies' => [],
            'session_idle' => 7200, 'login_lock' => 2, 'app_title' => '', 'debug' => false,
        ];
        $file = __DIR__ . '/../database/config.php';
        $user = is_file($file) ? (include $file) : [];
        $config = array_merge($defaults, is_array($user) ? $user : []);
    }
    return $config;
}

/* 页头显示的系统名称：设置中的 app_title，留空时为生成时的项目名称。 */
function velmora_app_title(): string
{
    $configured = velmora_config()['app_title'];
    if (is_string($configured) && trim($configured) !== '') {
        return $configured;
    }
    foreach (glob(velmora_root() . '/*/*.fields.json') ?: [] as $file) {
        $fields = velmora_read_fields($file);
        if ($fields !== null && is_string($fields['project'] ?? null) && $fields['project'] !== '') {
            return $fields['project'];
        }
    }
    return '信息管理系统';
}

/* 读取一个字段说明文件（JSON，UTF-8，可带 BOM）；不是有效的说明时返回 null。 */
function velmora_read_fields(string $file): ?array
{
    $text = is_file($file) ? (string)file_get_contents($file) : '';
    if (strncmp($text, VELMORA_BOM, 3) === 0) {
        $text = substr($text, 3);
    }
    $data = $text !== '' ? json_decode($text, true) : null;
    return is_array($data) && is_array($data['fields'] ?? null) ? $data : null;
}

/* 应用的根目录（index.php 所在目录）。 */
function velmora_root(): string
{
    return dirname(__DIR__);
}

/* 首字母小写（只处理 ASCII 大写字母），与生成代码中的变量命名一致。 */
function velmora_lcfirst(string $s): string
{
    if ($s !== '' && $s[0] >= 'A' && $s[0] <= 'Z') {
        $s[0] = chr(ord($s[0]) + 32);
    }
    return $s;
}

/* 读取 phpbean 目录下所有实体类的头注释：类名 => [友好名称, 表名]。 */
function velmora_entities(): array
{
    static $entities = null;
    if ($entities !== null) {
        return $entities;
    }
    $entities = [];
    $files = glob(velmora_root() . '/phpbean/*.class.php') ?: [];
    sort($files, SORT_STRING);
    foreach ($files as $file) {
        $class = basename($file, '.class.php');
        $head = (string)@file_get_contents($file, false, null, 0, 4096);
        $friend = $class;
        $table = '';
        if (preg_match('#/\*映射(.*?)数据库表:([A-Za-z0-9_$]*)\*/#u', $head, $m)) {
            $friend = $m[1] !== '' ? $m[1] : $class;
            $table = $m[2];
        }
        $entities[$class] = ['friend' => $friend, 'table' => $table];
    }
    return $entities;
}

/* 表名前缀：优先取设置，否则从实体类注释中的表名推出。 */
function velmora_table_prefix(): string
{
    $configured = velmora_config()['table_prefix'];
    if (is_string($configured)) {
        return preg_match('/^[A-Za-z0-9_]*$/', $configured) ? $configured : 't_';
    }
    foreach (velmora_entities() as $class => $info) {
        $table = $info['table'];
        $n = strlen($table) - strlen($class);
        if ($n >= 0 && substr($table, $n) === $class) {
            $prefix = substr($table, 0, $n);
            if (preg_match('/^[A-Za-z0-9_]*$/', $prefix)) {
                return $prefix;
            }
        }
    }
    return 't_';
}

/* 管理员表的名字（已加反引号），由建表脚本以“前缀admin”创建。 */
function velmora_admin_table(): string
{
    return '`' . velmora_table_prefix() . 'admin`';
}

/*
 * 按 mysqli_real_escape_string 的规则转义（数组逐层处理）。给出连接时由该连接转义，
 * 它知道服务器的 SQL 模式；没有连接时逐字节替换，连接字符集固定为 utf8mb4，结果相同。
 */
function velmora_escape($value, ?mysqli $conn = null)
{
    if (is_array($value)) {
        foreach ($value as $k => $v) {
            $value[$k] = velmora_escape($v, $conn);
        }
        return $value;
    }
    if (!is_string($value)) {
        return $value;
    }
    if ($conn !== null) {
        return $conn->real_escape_string($value);
    }
    return strtr($value, [
        '\\' => '\\\\', "\0" => '\\0', "\n" => '\\n', "\r" => '\\r',
        "'" => "\\'", '"' => '\\"', "\x1a" => '\\Z',
    ]);
}

/*
 * 按 database/config.php 连接数据库。连接字符集只能是 utf8mb4：请求值的转义只对它可靠，
 * 设置了其他字符集（例如 gbk）时拒绝连接。失败时返回 null，$reason 为给用户看的原因，
 * $detail 为写入日志的细节（由调用者记录）。
 */
function velmora_connect(?string &$reason = null, ?string &$detail = null): ?mysqli
{
    $c = velmora_config();
    $charset = trim((string)$c['charset']);
    if ($charset !== '' && strtolower($charset) !== 'utf8mb4') {
        $reason = '数据库连接字符集只能是 utf8mb4，请把 database/config.php 中的 charset 改为 utf8mb4。';
        $detail = 'charset "' . $charset . '" refused: the request escaping is safe only for utf8mb4';
        return null;
    }
    $connectFailed = '无法连接数据库，请检查 database/config.php 中的连接设置。';
    try {
        $conn = mysqli_init();
        $ok = @$conn->real_connect(
            $c['socket'] !== '' ? null : (string)$c['host'],
            (string)$c['user'],
            (string)$c['password'],
            (string)$c['database'],
            $c['socket'] !== '' ? null : (int)$c['port'],
            $c['socket'] !== '' ? (string)$c['socket'] : null
        );
        if (!$ok) {
            $reason = $connectFailed;
            $detail = 'connect: ' . mysqli_connect_errno() . ' ' . mysqli_connect_error();
            return null;
        }
        if (!$conn->set_charset('utf8mb4')) {
            $reason = '数据库不支持所设置的字符集。';
            $detail = 'charset: ' . $conn->error;
            $conn->close();
            return null;
        }
        if ((string)$c['sql_mode'] !== '') {
            $conn->query("SET SESSION sql_mode='" . $conn->real_escape_string((string)$c['sql_mode']) . "'");
        }
        return $conn;
    } catch (Throwable $e) {
        $reason = $connectFailed;
        $detail = 'connect: ' . $e->getMessage();
        return null;
    }
}

/* 值中是否有转义时会改变的字符（没有时不必为转义连接数据库）。 */
function velmora_needs_escaping($value): bool
{
    if (is_array($value)) {
        foreach ($value as $v) {
            if (velmora_needs_escaping($v)) {
                return true;
            }
        }
        return false;
    }
    return is_string($value) && strpbrk($value, "\\\0\n\r'\"\x1a") !== false;
}

/* 文字是否可以接受：不含空字符，并且是有效的 UTF-8。 */
function velmora_clean_text(string $text): bool
{
    return strpos($text, "\0") === false && preg_match('//u', $text) === 1;
}

/* 第一个名字或值含空字符、或不是 UTF-8 文字的请求项的名字；都没有问题时返回 null。 */
function velmora_bad_field(array $values, string $prefix = ''): ?string
{
    foreach ($values as $k => $v) {
        if (!velmora_clean_text((string)$k)) {
            return $prefix;
        }
        $name = $prefix === '' ? (string)$k : $prefix . '[' . $k . ']';
        if (is_array($v)) {
            $bad = velmora_bad_field($v, $name);
            if ($bad !== null) {
                return $bad;
            }
        } elseif (is_string($v) && !velmora_clean_text($v)) {
            return $name;
        }
    }
    return null;
}

/* 请求项在页面上的名称：表单成员取字段说明中的标题，框架页面的项取固定的名称。 */
function velmora_field_label(string $name): string
{
    $own = ['username' => '用户名', 'password' => '密码', 'oldPassword' => '原密码',
        'newPassword' => '新密码', 'confirmPassword' => '确认新密码'];
    if (isset($own[$name])) {
        return $own[$name];
    }
    $class = velmora_controller_class();
    $fields = $class !== null ? velmora_class_fields($class) : null;
    if ($fields !== null && preg_match('/^[A-Za-z_]\w*(?:\[([A-Za-z_]\w*)\])?$/', $name, $m)) {
        $member = $m[1] ?? $name;
        foreach ($fields['fields'] as $field) {
            if (is_array($field) && ($field['name'] ?? null) === $member && is_string($field['label'] ?? null)) {
                return $field['label'];
            }
        }
    }
    return $name;
}

/* 拒绝含空字符或不是 UTF-8 文字的提交：已登录时转到 /error.php，否则直接给出拒绝页面。 */
function velmora_refuse_bad_bytes(): void
{
    $bad = velmora_bad_field($_GET);
    if ($bad === null) {
        $bad = velmora_bad_field($_POST);
    }
    foreach ($_FILES as $field => $file) {
        if ($bad === null && is_array($file) && velmora_bad_field(['name' => $file['name'] ?? '']) !== null) {
            $bad = (string)$field;
        }
    }
    if ($bad === null) {
        return;
    }
    $label = $bad !== '' && velmora_clean_text($bad) ? velmora_field_label($bad) : '';
    $reason = ($label !== '' ? '“' . $label . '”中' : '提交的内容中')
        . '有无效的字符（空字符或不是 UTF-8 编码的文字），请删除后重新提交。';
    velmora_log('提交的内容含无效的字符：' . ($bad !== '' ? $bad : '（项目名称）') . '，已拒绝');
    if (velmora_logged_in()) {
        velmora_fail($reason);
    }
    velmora_refuse(400, $reason);
}

/* 不加引号进入 SQL 的值所属的成员是否只接受整数：整型、引用（引用整型主键）与整型主键。 */
function velmora_whole_number_member(string $class, string $member): bool
{
    $fields = velmora_class_fields($class);
    foreach ($fields['fields'] ?? [] as $field) {
        if (is_array($field) && ($field['name'] ?? null) === $member) {
            return in_array($field['type'] ?? '', ['int', 'ref'], true) || (!empty($field['key']) && !empty($fields['integerKey']));
        }
    }
    return false;
}

/* 不加引号的值的问题（%s 处填字段名称）：不是数字，或该成员只接受整数而值带小数。 */
function velmora_bare_problem(string $class, string $member, $value): ?string
{
    if (!velmora_is_number($value)) {
        return '%s必须是数字。';
    }
    if (velmora_whole_number_member($class, $member) && !preg_match('/^\s*[-+]?\d+\s*$/', $value)) {
        return '%s必须是整数。';
    }
    return null;
}

function velmora_is_number($value): bool
{
    return is_string($value)
        && preg_match('/^\s*[-+]?(\d+(\.\d*)?|\.\d+)([eE][-+]?\d+)?\s*$/', $value) === 1;
}

/* 写入日志的文字：控制字符写成 \xNN，请求中的换行不能伪造出另一行日志。 */
function velmora_log_text(string $text): string
{
    return (string)preg_replace_callback('/[\x00-\x1F\x7F]/', function (array $m): string {
        return sprintf('\\x%02X', ord($m[0]));
    }, $text);
}

/* 记录拒绝原因到 PHP 错误日志。 */
function velmora_log(string $what): void
{
    $ip = $_SERVER['REMOTE_ADDR'] ?? '-';
    $uri = $_SERVER['REQUEST_URI'] ?? '-';
    error_log(velmora_log_text('[velmora] ' . $what . ' (' . $ip . ' ' . ($_SERVER['REQUEST_METHOD'] ?? '-') . ' ' . $uri . ')'));
}

function velmora_redirect(string $url): void
{
    header('Location: ' . $url);
    exit();
}

/* 把失败原因交给 /error.php 显示，并跳转过去。 */
function velmora_fail(string $reason): void
{
    velmora_session_start();
    $_SESSION['velmora_reason'] = $reason;
    velmora_redirect('/error.php');
}

/* 直接输出一个拒绝页面（不跳转），用于来源检查失败等情况。 */
function velmora_refuse(int $status, string $message): void
{
    while (ob_get_level() > 0) {
        ob_end_clean();
    }
    http_response_code($status);
    header('Content-Type: text/html; charset=UTF-8');
    $m = htmlspecialchars($message, ENT_QUOTES, 'UTF-8');
    echo '<!DOCTYPE html><html lang="zh-CN"><head><meta charset="UTF-8"><title>请求被拒绝</title>'
        . '<link rel="stylesheet" href="/css/style.css"></head><body class="message-page">'
        . '<div class="message-box error"><h1>请求被拒绝</h1><p>' . $m . '</p>'
        . '<p class="actions"><a class="btn" href="/index.php" target="_top">回到首页</a></p></div></body></html>';
    exit();
}

/*
 * 请求是否经 HTTPS 到达：直接的 HTTPS，或设置 trusted_proxies 中列出的反向代理转来的
 * X-Forwarded-Proto: https。别的来源可以随意填写这个头，不予理会。
 */
function velmora_request_https(): bool
{
    if (!empty($_SERVER['HTTPS']) && $_SERVER['HTTPS'] !== 'off') {
        return true;
    }
    $forwarded = strtolower(trim(explode(',', (string)($_SERVER['HTTP_X_FORWARDED_PROTO'] ?? ''))[0]));
    if ($forwarded !== 'https') {
        return false;
    }
    $peer = @inet_pton((string)($_SERVER['REMOTE_ADDR'] ?? ''));
    foreach ((array)velmora_config()['trusted_proxies'] as $proxy) {
        if ($peer !== false && @inet_pton(trim((string)$proxy)) === $peer) {
            return true;
        }
    }
    return false;
}

function velmora_session_start(): void
{
    if (session_status() === PHP_SESSION_ACTIVE) {
        return;
    }
    $https = velmora_request_https();
    ini_set('session.use_strict_mode', '1');
    ini_set('session.use_only_cookies', '1');
    session_name('VELMORASESSID');
    session_set_cookie_params([
        'lifetime' => 0, 'path' => '/', 'secure' => $https, 'httponly' => true, 'samesite' => 'Lax',
    ]);
    if (headers_sent()) {
        // 没有输出缓冲时 BOM 已经发出，会话 Cookie 无法设置；这属于部署问题，写入日志。
        velmora_log('输出已开始，无法启动会话；请在 php.ini 中开启 output_buffering');
    }
    @session_start();
}

function velmora_logged_in(): bool
{
    return !empty($_SESSION['velmora_admin_id']);
}

/* 本站的来源（scheme://host[:port]），加上设置中信任的来源。 */
function velmora_own_origins(): array
{
    $https = velmora_request_https();
    $origins = [];
    if (!empty($_SERVER['HTTP_HOST'])) {
        $own = velmora_normalize_origin(($https ? 'https' : 'http') . '://' . $_SERVER['HTTP_HOST']);
        if ($own !== null) {
            $origins[] = $own;
        }
    }
    foreach ((array)velmora_config()['trusted_origins'] as $o) {
        $n = velmora_normalize_origin((string)$o);
        if ($n !== null) {
            $origins[] = $n;
        }
    }
    return $origins;
}

function velmora_normalize_origin(string $url): ?string
{
    $p = parse_url($url);
    if (!is_array($p) || empty($p['scheme']) || empty($p['host'])) {
        return null;
    }
    $scheme = strtolower($p['scheme']);
    $host = strtolower($p['host']);
    $port = $p['port'] ?? ($scheme === 'https' ? 443 : 80);
    return $scheme . '://' . $host . ':' . $port;
}

/* 修改数据的请求必须来自本站页面；返回 null 表示通过，否则返回原因。 */
function velmora_origin_problem(): ?string
{
    $own = velmora_own_origins();
    $origin = $_SERVER['HTTP_ORIGIN'] ?? '';
    if ($origin !== '') {
        $n = velmora_normalize_origin($origin);
        if ($n !== null && in_array($n, $own, true)) {
            return null;
        }
        return '来源 ' . $origin . ' 不是本站';
    }
    $referer = $_SERVER['HTTP_REFERER'] ?? '';
    if ($referer !== '') {
        $n = velmora_normalize_origin($referer);
        if ($n !== null && in_array($n, $own, true)) {
            return null;
        }
        return '引用页 ' . $referer . ' 不是本站';
    }
    return '请求既没有 Origin 头也没有 Referer 头';
}

/* 把数值按字节数换算（php.ini 中 8M 之类的写法）。 */
function velmora_ini_bytes(string $v): int
{
    $v = trim($v);
    if ($v === '') {
        return 0;
    }
    $n = (int)$v;
    switch (strtolower(substr($v, -1))) {
        case 'g': $n *= 1024;
        // no break
        case 'm': $n *= 1024;
        // no break
        case 'k': $n *= 1024;
    }
    return $n;
}

/*
 * 当前请求的控制器对应的类名：入口文件为 controller/{Class}Action.php 时返回 {Class}。
 */
function velmora_controller_class(): ?string
{
    $script = $_SERVER['SCRIPT_FILENAME'] ?? '';
    if ($script === '' || basename(dirname($script)) !== 'controller') {
        return null;
    }
    if (!preg_match('/^([A-Za-z_][A-Za-z0-9_]*)Action\.php$/', basename($script), $m)) {
        return null;
    }
    return $m[1];
}

/*
 * 从生成的业务层类中读出请求值在 SQL 中的用法：
 *  bare_top     不加引号使用、直接来自请求参数的变量（查询条件、按主键查询与删除的参数）
 *  bare_nested  不加引号使用、来自表单数组 {class}[...] 的成员
 *  search       分页查询的条件参数
 *  bare_search  其中不加引号的条件参数
 *  like_search  其中以 like '%...%' 做包含查询的参数
 */
function velmora_service_profile(string $class): ?array
{
    static $cache = [];
    if (array_key_exists($class, $cache)) {
        return $cache[$class];
    }
    $file = velmora_root() . '/service/' . $class . 'Service.class.php';
    $src = is_file($file) ? (string)file_get_contents($file) : '';
    if ($src === '') {
        return $cache[$class] = null;
    }
    $lc = velmora_lcfirst($class) . '_';
    $profile = ['bare_top' => [], 'bare_nested' => [], 'search' => [], 'bare_search' => [], 'like_search' => []];
    foreach (preg_split('/\r\n|\r|\n/', $src) as $line) {
        $searchVar = null;
        if (preg_match('/^\s*if\(\$([A-Za-z_]\w*) != ""\) \$condition = /', $line, $cm)) {
            $searchVar = $cm[1];
            $profile['search'][$searchVar] = true;
            if (strpos($line, "like '%$" . $searchVar . "%'") !== false) {
                $profile['like_search'][$searchVar] = true;
            }
        }
        if (!preg_match_all('/"((?:[^"\\\\]|\\\\.)*)"/', $line, $lits)) {
            continue;
        }
        foreach ($lits[1] as $lit) {
            $quoted = false;
            $len = strlen($lit);
            for ($i = 0; $i < $len; $i++) {
                if ($lit[$i] === "'") {
                    $quoted = !$quoted;
                } elseif ($lit[$i] === '$' && preg_match('/\G\$([A-Za-z_]\w*)/', $lit, $vm, 0, $i)) {
                    $i += strlen($vm[0]) - 1;
                    if ($quoted) {
                        continue;
                    }
                    $var = $vm[1];
                    $profile['bare_top'][$var] = true;
                    if (strncmp($var, $lc, strlen($lc)) === 0 && strlen($var) > strlen($lc)) {
                        $profile['bare_nested'][substr($var, strlen($lc))] = true;
                    }
                    if ($var === $searchVar) {
                        $profile['bare_search'][$var] = true;
                    }
                }
            }
        }
    }
    foreach ($profile as $k => $set) {
        $profile[$k] = array_keys($set);
    }
    return $cache[$class] = $profile;
}

/* 实体类中各成员的注释，用作提示信息里的字段名称。 */
function velmora_member_labels(string $class): array
{
    $file = velmora_root() . '/phpbean/' . $class . '.class.php';
    $src = is_file($file) ? (string)file_get_contents($file) : '';
    $labels = [];
    if (preg_match_all('#/\*(.*?)\*/\s*private \$([A-Za-z_]\w*);#u', $src, $m, PREG_SET_ORDER)) {
        foreach ($m as $row) {
            $labels[$row[2]] = trim($row[1]) !== '' ? trim($row[1]) : $row[2];
        }
    }
    return $labels;
}

/* 生成时写在管理页面旁边的字段说明：{Class}/{class}.fields.json。 */
function velmora_class_fields(string $class): ?array
{
    static $cache = [];
    if (!array_key_exists($class, $cache)) {
        $cache[$class] = velmora_read_fields(velmora_root() . '/' . $class . '/' . velmora_lcfirst($class) . '.fields.json');
    }
    return $cache[$class];
}

/* 一个表单项的问题（%s 处填字段名称），没有问题时返回 null。$value 为提交的原始值。 */
function velmora_field_problem(array $field, $value, bool $adding, bool $integerKey): ?string
{
    $type = (string)($field['type'] ?? 'text');
    $required = !empty($field['required']);
    if ($type === 'picture') {
        $name = (string)($field['name'] ?? '');
        $chosen = isset($_FILES[$name]['name']) && is_string($_FILES[$name]['name']) && $_FILES[$name]['name'] !== '';
        return $adding && $required && !$chosen ? '请选择%s的图片。' : null;
    }
    if (!empty($field['key']) && $integerKey && $adding) {
        return null; // 由数据库编号
    }
    if ($value !== null && !is_string($value)) {
        return '%s的值无效。';
    }
    $text = trim((string)$value);
    if ($text === '') {
        return $required ? '%s不能为空。' : null;
    }
    switch ($type) {
        case 'text':
            // 长度按字符计算，与数据库的 varchar(N) 一致（不依赖 mbstring 扩展）。
            $chars = preg_match_all('/./su', (string)$value);
            if ($chars === false) {
                return '%s包含无法识别的字符。';
            }
            $length = (int)($field['length'] ?? 0);
            if ($length > 0 && $chars > $length) {
                return '%s不能超过 ' . $length . ' 个字符。';
            }
            return null;
        case 'int':
            if (!preg_match('/^[-+]?\d+$/', $text)) {
                return '%s必须是整数。';
            }
            return (float)$text > 2147483647 || (float)$text < -2147483648 ? '%s超出了允许的范围。' : null;
        case 'float':
            return velmora_is_number($text) && is_finite((float)$text) ? null : '%s必须是数字。';
        case 'date':
            if (!preg_match('/^(\d{4})-(\d{1,2})-(\d{1,2})$/', $text, $m) || !checkdate((int)$m[2], (int)$m[3], (int)$m[1])) {
                return '%s不是有效的日期。';
            }
            return null;
        case 'ref':
            return velmora_reference_exists($field, $text) ? null : '所选的%s不存在。';
    }
    return null;
}

/* 引用的记录是否存在；无法检查（说明不全或连不上数据库）时按存在处理，由数据库把关。 */
function velmora_reference_exists(array $field, string $value): bool
{
    $table = (string)($field['refTable'] ?? '');
    $column = (string)($field['refColumn'] ?? '');
    if (!preg_match('/^[A-Za-z0-9_$]+$/', $table) || !preg_match('/^[A-Za-z0-9_$]+$/', $column)) {
        return true;
    }
    require_once __DIR__ . '/../database/SqlHelper.class.php';
    $db = new SqlHelper();
    if ($db->conn === null) {
        return true;
    }
    $rows = $db->query_prepared('SELECT 1 AS found FROM `' . $table . '` WHERE `' . $column . '` = ? LIMIT 1', [$value]);
    $db->close_connect();
    return $rows === null || count($rows) > 0;
}

/* 按字段说明检查添加、修改的表单；有问题时指出字段并拒绝，什么也不写入。 */
function velmora_validate_form(string $class, string $action): void
{
    $fields = velmora_class_fields($class);
    if ($fields === null) {
        return;
    }
    $form = $_POST[velmora_lcfirst($class)] ?? [];
    foreach ($fields['fields'] as $field) {
        if (!is_array($field) || !is_string($field['name'] ?? null)) {
            continue;
        }
        $name = $field['name'];
        // 控制器直接读取 $_FILES 中的图片项；请求中没有这一项时按“没有选择文件”处理。
        if (($field['type'] ?? '') === 'picture' && !isset($_FILES[$name])) {
            $_FILES[$name] = ['name' => '', 'type' => '', 'tmp_name' => '', 'error' => UPLOAD_ERR_NO_FILE, 'size' => 0];
        }
        $problem = velmora_field_problem($field, $form[$name] ?? null, $action === 'add', !empty($fields['integerKey']));
        if ($problem !== null) {
            $label = is_string($field['label'] ?? null) && $field['label'] !== '' ? $field['label'] : $name;
            velmora_log('表单项 ' . $name . ' 未通过检查，已拒绝');
            velmora_fail(sprintf($problem, '“' . $label . '”'));
        }
    }
}

/* 整理控制器请求：补回查询条件、检查数值、处理空的数值型查询条件。 */
function velmora_guard_controller(string $class, bool $beforeEscape): void
{
    $profile = velmora_service_profile($class);
    if ($profile === null) {
        return;
    }
    $action = $_REQUEST['action'] ?? '';
    $form = velmora_lcfirst($class);

    if ($beforeEscape) {
        // 分页链接用 GET 带回查询条件，而控制器从 $_POST 读取它们。
        if ($action === 'query') {
            foreach ($profile['search'] as $f) {
                if (!isset($_POST[$f]) && isset($_GET[$f]) && is_string($_GET[$f])) {
                    $_POST[$f] = $_GET[$f];
                }
            }
        }
        if (($action === 'add' || $action === 'update') && !is_array($_POST[$form] ?? null)) {
            velmora_fail('提交的表单数据不完整，请从页面上的表单提交。');
        }
        if ($action === 'add' || $action === 'update') {
            velmora_validate_form($class, $action);
        }
        return;
    }

    $labels = velmora_member_labels($class);
    $label = function (string $name) use ($labels): string {
        return $labels[$name] ?? $name;
    };
    // 检查不加引号进入 SQL 的值。空的数值型查询条件表示“不限”，下面单独处理。
    foreach ($profile['bare_top'] as $f) {
        foreach ([$_GET, $_POST, $_REQUEST] as $source) {
            if (!array_key_exists($f, $source)) {
                continue;
            }
            $v = $source[$f];
            if (in_array($f, $profile['bare_search'], true) && ($v === '' || $v === '0')) {
                continue;
            }
            if (!velmora_is_number($v)) {
                velmora_log('参数 ' . $f . ' 不是数字，已拒绝');
                velmora_fail('“' . $label($f) . '”必须是数字。');
            }
            // 整型成员带小数时数据库会悄悄四舍五入，按错误的值查找或删除。
            $member = strncmp($f, $form . '_', strlen($form) + 1) === 0 ? substr($f, strlen($form) + 1) : $f;
            if (velmora_bare_problem($class, $member, $v) !== null) {
                velmora_log('参数 ' . $f . ' 不是整数，已拒绝');
                velmora_fail('“' . $label($member) . '”必须是整数。');
            }
        }
    }
    if (isset($_POST[$form]) && is_array($_POST[$form])) {
        foreach ($profile['bare_nested'] as $f) {
            if (array_key_exists($f, $_POST[$form]) && !velmora_is_number($_POST[$form][$f])) {
                velmora_log('表单项 ' . $form . '[' . $f . '] 不是数字，已拒绝');
                velmora_fail('“' . $label($f) . '”必须填写数字。');
            }
            if (array_key_exists($f, $_POST[$form]) && velmora_bare_problem($class, $f, $_POST[$form][$f]) !== null) {
                velmora_log('表单项 ' . $form . '[' . $f . '] 不是整数，已拒绝');
                velmora_fail('“' . $label($f) . '”必须填写整数。');
            }
        }
    }
    // 包含查询（like '%...%'）中，反斜杠、% 和 _ 有特殊含义；按原样查找用户输入的文字。
    if ($action === 'query') {
        $raw = $GLOBALS['VELMORA_RAW']['post'] ?? [];
        foreach ($profile['like_search'] as $f) {
            if (isset($raw[$f]) && is_string($raw[$f])) {
                $_POST[$f] = velmora_escape(strtr($raw[$f], ['\\' => '\\\\', '%' => '\\%', '_' => '\\_']));
            }
        }
    }
    // 数值型查询条件为空时，生成的代码会取默认值 0，而 PHP 8 中 0 != "" 成立，
    // 结果变成“字段=0”而查不到任何记录。这里把它换成字段名本身，条件成为“字段=字段”，
    // 对所有记录都成立，即“不限”。管理页面显示时请用 req_raw() 取原值。
    if ($action === 'query') {
        foreach ($profile['bare_search'] as $f) {
            $v = $_POST[$f] ?? '';
            if ($v === '' || $v === '0' || $v === null) {
                $_POST[$f] = $f;
                $_REQUEST[$f] = $f;
            }
        }
    }
}

/* 页码只接受正整数，其他值去掉（控制器随之使用第 1 页）。 */
function velmora_normalize_page_now(array &$params): void
{
    if (!array_key_exists('pageNow', $params)) {
        return;
    }
    $v = $params['pageNow'];
    if (is_string($v) && preg_match('/^\s*0*([1-9]\d{0,8})\s*$/', $v, $m)) {
        $params['pageNow'] = $m[1];
    } else {
        unset($params['pageNow']);
    }
}

/* 输出缓冲的回调：去掉所有 UTF-8 BOM（生成的文件都以 BOM 开头，包含几个文件就会输出几个）。 */
function velmora_strip_bom(string $buffer): string
{
    return str_replace(VELMORA_BOM, '', $buffer);
}

function velmora_guard_request(): void
{
    $config = velmora_config();
    ini_set('display_errors', $config['debug'] ? '1' : '0');
    ini_set('log_errors', '1');

    // 1. 输出缓冲。之前已经输出的只是各文件开头的 BOM。
    $pending = '';
    if (ob_get_level() > 0) {
        $pending = (string)ob_get_contents();
        ob_clean();
    }
    ob_start('velmora_strip_bom');
    if ($pending !== '') {
        echo velmora_strip_bom($pending);
    }
    if (!headers_sent()) {
        header('Content-Type: text/html; charset=UTF-8');
        header('X-Frame-Options: SAMEORIGIN');
        header('X-Content-Type-Options: nosniff');
        header('Referrer-Policy: same-origin');
        header('Cache-Control: no-store');
        header(VELMORA_CSP);
        header_remove('X-Powered-By');
    }

    // 2. 会话与登录。
    velmora_session_start();
    $idle = (int)$config['session_idle'];
    if (velmora_logged_in() && $idle > 0 && isset($_SESSION['velmora_seen'])
        && time() - (int)$_SESSION['velmora_seen'] > $idle) {
        $_SESSION = [];
        session_regenerate_id(true);
    }
    if (velmora_logged_in()) {
        $_SESSION['velmora_seen'] = time();
        // 修改密码后，同一账号在其他地方的会话到此结束。
        require_once __DIR__ . '/account.php';
        if (!velmora_session_current()) {
            velmora_log('账号 ' . ($_SESSION['velmora_admin_name'] ?? '') . ' 的密码已修改或账号已删除，本会话结束');
            $_SESSION = [];
            session_regenerate_id(true);
        }
    }
    $method = strtoupper($_SERVER['REQUEST_METHOD'] ?? 'GET');
    if (!defined('VELMORA_PUBLIC_PAGE') && !velmora_logged_in()) {
        if ($method !== 'GET' && $method !== 'HEAD') {
            velmora_log('未登录的修改请求，已拒绝');
        }
        velmora_redirect('/login.php');
    }
    if (!defined('VELMORA_PUBLIC_PAGE') && !defined('VELMORA_PASSWORD_PAGE')
        && !empty($_SESSION['velmora_must_change'])) {
        velmora_redirect('/changePassword.php');
    }

    // 3. 修改数据的请求只接受本站页面提交的。
    $action = $_REQUEST['action'] ?? '';
    $changing = !in_array($method, ['GET', 'HEAD', 'OPTIONS'], true)
        || in_array($action, ['add', 'update', 'del'], true);
    if ($changing) {
        $problem = velmora_origin_problem();
        if ($problem !== null) {
            velmora_log('拒绝非本站提交的请求：' . $problem);
            velmora_refuse(403, '只接受从本系统页面提交的操作，本次请求已被拒绝。');
        }
        // 链接（GET）不能修改数据：添加、修改、删除都必须以表单 POST 提交。
        if ($method !== 'POST' && velmora_controller_class() !== null) {
            velmora_log('以 ' . $method . ' 方式请求修改数据，已拒绝');
            velmora_refuse(405, '修改数据只接受从页面表单提交的请求，本次请求已被拒绝。');
        }
    }

    // 超过 post_max_size 的提交，PHP 会丢弃全部表单数据。
    if ($method === 'POST' && empty($_POST) && empty($_FILES)) {
        $length = (int)($_SERVER['CONTENT_LENGTH'] ?? 0);
        $max = velmora_ini_bytes((string)ini_get('post_max_size'));
        if ($max > 0 && $length > $max) {
            velmora_log('提交内容过大：' . $length . ' 字节');
            velmora_fail('提交的内容超过了服务器允许的大小。');
        }
    }

    velmora_refuse_bad_bytes();

    if (defined('VELMORA_OWN_PAGE')) {
        $GLOBALS['VELMORA_RAW'] = ['get' => $_GET, 'post' => $_POST, 'cookie' => $_COOKIE];
        return;
    }

    // 4 至 6. 请求值的整理与转义。
    $class = velmora_controller_class();
    if ($class !== null) {
        velmora_guard_controller($class, true);
    }
    velmora_normalize_page_now($_GET);
    velmora_normalize_page_now($_POST);
    velmora_normalize_page_now($_REQUEST);
    $GLOBALS['VELMORA_RAW'] = ['get' => $_GET, 'post' => $_POST, 'cookie' => $_COOKIE];
    $conn = velmora_needs_escaping([$_GET, $_POST, $_COOKIE]) ? velmora_connect() : null;
    $_GET = velmora_escape($_GET, $conn);
    $_POST = velmora_escape($_POST, $conn);
    $_COOKIE = velmora_escape($_COOKIE, $conn);
    $_REQUEST = velmora_escape($_REQUEST, $conn);
    if ($conn !== null) {
        $conn->close();
    }
    if ($class !== null) {
        velmora_guard_controller($class, false);
        require_once __DIR__ . '/pictures.php';
        velmora_watch_pictures($class, is_string($_REQUEST['action'] ?? null) ? $_REQUEST['action'] : '');
    }
}

/* 当前控制器的查询条件参数名（供分页导航保留查询条件）。 */
function velmora_search_fields(): ?array
{
    $class = velmora_controller_class();
    $profile = $class !== null ? velmora_service_profile($class) : null;
    return $profile !== null ? $profile['search'] : null;
}

// 命令行下（维护脚本、检查脚本）只加载上面的函数，没有要处理的请求。
if (PHP_SAPI !== 'cli') {
    velmora_guard_request();
}
