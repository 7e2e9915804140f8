#!/usr/bin/env bash
# Models read from a live MariaDB server that this test starts (private data folder and socket,
# loopback only, removed at the end):
#  - a model's own table script, loaded and imported back, gives the same model file;
#  - hand-written schemas in utf8mb4 and in utf8, and one of every column kind, imported, give a
#    table script that loads into an empty database as the same tables (information_schema:
#    types, lengths, precision and scale, unsigned, NULL, defaults, extras, character sets and
#    collations, indexes with prefix lengths, foreign keys and their rules);
#  - a hand-written shop schema imports with the expected warnings, and its generated project
#    passes php -l; its table script loads over the imported tables without changing them, and
#    served by php -S the project logs in and lists each class's row on its management page;
#    a row keyed by two columns is shown, added, edited and deleted by its keys, and the tags
#    linked to a product are set from the product's form and from the tag's;
#  - a wrong password, an unknown database, no server, a name in use or a model the checker
#    refuses create nothing.
#
# Environment: VELMORA_BUILD_DIR (program folder with velmora-cli, bak/, template/), required.
set -euo pipefail

test_name=dbimport
source "$(dirname "${BASH_SOURCE[0]}")/import_setup.sh"
sqlite3 "$home/projects.mdb" < "$here/lessons_model.sql"
vc sql lessons --prefix t_ > "$scratch/lessons.sql"

