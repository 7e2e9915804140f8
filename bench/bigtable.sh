#!/usr/bin/env bash
# The generated application over a big table: generates bench/bigtable_model.sql, loads its table
# script into a private MariaDB, fills Item with ROWS rows, serves the project with `php -S` and,
# logged in, times on the server:
#   - Item's list page: first and last page, sorted by a column (first and last page) and
#     searched, each against the bare SQL of the same page (its count and its page query) run
#     through mysqli in one PHP process; the goal is at most 3;
#   - every other page kind against the bare SQL of its own statements: the detail view, the add
#     and edit forms, the delete, the list of Sale (ROWS rows, each referring to an Item) and the
#     type-ahead lookup; the goal is at most 2;
#   - Sale's add form, whose Item field looks up the big table; the goal is under 50 ms;
#   - the CSV export of every Item and of every Sale (whose Item is shown by its name), each
#     against its bare SELECT (the goal is at most 1.5): time to the first byte and to the last,
#     and how much the server process's peak memory grew with it (flat: a few MB at most).
# Then again with the indexes sorting and searching would use (see the last lines printed).
# Page times are curl's time to the last byte over the loopback; all figures are medians.
#
#   bench/bigtable.sh [build folder, default build] [rows, default 100000] [runs, default 9]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
rows="${2:-100000}"
runs="${3:-9}"
cli="$build/velmora-cli"

fail() { echo "bigtable: $*" >&2; exit 1; }
PATH="$PATH:/usr/sbin:/sbin"
for tool in mariadbd mariadb-install-db mariadb php sqlite3 curl; do
  command -v "$tool" >/dev/null || fail "missing tool: $tool (see scripts/packages.txt)"
done
[[ -x "$cli" ]] || fail "missing $cli: build it first"

scratch="$(mktemp -d "${BENCH_TMPDIR:-${TMPDIR:-/tmp}}/velmora-bigtable.XXXXXX")"
source "$root/tests/lib/private_mariadb.sh"
php_pid=""
cleanup() {
  set +e
  [[ -n "$php_pid" ]] && kill "$php_pid" 2>/dev/null && wait "$php_pid" 2>/dev/null
  private_mariadb_stop
  [[ -n "${BENCH_KEEP:-}" ]] && cp "$scratch/php-error.log" "$scratch/export.csv" /tmp/speedbench/ 2>/dev/null; rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

home="$scratch/home"
mkdir -p "$home" "$scratch/sessions"
ln -s "$build/bak" "$home/bak"
ln -s "$build/template" "$home/template"
"$cli" --home "$home" init >/dev/null
sqlite3 "$home/projects.mdb" < "$root/bench/bigtable_model.sql"
"$cli" --home "$home" generate big --prefix t_ > "$scratch/generate.log" || { cat "$scratch/generate.log" >&2; fail "generate failed"; }
"$cli" --home "$home" sql big --prefix t_ > "$scratch/big.sql" || fail "sql failed"

private_mariadb_start
sql=(mariadb --socket="$db_socket" -uroot --default-character-set=utf8mb4)
password="bench-$RANDOM$RANDOM"
"${sql[@]}" -e "CREATE DATABASE big CHARACTER SET utf8mb4;
  CREATE USER 'velmora'@'127.0.0.1' IDENTIFIED BY '$password';
  GRANT ALL PRIVILEGES ON big.* TO 'velmora'@'127.0.0.1';"
"${sql[@]}" big < "$scratch/big.sql"
hash="$(php -r 'echo password_hash("Bench#Pass2026", PASSWORD_DEFAULT);')"
"${sql[@]}" big -e "
  UPDATE t_admin SET adminPassword = '$hash', mustChangePassword = 0 WHERE adminName = 'admin';
  INSERT INTO t_Category (title) SELECT CONCAT('分类', seq) FROM seq_1_to_50;
  INSERT INTO t_Item (name, price, created, category, note)
    SELECT CONCAT('商品', LPAD(seq * 7919 % $rows, 6, '0')), seq % 1000 + 0.5,
      DATE_ADD('2020-01-01', INTERVAL seq % 2000 DAY), 1 + seq % 50, CONCAT('备注', seq)
    FROM seq_1_to_$rows;
  INSERT INTO t_Sale (saleId, item, amount) SELECT seq, 1 + seq * 31 % $rows, seq % 9 + 1 FROM seq_1_to_$rows;
  INSERT INTO t_Sale (saleId, item, amount) SELECT 1000000 + seq, seq, 1 FROM seq_1_to_200;
  ANALYZE TABLE t_Item, t_Sale;" > /dev/null

site="$home/projects/big"
php -r '$f = $argv[1]; $c = require $f;
  $c = array_merge($c, ["host" => "127.0.0.1", "port" => (int)$argv[2], "user" => "velmora",
    "password" => $argv[3], "database" => "big"]);
  file_put_contents($f, "<?php\nreturn " . var_export($c, true) . ";\n");' \
  "$site/database/config.php" "$db_port" "$password"
port="$(free_port)"
base="http://127.0.0.1:$port"
php -d display_errors=0 -d log_errors=1 -d error_log="$scratch/php-error.log" \
  -d session.save_path="$scratch/sessions" \
  -S "127.0.0.1:$port" -t "$site" "$site/util/router.php" > "$scratch/server.log" 2>&1 &
php_pid=$!
wait_for_port "$port" "$php_pid" "$scratch/server.log"

jar="$scratch/cookies"
web() { curl -s -b "$jar" -c "$jar" -H "Origin: $base" -H "Referer: $base/" "$@"; }
[[ "$(web -o /dev/null -w '%{http_code}' -d username=admin -d 'password=Bench#Pass2026' "$base/login.php")" == 302 ]] \
  || fail "the login failed"

median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}'; }
ms() { awk -v s="$1" 'BEGIN{printf "%.1f", s * 1000}'; }
last=$(( (rows + 9) / 10 ))
list="$base/controller/ItemAction.php?action=query"
search="商品0$(printf '%04d' $((rows / 3 % 10000)))"
count_all="select count(itemId) from t_Item where 1=1"
count_found="$count_all and name like '%$search%'"
by_name=' order by `name` asc, `itemId` asc'
# name|page address|POST data or -|count SQL|page SQL
cases=(
  "first page|$list|-|$count_all|select * from t_Item where 1=1 limit 0,10"
  "last page|$list&pageNow=$last|-|$count_all|select * from t_Item where 1=1 limit $(( (last - 1) * 10 )),10"
  "sorted, first|$list&sort=name&order=asc|-|$count_all|select * from t_Item where 1=1$by_name limit 0,10"
  "sorted, last|$list&sort=name&order=asc&pageNow=$last|-|$count_all|select * from t_Item where 1=1$by_name limit $(( (last - 1) * 10 )),10"
  "searched|$list|name=$search|$count_found|select * from t_Item where 1=1 and name like '%$search%' limit 0,10"
)

