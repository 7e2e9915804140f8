#!/usr/bin/env bash
# End-to-end test: generates the sample school project and a shop project of another shape with
# velmora-cli, loads their table scripts into a private MariaDB server, serves each project as
# generated (its own management pages included) with `php -S` and drives them in headless Chromium.
# The school project is also served by Apache with mod_php under Debian's stock settings for
# /var/www (AllowOverride None, Options Indexes), where the attack checks of hardening.mjs run.
#
# Environment:
#   VELMORA_BUILD_DIR   program folder holding velmora-cli, bak/ and template/ (required)
#   VELMORA_SOURCE_DIR  source tree (default: two levels above this script)
#   VELMORA_E2E_OUTPUT  folder for screenshots and logs (default: $VELMORA_BUILD_DIR/e2e-output)
#   VELMORA_E2E_KEEP=1  keep the scratch folder for inspection
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source_dir="${VELMORA_SOURCE_DIR:-$(cd "$here/../.." && pwd)}"
build_dir="${VELMORA_BUILD_DIR:?VELMORA_BUILD_DIR must name the program folder}"
out="${VELMORA_E2E_OUTPUT:-$build_dir/e2e-output}"
cli="$build_dir/velmora-cli"

fail() { echo "e2e: $*" >&2; exit 1; }
# mariadbd and mariadb-install-db live in sbin, which a user's PATH may lack.
PATH="$PATH:/usr/sbin:/sbin"

for tool in mariadbd mariadb-install-db mariadb mariadb-admin php sqlite3 node apache2; do
  command -v "$tool" >/dev/null || fail "missing tool: $tool (see scripts/packages.txt)"
done
[ -x /usr/bin/chromium ] || fail "missing /usr/bin/chromium"
[ -x "$cli" ] || fail "missing $cli; build the project first"
[ -d "$here/node_modules/playwright-core" ] || fail "missing playwright-core; run: npm ci --prefix $here"
php -r 'exit(extension_loaded("mysqli") ? 0 : 1);' || fail "PHP has no mysqli (package php-mysql)"
apache_modules=/usr/lib/apache2/modules
mod_php="$(ls "$apache_modules"/libphp*.so 2>/dev/null | head -n 1)"
[ -n "$mod_php" ] || fail "missing mod_php (package libapache2-mod-php)"

