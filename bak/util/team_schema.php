<?php
/*
 * 多用户所需的表：角色、角色的权限、用户的角色、记录的创建者、操作记录、回收站，
 * 以及管理员表的 disabled 列。建表脚本建立它们；较早的数据库在第一次需要时补上，
 * 做法与登录保护的表相同：可以重复执行，“已经存在”也算成功。
 * 请求守卫的一部分，由 guard.php 加载；直接请求本文件时回答 403。
 */
if (!defined('VELMORA_GUARD_LOADED')) {
    http_response_code(403);
    exit;
}

/* 多用户表的表名（已加反引号）：role、role_right、user_role、row_owner、change_log、trash、session。 */
function velmora_team_table(string $name): string
{
    return '`' . velmora_table_prefix() . $name . '`';
}

/*
 * 守卫与框架页面自己的预处理查询：参数按字符串绑定。返回全部记录（修改语句返回 []），
 * 失败时返回 null，$errno 为服务器的错误号；细节写入日志。
 * 不在事务中的语句（$alone）本身就是一个完整的事务：死锁、集群的认证冲突或连接中断时重来
 * （连接中断时先换一台服务器，见 cluster.php）。
 */
function velmora_rows(mysqli $conn, string $sql, array $params = [], ?int &$errno = null, bool $alone = true): ?array
{
    for ($attempt = 1; ; $attempt++) {
        $errno = 0;
        try {
            $stmt = $conn->prepare($sql);
            if ($stmt === false) {
                throw new RuntimeException($conn->error, $conn->errno);
            }
            $values = array_map(function ($v) {
                return $v === null ? null : (string)$v;
            }, array_values($params));
            if (($values && !$stmt->bind_param(str_repeat('s', count($values)), ...$values)) || !$stmt->execute()) {
                throw new RuntimeException($stmt->error, $stmt->errno);
            }
            $result = $stmt->get_result();
            $rows = $result instanceof mysqli_result ? $result->fetch_all(MYSQLI_ASSOC) : [];
            $stmt->close();
            return $rows;
        } catch (Throwable $e) {
            $errno = (int)$e->getCode();
            $kind = $alone ? velmora_retry_kind($errno) : null;
            if ($kind !== null && $attempt < VELMORA_TX_ATTEMPTS && ($kind === 'again' || velmora_reconnect($conn))) {
                velmora_retry_pause($attempt);
                continue;
            }
            error_log(velmora_log_text('[velmora] ' . $e->getMessage() . ' SQL: ' . preg_replace('/\s+/', ' ', $sql)));
            return null;
        }
    }
}

/* 多用户表的定义（不含表名）。不用外键：更换表名前缀时这些表只需改名。 */
function velmora_team_tables(): array
{
    $tail = ') ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin';
    return [
        'role' => ' (`roleId` int NOT NULL AUTO_INCREMENT, `roleName` varchar(50) NOT NULL,'
            . ' `isAdmin` tinyint(1) NOT NULL DEFAULT 0 COMMENT \'管理员角色：所有权限，可管理用户、角色、操作记录与回收站\','
            . ' `seeUnowned` tinyint(1) NOT NULL DEFAULT 0 COMMENT \'仅限本人创建的记录时，也包括没有创建者的记录\','
            . ' PRIMARY KEY (`roleId`), UNIQUE KEY `roleName` (`roleName`)' . $tail,
        'role_right' => ' (`roleId` int NOT NULL, `className` varchar(64) NOT NULL,'
            . ' `canView` tinyint(1) NOT NULL DEFAULT 0, `canAdd` tinyint(1) NOT NULL DEFAULT 0,'
            . ' `canEdit` tinyint(1) NOT NULL DEFAULT 0, `canDelete` tinyint(1) NOT NULL DEFAULT 0,'
            . ' `canExport` tinyint(1) NOT NULL DEFAULT 0,'
            . ' `ownOnly` tinyint(1) NOT NULL DEFAULT 0 COMMENT \'仅限本人创建的记录\','
            . ' PRIMARY KEY (`roleId`, `className`)' . $tail,
        'user_role' => ' (`adminId` int NOT NULL, `roleId` int NOT NULL, PRIMARY KEY (`adminId`, `roleId`),'
            . ' KEY `roleId` (`roleId`)' . $tail,
        'row_owner' => ' (`tableName` varchar(64) NOT NULL, `rowKey` text NOT NULL,'
            . ' `rowKeyHash` char(40) CHARACTER SET ascii COLLATE ascii_bin NOT NULL COMMENT \'SHA1(rowKey)\','
            . ' `adminId` int NOT NULL, PRIMARY KEY (`tableName`, `rowKeyHash`), KEY `owner` (`adminId`, `tableName`)' . $tail,
        'change_log' => ' (`changeId` bigint NOT NULL AUTO_INCREMENT, `changedAt` datetime NOT NULL,'
            . ' `adminId` int NOT NULL, `adminName` varchar(50) NOT NULL, `className` varchar(64) NOT NULL,'
            . ' `rowKey` text NOT NULL, `action` varchar(10) NOT NULL COMMENT \'add、update、delete、restore、purge\','
            . ' `beforeValues` longtext NULL, `afterValues` longtext NULL,'
            . ' PRIMARY KEY (`changeId`), KEY `row` (`className`, `rowKey`(191)), KEY `changedAt` (`changedAt`)' . $tail,
        'trash' => ' (`trashId` bigint NOT NULL AUTO_INCREMENT, `className` varchar(64) NOT NULL,'
            . ' `rowKey` text NOT NULL, `rowValues` longtext NOT NULL, `ownerId` int NULL,'
            . ' `deletedBy` int NOT NULL, `deletedByName` varchar(50) NOT NULL, `deletedAt` datetime NOT NULL,'
            . ' `cascadeValues` longtext NULL COMMENT \'随它删除或清空引用的记录\','
            . ' PRIMARY KEY (`trashId`), KEY `className` (`className`)' . $tail,
        'session' => ' (`id` varchar(128) NOT NULL, `data` mediumblob NOT NULL, `lastSeen` bigint NOT NULL COMMENT \'最后使用的时间（Unix 秒）\','
            . ' PRIMARY KEY (`id`), KEY `lastSeen` (`lastSeen`)' . $tail,
    ];
}

