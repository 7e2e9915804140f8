#!/usr/bin/env bash
# Generation benchmark: builds a model of 300 classes x 20 members (a third references),
# generates it with velmora-cli, then copies the output tree with cp -r, then generates it again
# into the same folder with nothing changed, and prints the times and two ratios:
# generation / copy (the goal is at most 2) and regeneration / generation (at most 1.2), each
# from the medians of runs that take the three steps in turn. Use BENCH_TMPDIR=/dev/shm to
# measure the program rather than the disk.
#
#   bench/generate.sh [build folder, default build] [classes] [members] [runs]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
classes="${2:-300}"
members="${3:-20}"
runs="${4:-11}"

for tool in velmora-cli velmora-bench-model; do
  [[ -x "$build/$tool" ]] || { echo "missing $build/$tool: build it first" >&2; exit 2; }
done
[[ -d "$build/bak" ]] || { echo "missing $build/bak: build the velmora_resources target" >&2; exit 2; }

work="$(mktemp -d "${BENCH_TMPDIR:-${TMPDIR:-/tmp}}/velmora-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
"$build/velmora-bench-model" "$work/projects.mdb" "$classes" "$members"

# Each run gets a program folder of its own, so that no deletion happens between the timed
# steps (ext4 slows down the creation of files right after many deletions).
now() { date +%s.%N; }
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}'; }
gens=() copies=() regens=()
for ((i = 1; i <= runs; i++)); do
  home="$work/run$i"
  mkdir "$home"
  cp -r "$build/bak" "$home/bak"
  cp "$work/projects.mdb" "$home/projects.mdb"
  sync
  t0=$(now)
  "$build/velmora-cli" --home "$home" generate bench > "$work/log.txt"
  t1=$(now)
  cp -r "$home/projects/bench" "$home/copy"
  t2=$(now)
  "$build/velmora-cli" --home "$home" generate bench > "$work/relog.txt"
  t3=$(now)
  grep -q '无变化' "$work/relog.txt" || { echo "the regeneration did not find the earlier output" >&2; exit 2; }
  gen=$(awk "BEGIN{print $t1 - $t0}")
  copy=$(awk "BEGIN{print $t2 - $t1}")
  regen=$(awk "BEGIN{print $t3 - $t2}")
  gens+=("$gen") copies+=("$copy") regens+=("$regen")
done
gen_time=$(median "${gens[@]}")
copy_time=$(median "${copies[@]}")
regen_time=$(median "${regens[@]}")

lines=$(wc -l < "$work/log.txt")
files=$(find "$work/run1/projects/bench" -type f | wc -l)
size=$(du -sh "$work/run1/projects/bench" | cut -f1)
printf 'model:      %d classes x %d members, %d log lines, %d files, %s\n' "$classes" "$members" "$lines" "$files" "$size"
printf 'generate:   %.3f s (median of %d)\n' "$gen_time" "$runs"
printf 'cp -r:      %.3f s (median of %d)\n' "$copy_time" "$runs"
printf 'regenerate: %.3f s (median of %d, nothing changed)\n' "$regen_time" "$runs"
printf 'ratio:      %.2f\n' "$(awk "BEGIN{print $gen_time / $copy_time}")"
printf 'regen ratio: %.2f (regenerate / generate)\n' "$(awk "BEGIN{print $regen_time / $gen_time}")"
