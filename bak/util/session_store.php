<?php
/*
 * 会话保存在应用的数据库中（表 {前缀}session），几台 Web 服务器共用同一个数据库时，
 * 在任何一台上登录后都可以在其他几台上继续工作，无需“粘性会话”。
 *
 * 读取会话时在一个事务中锁住这一行（SELECT ... FOR UPDATE），直到请求结束时写回并提交，
 * 和文件会话锁住会话文件一样：同一会话的请求依次进行，后一个看到前一个写入的内容。
 * 连接的是集群节点时不加锁：行锁只在本节点有效，别的节点写入同一会话时本节点的事务会被中止；
 * 这时读取用因果读（见 cluster.php），写回是一条单独的语句，冲突或连接中断时重来，后写的为准。
 * 会话使用自己的数据库连接，与业务层的连接和事务互不影响。
 * 请求守卫的一部分，由 guard.php 加载；直接请求本文件时回答 403。
 */
if (!defined('VELMORA_GUARD_LOADED')) {
    http_response_code(403);
    exit;
}

class VelmoraSessionStore implements SessionHandlerInterface, SessionUpdateTimestampHandlerInterface
{
    /** @var mysqli|null */
    private $conn = null;
    private $table;
    /** 本请求中已经锁住的会话 */
    private $locked = false;
    /** 检查时数据库出错、不知是否有效的会话编号 */
    private $unverified = null;

    public function __construct()
    {
        $this->table = velmora_team_table('session');
    }

    public function open($path, $name): bool
    {
        if ($this->conn === null) {
            $this->conn = velmora_connect($reason, $detail, true);
            if ($this->conn === null) {
                error_log(velmora_log_text('[velmora] 会话无法连接数据库：' . $detail));
                return false;
            }
        }
        return true;
    }

    public function close(): bool
    {
        $ok = $this->finish();
        if ($this->conn !== null) {
            $this->conn->close();
            $this->conn = null;
        }
        return $ok;
    }

    #[\ReturnTypeWillChange]
    public function read($id)
    {
        $this->finish();
        if ($this->unverified === $id) {
            // 检查编号时数据库出错：不知道它是否有效，不能为它建立会话（否则任何人给的编号都会被接受）。
            $rows = $this->query('SELECT data FROM ' . $this->table . ' WHERE id = ?', [$id]);
            return $rows ? (string)$rows[0]['data'] : false;
        }
        $rows = $this->query('INSERT IGNORE INTO ' . $this->table . ' (id, data, lastSeen) VALUES (?, \'\', ?)', [$id, time()], true);
        if ($rows === null) {
            return false;
        }
        if (!velmora_is_cluster_node($this->conn)) {
            if (!$this->conn->begin_transaction()) {
                return false;
            }
            $this->locked = true;
            $rows = $this->query('SELECT data FROM ' . $this->table . ' WHERE id = ? FOR UPDATE', [$id]);
            if ($rows !== null) {
                return (string)($rows[0]['data'] ?? '');
            }
            // 锁住时出错（例如连接中断）：放弃这个事务，改为不加锁读取。
            $this->rollback();
        }
        $rows = $this->query('SELECT data FROM ' . $this->table . ' WHERE id = ?', [$id]);
        return $rows === null ? false : (string)($rows[0]['data'] ?? '');
    }

    public function write($id, $data): bool
    {
        $sql = 'INSERT INTO ' . $this->table . ' (id, data, lastSeen) VALUES (?, ?, ?)'
            . ' ON DUPLICATE KEY UPDATE data = VALUES(data), lastSeen = VALUES(lastSeen)';
        $params = [$id, $data, time()];
        if ($this->locked) {
            if ($this->query($sql, $params) !== null && $this->finish()) {
                return true;
            }
            $this->rollback();
        }
        // 单独一条语句：出错时重来（见 velmora_rows）。
        return $this->query($sql, $params) !== null;
    }

    public function destroy($id): bool
    {
        return $this->query('DELETE FROM ' . $this->table . ' WHERE id = ?', [$id]) !== null;
    }

    #[\ReturnTypeWillChange]
    public function gc($max_lifetime)
    {
        return $this->query('DELETE FROM ' . $this->table . ' WHERE lastSeen < ?', [time() - (int)$max_lifetime]) !== null ? 1 : false;
    }

    /*
     * 严格模式：只接受数据库中已有的会话编号，其他编号由 PHP 换成新的。
     * 查询失败时不让 PHP 换编号（那样用户就被登出了），记下它未经检查，读取时不为它建立会话。
     */
    public function validateId($id): bool
    {
        $rows = $this->query('SELECT 1 FROM ' . $this->table . ' WHERE id = ?', [$id]);
        if ($rows === null) {
            $this->unverified = $id;
            return true;
        }
        return (bool)$rows;
    }

    public function updateTimestamp($id, $data): bool
    {
        return $this->write($id, $data);
    }

    /* 提交读取时开始的事务，放开会话行的锁。 */
    private function finish(): bool
    {
        if (!$this->locked || $this->conn === null) {
            return true;
        }
        $this->locked = false;
        try {
            return $this->conn->commit();
        } catch (Throwable $e) {
            error_log(velmora_log_text('[velmora] 会话无法保存：' . $e->getMessage()));
            return false;
        }
    }

    /* 放弃读取时开始的事务（连接已经断开时什么也不做）。 */
    private function rollback(): void
    {
        $this->locked = false;
        try {
            @$this->conn->rollback();
        } catch (Throwable $e) {
            // 连接已经断开，事务随之结束
        }
    }

    /* 会话表还不存在时建立它，再试一次。 */
    private function query(string $sql, array $params, bool $create = false): ?array
    {
        if ($this->conn === null) {
            return null;
        }
        // 事务中的语句不单独重来：出错时由调用者放弃事务，改用单独的语句。
        $rows = velmora_rows($this->conn, $sql, $params, $errno, !$this->locked);
        if ($rows === null && $errno === 1146 && $create
            && velmora_rows($this->conn, 'CREATE TABLE IF NOT EXISTS ' . $this->table . velmora_team_tables()['session']) !== null) {
            if ($this->conn->warning_count === 0) {
                velmora_log('已建立会话表 ' . $this->table);
            }
            $rows = velmora_rows($this->conn, $sql, $params);
        }
        return $rows;
    }
}