mkdir -p "$out"
rm -f "$out"/*.png "$out"/*.log
scratch="$(mktemp -d "${TMPDIR:-/tmp}/velmora-e2e.XXXXXX")"
source "$here/../lib/private_mariadb.sh"
php_pid=""
sub_pid=""
other_pid=""
shop_pid=""
store_pid=""
apache_pid=""
cleanup() {
  local rc=$?
  set +e
  for pid in $php_pid $sub_pid $other_pid $shop_pid $store_pid $apache_pid; do
    kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  private_mariadb_stop
  for log in mariadb.err php-server.log php-error.log php-sub-error.log php-shop-error.log php-store-error.log apache/error.log php-apache-error.log; do
    [ -f "$scratch/$log" ] && cp "$scratch/$log" "$out/${log//\//-}"
  done
  if [ "${VELMORA_E2E_KEEP:-0}" = 1 ]; then
    echo "e2e: scratch folder kept at $scratch"
  else
    rm -rf "$scratch"
  fi
  exit $rc
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# generate_project NAME PREFIX MODEL_SQL: a program folder of its own below the scratch folder,
# the project generated into it and its table script beside; prints the project folder.
generate_project() {
  local name="$1" prefix="$2" model="$3" home="$scratch/home-$1"
  mkdir -p "$home"
  ln -s "$build_dir/bak" "$home/bak"
  ln -s "$build_dir/template" "$home/template"
  "$cli" --home "$home" init >/dev/null
  sqlite3 "$home/projects.mdb" < "$model"
  "$cli" --home "$home" generate "$name" --prefix "$prefix" > "$scratch/generate-$name.log" \
    || { cat "$scratch/generate-$name.log" >&2; fail "generate $name failed"; }
  "$cli" --home "$home" sql "$name" --prefix "$prefix" > "$scratch/$name.sql" || fail "sql $name failed"
  echo "$home/projects/$name"
}

echo "== generating the school and shop projects"
project="$(generate_project school t_ "$here/school_model.sql")"
[ -f "$project/controller/StudentAction.php" ] || fail "no controller was generated"
[ -f "$project/Student/studentManage.php" ] || fail "no management page was generated"
shop="$(generate_project shop s_ "$here/shop_model.sql")"
store="$(generate_project store t_ "$here/../fixtures/store/model.sql")"

echo "== starting MariaDB"
private_mariadb_start
sql_root=(mariadb --socket="$scratch/mysql.sock" -uroot --default-character-set=utf8mb4)
db_password="e2e-$RANDOM$RANDOM"
"${sql_root[@]}" -e "CREATE DATABASE school CHARACTER SET utf8mb4;
  CREATE DATABASE shop CHARACTER SET utf8mb4;
  CREATE DATABASE store CHARACTER SET utf8mb4;
  CREATE DATABASE school_apache CHARACTER SET utf8mb4;
  CREATE USER 'velmora'@'127.0.0.1' IDENTIFIED BY '$db_password';
  GRANT ALL PRIVILEGES ON school.* TO 'velmora'@'127.0.0.1';
  GRANT ALL PRIVILEGES ON shop.* TO 'velmora'@'127.0.0.1';
  GRANT ALL PRIVILEGES ON store.* TO 'velmora'@'127.0.0.1';
  GRANT ALL PRIVILEGES ON school_apache.* TO 'velmora'@'127.0.0.1';"

echo "== loading the table script"
"${sql_root[@]}" school < "$scratch/school.sql"
tables="$("${sql_root[@]}" -N -B school -e "SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA='school'")"
fks="$("${sql_root[@]}" -N -B school -e "SELECT COUNT(*) FROM information_schema.REFERENTIAL_CONSTRAINTS WHERE CONSTRAINT_SCHEMA='school'")"
admins="$("${sql_root[@]}" -N -B school -e "SELECT COUNT(*) FROM t_admin WHERE adminName='admin' AND mustChangePassword=1")"
[ "$tables" = 13 ] || fail "expected 13 tables (3 classes, admin, login throttle, 7 for users, roles and sessions, model version) after loading the script, found $tables"
[ "$fks" = 2 ] || fail "expected 2 foreign keys after loading the script, found $fks"
[ "$admins" = 1 ] || fail "the default administrator is missing"
"${sql_root[@]}" shop < "$scratch/shop.sql"
"${sql_root[@]}" store < "$scratch/store.sql"
"${sql_root[@]}" school_apache < "$scratch/school.sql"
# The same project as generated, for Apache (before any run changes it).
mkdir -p "$scratch/apache-site"
cp -a "$project" "$scratch/apache-site/school"
apache_site="$scratch/apache-site/school"

echo "== installing the connection settings"
# The shipped settings file, with the connection of this test's server, and a login lock long
# enough that a loaded machine still meets it on the next attempt.
for site in "$project:school" "$shop:shop" "$store:store" "$apache_site:school_apache"; do
  php -r '$f = $argv[1]; $c = require $f;
    $c = array_merge($c, ["host" => "127.0.0.1", "port" => (int)$argv[2], "user" => "velmora",
      "password" => $argv[3], "database" => $argv[4], "login_lock" => 5]);
    file_put_contents($f, "<?php\nreturn " . var_export($c, true) . ";\n");' \
    "${site%%:*}/database/config.php" "$db_port" "$db_password" "${site##*:}"
done

echo "== php -l over every PHP file"
lint_failed=0
while IFS= read -r -d '' file; do
  php -l "$file" >/dev/null 2>"$scratch/lint.err" || { echo "lint: $file"; cat "$scratch/lint.err"; lint_failed=1; }
done < <(find "$project" "$shop" "$store" -name '*.php' -print0)
[ "$lint_failed" = 0 ] || fail "php -l found errors"

echo "== checking the skeleton's PHP pieces against the database"
php -d display_errors=stderr -d error_log="$scratch/php-check.log" "$here/skeleton_check.php" "$project"

echo "== starting php -S"
web_port="$(free_port)"
other_port="$(free_port)"
shop_port="$(free_port)"
store_port="$(free_port)"
mkdir -p "$scratch/other"
# The deployment settings the application expects; set here so the machine's php.ini does not matter.
php -d output_buffering=4096 -d display_errors=0 -d log_errors=1 -d error_log="$scratch/php-error.log" \
  -d upload_max_filesize=2M -d post_max_size=8M \
  -S "127.0.0.1:$web_port" -t "$project" "$project/util/router.php" > "$scratch/php-server.log" 2>&1 &
php_pid=$!
php -d output_buffering=4096 -d display_errors=0 -d log_errors=1 -d error_log="$scratch/php-shop-error.log" \
  -S "127.0.0.1:$shop_port" -t "$shop" "$shop/util/router.php" > "$scratch/php-shop-server.log" 2>&1 &
shop_pid=$!
php -d output_buffering=4096 -d display_errors=0 -d log_errors=1 -d error_log="$scratch/php-store-error.log" \
  -S "127.0.0.1:$store_port" -t "$store" "$store/util/router.php" > "$scratch/php-store-server.log" 2>&1 &
store_pid=$!
# A second site on another port: the origin of the forged requests.
php -S "127.0.0.1:$other_port" -t "$scratch/other" > "$scratch/other-server.log" 2>&1 &
other_pid=$!
wait_for_port "$web_port" "$php_pid" "$scratch/php-server.log"
wait_for_port "$shop_port" "$shop_pid" "$scratch/php-shop-server.log"
wait_for_port "$other_port" "$other_pid" "$scratch/other-server.log"
wait_for_port "$store_port" "$store_pid" "$scratch/php-store-server.log"

echo "== the generation record and hidden files are refused"
record_key="$(basename "$(ls -d "$project"/.velmora/*/ | head -n 1)")"
[[ "$record_key" =~ ^[0-9a-f]{32}$ ]] || fail "the generation record's folder has no random name"
[ -f "$project/.velmora/$record_key/record.json" ] || fail "no generation record was written"
for path in "/.velmora/$record_key/record.json" /.velmora/ /.htaccess /controller/.user.ini /Student/student.fields.json \
    /util/guard.php /util/settings.php; do
  code="$(php -r '$c = stream_context_create(["http" => ["ignore_errors" => true]]);
    @file_get_contents($argv[1], false, $c); echo explode(" ", $http_response_header[0] ?? "- 0")[1];' \
    "http://127.0.0.1:$web_port$path")"
  [ "$code" = 403 ] || fail "$path answered $code instead of 403"
