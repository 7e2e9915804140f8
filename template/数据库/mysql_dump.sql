-- VelmoraPHP 数据库建表脚本
--
-- 导入方法：先新建一个数据库（建议字符集 utf8mb4），再在其中执行本脚本，例如
--   mysql -u root -p 数据库名 < 本脚本.sql
-- 默认管理员账号：admin，初始密码：admin，首次登录时必须修改密码。
-- ------------------------------------------------------

/*!40101 SET @OLD_CHARACTER_SET_CLIENT=@@CHARACTER_SET_CLIENT */;
/*!40101 SET @OLD_CHARACTER_SET_RESULTS=@@CHARACTER_SET_RESULTS */;
/*!40101 SET @OLD_COLLATION_CONNECTION=@@COLLATION_CONNECTION */;
SET NAMES utf8mb4;
SET FOREIGN_KEY_CHECKS=0;
/*!40101 SET @OLD_SQL_MODE=@@SQL_MODE, SQL_MODE='NO_AUTO_VALUE_ON_ZERO' */;
/*!40103 SET @OLD_TIME_ZONE=@@TIME_ZONE */;
/*!40103 SET TIME_ZONE='+00:00' */;

-- ------------------------------------------------------
-- 管理员表
-- ------------------------------------------------------

CREATE TABLE IF NOT EXISTS `$dbprefixadmin` (
  `adminId` int(11) NOT NULL AUTO_INCREMENT COMMENT '编号',
  `adminName` varchar(50) COLLATE utf8mb4_bin NOT NULL COMMENT '用户名',
  `adminPassword` varchar(255) COLLATE utf8mb4_bin NOT NULL COMMENT '密码（password_hash 的结果）',
  `mustChangePassword` tinyint(1) NOT NULL DEFAULT 1 COMMENT '下次登录时必须修改密码',
  `lastLoginTime` datetime NULL DEFAULT NULL COMMENT '最后登录时间',
  `sessionVersion` int NOT NULL DEFAULT 0 COMMENT '修改密码时加一，之前的会话随之失效',
  `disabled` tinyint(1) NOT NULL DEFAULT 0 COMMENT '停用的账号不能登录',
  PRIMARY KEY (`adminId`),
  UNIQUE KEY `adminName` (`adminName`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin AUTO_INCREMENT=1 ;

INSERT IGNORE INTO `$dbprefixadmin` (`adminName`, `adminPassword`, `mustChangePassword`) VALUES
('admin', '$2y$10$D5zN3ysndzgVN4Et.f9hUe6KftyZmD7T.qRaQm1ANPtSWoBfmO4Wu', 1);

-- ------------------------------------------------------
-- 登录失败的退避：按账号（user:用户名）和按来源地址（addr:地址）记录连续失败
-- ------------------------------------------------------

CREATE TABLE IF NOT EXISTS `$dbprefixlogin_throttle` (
  `subject` varchar(200) COLLATE utf8mb4_bin NOT NULL COMMENT 'user:用户名 或 addr:地址',
  `failures` int NOT NULL DEFAULT 0 COMMENT '连续失败次数',
  `lastFailure` bigint NOT NULL DEFAULT 0 COMMENT '最后一次失败的时间（Unix 秒）',
  `lockedUntil` bigint NOT NULL DEFAULT 0 COMMENT '暂停登录到（Unix 秒）',
  PRIMARY KEY (`subject`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin ;

-- ------------------------------------------------------
-- 多用户：角色与每个类的权限、用户的角色、记录的创建者、操作记录、回收站、会话
-- ------------------------------------------------------

CREATE TABLE IF NOT EXISTS `$dbprefixrole` (
  `roleId` int NOT NULL AUTO_INCREMENT,
  `roleName` varchar(50) NOT NULL,
  `isAdmin` tinyint(1) NOT NULL DEFAULT 0 COMMENT '管理员角色：所有权限，可管理用户、角色、操作记录与回收站',
  `seeUnowned` tinyint(1) NOT NULL DEFAULT 0 COMMENT '仅限本人创建的记录时，也包括没有创建者的记录',
  PRIMARY KEY (`roleId`),
  UNIQUE KEY `roleName` (`roleName`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin ;

CREATE TABLE IF NOT EXISTS `$dbprefixrole_right` (
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

CREATE TABLE IF NOT EXISTS `$dbprefixuser_role` (
  `adminId` int NOT NULL,
  `roleId` int NOT NULL,
  PRIMARY KEY (`adminId`, `roleId`),
  KEY `roleId` (`roleId`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin ;

CREATE TABLE IF NOT EXISTS `$dbprefixrow_owner` (
  `tableName` varchar(64) NOT NULL,
  `rowKey` text NOT NULL,
  `rowKeyHash` char(40) CHARACTER SET ascii COLLATE ascii_bin NOT NULL COMMENT 'SHA1(rowKey)',
  `adminId` int NOT NULL,
  PRIMARY KEY (`tableName`, `rowKeyHash`),
  KEY `owner` (`adminId`, `tableName`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin ;

CREATE TABLE IF NOT EXISTS `$dbprefixchange_log` (
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

CREATE TABLE IF NOT EXISTS `$dbprefixtrash` (
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

-- 会话：几台 Web 服务器共用

CREATE TABLE IF NOT EXISTS `$dbprefixsession` (
  `id` varchar(128) NOT NULL,
  `data` mediumblob NOT NULL,
  `lastSeen` bigint NOT NULL COMMENT '最后使用的时间（Unix 秒）',
  PRIMARY KEY (`id`),
  KEY `lastSeen` (`lastSeen`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin ;

-- ------------------------------------------------------
-- 数据表
-- ------------------------------------------------------

$sqlString

/*!40103 SET TIME_ZONE=@OLD_TIME_ZONE */;
/*!40101 SET SQL_MODE=@OLD_SQL_MODE */;
SET FOREIGN_KEY_CHECKS=1;
/*!40101 SET CHARACTER_SET_CLIENT=@OLD_CHARACTER_SET_CLIENT */;
/*!40101 SET CHARACTER_SET_RESULTS=@OLD_CHARACTER_SET_RESULTS */;
/*!40101 SET COLLATION_CONNECTION=@OLD_COLLATION_CONNECTION */;
