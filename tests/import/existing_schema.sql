-- Loaded after shop_schema.sql: what a database the application did not make may hold beyond
-- the shop. A user's table named like one of the application's own.
-- More tables follow; existing_rows.sql seeds them.
CREATE TABLE session (
  id INT AUTO_INCREMENT PRIMARY KEY,
  title VARCHAR(60) NOT NULL COMMENT '场次',
  starts_at DATETIME NOT NULL COMMENT '开始时间'
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COMMENT='场次';

-- A club takes its members, their badges and the badges' notes with it (three deep); its events
-- only lose it (SET NULL); a fee keeps it (RESTRICT).
CREATE TABLE club (
  id INT AUTO_INCREMENT PRIMARY KEY,
  name VARCHAR(40) NOT NULL COMMENT '名称'
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COMMENT='俱乐部';
CREATE TABLE club_member (
  id INT AUTO_INCREMENT PRIMARY KEY,
  club_id INT NOT NULL COMMENT '俱乐部',
  name VARCHAR(40) NOT NULL COMMENT '姓名',
  FOREIGN KEY (club_id) REFERENCES club (id) ON DELETE CASCADE
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COMMENT='会员';
CREATE TABLE member_badge (
  id INT AUTO_INCREMENT PRIMARY KEY,
  member_id INT NOT NULL COMMENT '会员',
  badge VARCHAR(40) NOT NULL COMMENT '徽章',
  FOREIGN KEY (member_id) REFERENCES club_member (id) ON DELETE CASCADE
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COMMENT='徽章';
CREATE TABLE badge_note (
  id INT AUTO_INCREMENT PRIMARY KEY,
  badge_id INT NOT NULL COMMENT '徽章',
  note VARCHAR(100) NOT NULL COMMENT '说明',
  FOREIGN KEY (badge_id) REFERENCES member_badge (id) ON DELETE CASCADE
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COMMENT='徽章说明';
CREATE TABLE club_event (
  id INT AUTO_INCREMENT PRIMARY KEY,
  club_id INT NULL COMMENT '俱乐部',
  title VARCHAR(60) NOT NULL COMMENT '活动',
  FOREIGN KEY (club_id) REFERENCES club (id) ON DELETE SET NULL
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COMMENT='活动';
CREATE TABLE club_fee (
  id INT AUTO_INCREMENT PRIMARY KEY,
  club_id INT NOT NULL COMMENT '俱乐部',
  amount DECIMAL(8,2) NOT NULL COMMENT '金额',
  FOREIGN KEY (club_id) REFERENCES club (id) ON DELETE RESTRICT
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COMMENT='会费';

-- Key columns named like the pages' own parameters, and a key of two long texts.
CREATE TABLE club_action (
  `action` VARCHAR(20) NOT NULL PRIMARY KEY COMMENT '动作',
  label VARCHAR(40) NOT NULL COMMENT '说明'
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COMMENT='动作';
CREATE TABLE club_param (
  `view` VARCHAR(10) NOT NULL COMMENT '视图',
  `sort` VARCHAR(10) NOT NULL COMMENT '排序',
  `pageNow` INT NOT NULL COMMENT '页',
  `fill` VARCHAR(20) NULL COMMENT '填充',
  PRIMARY KEY (`view`, `sort`, `pageNow`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COMMENT='参数名';
CREATE TABLE phrase (
  lang VARCHAR(200) NOT NULL COMMENT '语言',
  phrase VARCHAR(200) NOT NULL COMMENT '短语',
  meaning VARCHAR(100) NULL COMMENT '意思',
  PRIMARY KEY (lang, phrase)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COMMENT='短语';
