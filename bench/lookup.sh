#!/usr/bin/env bash
# Reference lookup benchmark: the sample school project over a private MariaDB whose Grade table
# holds 100,000 rows (Student refers to Grade), served by php -S with the router. Prints the
# median and worst time and the size of the student add form (the goal: under 50 ms and under
# 100 kB), and the time of the lookup's JSON for a few typed texts, without and then with an
# index on the display column (the table script does not make one). Exits 1 when the add form
# misses its goal.
#
#   bench/lookup.sh [build folder, default build] [rows, default 100000] [runs, default 21]
# BENCH_HOLD=1 keeps the servers running afterwards (prints the address and the login).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
rows="${2:-100000}"
runs="${3:-21}"
cli="$build/velmora-cli"
fail() { echo "bench: $*" >&2; exit 2; }
[ -x "$cli" ] || fail "missing $cli: build it first"

scratch="$(mktemp -d "${TMPDIR:-/tmp}/velmora-lookup.XXXXXX")"
source "$root/tests/lib/private_mariadb.sh"
php_pid=""
cleanup() {
  set +e
  [ -n "$php_pid" ] && kill "$php_pid" 2>/dev/null && wait "$php_pid" 2>/dev/null
  private_mariadb_stop
  rm -rf "$scratch"
}
trap cleanup EXIT

home="$scratch/home"
mkdir -p "$home"
ln -s "$build/bak" "$home/bak"
ln -s "$build/template" "$home/template"
"$cli" --home "$home" init >/dev/null
sqlite3 "$home/projects.mdb" < "$root/tests/e2e/school_model.sql"
"$cli" --home "$home" generate school --prefix t_ > "$scratch/generate.log" || fail "generate failed"
"$cli" --home "$home" sql school --prefix t_ > "$scratch/school.sql"
site="$home/projects/school"

private_mariadb_start
sql=(mariadb --socket="$db_socket" -uroot --default-character-set=utf8mb4 -N -B)
password="bench-$RANDOM$RANDOM"
"${sql[@]}" -e "CREATE DATABASE school CHARACTER SET utf8mb4;
  CREATE USER 'velmora'@'127.0.0.1' IDENTIFIED BY '$password';
  GRANT ALL PRIVILEGES ON school.* TO 'velmora'@'127.0.0.1';"
"${sql[@]}" school < "$scratch/school.sql"
login_password='Bench#2026pw'
hash="$(php -r 'echo password_hash($argv[1], PASSWORD_DEFAULT);' "$login_password")"
"${sql[@]}" school -e "UPDATE t_admin SET adminPassword='$hash', mustChangePassword=0 WHERE adminName='admin';
  INSERT INTO t_Grade (gradeName) SELECT CONCAT('年级', LPAD(seq, 6, '0')) FROM seq_1_to_$rows;
  INSERT INTO t_Department (deptNo, deptName) VALUES ('D1', '数学系');
  ANALYZE TABLE t_Grade;" > /dev/null
php -r '$f = $argv[1]; $c = require $f;
  $c = array_merge($c, ["host" => "127.0.0.1", "port" => (int)$argv[2], "user" => "velmora", "password" => $argv[3], "database" => "school"]);
  file_put_contents($f, "<?php\nreturn " . var_export($c, true) . ";\n");' "$site/database/config.php" "$db_port" "$password"

port="$(free_port)"
php -d output_buffering=4096 -d display_errors=0 -d log_errors=1 -d error_log="$scratch/php-error.log" \
  -S "127.0.0.1:$port" -t "$site" "$site/util/router.php" > "$scratch/php-server.log" 2>&1 &
php_pid=$!
wait_for_port "$port" "$php_pid" "$scratch/php-server.log"
base="http://127.0.0.1:$port"
jar="$scratch/cookies"
curl -s -c "$jar" -b "$jar" -o /dev/null "$base/login.php"
curl -s -c "$jar" -b "$jar" -o /dev/null -H "Origin: $base" -H "Referer: $base/login.php" \
  --data-urlencode username=admin --data-urlencode "password=$login_password" "$base/login.php"

# time URL: prints "median worst bytes" in milliseconds over $runs requests (the first one warms up).
time_url() {
  local url="$1" times=() out
  curl -s -b "$jar" -o /dev/null "$url"
  for ((i = 0; i < runs; i++)); do
    out="$(curl -s -b "$jar" -o "$scratch/body" -w '%{time_total} %{size_download} %{http_code}' "$url")"
    [ "${out##* }" = 200 ] || fail "$url answered ${out##* }"
    times+=("${out%% *}")
  done
  printf '%s\n' "${times[@]}" | sort -g | awk -v size="$(wc -c < "$scratch/body")" \
    '{a[NR]=$1*1000} END{printf "%.1f %.1f %d\n", a[int((NR+1)/2)], a[NR], size}'
}

add="$base/controller/StudentAction.php?action=query&view=add"
grep -q 'role="combobox"' <(curl -s -b "$jar" "$add") || fail "the add form shows no lookup: not logged in, or too few rows"
read -r median worst size < <(time_url "$add")
echo "Grade rows: $rows"
printf 'add form: median %s ms, worst %s ms, %s bytes\n' "$median" "$worst" "$size"
lookups() {
  for text in '年级0999' '年级' '9999' '没有这个'; do
    read -r m w s < <(time_url "$base/manage/lookup.php?class=Student&field=grade&q=$(php -r 'echo rawurlencode($argv[1]);' "$text")")
    printf '  lookup "%s": median %s ms, worst %s ms, %s bytes\n' "$text" "$m" "$w" "$s"
  done
}
echo "lookup JSON without an index on gradeName:"
lookups
"${sql[@]}" school -e "CREATE INDEX gradeName ON t_Grade (gradeName)"
echo "lookup JSON with an index on gradeName:"
lookups

if [ "${BENCH_HOLD:-0}" = 1 ]; then
  echo "holding: $base (admin / $login_password); database socket $db_socket; Ctrl-C ends"
  wait "$php_pid"
fi
awk -v m="$median" -v s="$size" 'BEGIN { exit !(m < 50 && s < 100000) }' || { echo "bench: the add form misses its goal" >&2; exit 1; }
