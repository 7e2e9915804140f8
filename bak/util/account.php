<?php
/*
 * 管理员账号的安全：登录失败的退避、密码规则、修改密码后其他会话失效。
 *
 * 需要的两处数据库结构在第一次用到时自动建立（导入较早版本建表脚本的数据库也能直接使用）：
 *  - 表 {前缀}login_throttle：按账号和按来源地址记录连续登录失败的次数与暂停到的时间；
 *  - 管理员表的列 sessionVersion：每次修改密码加一，登录时记在会话中，不一致的会话随即失效。
 * 数据库用户没有建表或修改表的权限时写入日志，登录照常进行。
 */
require_once __DIR__ . '/guard.php';

/* 密码规则 */
const VELMORA_PASSWORD_MIN_CHARS = 8;
const VELMORA_PASSWORD_MAX_BYTES = 72; // password_hash（bcrypt）只使用前 72 个字节

/* 连续失败多少次后开始暂停：同一账号 5 次，同一地址 20 次（同一出口地址后面可能有很多人） */
const VELMORA_LOCK_ACCOUNT_AFTER = 5;
const VELMORA_LOCK_ADDRESS_AFTER = 20;
/* 暂停时间从 login_lock 秒（默认 2 秒）起每次失败翻倍，最长 15 分钟；最后一次失败 1 小时后重新计数 */
const VELMORA_LOCK_LONGEST = 900;
const VELMORA_FAILURE_MEMORY = 3600;

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

/* 登录失败退避的表名（已加反引号）。 */
function velmora_throttle_table(): string
{
    return '`' . velmora_table_prefix() . 'login_throttle`';
}

/* 建立退避表并给管理员表补上 sessionVersion 列；已经有了时什么也不做。返回是否可用。 */
function velmora_account_schema(SqlHelper $db): bool
{
    static $ready = null;
    if ($ready !== null || $db->conn === null) {
        return (bool)$ready;
    }
    $ok = $db->execute_prepared('CREATE TABLE IF NOT EXISTS ' . velmora_throttle_table() . ' ('
        . ' `subject` varchar(200) COLLATE utf8mb4_bin NOT NULL COMMENT \'user:用户名 或 addr:地址\','
        . ' `failures` int NOT NULL DEFAULT 0 COMMENT \'连续失败次数\','
        . ' `lastFailure` bigint NOT NULL DEFAULT 0 COMMENT \'最后一次失败的时间（Unix 秒）\','
        . ' `lockedUntil` bigint NOT NULL DEFAULT 0 COMMENT \'暂停登录到（Unix 秒）\','
        . ' PRIMARY KEY (`subject`)'
        . ') ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin') >= 0;
    $admin = velmora_table_prefix() . 'admin';
    $has = $db->query_prepared('SELECT 1 AS found FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE()'
        . ' AND TABLE_NAME = ? AND COLUMN_NAME = \'sessionVersion\'', [$admin]);
    if (!$has && $db->error === '') {
        $ok = $db->execute_prepared('ALTER TABLE ' . velmora_admin_table()
            . ' ADD COLUMN `sessionVersion` int NOT NULL DEFAULT 0 COMMENT \'修改密码时加一，之前的会话随之失效\'') >= 0 && $ok;
        velmora_log($ok ? '管理员表已加上 sessionVersion 列' : '无法给管理员表加上 sessionVersion 列：' . $db->error);
    }
    if (!$ok) {
        velmora_log('登录保护所需的表结构无法建立，请给数据库用户建表和修改表的权限');
        $db->error = '';
    }
    return $ready = $ok;
}

/*
 * 一次登录尝试的退避检查。begin() 开始事务并锁住该账号与该地址的记录，同时进行的尝试依次进行，
 * 并发请求绕不过去；之后调用 succeeded() 或 failed()（都会结束事务）。
 */
class LoginThrottle
{
    /** @var SqlHelper */
    private $db;
    private $user;
    private $addr;
    private $active = false;

    public function __construct(SqlHelper $db, string $username, string $address)
    {
        $this->db = $db;
        $this->user = 'user:' . substr(strtolower($username), 0, 150);
        $this->addr = 'addr:' . substr($address, 0, 60);
    }

