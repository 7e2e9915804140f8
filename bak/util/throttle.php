<?php
/*
 * 登录失败的退避：同一账号、同一来源地址连续失败达到次数后暂停登录，暂停时间逐次翻倍。
 *
 * 同时到来的尝试也绕不过去，几台服务器共用一个数据库或数据库是集群（几个节点都可写入）时也一样：
 *  - 每条记录（账号、地址）旁有一条“检查中”记录（subject 为 checks: 加上记录的键），
 *    记着正在检查的密码有几个。一条记录还差 n 次失败就暂停时只有 n 个检查名额：
 *    同时检查的密码不会超过退避允许的次数。名额用完时稍等片刻再试。
 *  - 每次尝试在一个短事务中按键的顺序锁住这几条记录，看是否在暂停中，占一个名额（检查中的个数加一）
 *    后提交；检查之后在另一个短事务中记下结果并交还名额。检查密码时不持有任何记录锁，
 *    正确的登录不必排队等别人的密码检查。
 *  - 两种事务都写“检查中”记录。集群中记录锁只在一个节点上有效，但提交时集群会发现两个节点
 *    写了同一行，让后提交的一方失败（报告为死锁），整个事务随即重来，看到的已是对方的结果；
 *    所以同时的尝试无论在哪个节点上都是一个接一个地算的。不用命名锁（GET_LOCK）：它只在一个节点上有效。
 *  - 检查中途进程意外结束时名额不会交还；最后一次占名额 VELMORA_CHECK_TTL 秒后这些名额一并作废。
 */
require_once __DIR__ . '/account_schema.php';

/* 连续失败多少次后开始暂停：同一账号 5 次，同一地址 20 次（同一出口地址后面可能有很多人） */
const VELMORA_LOCK_ACCOUNT_AFTER = 5;
const VELMORA_LOCK_ADDRESS_AFTER = 20;
/* 暂停时间从 login_lock 秒（默认 2 秒）起每次失败翻倍，最长 15 分钟；最后一次失败 1 小时后重新计数 */
const VELMORA_LOCK_LONGEST = 900;
const VELMORA_FAILURE_MEMORY = 3600;
/* 名额用完时最多等多少秒 */
const VELMORA_SLOT_WAIT = 30;
/* 一次密码检查最长能占用名额多少秒（远长于检查本身） */
const VELMORA_CHECK_TTL = 60;

class LoginThrottle
{
    /** begin() 的结果：同时进行的尝试太多，等不到检查名额 */
    public const BUSY = -1;
    /** begin() 的结果：数据库操作失败，原因在 SqlHelper 的 error 中 */
    public const FAILED = -2;

    /** @var SqlHelper */
    private $db;
    /** 记录的键 => 达到多少次失败开始暂停 */
    private $subjects;
    private $user;
    /** 本次尝试是否占着名额 */
    private $holding = false;
    /** 没有退避表时（见 velmora_account_schema）不做记录 */
    private $enabled = false;

    public function __construct(SqlHelper $db, string $username, string $address)
    {
        $this->db = $db;
        $this->user = 'user:' . substr(strtolower($username), 0, 150);
        $this->subjects = [
            $this->user => VELMORA_LOCK_ACCOUNT_AFTER,
            'addr:' . substr($address, 0, 60) => VELMORA_LOCK_ADDRESS_AFTER,
        ];
        ksort($this->subjects, SORT_STRING);
    }

    /* 开始一次尝试：返回还需等待的秒数，0 表示可以检查密码（之后调用 succeeded() 或 failed()），或 BUSY、FAILED。 */
    public function begin(): int
    {
        $schema = velmora_account_schema($this->db);
        if ($schema === null) {
            return self::FAILED;
        }
        if ($schema === false) {
            return 0;
        }
        $deadline = microtime(true) + VELMORA_SLOT_WAIT;
        for ($round = 1; ; $round++) {
            $outcome = $this->locked(function (array $rows) {
                return $this->admit($rows);
            });
            // 许多尝试同时写同一条记录时事务可能重来几次仍然冲突：和名额用完一样，稍等再试。
            if ($outcome === null && velmora_retry_kind($this->db->errno) !== 'again') {
                return self::FAILED;
            }
            if ($outcome !== null && $outcome !== self::BUSY) {
                $this->enabled = $this->holding = $outcome === 0;
                return $outcome;
            }
            if (microtime(true) > $deadline) {
                return self::BUSY;
            }
            usleep(random_int(20000, 60000) * min($round, 5));
        }
    }

