#!/usr/bin/env bash
# Upgrade scripts against a real MariaDB. For each folder of cases/: generate the base model
# (version 1), load its table script and rows.sql into one database, edit the model (edit.sql),
# apply `upgrade-sql` to that database, and load the edited model's table script into an empty
# one. The two must agree in information_schema (tables, columns, keys, foreign keys, comments),
# and the rows of kept columns (before.sql, after.sql) must read the same.
# base.sql, when a case has one, changes the base model before it is generated; rows.sql, when
# it has one, stands for the shared rows.
# case.conf: DESTRUCTIVE=1 for --destructive; PREFIX=P for a new prefix. expect.txt, when a case
# has one, holds lines the upgrade script must contain. Without --destructive
# the commented DROP statements are run afterwards, which must then reach the same database.
#
#   VELMORA_BUILD_DIR=build tests/upgrade/run_upgrade.sh [case...]
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build_dir="$(cd "${VELMORA_BUILD_DIR:-$here/../../build}" && pwd)"
cli="$build_dir/velmora-cli"
PATH="$PATH:/usr/sbin:/sbin"

fail() { echo "upgrade: $*" >&2; exit 1; }
for tool in mariadbd mariadb-install-db mariadb mariadb-admin sqlite3; do
  command -v "$tool" >/dev/null || fail "missing tool: $tool (see scripts/packages.txt)"
done
[ -x "$cli" ] || fail "missing $cli; build the project first"

scratch="$(mktemp -d "${TMPDIR:-/tmp}/velmora-upgrade.XXXXXX")"
source "$here/../lib/private_mariadb.sh"
cleanup() {
  local rc=$?
  private_mariadb_stop
  [ "${VELMORA_UPGRADE_KEEP:-0}" = 1 ] && echo "upgrade: scratch folder kept at $scratch" || rm -rf "$scratch"
  exit $rc
}
trap cleanup EXIT
trap 'exit 130' INT TERM

private_mariadb_start
sql() { mariadb --socket="$scratch/mysql.sock" -uroot --default-character-set=utf8mb4 --batch "$@"; }

# What information_schema says of one database, in a stable order.
schema() {
  sql information_schema -e "
    SELECT table_name, engine, table_collation, table_comment FROM tables
      WHERE table_schema = '$1' ORDER BY table_name;
    SELECT table_name, column_name, ordinal_position, column_type, is_nullable, column_default,
           column_key, extra, collation_name, column_comment FROM columns
      WHERE table_schema = '$1' ORDER BY table_name, ordinal_position;
    SELECT table_name, index_name, seq_in_index, column_name, non_unique FROM statistics
      WHERE table_schema = '$1' ORDER BY table_name, index_name, seq_in_index;
    SELECT constraint_name, table_name, column_name, referenced_table_name, referenced_column_name
      FROM key_column_usage WHERE table_schema = '$1' AND referenced_table_name IS NOT NULL
      ORDER BY table_name, constraint_name;
    SELECT constraint_name, table_name, update_rule, delete_rule FROM referential_constraints
      WHERE constraint_schema = '$1' ORDER BY table_name, constraint_name;"
}

# The model version a database says it holds.
held_version() { sql --skip-column-names "$1" -e "SELECT modelVersion FROM \`$2model_version\`"; }
expect_version() {
  local got; got="$(held_version "$1" "$2")"
  [ "$got" = "$3" ] || { echo "$1 holds version '$got', expected $3 ($4)"; return 1; }
}

run_case() {
  local name="$1" folder="$here/cases/$1" work="$scratch/$1"
  local DESTRUCTIVE=0 PREFIX=t_
  # shellcheck disable=SC1091
  source "$folder/case.conf"
  mkdir -p "$work/home"
  ln -s "$build_dir/bak" "$work/home/bak"
  ln -s "$build_dir/template" "$work/home/template"
  local home="$work/home"
  "$cli" --home "$home" init >/dev/null || return 1
  sqlite3 "$home/projects.mdb" < "$here/base_model.sql" || return 1
  if [ -f "$folder/base.sql" ]; then sqlite3 "$home/projects.mdb" < "$folder/base.sql" || return 1; fi
  "$cli" --home "$home" generate school > "$work/generate.log" || { cat "$work/generate.log"; return 1; }
  "$cli" --home "$home" sql school > "$work/old.sql" || return 1
  sqlite3 "$home/projects.mdb" < "$folder/edit.sql" || return 1
  "$cli" --home "$home" sql school --prefix "$PREFIX" > "$work/new.sql" || return 1
  local options=(--prefix "$PREFIX")
  [ "$DESTRUCTIVE" = 1 ] && options+=(--destructive)
  "$cli" --home "$home" upgrade-sql school "${options[@]}" > "$work/upgrade.sql" || return 1
  if [ -f "$folder/expect.txt" ]; then
    while IFS= read -r line; do
      tr -d '\r' < "$work/upgrade.sql" | grep -qF -- "$line" || { echo "upgrade script lacks: $line"; cat "$work/upgrade.sql"; return 1; }
    done < "$folder/expect.txt"
  fi

  sql -e "CREATE DATABASE up_$name CHARACTER SET utf8mb4; CREATE DATABASE new_$name CHARACTER SET utf8mb4;"
  sql "up_$name" < "$work/old.sql" || return 1
  expect_version "up_$name" t_ 1 "after the table script" || return 1
  local rows="$here/rows.sql"
  [ -f "$folder/rows.sql" ] && rows="$folder/rows.sql"
  sql "up_$name" < "$rows" || return 1
  sql --skip-column-names "up_$name" < "$folder/before.sql" > "$work/before.txt" || return 1
  sql "up_$name" < "$work/upgrade.sql" || { cat "$work/upgrade.sql"; return 1; }
  expect_version "up_$name" "$PREFIX" 2 "after the upgrade script" || return 1
  sql --skip-column-names "up_$name" < "$folder/after.sql" > "$work/after.txt" || return 1
  if [ "$DESTRUCTIVE" != 1 ]; then
    sed -n 's/\r$//; s/^-- \(ALTER TABLE .* DROP COLUMN .*;\|DROP TABLE .*;\)$/\1/p' "$work/upgrade.sql" > "$work/drops.sql"
    [ -s "$work/drops.sql" ] || { echo "no commented DROP statements"; return 1; }
    sql "up_$name" < "$work/drops.sql" || return 1
  fi
  sql "new_$name" < "$work/new.sql" || return 1
  expect_version "new_$name" "$PREFIX" 2 "after the edited model's table script" || return 1

  schema "up_$name" | sed "s/up_$name/DB/g" > "$work/up.schema"
  schema "new_$name" | sed "s/new_$name/DB/g" > "$work/new.schema"
  local ok=0
  diff -u "$work/new.schema" "$work/up.schema" > "$work/schema.diff" || { echo "schema differs:"; cat "$work/schema.diff"; ok=1; }
  diff -u "$work/before.txt" "$work/after.txt" || { echo "rows of kept columns differ"; ok=1; }
  [ $ok = 0 ] || { echo "--- upgrade script:"; cat "$work/upgrade.sql"; }
  return $ok
}

