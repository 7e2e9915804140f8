-- Written by hand, every column kind as real schemas have it: each integer size with widths,
-- unsigned and zerofill, fixed and floating point with and without digits, bits, fixed and
-- varying text and binary, the text and blob sizes, a column of another character set and
-- collation, dates and times with fractional seconds, year, enum, set, json, uuid; literal,
-- NULL, current-time and expression defaults, ON UPDATE, an integer key not numbered by the
-- server, prefix indexes, and tables keyed by binary and by an enum with an integer.
CREATE TABLE rt_kinds (
  id INT UNSIGNED NOT NULL COMMENT '编号',
  tiny TINYINT NOT NULL DEFAULT 0,
  tiny_zero TINYINT(3) UNSIGNED ZEROFILL NULL,
  small SMALLINT NOT NULL DEFAULT -1,
  medium MEDIUMINT UNSIGNED NULL,
  big BIGINT(15) NOT NULL DEFAULT 0,
  flag TINYINT(1) NOT NULL DEFAULT 1,
  price DECIMAL(12,4) NOT NULL DEFAULT 0.0000,
  ratio FLOAT NULL,
  ratio2 FLOAT(7,3) NULL,
  dbl DOUBLE NOT NULL DEFAULT 1.5,
  dbl2 DOUBLE(10,2) UNSIGNED NULL,
  bits BIT(5) NOT NULL DEFAULT b'101',
  code CHAR(4) NOT NULL DEFAULT 'A''b',
  name VARCHAR(40) NOT NULL DEFAULT '',
  latin VARCHAR(30) CHARACTER SET latin1 COLLATE latin1_swedish_ci NULL,
  plain_ci VARCHAR(30) COLLATE utf8mb4_general_ci NOT NULL DEFAULT 'x\\y',
  tt TINYTEXT NULL,
  tx TEXT NOT NULL,
  mt MEDIUMTEXT NULL,
  lt LONGTEXT NULL,
  tb TINYBLOB NULL,
  bl BLOB NULL,
  mb MEDIUMBLOB NULL,
  lb LONGBLOB NOT NULL,
  hash BINARY(16) NULL,
  raw VARBINARY(64) NOT NULL DEFAULT '',
  born DATE NULL DEFAULT '2000-01-01',
  seen DATETIME(3) NULL DEFAULT NULL,
  made DATETIME NOT NULL DEFAULT CURRENT_TIMESTAMP,
  changed TIMESTAMP(6) NOT NULL DEFAULT CURRENT_TIMESTAMP(6) ON UPDATE CURRENT_TIMESTAMP(6),
  touched TIMESTAMP NULL DEFAULT NULL ON UPDATE CURRENT_TIMESTAMP,
  opens TIME(2) NULL,
  yr YEAR NOT NULL DEFAULT 2024,
  state ENUM('new','old','it''s') NOT NULL DEFAULT 'new',
  tags SET('a','b','c') NULL DEFAULT 'a,b',
  doc JSON NULL,
  uid UUID NULL,
  token VARCHAR(36) NOT NULL DEFAULT (uuid()),
  PRIMARY KEY (id),
  UNIQUE KEY u_code (code),
  KEY k_name_born (name(10), born),
  KEY k_tx (tx(20)),
  KEY k_state_yr (state, yr)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE rt_blobkey (
  k BINARY(16) NOT NULL,
  kind_id INT UNSIGNED NULL,
  note VARCHAR(20) COLLATE utf8mb4_unicode_ci NULL,
  PRIMARY KEY (k),
  FOREIGN KEY (kind_id) REFERENCES rt_kinds (id) ON DELETE SET NULL ON UPDATE NO ACTION
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE rt_enumkey (
  side ENUM('left','right') NOT NULL,
  seq SMALLINT UNSIGNED NOT NULL,
  label VARCHAR(20) COLLATE utf8mb4_unicode_ci NOT NULL DEFAULT 'none',
  PRIMARY KEY (side, seq)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;
