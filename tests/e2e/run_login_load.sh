#!/usr/bin/env bash
# Logins in parallel against a private MariaDB: the generated school project served by php -S with
# many workers, driven by login_load.mjs. One site runs on a database made by today's table script,
# one on a database as an older script left it (no throttle table, no sessionVersion column).
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
workers=32

fail() { echo "login load: $*" >&2; exit 1; }
for tool in mariadb php sqlite3 node; do
  command -v "$tool" >/dev/null || fail "missing tool: $tool (see scripts/packages.txt)"
done
[ -x "$cli" ] || fail "missing $cli; build the project first"

mkdir -p "$out"
scratch="$(mktemp -d "${TMPDIR:-/tmp}/velmora-login.XXXXXX")"
source "$here/../lib/private_mariadb.sh"
server_pids=()
cleanup() {
  local rc=$?
  set +e
  # Each server leads a process group of its own, its workers included.
  for pid in "${server_pids[@]}"; do
    kill -- "-$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  private_mariadb_stop
  for log in "$scratch"/php-*.log; do
    [ -f "$log" ] && cp "$log" "$out/login-load-$(basename "$log")"
  done
  if [ "${VELMORA_E2E_KEEP:-0}" = 1 ]; then echo "login load: scratch folder kept at $scratch"; else rm -rf "$scratch"; fi
  exit $rc
}
trap cleanup EXIT
trap 'exit 130' INT TERM

echo "== generating the school project"
home="$scratch/home"
mkdir -p "$home" "$scratch/sessions"
ln -s "$build_dir/bak" "$home/bak"
ln -s "$build_dir/template" "$home/template"
"$cli" --home "$home" init >/dev/null
sqlite3 "$home/projects.mdb" < "$here/school_model.sql"
"$cli" --home "$home" generate school --prefix t_ > "$scratch/generate.log" || { cat "$scratch/generate.log" >&2; fail "generate failed"; }
"$cli" --home "$home" sql school --prefix t_ > "$scratch/school.sql" || fail "sql failed"

echo "== starting MariaDB"
private_mariadb_start
sql_root=(mariadb --socket="$db_socket" -uroot --default-character-set=utf8mb4)
db_password="load-$RANDOM$RANDOM"
"${sql_root[@]}" -e "CREATE DATABASE fresh CHARACTER SET utf8mb4; CREATE DATABASE older CHARACTER SET utf8mb4;
  CREATE USER 'velmora'@'127.0.0.1' IDENTIFIED BY '$db_password';
  GRANT ALL PRIVILEGES ON fresh.* TO 'velmora'@'127.0.0.1';
  GRANT ALL PRIVILEGES ON older.* TO 'velmora'@'127.0.0.1';"
"${sql_root[@]}" fresh < "$scratch/school.sql"
"${sql_root[@]}" older < "$scratch/school.sql"
# What an older table script made: the admin table without sessionVersion, no throttle table.
"${sql_root[@]}" older -e "DROP TABLE t_login_throttle; ALTER TABLE t_admin DROP COLUMN sessionVersion;"
# Two accounts with known passwords on the fresh database.
hash="$(php -r 'echo password_hash("Right#Pass2026", PASSWORD_DEFAULT);')"
"${sql_root[@]}" fresh -e "INSERT INTO t_admin (adminName, adminPassword, mustChangePassword) VALUES
  ('alice', '$hash', 0), ('bob', '$hash', 0);"

# serve SITE DATABASE CONFIG_EXTRA: a copy of the project on its own database, served by php -S
# with $workers workers on the port it leaves in $port.
serve() {
  local site="$scratch/$1"
  cp -a "$home/projects/school" "$site"
  php -r '$f = $argv[1]; $c = require $f;
    $c = array_merge($c, ["host" => "127.0.0.1", "port" => (int)$argv[2], "user" => "velmora",
      "password" => $argv[3], "database" => $argv[4], "login_lock" => 600], json_decode($argv[5], true));
    file_put_contents($f, "<?php\nreturn " . var_export($c, true) . ";\n");' \
    "$site/database/config.php" "$db_port" "$db_password" "$2" "$3"
  port="$(free_port)"
  PHP_CLI_SERVER_WORKERS=$workers setsid php -d output_buffering=4096 -d display_errors=0 -d log_errors=1 \
    -d error_log="$scratch/php-$1.log" -d session.save_path="$scratch/sessions" \
    -S "127.0.0.1:$port" -t "$site" "$site/util/router.php" > "$scratch/server-$1.log" 2>&1 &
  server_pids+=($!)
  wait_for_port "$port" "$!" "$scratch/server-$1.log"
}

echo "== starting php -S with $workers workers per site"
serve fresh fresh '{}'
fresh_port=$port
serve older older '{"trusted_proxies":["127.0.0.1"]}'
older_port=$port

echo "== logins in parallel"
E2E_DB_SOCKET="$db_socket" \
E2E_FRESH_URL="http://127.0.0.1:$fresh_port" E2E_FRESH_LOG="$scratch/php-fresh.log" \
E2E_OLDER_URL="http://127.0.0.1:$older_port" E2E_OLDER_LOG="$scratch/php-older.log" \
  node "$here/login_load.mjs"