done

echo "== starting Apache with mod_php (stock AllowOverride None, Options Indexes)"
apache_port="$(free_port)"
apache_dir="$scratch/apache"
mkdir -p "$apache_dir/sessions"
run_as=""
if [ "$(id -u)" -eq 0 ]; then
  # Apache refuses to serve as root: it runs as www-data, which must read the site and write upload/.
  run_as=$'User www-data\nGroup www-data'
  chmod o+x "$scratch" "$scratch/apache-site"
  chmod -R a+rX "$apache_site"
  chown -R www-data:www-data "$apache_site/upload" "$apache_dir/sessions"
  touch "$scratch/php-apache-error.log"
  chown www-data "$scratch/php-apache-error.log"
fi
chmod 1733 "$apache_dir/sessions"
cat > "$apache_dir/apache2.conf" <<CONF
ServerRoot "$apache_dir"
ServerName 127.0.0.1
Listen 127.0.0.1:$apache_port
PidFile "$apache_dir/httpd.pid"
DefaultRuntimeDir "$apache_dir"
ErrorLog "$apache_dir/error.log"
LogLevel warn
$run_as
LoadModule mpm_prefork_module $apache_modules/mod_mpm_prefork.so
LoadModule authz_core_module $apache_modules/mod_authz_core.so
LoadModule authz_host_module $apache_modules/mod_authz_host.so
LoadModule alias_module $apache_modules/mod_alias.so
LoadModule autoindex_module $apache_modules/mod_autoindex.so
LoadModule dir_module $apache_modules/mod_dir.so
LoadModule mime_module $apache_modules/mod_mime.so
LoadModule php_module $mod_php
StartServers 2
MinSpareServers 2
MaxSpareServers 6
MaxRequestWorkers 30
TypesConfig /etc/mime.types
DirectoryIndex index.html index.cgi index.pl index.php index.xhtml index.htm
<Directory />
  Options FollowSymLinks
  AllowOverride None
  Require all denied
