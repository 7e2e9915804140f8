<?php
/*
 * 登录保护所需的数据库结构。建表脚本建立它们；导入较早版本建表脚本的数据库在第一次登录时补上：
 *  - 表 {前缀}login_throttle：按账号和按来源地址记录连续登录失败的次数与暂停到的时间；
 *  - 管理员表的列 sessionVersion：每次修改密码加一，登录时记在会话中，不一致的会话随即失效。
 * 补建在数据库的命名锁之下进行，同时到来的请求只有一个动手，“已经存在”也算成功；
 * 数据库用户没有建表或修改表的权限时写入日志，登录照常进行（没有退避）。
 */
require_once __DIR__ . '/guard.php';

/* 登录失败退避的表名（已加反引号）。 */
function velmora_throttle_table(): string
{
    return '`' . velmora_table_prefix() . 'login_throttle`';
}

/* 本应用在数据库服务器上的命名锁（服务器上可能还有别的应用和别的数据库），不超过 64 个字符。 */
function velmora_named_lock(string $what): string
{
    return 'velmora_' . md5(velmora_config()['database'] . '/' . velmora_table_prefix() . '/' . $what);
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
    // 同时到来的第一批登录中只有一个动手，其余的等它做完后看到结构已经齐全。
    $lock = velmora_named_lock('schema');
    $got = $db->query_prepared('SELECT GET_LOCK(?, 30) AS got', [$lock]);
    if ($got === null) {
        return null;
    }
    if ((int)$got[0]['got'] !== 1) {
        velmora_log('等待补建登录保护所需的表结构超时');
        $db->error = '登录保护所需的表结构正在建立，请稍后再试。';
        return null;
    }
    $missing = velmora_account_schema_missing($db);
    $throttleOk = $missing !== null && velmora_account_schema_add($db, $missing);
    $db->query_prepared('SELECT RELEASE_LOCK(?) AS released', [$lock]);
    if ($missing === null) {
        return null;
    }
    if (!$throttleOk) {
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
        velmora_log($throttleOk ? '已建立登录退避表 ' . velmora_throttle_table() : '无法建立登录退避表：' . $db->error);
    }
    if (in_array('sessionVersion', $missing, true)) {
        if ($db->execute_prepared('ALTER TABLE ' . velmora_admin_table()
            . ' ADD COLUMN `sessionVersion` int NOT NULL DEFAULT 0 COMMENT \'修改密码时加一，之前的会话随之失效\'') >= 0) {
            velmora_log('管理员表已加上 sessionVersion 列');
        } elseif ($db->errno !== 1060) { // 1060：已经有了
            velmora_log('无法给管理员表加上 sessionVersion 列：' . $db->error);
        }
    }
    return $throttleOk;
}