    /* 登录成功：该账号重新计数（地址不重新计数，否则用自己的账号登录一次就能清掉）。返回是否记下。 */
    public function succeeded(): bool
    {
        return $this->finish(true);
    }

    /* 登录失败：两条记录各加一次失败，达到次数时暂停登录并写入日志。返回是否记下。 */
    public function failed(): bool
    {
        return $this->finish(false);
    }

    /* 不记录结果就结束（例如读取管理员表失败时），只交还名额。 */
    public function abandon(): void
    {
        $this->enabled = false;
        if ($this->holding) {
            $this->holding = false;
            $this->locked(function (array $rows) {
                return $this->give_back($rows) ? true : null;
            });
        }
    }

    private function finish(bool $right): bool
    {
        if (!$this->enabled) {
            return true;
        }
        $this->enabled = $this->holding = false;
        // 结果与交还名额在同一个事务中：等候的尝试随即看到新的次数。
        $locks = $this->locked(function (array $rows) use ($right) {
            $locks = $this->record($rows, $right);
            return $locks !== null && $this->give_back($rows) ? $locks : null;
        });
        if ($locks === null) {
            return false;
        }
        foreach ($locks as [$failures, $subject, $seconds]) {
            velmora_log('登录连续失败 ' . $failures . ' 次（' . $subject . '），暂停登录 ' . $seconds . ' 秒');
        }
        if (!$right && random_int(1, 50) === 1) {
            $this->forget_old_rows();
        }
        return true;
    }

    /* 清理一天没有失败、也不在暂停中的记录（包括没有检查在进行的“检查中”记录）；逐条按键删除，不锁别的记录。 */
    private function forget_old_rows(): void
    {
        $table = velmora_throttle_table();
        $now = time();
        $old = $this->db->query_prepared('SELECT subject FROM ' . $table . ' WHERE lastFailure < ? AND lockedUntil < ? LIMIT 100',
            [$now - 86400, $now]);
        foreach ($old ?? [] as $row) {
            $this->db->execute_prepared('DELETE FROM ' . $table . ' WHERE subject = ? AND lastFailure < ? AND lockedUntil < ?',
                [$row['subject'], $now - 86400, $now]);
        }
    }

    /* 各条记录与它们的“检查中”记录的键，按顺序排列：锁总按这个顺序取得，不会互相死锁。 */
    private function keys(): array
    {
        $keys = [];
        foreach (array_keys($this->subjects) as $subject) {
            $keys[] = $subject;
            $keys[] = 'checks:' . $subject;
        }
        sort($keys, SORT_STRING);
        return $keys;
    }

    /*
     * 在一个事务中按键的顺序锁住各条记录，交给 $work（键 => 记录）。还没有的记录先在事务之外逐条补上：
     * 事务中对不存在的记录加锁会锁住间隙，与同时的插入互相等待。
     */
    private function locked(callable $work)
    {
        for ($round = 0; $round < 3; $round++) {
            if (!$this->create_missing_rows()) {
                return null;
            }
            // 提交时连接中断、不知是否已经提交时可以再做一次：多占的名额到期作废，多记的失败只会更严。
            $result = $this->db->in_transaction(function (SqlHelper $db) use ($work) {
                $rows = [];
                foreach ($this->keys() as $key) {
                    $found = $db->query_prepared('SELECT failures, lastFailure, lockedUntil FROM ' . velmora_throttle_table()
                        . ' WHERE subject = ? FOR UPDATE', [$key]);
                    if ($found === null) {
                        return null;
                    }
                    if (!$found) {
                        return 'missing'; // 刚被清理掉，补上后重来
                    }
                    $rows[$key] = $found[0];
                }
                return $work($rows);
            }, VELMORA_TX_ATTEMPTS, true);
            if ($result !== 'missing') {
                return $result;
            }
        }
        $this->db->error = '数据库操作失败。';
        velmora_log('登录退避记录无法建立');
        return null;
    }