/*
 * 补上缺少的表与列；已经齐全时什么也不做（每个会话只检查一次）。返回是否可用，失败的原因已写入日志。
 */
function velmora_team_schema(mysqli $conn): bool
{
    if (!empty($_SESSION['velmora_team_schema'])) {
        return true;
    }
    $tables = velmora_team_tables();
    $p = velmora_table_prefix();
    $count = function () use ($conn, $tables, $p): ?int {
        $names = array_map(function (string $t) use ($p) {
            return $p . $t;
        }, array_keys($tables));
        $rows = velmora_rows($conn, 'SELECT COUNT(*) AS n FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE()'
            . ' AND ((TABLE_NAME IN (' . implode(',', array_fill(0, count($names), '?')) . ') AND ORDINAL_POSITION = 1)'
            . ' OR (TABLE_NAME = ? AND COLUMN_NAME = \'disabled\')'
            . ' OR (TABLE_NAME IN (?, ?, ?) AND COLUMN_NAME = \'rowKey\' AND DATA_TYPE = \'text\')'
            . ' OR (TABLE_NAME = ? AND COLUMN_NAME = \'rowKeyHash\') OR (TABLE_NAME = ? AND COLUMN_NAME = \'cascadeValues\')'
            . ' OR (TABLE_NAME = ? AND COLUMN_NAME = \'seeUnowned\'))',
            array_merge($names, [$p . 'admin', $p . 'row_owner', $p . 'change_log', $p . 'trash', $p . 'row_owner', $p . 'trash', $p . 'role']));
        return $rows === null ? null : (int)$rows[0]['n'];
    };
    $complete = count($tables) + 7;
    $n = $count();
    if ($n === $complete) {
        return $_SESSION['velmora_team_schema'] = true;
    }
    if ($n === null) {
        return false;
    }
    // 同时到来的几个请求（也许在集群的不同节点上）可能一起补建：建表用 IF NOT EXISTS，加列时
    // “已经有了”也算成功，重复执行没有害处，所以不靠锁（命名锁只在一台服务器上有效）。
    // 数据库报告表已经存在（1050 提示）时不是本请求建立的。
    $created = false;
    foreach ($tables as $name => $definition) {
        if (velmora_rows($conn, 'CREATE TABLE IF NOT EXISTS `' . $p . $name . '`' . $definition) !== null) {
            $created = $created || $conn->warning_count === 0;
            continue;
        }
        velmora_log('无法建立表 ' . $p . $name . '，请导入建表脚本或给数据库用户建表的权限');
    }
    $column = ' `disabled` tinyint(1) NOT NULL DEFAULT 0 COMMENT \'停用的账号不能登录\'';
    $altered = velmora_rows($conn, 'ALTER TABLE ' . velmora_admin_table() . ' ADD COLUMN IF NOT EXISTS' . $column, [], $errno);
    if ($altered === null && $errno === 1064) { // MySQL 没有 IF NOT EXISTS
        $altered = velmora_rows($conn, 'ALTER TABLE ' . velmora_admin_table() . ' ADD COLUMN' . $column, [], $errno);
    }
    if ($altered === null && $errno !== 1060) { // 1060：已经有了
        velmora_log('无法给管理员表加上 disabled 列');
    }
    $created = $created || ($altered !== null && $conn->warning_count === 0);
    velmora_team_columns($conn, $p);
    if ($count() !== $complete) {
        return false;
    }
    if ($created) {
        velmora_log('已建立多用户所需的表');
    }
    return $_SESSION['velmora_team_schema'] = true;
}

