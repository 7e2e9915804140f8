#pragma once

// The generated application's own tables of users, roles, row owners, history, trash and sessions, as the
// table script's skeleton part makes them under the prefix {prefix}.
// Without foreign keys, so that a new prefix only renames them; an upgrade of a database that has
// not yet met them creates them first, as it does the throttle.
inline constexpr const char *teamTables[] = {"role", "role_right", "user_role", "row_owner", "change_log", "trash", "session"};
inline constexpr char createTeamTables[] = R"sql(
CREATE TABLE IF NOT EXISTS `{prefix}role` (
  `roleId` int NOT NULL AUTO_INCREMENT,
  `roleName` varchar(50) NOT NULL,
  `isAdmin` tinyint(1) NOT NULL DEFAULT 0 COMMENT '管理员角色：所有权限，可管理用户、角色、操作记录与回收站',
  `seeUnowned` tinyint(1) NOT NULL DEFAULT 0 COMMENT '仅限本人创建的记录时，也包括没有创建者的记录',
  PRIMARY KEY (`roleId`),
  UNIQUE KEY `roleName` (`roleName`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin ;
CREATE TABLE IF NOT EXISTS `{prefix}role_right` (
  `roleId` int NOT NULL,
  `className` varchar(64) NOT NULL,
  `canView` tinyint(1) NOT NULL DEFAULT 0,
  `canAdd` tinyint(1) NOT NULL DEFAULT 0,
  `canEdit` tinyint(1) NOT NULL DEFAULT 0,
  `canDelete` tinyint(1) NOT NULL DEFAULT 0,
  `canExport` tinyint(1) NOT NULL DEFAULT 0,
  `ownOnly` tinyint(1) NOT NULL DEFAULT 0 COMMENT '仅限本人创建的记录',
  PRIMARY KEY (`roleId`, `className`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin ;
CREATE TABLE IF NOT EXISTS `{prefix}user_role` (
  `adminId` int NOT NULL,
  `roleId` int NOT NULL,
  PRIMARY KEY (`adminId`, `roleId`),
  KEY `roleId` (`roleId`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin ;
CREATE TABLE IF NOT EXISTS `{prefix}row_owner` (
  `tableName` varchar(64) NOT NULL,
  `rowKey` text NOT NULL,
  `rowKeyHash` char(40) CHARACTER SET ascii COLLATE ascii_bin NOT NULL COMMENT 'SHA1(rowKey)',
  `adminId` int NOT NULL,
  PRIMARY KEY (`tableName`, `rowKeyHash`),
  KEY `owner` (`adminId`, `tableName`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin ;
CREATE TABLE IF NOT EXISTS `{prefix}change_log` (
  `changeId` bigint NOT NULL AUTO_INCREMENT,
  `changedAt` datetime NOT NULL,
  `adminId` int NOT NULL,
  `adminName` varchar(50) NOT NULL,
  `className` varchar(64) NOT NULL,
  `rowKey` text NOT NULL,
  `action` varchar(10) NOT NULL COMMENT 'add、update、delete、restore、purge',
  `beforeValues` longtext NULL,
  `afterValues` longtext NULL,
  PRIMARY KEY (`changeId`),
  KEY `row` (`className`, `rowKey`(191)),
  KEY `changedAt` (`changedAt`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin ;
CREATE TABLE IF NOT EXISTS `{prefix}trash` (
  `trashId` bigint NOT NULL AUTO_INCREMENT,
  `className` varchar(64) NOT NULL,
  `rowKey` text NOT NULL,
  `rowValues` longtext NOT NULL,
  `ownerId` int NULL,
  `deletedBy` int NOT NULL,
  `deletedByName` varchar(50) NOT NULL,
  `deletedAt` datetime NOT NULL,
  `cascadeValues` longtext NULL COMMENT '随它删除或清空引用的记录',
  PRIMARY KEY (`trashId`),
  KEY `className` (`className`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin ;
CREATE TABLE IF NOT EXISTS `{prefix}session` (
  `id` varchar(128) NOT NULL,
  `data` mediumblob NOT NULL,
  `lastSeen` bigint NOT NULL COMMENT '最后使用的时间（Unix 秒）',
  PRIMARY KEY (`id`),
  KEY `lastSeen` (`lastSeen`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin ;
)sql";
