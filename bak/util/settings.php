<?php
/*
 * 设置与连接：读取 database/config.php、应用的名称与目录、实体类与表名前缀，以及数据库连接。
 * 请求守卫的一部分，由 guard.php 加载；直接请求本文件时回答 403。
 */
if (!defined('VELMORA_GUARD_LOADED')) {
    http_response_code(403);
    exit;
}

const VELMORA_BOM = "\xEF\xBB\xBF";

/* 读取 database/config.php，缺少的项取默认值。 */
function velmora_config(): array
{
    static $config = null;
    if ($config === null) {
        $defaults = [
            'host' => '127.0.0.1', 'port' => 3306, 'socket' => '', 'user' => 'root',
            'password' => '', 'database' => 'velmora', 'charset' => 'utf8mb4',
            'table_prefix' => null, 'sql_mode' => '', 'trusted_origins' => [], 'trusted_proxies' => [],
            'session_idle' => 7200, 'login_lock' => 2, 'app_title' => '', 'debug' => false, 'servers' => [],
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

/* 数据库中的表名或列名能否写进 SQL（加上反引号）：不为空、不超过 64 个字符、不含 NUL。 */
function velmora_is_sql_name(string $name): bool
{
    return preg_match('/^[^\x00]{1,64}$/u', $name) === 1;
}

/* 表名或列名加上反引号，其中的反引号写两次。 */
function velmora_sql_name(string $name): string
{
    return '`' . str_replace('`', '``', $name) . '`';
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
 * 按 database/config.php 连接数据库（有几台服务器时连第一台能用的）。连接字符集只能是 utf8mb4：请求值的转义只对它可靠，
 * 设置了其他字符集（例如 gbk）时拒绝连接。失败时返回 null，$reason 为给用户看的原因，
 * $detail 为写入日志的细节（由调用者记录）。只用预处理语句的会话存储不受字符集设置的限制
 * （$anyCharset，连接总是使用 utf8mb4），这样错误页面仍能显示原因。
 */
function velmora_connect(?string &$reason = null, ?string &$detail = null, bool $anyCharset = false): ?mysqli
{
    $c = velmora_config();
    $charset = trim((string)$c['charset']);
    if (!$anyCharset && $charset !== '' && strtolower($charset) !== 'utf8mb4') {
        $reason = '数据库连接字符集只能是 utf8mb4，请把 database/config.php 中的 charset 改为 utf8mb4。';
        $detail = 'charset "' . $charset . '" refused: the request escaping is safe only for utf8mb4';
        return null;
    }
    $connectFailed = '无法连接数据库，请检查 database/config.php 中的连接设置。';
    try {
        // 列出几台服务器时依次尝试（见 cluster.php）。
        $conn = mysqli_init();
        if (!velmora_open($conn, $detail)) {
            $reason = $connectFailed;
            return null;
        }
        return $conn;
    } catch (Throwable $e) {
        $reason = $connectFailed;
        $detail = 'connect: ' . $e->getMessage();
        return null;
    }
}

/*
 * 请求守卫自己的一次查询（这时 SqlHelper 可能还没有加载）：参数按字符串绑定，返回第一条记录，
 * 没有记录时返回 []。失败时返回 null：连不上数据库时 $errno 为 -1，否则为服务器的错误号，$error 为原因。
 */
function velmora_lookup(string $sql, array $params, ?int &$errno = null, ?string &$error = null): ?array
{
    $errno = 0;
    $error = '';
    $conn = velmora_connect($reason, $detail);
    if ($conn === null) {
        $errno = -1;
        $error = (string)$detail;
        return null;
    }
    try {
        for ($attempt = 1; ; $attempt++) {
            try {
                $stmt = $conn->prepare($sql);
                $values = array_map('strval', array_values($params));
                $ok = $stmt !== false && (!$values || $stmt->bind_param(str_repeat('s', count($values)), ...$values)) && $stmt->execute();
                $result = $ok ? $stmt->get_result() : false;
                if ($result === false) {
                    throw new RuntimeException($stmt ? $stmt->error : $conn->error, $stmt ? $stmt->errno : $conn->errno);
                }
                return $result->fetch_assoc() ?? [];
            } catch (Throwable $e) {
                // 服务器在查询中途断开或退出集群时换一台再查（见 cluster.php）。
                $kind = velmora_retry_kind((int)$e->getCode());
                if ($kind === null || $attempt >= VELMORA_TX_ATTEMPTS || ($kind === 'reconnect' && !velmora_reconnect($conn))) {
                    throw $e;
                }
                velmora_retry_pause($attempt);
            }
        }
    } catch (Throwable $e) {
        $errno = (int)$e->getCode();
        $error = $e->getMessage();
        return null;
    } finally {
        $conn->close();
    }
}
