<?php
/*
 * SqlHelper 的事务与出错后的重来：死锁、等锁超时、集群（MariaDB Galera）的认证冲突时整个事务重来，
 * 连接中断或节点不能用时先换一台服务器（见 util/cluster.php）。只由 SqlHelper 使用。
 */
trait SqlRetry
{
    /*
     * 在一个事务中运行 $work($this)：它返回 null 表示数据库操作失败，其他值原样返回。
     * 因死锁、等锁超时或集群的认证冲突而失败时整个事务重来；连接中断或节点不能用时先换一台服务器
     * （见 util/cluster.php），最多 $attempts 次；失败时回滚并返回 null，重来多次仍不行时原因为“数据库繁忙”。
     * 提交时连接中断，事务是否已经提交不得而知：$work 留下了提交凭据（commit_proof）时查它决定；
     * 没有凭据时只有 $repeatable（再做一次也无妨）的事务重来，其他的报告无法确认。
     */
    public function in_transaction(callable $work, int $attempts = VELMORA_TX_ATTEMPTS, bool $repeatable = false)
    {
        for ($attempt = 1; ; $attempt++) {
            $this->proof = null;
            $this->inTransaction = true;
            try {
                $result = $this->run_control('START TRANSACTION') ? $work($this) : null;
            } finally {
                $this->inTransaction = false;
            }
            if ($result !== null && $this->run_control('COMMIT')) {
                return $result;
            }
            $failure = [$this->error, $this->errno];
            $kind = velmora_retry_kind($this->errno);
            $unknown = $result !== null && $kind === 'reconnect'; // 提交已经发出
            if ($kind !== 'reconnect') {
                $this->run_control('ROLLBACK');
            }
            [$this->error, $this->errno] = $failure;
            if ($kind === null) {
                return null;
            }
            if ($attempt >= $attempts || ($kind === 'reconnect' && !$this->reconnect())) {
                return $this->give_up($attempt);
            }
            if ($unknown) {
                $proof = $this->proof;
                $found = $proof !== null ? $this->query_prepared($proof[0], $proof[1]) : null;
                if ($found) {
                    return $result;
                }
                if ($found === null && !$repeatable) {
                    $this->fail('与数据库的连接在保存时中断，无法确认本次操作是否已经生效，请刷新页面查看。',
                        'commit outcome unknown: ' . $this->pending, true, true);
                    return null;
                }
            }
            velmora_retry_pause($attempt);
        }
    }

    /*
     * 事务中的一步留下提交凭据：一个查询，能查到记录说明本事务已经提交（例如刚写下的操作记录的编号）。
     * 提交时连接中断的话，in_transaction 换一台服务器后用它判断要不要重来。
     */
    public function commit_proof(string $sql, array $params): void
    {
        if ($this->inTransaction) {
            $this->proof = [$sql, $params];
        }
    }

    /*
     * 不在事务中的一条语句（它本身就是一个完整的事务）：$run() 返回是否成功；
     * 死锁、认证冲突、连接中断时重来（连接中断时先换一台服务器）。失败时记下原因并返回 false。
     * 在 in_transaction 的事务中只做一次，由事务决定是否重来。
     */
    private function alone(callable $run, string $sql, bool $forUser = true): bool
    {
        for ($attempt = 1; ; $attempt++) {
            if ($run()) {
                return true;
            }
            $kind = $this->inTransaction ? null : velmora_retry_kind((int)$this->conn->errno);
            if ($kind === null || $attempt >= VELMORA_TX_ATTEMPTS || ($kind === 'reconnect' && !$this->reconnect())) {
                $this->fail_from_server($sql, $forUser);
                if ($kind !== null) {
                    $this->give_up($attempt, $forUser);
                }
                return false;
            }
            velmora_retry_pause($attempt);
        }
    }

    /* 重来多次仍然失败：给用户看的原因改为“数据库繁忙”。返回 null。 */
    private function give_up(int $attempts, bool $forUser = true)
    {
        $this->fail(VELMORA_BUSY_REASON, 'gave up after ' . $attempts . ' attempts: ' . $this->pending, $forUser, true);
        return null;
    }

    /* 连接中断或节点不能用时换一台服务器（同一个连接对象）。 */
    private function reconnect(): bool
    {
        return $this->conn !== null && velmora_reconnect($this->conn);
    }
}