# upgrade-sql --from-db: versions 1 to 3 generated (the columns, then the classes edit); a
# database at version 1 is upgraded from the version it holds, and one loaded from version 2's
# script that lost its version table is matched to version 2 by its tables; of two versions that
# match equally, the newer.
run_from_db() {
  local work="$scratch/from_db" home="$scratch/from_db/home"
  mkdir -p "$home"
  ln -s "$build_dir/bak" "$home/bak"
  ln -s "$build_dir/template" "$home/template"
  "$cli" --home "$home" init >/dev/null || return 1
  sqlite3 "$home/projects.mdb" < "$here/base_model.sql" || return 1
  local version=1
  for edit in "" columns classes; do
    if [ -n "$edit" ]; then sqlite3 "$home/projects.mdb" < "$here/cases/$edit/edit.sql" || return 1; fi
    "$cli" --home "$home" generate school > "$work/generate.log" || { cat "$work/generate.log"; return 1; }
    "$cli" --home "$home" sql school > "$work/v$version.sql" || return 1
    version=$((version + 1))
  done
  local connect=(--from-db --socket "$scratch/mysql.sock" --user root)
  sql -e "CREATE DATABASE at_one CHARACTER SET utf8mb4; CREATE DATABASE lost_two CHARACTER SET utf8mb4;"
  sql at_one < "$work/v1.sql" && sql at_one < "$here/rows.sql" || return 1
  "$cli" --home "$home" upgrade-sql school "${connect[@]}" --database at_one > "$work/up1.sql" 2> "$work/up1.err" || { cat "$work/up1.err"; return 1; }
  grep -q "^数据库记录的模型版本: 第 1 版" "$work/up1.err" || { cat "$work/up1.err"; return 1; }
  grep -q "^-- 由第 1 版的数据库升级" "$work/up1.sql" || { cat "$work/up1.sql"; return 1; }
  sql at_one < "$work/up1.sql" || return 1
  expect_version at_one t_ 3 "after the upgrade from the version it held" || return 1

  sql lost_two < "$work/v2.sql" && sql lost_two -e "DROP TABLE t_model_version" || return 1
  "$cli" --home "$home" upgrade-sql school "${connect[@]}" --database lost_two > "$work/up2.sql" 2> "$work/up2.err" || { cat "$work/up2.err"; return 1; }
  grep -q "^数据库中没有模型版本记录; 其表结构与第 2 版相同" "$work/up2.err" || { cat "$work/up2.err"; return 1; }
  grep -q "^-- 由第 2 版的数据库升级" "$work/up2.sql" || { cat "$work/up2.sql"; return 1; }
  sql lost_two < "$work/up2.sql" || return 1
  expect_version lost_two t_ 3 "after the upgrade from the matched version" || return 1

  # Generated again unchanged: versions 3 and 4 match its tables equally, and the newer is taken.
  "$cli" --home "$home" generate school > "$work/generate.log" || { cat "$work/generate.log"; return 1; }
  sql -e "CREATE DATABASE lost_four CHARACTER SET utf8mb4;"
  sql lost_four < "$work/v3.sql" && sql lost_four -e "DROP TABLE t_model_version" || return 1
  "$cli" --home "$home" upgrade-sql school "${connect[@]}" --database lost_four > "$work/up4.sql" 2> "$work/up4.err" || { cat "$work/up4.err"; return 1; }
  grep -q "^数据库中没有模型版本记录; 其表结构与第 4 版相同" "$work/up4.err" || { cat "$work/up4.err"; return 1; }
}

cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=($(ls "$here/cases"))
failed=0
for name in "${cases[@]}"; do
  if run_case "$name" > "$scratch/$name.log" 2>&1; then
    echo "PASS $name"
  else
    echo "FAIL $name"
    cat "$scratch/$name.log"
    failed=1
  fi
done
if [ $# -eq 0 ]; then
  if run_from_db > "$scratch/from_db.log" 2>&1; then
    echo "PASS from_db"
  else
    echo "FAIL from_db"
    cat "$scratch/from_db.log"
    failed=1
  fi
fi
exit $failed
