#!/usr/bin/env bash
# A project living on a database it did not make, on a private MariaDB server (see
# private_mariadb.sh): the shop schema and existing_schema.sql with the rows of existing_rows.sql
# are imported --in-place over TCP with a password file; the table script, which makes only the
# application's own tables, is loaded; the project is generated with the password read from the
# file into database/config.php; served by php -S, every row of every table is listed, and a row
# is added, edited and deleted in each writable class (existing_rows.php), and a delete that
# cascades is confirmed, refused or restored whole (cascade_rows.php). information_schema
# for the user's tables is the same before and after all that. An upgrade script leaves the
# user's tables alone unless --destructive is given.
#
# Environment: VELMORA_BUILD_DIR (program folder with velmora-cli, bak/, template/), required.
set -euo pipefail

test_name=existing_db
source "$(dirname "${BASH_SOURCE[0]}")/import_setup.sh"

echo "== a shop database with its rows"
private_mariadb_start
sql=(mariadb --socket="$scratch/mysql.sock" -uroot --default-character-set=utf8mb4)
password="shop'\\-$RANDOM$RANDOM"
printf '%s\n' "$password" > "$scratch/password"
literal="${password//\\/\\\\}"
"${sql[@]}" -e "CREATE DATABASE shop CHARACTER SET utf8mb4;
  CREATE USER 'shopweb'@'127.0.0.1' IDENTIFIED BY '${literal//\'/\'\'}';
  GRANT ALL PRIVILEGES ON shop.* TO 'shopweb'@'127.0.0.1';"
cat "$here/shop_schema.sql" "$here/existing_schema.sql" "$here/existing_rows.sql" | "${sql[@]}" shop

# What information_schema says of the user's tables (all but the application's), rows aside.
describe() {
  "${sql[@]}" -N -B information_schema -e "
    SELECT table_name, table_type, engine, table_collation, create_options, table_comment FROM tables
      WHERE table_schema = 'shop' AND table_name NOT LIKE 'velmora\\_%' ORDER BY table_name;
    SELECT table_name, column_name, ordinal_position, column_default, is_nullable, column_type,
           collation_name, column_key, extra, column_comment FROM columns
      WHERE table_schema = 'shop' AND table_name NOT LIKE 'velmora\\_%' ORDER BY table_name, ordinal_position;
    SELECT table_name, index_name, non_unique, seq_in_index, column_name, sub_part, index_type FROM statistics
      WHERE table_schema = 'shop' AND table_name NOT LIKE 'velmora\\_%' ORDER BY table_name, index_name, seq_in_index;
    SELECT constraint_name, table_name, column_name, ordinal_position, referenced_table_name, referenced_column_name
      FROM key_column_usage WHERE table_schema = 'shop' AND table_name NOT LIKE 'velmora\\_%'
      ORDER BY table_name, constraint_name, ordinal_position;
    SELECT constraint_name, table_name, referenced_table_name, update_rule, delete_rule FROM referential_constraints
      WHERE constraint_schema = 'shop' AND table_name NOT LIKE 'velmora\\_%' ORDER BY table_name, constraint_name;"
}
describe > "$scratch/before"
[ "$(wc -l < "$scratch/before")" -gt 40 ] || fail "information_schema told too little of the shop"

echo "== imported in place"
vc import-db --host 127.0.0.1 --port "$db_port" --user shopweb --password-file "$scratch/password" \
  --database shop --in-place > "$scratch/out" 2> "$scratch/err" || { cat "$scratch/err"; fail "import failed"; }
grep -q "session" "$scratch/out" "$scratch/err" && grep -q "是生成的程序自带" "$scratch/err" \
  && fail "the user's table session was taken for the application's own"
grep -qx "项目建立在数据库 shop 上: 程序自己的表使用前缀 velmora_，已有的表不会被建立或修改" "$scratch/out" \
  || { cat "$scratch/out"; fail "the import did not say where the application's tables go"; }
