<?php
/*
 * 会话保存在应用的数据库中（表 {前缀}session），几台 Web 服务器共用同一个数据库时，
 * 在任何一台上登录后都可以在其他几台上继续工作，无需“粘性会话”。
 *
 * 读取会话时在一个事务中锁住这一行（SELECT ... FOR UPDATE），直到请求结束时写回并提交，
 * 和文件会话锁住会话文件一样：同一会话的请求依次进行，后一个看到前一个写入的内容。
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
        $rows = $this->query('INSERT IGNORE INTO ' . $this->table . ' (id, data, lastSeen) VALUES (?, \'\', ?)', [$id, time()], true);
        if ($rows === null || !$this->conn->begin_transaction()) {
            return false;
        }
        $this->locked = true;
        $rows = $this->query('SELECT data FROM ' . $this->table . ' WHERE id = ? FOR UPDATE', [$id]);
        return $rows === null ? false : (string)($rows[0]['data'] ?? '');
    }

    public function write($id, $data): bool
    {
        return $this->query('INSERT INTO ' . $this->table . ' (id, data, lastSeen) VALUES (?, ?, ?)'
            . ' ON DUPLICATE KEY UPDATE data = VALUES(data), lastSeen = VALUES(lastSeen)', [$id, $data, time()]) !== null;
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

    /* 严格模式：只接受数据库中已有的会话编号，其他编号由 PHP 换成新的。 */
    public function validateId($id): bool
    {
        $rows = $this->query('SELECT 1 FROM ' . $this->table . ' WHERE id = ?', [$id]);
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

    /* 会话表还不存在时建立它，再试一次。 */
    private function query(string $sql, array $params, bool $create = false): ?array
    {
        if ($this->conn === null) {
            return null;
        }
        $rows = velmora_rows($this->conn, $sql, $params, $errno);
        if ($rows === null && $errno === 1146 && $create
            && velmora_rows($this->conn, 'CREATE TABLE IF NOT EXISTS ' . $this->table . velmora_team_tables()['session']) !== null) {
            velmora_log('已建立会话表 ' . $this->table);
            $rows = velmora_rows($this->conn, $sql, $params);
        }
        return $rows;
    }
}
