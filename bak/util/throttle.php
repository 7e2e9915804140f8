<?php
/*
 * 登录失败的退避：同一账号、同一来源地址连续失败达到次数后暂停登录，暂停时间逐次翻倍。
 *
 * 同时到来的尝试也绕不过去：
 *  - 每次尝试先在一个短事务中按键的顺序锁住账号与地址两条记录（顺序固定，不会互相死锁），
 *    看是否在暂停中，再占一个“检查名额”后提交。检查密码时不持有任何记录锁，
 *    正确的登录不必排队等别人的密码检查。
 *  - 名额是数据库的命名锁（GET_LOCK），随连接结束自动释放。一条记录还差 n 次失败就暂停时
 *    只有 n 个名额：同时检查的密码不会超过退避允许的次数。名额用完时稍等片刻再试。
 *  - 检查之后在另一个短事务中记下结果，然后才交还名额；因死锁或等锁超时失败的事务会重来几次。
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

class LoginThrottle
{
    /** begin() 的结果：同时进行的尝试太多，等不到检查名额 */
    public const BUSY = -1;
    /** begin() 的结果：数据库操作失败，原因在 SqlHelper 的 error 中 */
    public const FAILED = -2;

    /** @var SqlHelper */
    private $db;
    /** 记录的键 => 达到多少次失败开始暂停；按键排序，锁总按这个顺序取得 */
    private $subjects;
    private $user;
    /** 本次尝试占用的检查名额（命名锁） */
    private $slots = [];
    /** 名额用完时，等它交还的一个名额 */
    private $waitFor = null;
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
        while (true) {
            $outcome = $this->locked(function (array $rows) {
                return $this->admit($rows);
            });
            if ($outcome === null) {
                $this->release();
                return self::FAILED;
            }
            if ($outcome !== self::BUSY) {
                $this->enabled = $outcome === 0;
                return $outcome;
            }
            if (microtime(true) > $deadline || !$this->wait_for_slot()) {
                return self::BUSY;
            }
        }
    }

    /* 等一个被占用的名额交还（至多 1 秒），随即放开它，再从头检查。在服务器上等，不必反复查询。 */
    private function wait_for_slot(): bool
    {
        $got = $this->db->query_prepared('SELECT GET_LOCK(?, 1) AS got', [$this->waitFor]);
        if ($got !== null && (int)$got[0]['got'] === 1) {
            $this->db->query_prepared('SELECT RELEASE_LOCK(?) AS released', [$this->waitFor]);
        }
        return $got !== null;
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

    /* 不记录结果就结束（例如读取管理员表失败时）。 */
    public function abandon(): void
    {
        $this->release();
        $this->enabled = false;
    }

    private function finish(bool $right): bool
    {
        if (!$this->enabled) {
            return true;
        }
        $this->enabled = false;
        $locks = $this->locked(function (array $rows) use ($right) {
            return $this->record($rows, $right);
        });
        // 结果提交之后才交还名额，等候的尝试随即看到新的次数。
        $this->release();
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

    /* 清理一天没有失败、也不在暂停中的记录；逐条按键删除，不锁别的记录。 */
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

    /*
     * 在一个事务中按键的顺序锁住各条记录，交给 $work。还没有的记录先在事务之外逐条补上：
     * 事务中对不存在的记录加锁会锁住间隙，与同时的插入互相等待。
     */
    private function locked(callable $work)
    {
        for ($round = 0; $round < 3; $round++) {
            if (!$this->create_missing_rows()) {
                return null;
            }
            $result = $this->db->in_transaction(function (SqlHelper $db) use ($work) {
                $rows = [];
                foreach (array_keys($this->subjects) as $subject) {
                    $found = $db->query_prepared('SELECT failures, lastFailure, lockedUntil FROM ' . velmora_throttle_table()
                        . ' WHERE subject = ? FOR UPDATE', [$subject]);
                    if ($found === null) {
                        return null;
                    }
                    if (!$found) {
                        return 'missing'; // 刚被清理掉，补上后重来
                    }
                    $rows[$subject] = $found[0];
                }
                return $work($rows);
            });
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
        $subjects = array_keys($this->subjects);
        $table = velmora_throttle_table();
        $found = $this->db->query_prepared('SELECT subject FROM ' . $table . ' WHERE subject IN (?, ?)', $subjects);
        if ($found === null) {
            return false;
        }
        foreach (array_diff($subjects, array_column($found, 'subject')) as $subject) {
            if ($this->db->execute_prepared('INSERT IGNORE INTO ' . $table . ' (subject) VALUES (?)', [$subject]) < 0) {
                return false;
            }
        }
        return true;
    }

    /* 在锁住的记录上：暂停中返回等待秒数；否则每条记录占一个检查名额，都占到时返回 0，名额用完返回 BUSY。 */
    private function admit(array $rows)
    {
        $this->release();
        $now = time();
        $wait = 0;
        foreach ($rows as $row) {
            $wait = max($wait, (int)$row['lockedUntil'] - $now);
        }
        if ($wait > 0) {
            return $wait;
        }
        foreach ($rows as $subject => $row) {
            $after = $this->subjects[$subject];
            $failures = velmora_recent_failures($row, $now);
            $slot = $this->take_slot($subject, $after, $failures < $after ? $after - $failures : 1);
            if ($slot !== 'taken') {
                $this->release();
                return $slot === null ? null : self::BUSY;
            }
        }
        return 0;
    }

    /* 该记录的名额共 $capacity 个，其中 $allowed 个可用：占到时返回 'taken'，用完时 'full'，失败时 null。 */
    private function take_slot(string $subject, int $capacity, int $allowed): ?string
    {
        $names = [];
        for ($k = 1; $k <= $capacity; $k++) {
            $names[] = velmora_named_lock('login/' . $subject . '#' . $k);
        }
        $columns = array_map(function (int $k): string {
            return 'IS_USED_LOCK(?) AS slot' . $k;
        }, range(1, $capacity));
        $holders = $this->db->query_prepared('SELECT ' . implode(', ', $columns), $names);
        if ($holders === null) {
            return null;
        }
        $used = array_keys(array_filter(array_values($holders[0]), 'is_numeric'));
        if (count($used) >= $allowed) {
            $this->waitFor = $names[$used[array_rand($used)]];
            return 'full';
        }
        // 记录锁在手，别的尝试此时不会来占名额；只会有名额被交还。先试空着的。
        foreach (array_merge(array_diff_key($names, array_flip($used)), $names) as $name) {
            $got = $this->db->query_prepared('SELECT GET_LOCK(?, 0) AS got', [$name]);
            if ($got === null) {
                return null;
            }
            if ((int)$got[0]['got'] === 1) {
                $this->slots[] = $name;
                return 'taken';
            }
        }
        $this->waitFor = $names[0];
        return 'full';
    }

    /* 在锁住的记录上记下结果；返回新开始的暂停 [失败次数, 记录, 秒数]。 */
    private function record(array $rows, bool $right): ?array
    {
        $table = velmora_throttle_table();
        $now = time();
        $locks = [];
        foreach ($rows as $subject => $row) {
            if ($right) {
                if ($subject === $this->user
                    && $this->db->execute_prepared('UPDATE ' . $table . ' SET failures = 0, lockedUntil = 0 WHERE subject = ?', [$subject]) < 0) {
                    return null;
                }
                continue;
            }
            $failures = velmora_recent_failures($row, $now) + 1;
            $lock = velmora_lock_seconds($failures, $this->subjects[$subject]);
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

    private function release(): void
    {
        foreach ($this->slots as $name) {
            $this->db->query_prepared('SELECT RELEASE_LOCK(?) AS released', [$name]);
        }
        $this->slots = [];
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
