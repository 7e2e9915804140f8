<?php
/*
 * 数据库服务器与集群：连接时在 database/config.php 列出的服务器中依次选用第一台能用的，
 * 出错时判断能否重来。应用的每个数据库连接都经过这里（velmora_connect）。
 *
 * 集群（MariaDB Galera）的每个节点都可以写入，但：
 *  - 刚重新加入、还没有同步完的节点不能用（wsrep_ready 为 OFF 或状态不是 Synced），改连下一台；
 *  - 两个节点同时修改同一行时，提交较晚的一方失败，报告为死锁（1213），整个事务重来即可；
 *  - 在另一个节点上刚写入的数据可能还没有到达本节点，所以连接到集群节点时打开因果读
 *    （wsrep_sync_wait）：会话、权限、保存后的页面都可能紧跟在别的节点上的写入之后。
 * 单独一台服务器（不是集群节点）时这些检查都不做。
 * 请求守卫的一部分，由 guard.php 加载；直接请求本文件时回答 403。
 */
if (!defined('VELMORA_GUARD_LOADED')) {
    http_response_code(403);
    exit;
}

/* 列出几台服务器时，每台等待连接的秒数：连不上的服务器不应让请求等太久。 */
const VELMORA_CONNECT_TIMEOUT = 3;
/* 出错后整个事务（或单独的语句）最多做几次 */
const VELMORA_TX_ATTEMPTS = 8;
/* 重来多次仍失败时给用户看的原因 */
const VELMORA_BUSY_REASON = '数据库繁忙（其他用户正在同时修改同一数据，或数据库服务器正在切换），本次操作没有生效，请稍后再试。';

/* 要尝试的服务器，按顺序：host/port（或 socket）给出的本机首选的一台，然后是 servers 中的其他节点。 */
function velmora_db_servers(): array
{
    $c = velmora_config();
    $list = [['host' => (string)$c['host'], 'port' => (int)$c['port'], 'socket' => (string)$c['socket']]];
    foreach ((array)($c['servers'] ?? []) as $server) {
        $entry = velmora_server_entry($server, (int)$c['port']);
        if ($entry !== null) {
            $list[] = $entry;
        }
    }
    return $list;
}

/*
 * servers 中的一项："主机"、"主机:端口"、"[IPv6 地址]:端口"，或 ['host' => ..., 'port' => ..., 'socket' => ...]；
 * 没有写端口时用 $port。看不懂的项返回 null。
 */
function velmora_server_entry($server, int $port): ?array
{
    if (is_array($server)) {
        return ['host' => (string)($server['host'] ?? '127.0.0.1'), 'port' => (int)($server['port'] ?? $port),
            'socket' => (string)($server['socket'] ?? '')];
    }
    $server = is_string($server) ? trim($server) : '';
    if (!preg_match('/^\[([^\]]+)\](?::(\d+))?$/', $server, $m) && !preg_match('/^([^:\[\]\s]+)(?::(\d+))?$/', $server, $m)) {
        return null;
    }
    return ['host' => $m[1], 'port' => ($m[2] ?? '') !== '' ? (int)$m[2] : $port, 'socket' => ''];
}

/*
 * 在 $conn（mysqli_init() 的结果，或已经断开的连接）上连接第一台能用的服务器：
 * 先只接受不是集群节点的服务器和已同步（Synced）的节点；都不行时再接受虽未同步但已可用的节点。
 * 成功时返回 true；否则 $detail 为各台服务器的失败原因。
 */
function velmora_open(mysqli $conn, ?string &$detail = null): bool
{
    $servers = velmora_db_servers();
    $problems = [];
    // 只有一台时没有别的选择，未同步的节点也用。
    foreach (count($servers) > 1 ? [true, false] : [false] as $strict) {
        foreach ($servers as $server) {
            $problem = velmora_open_one($conn, $server, $strict);
            if ($problem === null) {
                return true;
            }
            $problems[] = ($server['socket'] !== '' ? $server['socket'] : $server['host'] . ':' . $server['port']) . ' ' . $problem;
        }
    }
    $detail = 'connect: ' . implode('; ', array_unique($problems));
    return false;
}

