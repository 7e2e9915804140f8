#!/usr/bin/env bash
# Upgrade-script benchmark: generates the benchmark model once (version 1 of its record),
# changes 10% of its members (renamed, lengthened or retyped in turn), then times
# `velmora-cli upgrade-sql` against `velmora-cli sql` on the same model and prints the ratio
# (upgrade / table script; the goal is at most 2).
#
#   bench/upgrade.sh [build folder, default build] [classes] [members] [runs]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
classes="${2:-300}"
members="${3:-20}"
runs="${4:-7}"

for tool in velmora-cli velmora-bench-model; do
  [[ -x "$build/$tool" ]] || { echo "missing $build/$tool: build it first" >&2; exit 2; }
done
command -v sqlite3 >/dev/null || { echo "missing sqlite3" >&2; exit 2; }

work="$(mktemp -d "${BENCH_TMPDIR:-${TMPDIR:-/tmp}}/velmora-bench-upgrade.XXXXXX")"
trap 'rm -rf "$work"' EXIT
"$build/velmora-bench-model" "$work/projects.mdb" "$classes" "$members"
cp -r "$build/bak" "$work/bak"
ln -s "$build/template" "$work/template"
"$build/velmora-cli" --home "$work" generate bench > /dev/null

# Every tenth non-key member changes: renamed, its comment changed, or made a text of length 77.
sqlite3 "$work/projects.mdb" "
  UPDATE t_member SET memberName = memberName || 'X' WHERE memberIsPri = 0 AND memberId % 30 = 0;
  UPDATE t_member SET memberComment = memberComment || '改' WHERE memberIsPri = 0 AND memberId % 30 = 10;
  UPDATE t_member SET memberType = '字符串', memberLength = 77, memberIsInteger = 0, memberIsFloat = 0
    WHERE memberIsPri = 0 AND memberId % 30 = 20;"
changed=$(sqlite3 "$work/projects.mdb" "SELECT count(*) FROM t_member WHERE memberIsPri = 0 AND memberId % 10 = 0")
total=$(sqlite3 "$work/projects.mdb" "SELECT count(*) FROM t_member")

now() { date +%s.%N; }
best() { # best of $runs runs of the command, in seconds
  local best_time=""
  for ((i = 1; i <= runs; i++)); do
    local t0 t1
    t0=$(now); "$@" > /dev/null; t1=$(now)
    local took; took=$(awk "BEGIN{print $t1 - $t0}")
    [[ -z "$best_time" || $(awk "BEGIN{print ($took < $best_time)}") == 1 ]] && best_time=$took
  done
  echo "$best_time"
}
sql_time=$(best "$build/velmora-cli" --home "$work" sql bench)
upgrade_time=$(best "$build/velmora-cli" --home "$work" upgrade-sql bench)
statements=$("$build/velmora-cli" --home "$work" upgrade-sql bench | grep -c 'CHANGE COLUMN' || true)

printf 'model:       %d classes x %d members (%d members), about %d changed, %d CHANGE COLUMN clauses\n' \
  "$classes" "$members" "$total" "$changed" "$statements"
printf 'sql:         %.3f s (best of %d)\n' "$sql_time" "$runs"
printf 'upgrade-sql: %.3f s (best of %d)\n' "$upgrade_time" "$runs"
printf 'ratio:       %.2f\n' "$(awk "BEGIN{print $upgrade_time / $sql_time}")"