# The anchor: the page's own statements (separated by " ;; ") through mysqli in one PHP process,
# timed after a first run (a delete is timed at once, on a row of its own); prints seconds.
cat > "$scratch/bare.php" <<'PHP'
<?php
[$script, $port, $password, $statements] = $argv;
$db = new mysqli('127.0.0.1', 'velmora', $password, 'big', (int)$port);
$db->set_charset('utf8mb4');
$list = explode(' ;; ', $statements);
$run = function () use ($db, $list) {
    foreach ($list as $sql) {
        $res = $db->query($sql);
        if ($res instanceof mysqli_result) {
            $res->fetch_all(MYSQLI_ASSOC);
        }
    }
};
if (!preg_match('/^\s*delete\b/i', $list[0])) {
    $run();
}
$t = hrtime(true);
$run();
echo (hrtime(true) - $t) / 1e9, "\n";
PHP

page_time() { # address, POST data or -, expected status (default 200)
  local args=(-o "$scratch/page.html" -w '%{http_code} %{time_total}')
  [[ "$2" != - ]] && args+=(--data-urlencode "$2")
  local out; out="$(web "${args[@]}" "$1")"
  [[ "${out%% *}" == "${3:-200}" ]] || fail "$1 answered ${out%% *}"
  grep -q 'class="alert error"' "$scratch/page.html" && fail "$1 showed an error"
  echo "${out#* }"
}

