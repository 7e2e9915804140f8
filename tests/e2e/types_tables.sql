-- The tables of the store project (tests/fixtures/store) as its model describes them: every
-- later member type, nullable columns, unique and plain indexes and foreign-key rules.
-- Written out here so that the page test stands on its own; run_e2e.sh loads it after the
-- generated script's own tables (administrators, login throttle).
DROP TABLE IF EXISTS t_Product, t_Category;
CREATE TABLE t_Category (
  id int(11) NOT NULL AUTO_INCREMENT,
  name varchar(30) COLLATE utf8mb4_unicode_ci NOT NULL,
  parent int(11) NULL,
  PRIMARY KEY (id),
  CONSTRAINT fk_category_parent FOREIGN KEY (parent) REFERENCES t_Category (id) ON DELETE SET NULL ON UPDATE CASCADE
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;
CREATE TABLE t_Product (
  id bigint(20) unsigned NOT NULL AUTO_INCREMENT,
  sku varchar(20) COLLATE utf8mb4_bin NOT NULL,
  stock bigint(20) unsigned NULL,
  qty int(10) unsigned NOT NULL,
  price decimal(10,2) NOT NULL,
  rate decimal(5,3) NULL,
  addedAt datetime NOT NULL,
  opensAt time NULL,
  notes text NULL,
  summary text(5000) NOT NULL,
  active tinyint(1) NOT NULL,
  status enum('new','sold','it''s gone') NOT NULL,
  category int(11) NULL,
  maker varchar(40) NULL,
  PRIMARY KEY (id),
  UNIQUE KEY uq_sku (sku),
  KEY ix_status_added (status, addedAt),
  UNIQUE KEY uq_maker_price (maker, price),
  CONSTRAINT fk_product_category FOREIGN KEY (category) REFERENCES t_Category (id) ON DELETE SET NULL
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;
