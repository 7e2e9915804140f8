<?php
/*
 * 登录保护所需的数据库结构。建表脚本建立它们；导入较早版本建表脚本的数据库在第一次登录时补上：
 *  - 表 {前缀}login_throttle：按账号和按来源地址记录连续登录失败的次数与暂停到的时间；
 *  - 管理员表的列 sessionVersion：每次修改密码加一，登录时记在会话中，不一致的会话随即失效。
 * 补建的每一步都可以重复执行，同时到来的请求一起动手也无妨，“已经存在”也算成功；
 * 数据库用户没有建表或修改表的权限时写入日志，登录照常进行（没有退避）。
 */
require_once __DIR__ . '/guard.php';

/* 登录失败退避的表名（已加反引号）。 */
function velmora_throttle_table(): string
{
    return '`' . velmora_table_prefix() . 'login_throttle`';
}

/* 还缺少的结构：'throttle'（退避表）、'sessionVersion'（管理员表的列）；查询失败时返回 null。 */
function velmora_account_schema_missing(SqlHelper $db): ?array
{
    $throttle = velmora_table_prefix() . 'login_throttle';
    $admin = velmora_table_prefix() . 'admin';
    $rows = $db->query_prepared('SELECT TABLE_NAME FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE()'
        . ' AND ((TABLE_NAME = ? AND COLUMN_NAME = \'subject\') OR (TABLE_NAME = ? AND COLUMN_NAME = \'sessionVersion\'))',
        [$throttle, $admin]);
    if ($rows === null) {
        return null;
    }
    $present = array_column($rows, 'TABLE_NAME');
    return array_keys(array_filter(['throttle' => $throttle, 'sessionVersion' => $admin], function (string $table) use ($present) {
        return !in_array($table, $present, true);
    }));
}

/*
 * 建立退避表并给管理员表补上 sessionVersion 列；已经有了时什么也不做。
 * 返回 true：退避表可用；false：无法建立（原因已写入日志，登录照常进行）；null：数据库操作失败。
 */
function velmora_account_schema(SqlHelper $db): ?bool
{
    static $ready = false;
    if ($ready) {
        return true;
    }
    $missing = velmora_account_schema_missing($db);
    if ($missing === []) {
        return $ready = true;
    }
    if ($missing === null) {
        return null;
    }
    // 同时到来的第一批登录（也许在集群的不同节点上）可能一起补建；每一步都可以重复执行，
    // “已经存在”也算成功，所以不靠锁（命名锁只在一台服务器上有效）。
    $throttleOk = velmora_account_schema_add($db, $missing);
    $missing = velmora_account_schema_missing($db);
    if ($missing === null) {
        return null;
    }
    if (!$throttleOk || in_array('throttle', $missing, true)) {
        velmora_log('登录保护所需的表结构无法建立，请导入建表脚本或给数据库用户建表和修改表的权限');
        $db->error = '';
        return false;
    }
    return $ready = true;
}

/* 补上缺少的结构（“已经存在”也算成功）；返回退避表是否可用。 */
function velmora_account_schema_add(SqlHelper $db, array $missing): bool
{
    $throttleOk = true;
    if (in_array('throttle', $missing, true)) {
        $throttleOk = $db->execute_prepared('CREATE TABLE IF NOT EXISTS ' . velmora_throttle_table() . ' ('
            . ' `subject` varchar(200) COLLATE utf8mb4_bin NOT NULL COMMENT \'user:用户名 或 addr:地址\','
            . ' `failures` int NOT NULL DEFAULT 0 COMMENT \'连续失败次数\','
            . ' `lastFailure` bigint NOT NULL DEFAULT 0 COMMENT \'最后一次失败的时间（Unix 秒）\','
            . ' `lockedUntil` bigint NOT NULL DEFAULT 0 COMMENT \'暂停登录到（Unix 秒）\','
            . ' PRIMARY KEY (`subject`)'
            . ') ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin') >= 0;
        // 已经存在时数据库给出提示（1050），那不是本请求建立的。
        if (!$throttleOk) {
            velmora_log('无法建立登录退避表：' . $db->error);
        } elseif ($db->conn->warning_count === 0) {
            velmora_log('已建立登录退避表 ' . velmora_throttle_table());
        }
    }
    if (in_array('sessionVersion', $missing, true)) {
        $column = ' `sessionVersion` int NOT NULL DEFAULT 0 COMMENT \'修改密码时加一，之前的会话随之失效\'';
        $n = $db->execute_prepared('ALTER TABLE ' . velmora_admin_table() . ' ADD COLUMN IF NOT EXISTS' . $column);
        if ($n < 0 && $db->errno === 1064) { // MySQL 没有 IF NOT EXISTS
            $n = $db->execute_prepared('ALTER TABLE ' . velmora_admin_table() . ' ADD COLUMN' . $column);
        }
        if ($n >= 0 && $db->conn->warning_count === 0) {
            velmora_log('管理员表已加上 sessionVersion 列');
        } elseif ($n < 0 && $db->errno !== 1060) { // 1060：已经有了
            velmora_log('无法给管理员表加上 sessionVersion 列：' . $db->error);
        }
    }
    return $throttleOk;
}
