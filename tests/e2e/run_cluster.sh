#!/usr/bin/env bash
# The generated school project on a three-node Galera cluster on loopback: three php -S servers,
# each configured with its own node first and the other two after it, driven by cluster.mjs.
# While the clients work, node 2 is killed and later rejoins (its server must go on through the
# other nodes). Skipped (exit 77) only where Galera or rsync is missing.
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
workers=8

fail() { echo "cluster: $*" >&2; exit 1; }
for tool in mariadb php sqlite3 node; do
  command -v "$tool" >/dev/null || fail "missing tool: $tool (see scripts/packages.txt)"
done
[ -x "$cli" ] || fail "missing $cli; build the project first"

mkdir -p "$out"
scratch="$(mktemp -d "${TMPDIR:-/tmp}/velmora-cluster.XXXXXX")"
source "$here/../lib/private_mariadb.sh"
source "$here/../lib/galera_cluster.sh"
missing="$(galera_missing)"
if [ -n "$missing" ]; then
  rmdir "$scratch"
  echo "cluster: skipped: $missing"
  exit 77
fi
server_pids=()
load=""
cleanup() {
  local rc=$?
  set +e
  [ -n "$load" ] && kill "$load" 2>/dev/null
  for pid in "${server_pids[@]}"; do
    kill -- "-$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  galera_stop_all
  for log in "$scratch"/php-*.log "$scratch"/galera/n*/mariadb.err; do
    [ -f "$log" ] && cp "$log" "$out/cluster-$(basename "$(dirname "$log")")-$(basename "$log")"
  done
  if [ "${VELMORA_E2E_KEEP:-0}" = 1 ]; then echo "cluster: scratch folder kept at $scratch"; else rm -rf "$scratch"; fi
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

echo "== starting a three-node cluster"
started=$SECONDS
galera_start_all
echo "   synced in $((SECONDS - started)) s"
sql_root=(mariadb --socket="${node_socket[1]}" -uroot --default-character-set=utf8mb4)
db_password="cluster-$RANDOM$RANDOM"
"${sql_root[@]}" -e "CREATE DATABASE school CHARACTER SET utf8mb4;
  CREATE USER 'velmora'@'127.0.0.1' IDENTIFIED BY '$db_password';
  GRANT ALL PRIVILEGES ON school.* TO 'velmora'@'127.0.0.1';"
"${sql_root[@]}" school < "$scratch/school.sql"
hash="$(php -r 'echo password_hash("Cluster#Pass2026", PASSWORD_DEFAULT);')"
"${sql_root[@]}" school -e "UPDATE t_admin SET adminPassword = '$hash', mustChangePassword = 0;
  INSERT INTO t_admin (adminName, adminPassword, mustChangePassword) VALUES ('alice', '$hash', 0), ('bob', '$hash', 0);
  INSERT INTO t_Grade (gradeId, gradeName) VALUES (1, '一年级');
  INSERT INTO t_Department (deptNo, deptName) VALUES ('CS', '计算机系');"

echo "== starting three php -S servers, each on its own node first"
urls=()
for i in 1 2 3; do
  site="$scratch/site$i"
  cp -a "$home/projects/school" "$site"
  others=()
  for j in 1 2 3; do [ "$j" = "$i" ] || others+=("127.0.0.1:${node_port[$j]}"); done
  php -r '$f = $argv[1]; $c = require $f;
    $c = array_merge($c, ["host" => "127.0.0.1", "port" => (int)$argv[2], "user" => "velmora", "password" => $argv[3],
      "database" => "school", "login_lock" => 600, "servers" => array_slice($argv, 4)]);
    file_put_contents($f, "<?php\nreturn " . var_export($c, true) . ";\n");' \
    "$site/database/config.php" "${node_port[$i]}" "$db_password" "${others[@]}"
  port="$(free_port)"
  PHP_CLI_SERVER_WORKERS=$workers setsid php -d output_buffering=4096 -d display_errors=0 -d log_errors=1 \
    -d error_log="$scratch/php-$i.log" -S "127.0.0.1:$port" -t "$site" "$site/util/router.php" > "$scratch/server-$i.log" 2>&1 &
  server_pids+=($!)
  wait_for_port "$port" "$!" "$scratch/server-$i.log"
  urls+=("http://127.0.0.1:$port")
done

echo "== load from all three servers; node 2 killed and rejoining"
stop="$scratch/stop"
E2E_URLS="$(IFS=,; echo "${urls[*]}")" E2E_SOCKETS="${node_socket[1]},${node_socket[2]},${node_socket[3]}" \
E2E_STOP="$stop" E2E_LOGS="$scratch/php-1.log,$scratch/php-2.log,$scratch/php-3.log" \
  node "$here/cluster.mjs" &
load=$!
sleep 8
echo "   killing node 2"
galera_kill 2
date +%s%3N > "$stop.killed"
sleep 8
echo "   restarting node 2"
galera_start 2
galera_wait_synced 2 150
date +%s%3N > "$stop.back"
echo "   node 2 synced again"
sleep 4
touch "$stop"
wait "$load"