</Directory>
DocumentRoot "$apache_site"
# The same site from a subfolder too, as when it is copied to /var/www/html/school/.
Alias /school "$apache_site"
<Directory "$apache_site">
  Options Indexes FollowSymLinks
  AllowOverride None
  Require all granted
</Directory>
<FilesMatch "^\.ht">
  Require all denied
</FilesMatch>
<FilesMatch ".+\.ph(?:ar|p|tml)\$">
  SetHandler application/x-httpd-php
</FilesMatch>
# Debian's php.ini for Apache, with what this run needs to be independent of the machine.
php_admin_value output_buffering 4096
php_admin_flag display_errors off
php_admin_flag log_errors on
php_admin_value error_log "$scratch/php-apache-error.log"
php_admin_value session.save_path "$apache_dir/sessions"
php_admin_flag opcache.enable off
php_admin_value upload_max_filesize 2M
php_admin_value post_max_size 8M
CONF
# In a session of its own: stopping Apache signals its whole process group, which must not be this script.
setsid apache2 -f "$apache_dir/apache2.conf" -DFOREGROUND > "$apache_dir/apache.out" 2>&1 &
apache_pid=$!
wait_for_port "$apache_port" "$apache_pid" "$apache_dir/apache.out"

echo "== driving the application in Chromium"
export E2E_BASE_URL="http://127.0.0.1:$web_port"
export E2E_OTHER_PORT="$other_port"
export E2E_OTHER_ROOT="$scratch/other"
export E2E_DB_SOCKET="$scratch/mysql.sock"
export E2E_PROJECT_DIR="$project"
export E2E_OUTPUT="$out"
export E2E_SCRATCH="$scratch"
export E2E_PHP_ERROR_LOG="$scratch/php-error.log"
node "$here/e2e.mjs"
node "$here/pages.mjs"
node "$here/relations.mjs"
E2E_BASE_URL="http://127.0.0.1:$shop_port" E2E_PROJECT_DIR="$shop" E2E_PHP_ERROR_LOG="$scratch/php-shop-error.log" \
  node "$here/shop.mjs"
E2E_BASE_URL="http://127.0.0.1:$store_port" E2E_PROJECT_DIR="$store" E2E_PHP_ERROR_LOG="$scratch/php-store-error.log" \
  node "$here/types.mjs"

echo "== php -S serving the Apache copy from its parent folder, as /school/"
sub_port="$(free_port)"
php -d display_errors=0 -d log_errors=1 -d error_log="$scratch/php-sub-error.log" \
  -S "127.0.0.1:$sub_port" -t "$scratch/apache-site" "$apache_site/util/router.php" > "$scratch/php-sub-server.log" 2>&1 &
sub_pid=$!
for _ in $(seq 1 50); do
  php -r 'exit(@fsockopen("127.0.0.1", (int)$argv[1]) ? 0 : 1);' "$sub_port" && break
  sleep 0.2
done
E2E_BASE_URL="http://127.0.0.1:$sub_port/school" node "$here/subfolder.mjs"
{ kill "$sub_pid"; wait "$sub_pid"; } 2>/dev/null || true
sub_pid=""

echo "== the school flow from /school/ and the attack checks on Apache"
export E2E_PROJECT_DIR="$apache_site"
export E2E_PHP_ERROR_LOG="$scratch/php-apache-error.log"
export E2E_DB_NAME=school_apache
export E2E_SHOT_PREFIX=apache-
E2E_BASE_URL="http://127.0.0.1:$apache_port/school" node "$here/e2e.mjs"
export E2E_BASE_URL="http://127.0.0.1:$apache_port"
node "$here/hardening.mjs"