vc export shop -o "$scratch/shop.json"
php -r '$m = json_decode(file_get_contents($argv[1]), true); $e = $m["existingDatabase"] ?? [];
  exit(($e["appPrefix"] ?? "") === "velmora_" && $e["database"] === "shop" && $e["user"] === "shopweb"
    && $e["port"] === (int)$argv[2] && !isset($e["password"]) ? 0 : 1);' "$scratch/shop.json" "$db_port" \
  || { cat "$scratch/shop.json"; fail "the model file does not hold the connection"; }
grep -qF -- "$password" "$home/projects.mdb" "$scratch/shop.json" && fail "the password was stored"

echo "== the table script: the application's own tables only"
vc sql shop > "$scratch/shop.sql" || fail "sql shop failed"
created="$(grep -oE '^(CREATE TABLE|ALTER TABLE|DROP TABLE|INSERT IGNORE INTO|RENAME TABLE)[^(]*' "$scratch/shop.sql" | sort -u)"
if grep -v 'velmora_' <<< "$created"; then fail "the table script touches the user's tables"; fi
"${sql[@]}" shop < "$scratch/shop.sql" || fail "the table script does not load"
# The application's tables as an older script made them (row keys of 255 characters, no owner
# hash, no cascade in the trash, no role flag): the first login brings them up to date.
"${sql[@]}" shop -e "ALTER TABLE velmora_row_owner DROP PRIMARY KEY, DROP COLUMN rowKeyHash,
    MODIFY rowKey varchar(255) NOT NULL, ADD PRIMARY KEY (tableName, rowKey);
  ALTER TABLE velmora_change_log DROP KEY \`row\`, MODIFY rowKey varchar(255) NOT NULL, ADD KEY \`row\` (className, rowKey);
  ALTER TABLE velmora_trash DROP COLUMN cascadeValues, MODIFY rowKey varchar(255) NOT NULL;
  ALTER TABLE velmora_role DROP COLUMN seeUnowned;" || fail "the application's tables could not be made old"

echo "== generated with the password from its file"
vc generate shop --password-file "$scratch/password" > "$scratch/generate.log" || { cat "$scratch/generate.log"; fail "generate failed"; }
project="$home/projects/shop"
php -r '$c = require $argv[1]; exit($c["host"] === "127.0.0.1" && $c["port"] === (int)$argv[2] && $c["user"] === "shopweb"
    && $c["password"] === $argv[3] && $c["database"] === "shop" && $c["table_prefix"] === "velmora_" ? 0 : 1);' \
  "$project/database/config.php" "$db_port" "$password" || { cat "$project/database/config.php"; fail "config.php is not the import's connection"; }
grep -rqF -- "$password" "$project/.velmora" && fail "the generation record holds the password"
# An edited config.php stays as the user left it when the project is generated again.
sed -i "s/'login_lock'      => 2/'login_lock'      => 5/" "$project/database/config.php"
cp "$project/database/config.php" "$scratch/config-edited.php"
vc generate shop > "$scratch/generate2.log" || { cat "$scratch/generate2.log"; fail "generate again failed"; }
cmp -s "$project/database/config.php" "$scratch/config-edited.php" || fail "generating again changed the edited config.php"
grep -q "保留不变" "$scratch/generate2.log" || fail "generating again did not say config.php was kept"

echo "== the application over the database, first login and use"
web_port="$(free_port)"
php -d output_buffering=4096 -d display_errors=0 -d log_errors=1 -d error_log="$scratch/php-error.log" \
  -S "127.0.0.1:$web_port" -t "$project" "$project/util/router.php" > "$scratch/php-server.log" 2>&1 &
php_pid=$!
wait_for_port "$web_port" "$php_pid" "$scratch/php-server.log"
php "$here/existing_rows.php" "http://127.0.0.1:$web_port" "$scratch/shop.json" "$project/database/config.php" \
  || fail "the application did not work over the database"
if grep -E 'PHP (Warning|Notice|Deprecated|Fatal error|Parse error)|Uncaught' "$scratch/php-error.log" 2>/dev/null; then
  fail "PHP logged the problems above"
fi
describe > "$scratch/after"
diff -u "$scratch/before" "$scratch/after" || fail "the user's tables changed"

echo "== the version the database holds, read under the application's prefix"
vc upgrade-sql shop --from-db --host 127.0.0.1 --port "$db_port" --user shopweb --password-file "$scratch/password" \
  --database shop > "$scratch/from-db.sql" 2> "$scratch/from-db.err" || { cat "$scratch/from-db.err"; fail "upgrade-sql --from-db failed"; }
grep -qx "数据库记录的模型版本: 第 1 版" "$scratch/from-db.err" || { cat "$scratch/from-db.err"; fail "upgrade-sql --from-db missed velmora_model_version"; }

echo "== upgrade scripts leave the user's tables alone unless asked"
sqlite3 "$home/projects.mdb" "INSERT INTO t_member (projectId, classId, memberName, memberType, memberLength, memberOrder)
  SELECT projectId, classId, 'note', '字符串', 40, 100000 FROM t_class WHERE tableName = 'shop_category';"
vc upgrade-sql shop > "$scratch/upgrade.sql" || fail "upgrade-sql failed"
# The version record at its end is the application's own table, under its prefix.
statements="$(sed '/^CREATE TABLE IF NOT EXISTS `velmora_model_version`/,/;\r\?$/d' "$scratch/upgrade.sql" \
  | grep -vE '^\s*(--|$|/\*|SET |REPLACE INTO `velmora_model_version`)' || true)"
[ -z "$statements" ] || { echo "$statements"; fail "the upgrade script has statements on the user's tables"; }
grep -q '^-- ALTER TABLE `shop_category`' "$scratch/upgrade.sql" || fail "the upgrade script does not list what it left out"
vc upgrade-sql shop --destructive > "$scratch/destructive.sql" || fail "upgrade-sql --destructive failed"
grep -q '^ALTER TABLE `shop_category`' "$scratch/destructive.sql" || fail "--destructive left the user's tables alone"
"${sql[@]}" shop < "$scratch/destructive.sql" || fail "the destructive upgrade does not load"
"${sql[@]}" -N -B -e "SELECT COUNT(*) FROM information_schema.columns WHERE table_schema = 'shop'
  AND table_name = 'shop_category' AND column_name = 'note'" | grep -qx 1 || fail "--destructive did not add the column"
echo "== a class added to the project gets its table from the ordinary upgrade script"
sqlite3 "$home/projects.mdb" "INSERT INTO t_class (projectId, className, friendName)
    SELECT projectId, 'Memo', '备忘' FROM t_class WHERE tableName = 'shop_category';
  INSERT INTO t_member (projectId, classId, memberName, memberType, memberIsPri, memberIsMust, memberIsInteger, memberOrder)
    SELECT projectId, classId, 'id', '整型', 1, 1, 1, 200000 FROM t_class WHERE className = 'Memo';
  INSERT INTO t_member (projectId, classId, memberName, memberType, memberLength, memberIsMust, memberIsDisplay, memberOrder)
    SELECT projectId, classId, 'title', '字符串', 40, 1, 1, 200001 FROM t_class WHERE className = 'Memo';
  INSERT INTO t_member (projectId, classId, memberName, memberType, memberIsNullable, memberOrder)
    SELECT projectId, classId, 'category', (SELECT className FROM t_class WHERE tableName = 'shop_category'), 1, 200002
    FROM t_class WHERE className = 'Memo';"
vc upgrade-sql shop > "$scratch/added.sql" || fail "upgrade-sql with a new class failed"
grep -q '^CREATE TABLE IF NOT EXISTS `[A-Za-z_]*Memo`' "$scratch/added.sql" || { cat "$scratch/added.sql"; fail "the new class's table is not made"; }
grep -q '^-- ALTER TABLE `shop_' "$scratch/added.sql" && ! grep -q '^ALTER TABLE `shop_' "$scratch/added.sql" \
  || { cat "$scratch/added.sql"; fail "the user's tables are not left to --destructive"; }
"${sql[@]}" shop < "$scratch/added.sql" || fail "the upgrade with a new class does not load"
"${sql[@]}" -N -B -e "SELECT COUNT(*) FROM information_schema.referential_constraints WHERE constraint_schema = 'shop'
  AND table_name LIKE '%Memo' AND referenced_table_name = 'shop_category'" | grep -qx 1 || fail "the new table's reference was not made"
echo "existing_db: all checks passed"