echo "== starting MariaDB"
private_mariadb_start
sql=(mariadb --socket="$scratch/mysql.sock" -uroot --default-character-set=utf8mb4)
password="imp-$RANDOM$RANDOM"
printf '%s\n' "$password" > "$scratch/password"
"${sql[@]}" -e "CREATE DATABASE lessons CHARACTER SET utf8mb4; CREATE DATABASE shop CHARACTER SET utf8mb4;
  CREATE DATABASE club CHARACTER SET utf8mb4;
  CREATE TABLE club.player (id INT AUTO_INCREMENT PRIMARY KEY, nick VARCHAR(40) NOT NULL, \`order\` INT NOT NULL);
  CREATE USER 'velmora'@'127.0.0.1' IDENTIFIED BY '$password';
  GRANT SELECT ON shop.* TO 'velmora'@'127.0.0.1';"
"${sql[@]}" lessons < "$scratch/lessons.sql"
"${sql[@]}" shop < "$here/shop_schema.sql"

# expect CODE TEXT -- ARGS: velmora-cli exits with CODE and its standard error holds TEXT.
expect() {
  local code="$1" text="$2" rc=0
  shift 3
  vc "$@" > "$scratch/out" 2> "$scratch/err" || rc=$?
  [ "$rc" = "$code" ] || { cat "$scratch/out" "$scratch/err"; fail "exit $rc, expected $code: $*"; }
  grep -qF -- "$text" "$scratch/err" || { cat "$scratch/err"; fail "no \"$text\": $*"; }
}

echo "== the table script of a model, imported back"
vc import-db --socket "$scratch/mysql.sock" --user root --database lessons --prefix t_ --as back \
  > "$scratch/out" 2> "$scratch/err" || { cat "$scratch/err"; fail "import of lessons failed"; }
[ "$(cat "$scratch/err")" = "警告: 表 t_admin 是生成的程序自带的管理员表，不作为类导入
警告: 表 t_change_log 是生成的程序自带的用户与权限表，不作为类导入
警告: 表 t_login_throttle 是生成的程序自带的登录退避表，不作为类导入
警告: 表 t_model_version 是生成的程序自带的模型版本表，不作为类导入
警告: 表 t_role 是生成的程序自带的用户与权限表，不作为类导入
警告: 表 t_role_right 是生成的程序自带的用户与权限表，不作为类导入
警告: 表 t_row_owner 是生成的程序自带的用户与权限表，不作为类导入
警告: 表 t_session 是生成的程序自带的用户与权限表，不作为类导入
警告: 表 t_trash 是生成的程序自带的用户与权限表，不作为类导入
警告: 表 t_user_role 是生成的程序自带的用户与权限表，不作为类导入" ] || { cat "$scratch/err"; fail "unexpected warnings for lessons"; }
vc export lessons -o "$scratch/lessons.json"
vc export back | sed 's/"project": "back"/"project": "lessons"/' > "$scratch/back.json"
diff -u "$scratch/lessons.json" "$scratch/back.json" || fail "the model did not come back the same"

echo "== hand-written schemas of both character sets, imported and made again by the table script"
# What information_schema says of a database's imported tables, in a stable order; the
# application's own tables, which the table script adds, are left out.
app_tables="'rt_admin','rt_login_throttle','rt_role','rt_role_right','rt_user_role','rt_row_owner','rt_change_log','rt_trash','rt_session','rt_model_version'"
describe() {
  "${sql[@]}" -N -B information_schema -e "
    SELECT table_name, table_collation FROM tables
      WHERE table_schema = '$1' AND table_name NOT IN ($app_tables) ORDER BY table_name;
    SELECT table_name, column_name, ordinal_position, data_type, column_type, character_maximum_length,
           numeric_precision, numeric_scale, datetime_precision, is_nullable, column_default, extra,
           character_set_name, collation_name, column_comment FROM columns
      WHERE table_schema = '$1' AND table_name NOT IN ($app_tables) ORDER BY table_name, ordinal_position;
    SELECT table_name, index_name, seq_in_index, column_name, sub_part, non_unique FROM statistics
      WHERE table_schema = '$1' AND table_name NOT IN ($app_tables) ORDER BY table_name, index_name, seq_in_index;
    SELECT k.table_name, k.column_name, k.referenced_table_name, k.referenced_column_name, r.update_rule, r.delete_rule
      FROM key_column_usage k JOIN referential_constraints r ON r.constraint_schema = k.constraint_schema
        AND r.table_name = k.table_name AND r.constraint_name = k.constraint_name
      WHERE k.table_schema = '$1' AND k.referenced_table_name IS NOT NULL ORDER BY k.table_name, k.column_name;"
}
for kind in utf8mb4 utf8 columns; do
  db="trip_$kind"
  "${sql[@]}" -e "CREATE DATABASE $db CHARACTER SET utf8mb4; CREATE DATABASE ${db}_back CHARACTER SET utf8mb4;"
  "${sql[@]}" "$db" < "$here/roundtrip_$kind.sql"
  vc import-db --socket "$scratch/mysql.sock" --user root --database "$db" --prefix rt_ --as "$db" \
    > "$scratch/out" 2> "$scratch/err" || { cat "$scratch/err"; fail "import of $db failed"; }
  # The model holds them whole; a key of several columns is only said to be one.
  expected=""
  [ "$kind" = columns ] && expected="警告: 表 rt_blobkey 的列 k 不能为空又没有默认值，页面却不填写它，按只读类导入
警告: 表 rt_enumkey 的主键由 side, seq 多列组成，作为复合主键类导入
警告: 表 rt_kinds 的列 lb 不能为空又没有默认值，页面却不填写它，按只读类导入"
  [ "$(cat "$scratch/err")" = "$expected" ] || { cat "$scratch/err"; fail "unexpected warnings for $db"; }
  vc sql "$db" --prefix rt_ > "$scratch/$db.sql" || fail "sql $db failed"
  "${sql[@]}" "${db}_back" < "$scratch/$db.sql" || fail "the table script of $db does not load"
  describe "$db" > "$scratch/$db.schema"
  describe "${db}_back" > "$scratch/$db.back"
  diff -u "$scratch/$db.schema" "$scratch/$db.back" || fail "the tables of $db did not come back the same"
done

echo "== the shop schema, over TCP with a password file"
vc import-db --host 127.0.0.1 --port "$db_port" --user velmora --password-file "$scratch/password" \
  --database shop --prefix shop_ > "$scratch/out" 2> "$scratch/err" || { cat "$scratch/err"; fail "import of shop failed"; }
diff -u "$here/shop_warnings.txt" "$scratch/err" || fail "unexpected warnings for shop"
vc export shop -o "$scratch/shop.json"
diff -u "$here/shop_expected.json" "$scratch/shop.json" || fail "the shop model is not the expected one"
vc generate shop --prefix shop_ > "$scratch/generate.log" || { cat "$scratch/generate.log"; fail "generate shop failed"; }
files=0
while IFS= read -r -d '' file; do
  php -l "$file" > "$scratch/lint" 2>&1 || { cat "$scratch/lint"; fail "php -l: $file"; }
  files=$((files + 1))
done < <(find "$home/projects/shop" -name '*.php' -print0)
[ "$files" -gt 20 ] || fail "only $files PHP files were generated"

echo "== the generated table script over the imported tables, and the management pages"
# One row in each imported table, so that the pages list real rows.
"${sql[@]}" shop -e "INSERT INTO shop_customer (email, full_name, created_at) VALUES ('li@example.com', '李', '2026-01-02 10:30:00');
  INSERT INTO shop_category (title) VALUES ('文具');
  INSERT INTO shop_product (sku, title, description, price, stock, category_id) VALUES ('A-1', '铅笔', '一支', 1.50, 3, 1);
  INSERT INTO shop_orders (customer_id, ordered_at, total) VALUES (1, '2026-01-03 09:00:00', 4.50);
  INSERT INTO shop_order_item VALUES (1, 1, 3, 1.50);
  INSERT INTO shop_review (order_id, product_id, rating) VALUES (1, 1, 5);
  INSERT INTO shop_tag (label) VALUES ('新品');
  INSERT INTO shop_product_tag VALUES (1, 1);
  INSERT INTO shop_stock VALUES ('North,A\\\\1', 1, 1, 3);
  INSERT INTO shop_system (\`reply-to\`, \`function\`, \`position\`) VALUES ('a@example.com', '通知', 2);
  INSERT INTO \`shop_sys-log\` (setting_id, \`order\`) VALUES (1, '第一');
  INSERT INTO shop_visit (visited_at, page, note) VALUES ('2026-01-04 08:00:00', '/index.php', NULL);
  INSERT INTO shop_coupon VALUES ('SPRING26', 0.90);
  CREATE USER 'shopweb'@'127.0.0.1' IDENTIFIED BY '$password';
  GRANT ALL PRIVILEGES ON shop.* TO 'shopweb'@'127.0.0.1';"
columns="SELECT TABLE_NAME, COLUMN_NAME, COLUMN_TYPE, IS_NULLABLE FROM information_schema.COLUMNS
  WHERE TABLE_SCHEMA = 'shop' AND TABLE_NAME NOT IN ('shop_admin', 'shop_login_throttle',
    'shop_role', 'shop_role_right', 'shop_user_role', 'shop_row_owner', 'shop_change_log', 'shop_trash', 'shop_session', 'shop_model_version') ORDER BY TABLE_NAME, ORDINAL_POSITION"
"${sql[@]}" -N -B -e "$columns" > "$scratch/columns-before"
vc sql shop --prefix shop_ > "$scratch/shop.sql" || fail "sql shop failed"
"${sql[@]}" shop < "$scratch/shop.sql" || fail "the table script does not load over the imported tables"
"${sql[@]}" -N -B -e "$columns" > "$scratch/columns-after"
diff -u "$scratch/columns-before" "$scratch/columns-after" || fail "the table script changed the imported tables"
admins="$("${sql[@]}" -N -B shop -e "SELECT COUNT(*) FROM shop_admin WHERE adminName = 'admin' AND mustChangePassword = 1")"
[ "$admins" = 1 ] || fail "the table script did not add the default administrator"
project="$home/projects/shop"
# The generated settings file with this server's connection (a login lock as the end-to-end test uses).
php -r '$f = $argv[1]; $c = require $f;
  $c = array_merge($c, ["host" => "127.0.0.1", "port" => (int)$argv[2], "user" => "shopweb",
    "password" => $argv[3], "database" => "shop", "login_lock" => 5]);
  file_put_contents($f, "<?php\nreturn " . var_export($c, true) . ";\n");' \
  "$project/database/config.php" "$db_port" "$password"
web_port="$(free_port)"
php -d output_buffering=4096 -d display_errors=0 -d log_errors=1 -d error_log="$scratch/php-error.log" \
  -S "127.0.0.1:$web_port" -t "$project" "$project/util/router.php" > "$scratch/php-server.log" 2>&1 &
php_pid=$!
wait_for_port "$web_port" "$php_pid" "$scratch/php-server.log"
php "$here/manage_pages.php" "http://127.0.0.1:$web_port" "$scratch/shop.json" "$here/key_pages.php" \
  || fail "a management page did not load, or a row addressed by its keys or a link did not work"
# What the pages did, as the database holds it: the links set from both sides, and the history
# of the stock places under their key texts (a comma and a backslash in a value escaped).
links="$("${sql[@]}" -N -B shop -e "SELECT product_id, tag_id FROM shop_product_tag ORDER BY 1, 2" | tr '\t\n' ',;')"
[ "$links" = "1,2;" ] || fail "the product's tags are \"$links\", expected only the tag added from the tag's form"
keys="$("${sql[@]}" -N -B -r shop -e "SELECT CONCAT(action, ' ', rowKey) FROM shop_change_log WHERE className = 'stock' ORDER BY changeId")"
[ "$keys" = "update North\\,A\\\\1,1
add South,2
add South,3
update South,2
delete South,2
restore South,2
delete South,2
add South,2" ] || fail "unexpected history of the stock places: $keys"
# The key text as the server works it out (rows limited to their creator's) is the one PHP writes.
key_sql="$(php -r 'define("VELMORA_GUARD_LOADED", true); require $argv[1]; require $argv[2];
  echo velmora_key_sql(["warehouse", "bin-no"]);' "$project/util/settings.php" "$project/util/row_key.php")"
in_sql="$("${sql[@]}" -N -B -r shop -e "SELECT $key_sql FROM shop_stock WHERE \`bin-no\` = 1")"
[ "$in_sql" = 'North\,A\\1,1' ] || fail "the server's key text is \"$in_sql\""
if grep -E 'PHP (Warning|Notice|Deprecated|Fatal error|Parse error)|Uncaught' "$scratch/php-error.log" 2>/dev/null; then
  fail "PHP logged the problems above"
fi

echo "== bad input creates nothing"
projects="$(vc projects)"
printf 'wrong\n' > "$scratch/wrong"
tcp=(--host 127.0.0.1 --port "$db_port")
expect 2 "用户名或密码错误" -- import-db "${tcp[@]}" --user velmora --password-file "$scratch/wrong" --database shop --as x
expect 2 "数据库\"nothere\"不存在" -- import-db --socket "$scratch/mysql.sock" --user root --database nothere
expect 2 "无权访问" -- import-db "${tcp[@]}" --user velmora --password-file "$scratch/password" --database lessons
expect 2 "连接不上数据库服务器" -- import-db --host 127.0.0.1 --port "$(free_port)" --user root --database shop --as x
expect 2 "已经有名为\"shop\"的项目" -- import-db --socket "$scratch/mysql.sock" --user root --database shop --prefix shop_
[ "$(vc projects)" = "$projects" ] || fail "a refused import changed the project list"
# A reserved word as a column name is taken under a member name of its own.
expect 0 "列 player.order 按成员名 order_ 导入" -- import-db --socket "$scratch/mysql.sock" --user root --database club
echo "dbimport: all checks passed"