    private function create_missing_rows(): bool
    {
        $keys = $this->keys();
        $table = velmora_throttle_table();
        $found = $this->db->query_prepared('SELECT subject FROM ' . $table . ' WHERE subject IN (?, ?, ?, ?)', $keys);
        if ($found === null) {
            return false;
        }
        foreach (array_diff($keys, array_column($found, 'subject')) as $key) {
            if ($this->db->execute_prepared('INSERT IGNORE INTO ' . $table . ' (subject) VALUES (?)', [$key]) < 0) {
                return false;
            }
        }
        return true;
    }

    /* 正在进行的检查的个数（最后一次占名额已过 VELMORA_CHECK_TTL 秒时作废）。 */
    private static function checks(array $row, int $now): int
    {
        return (int)$row['lockedUntil'] > $now ? max(0, (int)$row['failures']) : 0;
    }

    /* 在锁住的记录上：暂停中返回等待秒数；否则每条记录占一个检查名额，都有空时返回 0，名额用完返回 BUSY。 */
    private function admit(array $rows)
    {
        $now = time();
        $wait = 0;
        foreach ($this->subjects as $subject => $after) {
            $wait = max($wait, (int)$rows[$subject]['lockedUntil'] - $now);
        }
        if ($wait > 0) {
            return $wait;
        }
        foreach ($this->subjects as $subject => $after) {
            $failures = velmora_recent_failures($rows[$subject], $now);
            if (self::checks($rows['checks:' . $subject], $now) >= ($failures < $after ? $after - $failures : 1)) {
                return self::BUSY;
            }
        }
        foreach ($this->subjects as $subject => $after) {
            if ($this->db->execute_prepared('UPDATE ' . velmora_throttle_table() . ' SET failures = ?, lockedUntil = ? WHERE subject = ?',
                [self::checks($rows['checks:' . $subject], $now) + 1, $now + VELMORA_CHECK_TTL, 'checks:' . $subject]) < 0) {
                return null;
            }
        }
        return 0;
    }

    /* 在锁住的记录上交还名额（检查中的个数减一）。 */
    private function give_back(array $rows): bool
    {
        $now = time();
        foreach (array_keys($this->subjects) as $subject) {
            if ($this->db->execute_prepared('UPDATE ' . velmora_throttle_table() . ' SET failures = ? WHERE subject = ?',
                [max(0, self::checks($rows['checks:' . $subject], $now) - 1), 'checks:' . $subject]) < 0) {
                return false;
            }
        }
        return true;
    }

    /* 在锁住的记录上记下结果；返回新开始的暂停 [失败次数, 记录, 秒数]。 */
    private function record(array $rows, bool $right): ?array
    {
        $table = velmora_throttle_table();
        $now = time();
        $locks = [];
        foreach ($this->subjects as $subject => $after) {
            $row = $rows[$subject];
            if ($right) {
                if ($subject === $this->user
                    && $this->db->execute_prepared('UPDATE ' . $table . ' SET failures = 0, lockedUntil = 0 WHERE subject = ?', [$subject]) < 0) {
                    return null;
                }
                continue;
            }
            $failures = velmora_recent_failures($row, $now) + 1;
            $lock = velmora_lock_seconds($failures, $after);
            if ($this->db->execute_prepared('UPDATE ' . $table . ' SET failures = ?, lastFailure = ?, lockedUntil = ? WHERE subject = ?',
                [$failures, $now, $lock > 0 ? $now + $lock : 0, $subject]) < 0) {
                return null;
            }
            if ($lock > 0) {
                $locks[] = [$failures, $subject, $lock];
            }
        }
        return $locks;
    }
}

/* 记录中仍算数的连续失败次数：最后一次失败已超过 1 小时则从头计数。 */
function velmora_recent_failures(array $row, int $now): int
{
    return $now - (int)$row['lastFailure'] > VELMORA_FAILURE_MEMORY ? 0 : (int)$row['failures'];
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