measure_pages() { # the cases to time (default: the list cases)
  local entry name url data count page i
  local which=("$@"); (( ${#which[@]} )) || which=("${cases[@]}")
  for entry in "${which[@]}"; do
    IFS='|' read -r name url data count page <<< "$entry"
    page_time "$url" "$data" > /dev/null # warm-up
    local pages=() bares=() ratios=()
    for ((i = 0; i < runs; i++)); do
      local p b
      p="$(page_time "$url" "$data")"
      b="$(php "$scratch/bare.php" "$db_port" "$password" "$count ;; $page")"
      pages+=("$p") bares+=("$b") ratios+=("$(awk -v p="$p" -v b="$b" 'BEGIN{print p / b}')")
    done
    printf '  %-14s page %7s ms, bare SQL %7s ms, ratio %5.2f\n' "$name:" \
      "$(ms "$(median "${pages[@]}")")" "$(ms "$(median "${bares[@]}")")" "$(median "${ratios[@]}")"
  done
}

# The other page kinds: name|page address|POST data or -|statements ;; ...|more statements
one=$(( rows / 2 ))
item_row="select * from t_Item where itemId='$one'"
sale_list="$base/controller/SaleAction.php?action=query"
kinds=(
  "Item detail|$list&view=detail&itemId=$one|-|$item_row|select categoryId,title from t_Category"
  "Item add form|$list&view=add|-|select categoryId,title from t_Category|select 1"
  "Item edit form|$list&view=edit&itemId=$one|-|$item_row|select categoryId,title from t_Category"
  "Sale detail|$sale_list&view=detail&saleId=$one|-|select * from t_Sale where saleId='$one'|select itemId,name from t_Item where itemId=1"
  "Sale list|$sale_list|-|select count(saleId) from t_Sale where 1=1|select * from t_Sale where 1=1 limit 0,10 ;; select itemId,name from t_Item where itemId in (1,32,63,94,125,156,187,218,249,280)"
  "lookup|$base/manage/lookup.php?class=Sale&field=item&q=$(php -r 'echo rawurlencode($argv[1]);' "$search")|-|select itemId,name from t_Item where 1=1 and name like '$search%' order by name limit 21 ;; select itemId,name from t_Item where 1=1 and name like '%$search%' and name not like '$search%' order by name limit 20|select 1"
)

# The delete: each run removes a Sale row of its own, the anchor another one.
measure_delete() {
  local pages=() bares=() ratios=() i p b
  for ((i = 0; i < runs; i++)); do
    p="$(page_time "$sale_list&action=del&saleId=$((1000001 + 2 * i))" "action=del" 302)"
    b="$(php "$scratch/bare.php" "$db_port" "$password" "delete from t_Sale where saleId='$((1000002 + 2 * i))'")"
    pages+=("$p") bares+=("$b") ratios+=("$(awk -v p="$p" -v b="$b" 'BEGIN{print p / b}')")
  done
  printf '  %-14s page %7s ms, bare SQL %7s ms, ratio %5.2f\n' "Sale delete:" \
    "$(ms "$(median "${pages[@]}")")" "$(ms "$(median "${bares[@]}")")" "$(median "${ratios[@]}")"
}

measure_form() {
  local times=() i
  page_time "$base/controller/SaleAction.php?action=query&view=add" - > /dev/null
  for ((i = 0; i < runs; i++)); do
    times+=("$(page_time "$base/controller/SaleAction.php?action=query&view=add" -)")
  done
  printf '  %-14s %s ms, %d KB (goal under 50 ms)\n' "Sale add form:" "$(ms "$(median "${times[@]}")")" \
    $(( $(stat -c %s "$scratch/page.html") / 1024 ))
}

peak_kb() { awk '/VmHWM/ {print $2}' "/proc/$php_pid/status"; }
measure_export() { # name, list address, bare SELECT
  local before after out
  web -o /dev/null "$2" # the list itself, so that only the export adds to the peak
  before="$(peak_kb)"
  out="$(web -o "$scratch/export.csv" -w '%{http_code} %{time_starttransfer} %{time_total}' "$2&export=csv")"
  after="$(peak_kb)"
  read -r code first total <<< "$out"
  [[ "$code" == 200 ]] || fail "the export answered $code: $(head -c 300 "$scratch/export.csv")"
  local lines; lines=$(( $(wc -l < "$scratch/export.csv") - 1 ))
  (( lines >= rows )) || fail "the export holds $lines rows, not $rows"
  local bare; bare="$(php "$scratch/bare.php" "$db_port" "$password" "$3")"
  printf '  %-14s %d rows, first byte %s ms, last byte %s ms, bare SELECT %s ms, ratio %.2f, server peak memory +%d MB\n' \
    "$1:" "$lines" "$(ms "$first")" "$(ms "$total")" "$(ms "$bare")" "$(awk -v p="$total" -v b="$bare" 'BEGIN{print p / b}')" \
    $(( (after - before) / 1024 ))
}

echo "Item: $rows rows; medians of $runs"
echo "without indexes beyond the keys:"
measure_pages
measure_export "Item export" "$list" "select * from t_Item where 1=1"
measure_export "Sale export" "$sale_list" "select * from t_Sale where 1=1"
measure_pages "${kinds[@]}"
measure_delete
measure_form
"${sql[@]}" big -e "CREATE INDEX item_name ON t_Item (name, itemId); ANALYZE TABLE t_Item;" > /dev/null
echo "with an index on t_Item (name, itemId), which sorting by name uses:"
measure_pages
[[ ! -s "$scratch/php-error.log" ]] || { echo "PHP errors:" >&2; head -5 "$scratch/php-error.log" >&2; }
