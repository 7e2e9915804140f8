-- The same in utf8 with utf8_bin, as the projects made before utf8mb4 keep their tables.
CREATE TABLE rt_team (
  id INT NOT NULL AUTO_INCREMENT,
  title VARCHAR(40) COLLATE utf8_bin NOT NULL,
  PRIMARY KEY (id),
  UNIQUE KEY u_title (title)
) ENGINE=InnoDB DEFAULT CHARSET=utf8 COLLATE=utf8_bin;

CREATE TABLE rt_player (
  id INT NOT NULL AUTO_INCREMENT,
  nick VARCHAR(30) COLLATE utf8_bin NULL,
  born DATE NULL,
  score DECIMAL(5,1) NOT NULL,
  kind ENUM('a','b') COLLATE utf8_bin NOT NULL,
  bio TEXT COLLATE utf8_bin NULL,
  team_id INT NULL,
  PRIMARY KEY (id),
  KEY k_born (born),
  FOREIGN KEY (team_id) REFERENCES rt_team (id) ON DELETE SET NULL ON UPDATE CASCADE
) ENGINE=InnoDB DEFAULT CHARSET=utf8 COLLATE=utf8_bin;