/* 连接一台服务器并做好设置；能用时返回 null，否则返回原因。 */
function velmora_open_one(mysqli $conn, array $server, bool $strict): ?string
{
    $c = velmora_config();
    try {
        if (count(velmora_db_servers()) > 1) {
            $conn->options(MYSQLI_OPT_CONNECT_TIMEOUT, VELMORA_CONNECT_TIMEOUT);
        }
        $socket = $server['socket'] !== '';
        if (!@$conn->real_connect($socket ? null : $server['host'], (string)$c['user'], (string)$c['password'],
            (string)$c['database'], $socket ? null : $server['port'], $socket ? $server['socket'] : null)) {
            return mysqli_connect_errno() . ' ' . mysqli_connect_error();
        }
        $state = velmora_node_state($conn);
        // 不能用时不关闭连接：对象还要用来连下一台（关闭后的对象不能再连接）。
        if ($state === null || ($state !== 'ok' && ($strict || $state !== 'ready'))) {
            return 'not ready: ' . ($state ?? 'status unknown');
        }
        if (!$conn->set_charset('utf8mb4')) {
            return 'charset: ' . $conn->error;
        }
        $set = [];
        if ((string)$c['sql_mode'] !== '') {
            $set[] = "sql_mode='" . $conn->real_escape_string((string)$c['sql_mode']) . "'";
        }
        if (velmora_is_cluster_node($conn)) {
            $set[] = 'wsrep_sync_wait = 1'; // 读之前等本节点赶上集群中已提交的写入
        }
        if ($set) {
            $conn->query('SET SESSION ' . implode(', ', $set));
        }
        return null;
    } catch (Throwable $e) {
        return $e->getMessage();
    }
}

/*
 * 服务器能否使用：'ok'（单独的服务器，或已同步的集群节点）、'ready'（集群节点可用但正在同步或提供数据）、
 * 其他文字为不能用的原因；查询失败时返回 null。集群节点记在连接上，供 velmora_is_cluster_node 使用。
 */
function velmora_node_state(mysqli $conn): ?string
{
    $res = $conn->query("SHOW GLOBAL STATUS WHERE Variable_name IN ('wsrep_provider_name', 'wsrep_ready',"
        . " 'wsrep_local_state_comment', 'wsrep_cluster_status')");
    if (!($res instanceof mysqli_result)) {
        return null;
    }
    $status = [];
    foreach ($res->fetch_all() as [$name, $value]) {
        $status[strtolower((string)$name)] = (string)$value;
    }
    $res->free();
    $cluster = ($status['wsrep_provider_name'] ?? '') !== '';
    $GLOBALS['VELMORA_CLUSTER_CONN'][spl_object_id($conn)] = $cluster;
    if (!$cluster) {
        return 'ok';
    }
    if (($status['wsrep_ready'] ?? '') !== 'ON' || ($status['wsrep_cluster_status'] ?? '') !== 'Primary') {
        return 'wsrep_ready ' . ($status['wsrep_ready'] ?? '?') . ', ' . ($status['wsrep_cluster_status'] ?? '?');
    }
    return ($status['wsrep_local_state_comment'] ?? '') === 'Synced' ? 'ok' : 'ready';
}

/* 这个连接连的是不是集群节点（最近一次 velmora_open 时的判断）。 */
function velmora_is_cluster_node(mysqli $conn): bool
{
    return !empty($GLOBALS['VELMORA_CLUSTER_CONN'][spl_object_id($conn)]);
}

/*
 * 出错后能否重来：'again'：同一连接上整个事务重来（死锁、集群的认证冲突、等锁超时）；
 * 'reconnect'：连接已不能用（服务器断开、节点退出集群或尚未就绪），换一台服务器后重来；null：不能重来。
 */
function velmora_retry_kind(int $errno): ?string
{
    if (in_array($errno, [1213, 1205], true)) {
        return 'again';
    }
    // 2006/2013：连接断开；1047：节点尚未就绪；1053：服务器正在关闭；1927：连接被终止；
    // 1180：提交时出错（节点离开集群时）；2002/2003：连不上；4031：服务器因空闲断开。
    if (in_array($errno, [2006, 2013, 1047, 1053, 1927, 1180, 2002, 2003, 4031], true)) {
        return 'reconnect';
    }
    return null;
}

/* 重来之前稍等，等待时间随次数增加并带随机成分，免得几个请求再次同时冲突。 */
function velmora_retry_pause(int $attempt): void
{
    usleep(random_int(5000, 25000) * min($attempt, 6));
}

/*
 * 把已断开（或连到了不能用的节点）的连接重新连到一台能用的服务器上；调用者持有的对象不变
 * （在同一个对象上再次连接会先放弃原来的连接）。
 */
function velmora_reconnect(mysqli $conn): bool
{
    if (!velmora_open($conn, $detail)) {
        error_log(velmora_log_text('[velmora] 重新连接数据库失败：' . $detail));
        return false;
    }
    return true;
}
