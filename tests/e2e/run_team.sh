#!/usr/bin/env bash
# The generated school project used by a team: users, roles and rights, history, trash, sessions.
# A private MariaDB, the project served by two php -S servers on two ports over that one database
# (each with its own session folder), driven by team.mjs.
#
# Environment:
#   VELMORA_BUILD_DIR   program folder holding velmora-cli, bak/ and template/ (required)
#   VELMORA_E2E_OUTPUT  folder for the logs (default: $VELMORA_BUILD_DIR/e2e-output)
#   VELMORA_E2E_KEEP=1  keep the scratch folder for inspection
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build_dir="${VELMORA_BUILD_DIR:?VELMORA_BUILD_DIR must name the program folder}"
out="${VELMORA_E2E_OUTPUT:-$build_dir/e2e-output}"
cli="$build_dir/velmora-cli"

fail() { echo "team: $*" >&2; exit 1; }
for tool in mariadb php sqlite3 node; do
  command -v "$tool" >/dev/null || fail "missing tool: $tool (see scripts/packages.txt)"
done
[ -x "$cli" ] || fail "missing $cli; build the project first"
[ -x /usr/bin/chromium ] || fail "missing /usr/bin/chromium"

mkdir -p "$out"
scratch="$(mktemp -d "${TMPDIR:-/tmp}/velmora-team.XXXXXX")"
source "$here/../lib/private_mariadb.sh"
server_pids=()
cleanup() {
  local rc=$?
  set +e
  for pid in "${server_pids[@]}"; do
    kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  private_mariadb_stop
  for log in "$scratch"/php-*.log; do
    [ -f "$log" ] && cp "$log" "$out/team-$(basename "$log")"
  done
  if [ "${VELMORA_E2E_KEEP:-0}" = 1 ]; then echo "team: scratch folder kept at $scratch"; else rm -rf "$scratch"; fi
  exit $rc
}
trap cleanup EXIT
trap 'exit 130' INT TERM

echo "== generating the school project"
home="$scratch/home"
mkdir -p "$home"
ln -s "$build_dir/bak" "$home/bak"
ln -s "$build_dir/template" "$home/template"
"$cli" --home "$home" init >/dev/null
sqlite3 "$home/projects.mdb" < "$here/school_model.sql"
"$cli" --home "$home" generate school --prefix t_ > "$scratch/generate.log" || { cat "$scratch/generate.log" >&2; fail "generate failed"; }
"$cli" --home "$home" sql school --prefix t_ > "$scratch/school.sql" || fail "sql failed"
site="$home/projects/school"

echo "== starting MariaDB"
private_mariadb_start
sql_root=(mariadb --socket="$db_socket" -uroot --default-character-set=utf8mb4)
db_password="team-$RANDOM$RANDOM"
"${sql_root[@]}" -e "CREATE DATABASE school CHARACTER SET utf8mb4;
  CREATE USER 'velmora'@'127.0.0.1' IDENTIFIED BY '$db_password';
  GRANT ALL PRIVILEGES ON school.* TO 'velmora'@'127.0.0.1';"
"${sql_root[@]}" school < "$scratch/school.sql"
tables="$("${sql_root[@]}" -N -B school -e "SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA='school'")"
[ "$tables" = 13 ] || fail "expected 13 tables (3 classes, admin, login throttle, 7 for the team, model version) after loading the script, found $tables"
# Known passwords, no forced change: the administrator and two users without roles yet.
hash="$(php -r 'echo password_hash("Team#Pass2026", PASSWORD_DEFAULT);')"
"${sql_root[@]}" school -e "UPDATE t_admin SET adminPassword = '$hash', mustChangePassword = 0;
  INSERT INTO t_admin (adminName, adminPassword, mustChangePassword) VALUES ('alice', '$hash', 0), ('bob', '$hash', 0);
  INSERT INTO t_Grade (gradeId, gradeName) VALUES (1, '一年级');
  INSERT INTO t_Department (deptNo, deptName) VALUES ('CS', '计算机系');"

php -r '$f = $argv[1]; $c = require $f;
  $c = array_merge($c, ["host" => "127.0.0.1", "port" => (int)$argv[2], "user" => "velmora",
    "password" => $argv[3], "database" => "school", "login_lock" => 5]);
  file_put_contents($f, "<?php\nreturn " . var_export($c, true) . ";\n");' \
  "$site/database/config.php" "$db_port" "$db_password"

echo "== starting two php -S servers on one database"
ports=()
for name in one two; do
  mkdir -p "$scratch/sessions-$name"
  port="$(free_port)"
  php -d output_buffering=4096 -d display_errors=0 -d log_errors=1 -d error_log="$scratch/php-$name.log" \
    -d session.save_path="$scratch/sessions-$name" -d upload_max_filesize=2M -d post_max_size=8M \
    -S "127.0.0.1:$port" -t "$site" "$site/util/router.php" > "$scratch/server-$name.log" 2>&1 &
  server_pids+=($!)
  ports+=("$port")
done
for port in "${ports[@]}"; do
  for _ in $(seq 1 50); do
    php -r 'exit(@fsockopen("127.0.0.1", (int)$argv[1]) ? 0 : 1);' "$port" && break
    sleep 0.2
  done
done

E2E_DB_SOCKET="$db_socket" E2E_PROJECT_DIR="$site" \
E2E_BASE_URL="http://127.0.0.1:${ports[0]}" E2E_OTHER_URL="http://127.0.0.1:${ports[1]}" \
E2E_PHP_LOGS="$scratch/php-one.log:$scratch/php-two.log" \
  node "$here/team.mjs"
# Sessions live in the database: neither server wrote a session file.
[ -z "$(find "$scratch/sessions-one" "$scratch/sessions-two" -type f)" ] || fail "a server wrote session files"