/*
 * 较早的表中主键文字最长 255 个字符：改为不限长度，创建者表改按主键文字的 SHA-1 区分记录；
 * 角色加上 seeUnowned，回收站加上 cascadeValues。
 * 每一步都可以重做（已经改过的表跳过），中途失败的下次接着做。
 */
function velmora_team_columns(mysqli $conn, string $p): void
{
    $types = velmora_rows($conn, 'SELECT TABLE_NAME AS t, COLUMN_NAME AS c, DATA_TYPE AS d FROM information_schema.COLUMNS'
        . ' WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME IN (?, ?, ?, ?) AND COLUMN_NAME IN (\'rowKey\', \'rowKeyHash\', \'cascadeValues\', \'seeUnowned\')',
        [$p . 'row_owner', $p . 'change_log', $p . 'trash', $p . 'role']);
    if ($types === null) {
        return;
    }
    $has = [];
    foreach ($types as $row) {
        $has[$row['t'] . '.' . $row['c']] = $row['d'];
    }
    $steps = [];
    if (($has[$p . 'row_owner.rowKey'] ?? 'text') !== 'text') {
        // 最后一步才改 rowKey 的类型，所以中途失败的表下次仍会从这里开始。
        if (!isset($has[$p . 'row_owner.rowKeyHash'])) {
            $steps[] = 'ALTER TABLE `' . $p . 'row_owner` ADD COLUMN `rowKeyHash` char(40) CHARACTER SET ascii COLLATE ascii_bin NOT NULL DEFAULT \'\' COMMENT \'SHA1(rowKey)\' AFTER `rowKey`';
        }
        $steps[] = 'UPDATE `' . $p . 'row_owner` SET `rowKeyHash` = SHA1(`rowKey`)';
        $steps[] = 'ALTER TABLE `' . $p . 'row_owner` DROP PRIMARY KEY, ADD PRIMARY KEY (`tableName`, `rowKeyHash`),'
            . ' ALTER COLUMN `rowKeyHash` DROP DEFAULT, MODIFY `rowKey` text NOT NULL';
    }
    if (($has[$p . 'change_log.rowKey'] ?? 'text') !== 'text') {
        $steps[] = 'ALTER TABLE `' . $p . 'change_log` DROP KEY `row`, MODIFY `rowKey` text NOT NULL, ADD KEY `row` (`className`, `rowKey`(191))';
    }
    if (($has[$p . 'trash.rowKey'] ?? 'text') !== 'text') {
        $steps[] = 'ALTER TABLE `' . $p . 'trash` MODIFY `rowKey` text NOT NULL';
    }
    if (!isset($has[$p . 'role.seeUnowned'])) {
        $steps[] = 'ALTER TABLE `' . $p . 'role` ADD COLUMN `seeUnowned` tinyint(1) NOT NULL DEFAULT 0'
            . ' COMMENT \'仅限本人创建的记录时，也包括没有创建者的记录\' AFTER `isAdmin`';
    }
    if (!isset($has[$p . 'trash.cascadeValues'])) {
        $steps[] = 'ALTER TABLE `' . $p . 'trash` ADD COLUMN `cascadeValues` longtext NULL COMMENT \'随它删除或清空引用的记录\'';
    }
    foreach ($steps as $sql) {
        // 同时补建的另一个请求（也许在另一个节点上）可能刚做完这一步：列或键已经有了、已经去掉了都算做完。
        if (velmora_rows($conn, $sql, [], $errno) === null && !in_array($errno, [1060, 1061, 1068, 1091], true)) {
            velmora_log('无法把操作记录、回收站与创建者表的主键文字改为不限长度，请给数据库用户修改表的权限');
            return;
        }
    }
}