    /* 开始一次尝试；返回还需等待的秒数，0 表示可以检查密码。 */
    public function begin(): int
    {
        if (!velmora_account_schema($this->db)) {
            return 0;
        }
        $table = velmora_throttle_table();
        $this->db->execute_prepared('INSERT IGNORE INTO ' . $table . ' (subject) VALUES (?), (?)', [$this->user, $this->addr]);
        try {
            $this->active = $this->db->conn->begin_transaction();
        } catch (Throwable $e) {
            $this->active = false;
        }
        $rows = $this->db->query_prepared('SELECT subject, lockedUntil FROM ' . $table
            . ' WHERE subject IN (?, ?) FOR UPDATE', [$this->user, $this->addr]);
        $wait = 0;
        foreach ($rows as $row) {
            $wait = max($wait, (int)$row['lockedUntil'] - time());
        }
        if ($wait > 0) {
            $this->finish();
        }
        return max(0, $wait);
    }

    /* 登录成功：该账号重新计数（地址不重新计数，否则用自己的账号登录一次就能清掉）。 */
    public function succeeded(): void
    {
        $this->db->execute_prepared('UPDATE ' . velmora_throttle_table()
            . ' SET failures = 0, lockedUntil = 0 WHERE subject = ?', [$this->user]);
        $this->finish();
    }

    /* 登录失败：两条记录各加一次失败，达到次数时暂停登录并写入日志。 */
    public function failed(): void
    {
        $now = time();
        $table = velmora_throttle_table();
        foreach ([[$this->user, VELMORA_LOCK_ACCOUNT_AFTER], [$this->addr, VELMORA_LOCK_ADDRESS_AFTER]] as [$subject, $after]) {
            $rows = $this->db->query_prepared('SELECT failures, lastFailure FROM ' . $table . ' WHERE subject = ?', [$subject]);
            if (!$rows) {
                continue;
            }
            $failures = $now - (int)$rows[0]['lastFailure'] > VELMORA_FAILURE_MEMORY ? 1 : (int)$rows[0]['failures'] + 1;
            $lock = velmora_lock_seconds($failures, $after);
            $this->db->execute_prepared('UPDATE ' . $table . ' SET failures = ?, lastFailure = ?, lockedUntil = ? WHERE subject = ?',
                [$failures, $now, $lock > 0 ? $now + $lock : 0, $subject]);
            if ($lock > 0) {
                velmora_log('登录连续失败 ' . $failures . ' 次（' . $subject . '），暂停登录 ' . $lock . ' 秒');
            }
        }
        if (random_int(1, 50) === 1) {
            $this->db->execute_prepared('DELETE FROM ' . $table . ' WHERE lastFailure < ? AND lockedUntil < ?',
                [$now - 86400, $now]);
        }
        $this->finish();
    }

    private function finish(): void
    {
        if ($this->active) {
            try {
                $this->db->conn->commit();
            } catch (Throwable $e) {
                velmora_log('登录退避记录无法保存：' . $e->getMessage());
            }
            $this->active = false;
        }
    }
}

/* 第 $failures 次连续失败后暂停的秒数：达到 $after 次时 login_lock 秒，之后每次翻倍，最长 15 分钟。 */
function velmora_lock_seconds(int $failures, int $after): int
{
    if ($failures < $after) {
        return 0;
    }
    $steps = min(20, $failures - $after);
    $first = max(1, (int)velmora_config()['login_lock']);
    return min(VELMORA_LOCK_LONGEST, $first << $steps);
}

/* 等待时间的说法：90 秒以内按秒，否则按分钟（向上取整）。 */
function velmora_wait_text(int $seconds): string
{
    return $seconds <= 90 ? $seconds . ' 秒' : (int)ceil($seconds / 60) . ' 分钟';
}

/*
 * 当前会话是否仍然有效：账号还在，且会话记下的版本与管理员表中的一致（修改密码后加一）。
 * 数据库暂时连不上或还没有 sessionVersion 列时按有效处理。
 */
function velmora_session_current(): bool
{
    $id = (int)($_SESSION['velmora_admin_id'] ?? 0);
    $conn = velmora_connect();
    if ($conn === null) {
        return true;
    }
    try {
        $stmt = $conn->prepare('SELECT sessionVersion FROM ' . velmora_admin_table() . ' WHERE adminId = ?');
        if ($stmt === false) {
            return true;
        }
        $stmt->bind_param('i', $id);
        $stmt->execute();
        $row = $stmt->get_result()->fetch_row();
        $stmt->close();
        return $row !== null && (int)$row[0] === (int)($_SESSION['velmora_session_version'] ?? 0);
    } catch (Throwable $e) {
        return true;
    } finally {
        $conn->close();
    }
}
