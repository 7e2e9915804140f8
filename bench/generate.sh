#!/usr/bin/env bash
# Generation benchmark: builds a model of 30 classes x 20 members (a third references),
# generates it with velmora-cli, copies the output tree with cp -r, then generates it again into
# the same folder with nothing changed. Prints, on disk (TMPDIR) and on tmpfs (/dev/shm), the
# medians of each step and of the pairs' ratios: generation / copy (the goal is at most 1.5 for
# 30 classes) and regeneration / generation (at most 1.2). Each figure is given as wall clock
# and as processor time (user + system), since on a loaded machine the wall clock of the longer
# step takes more waits for the processor than the shorter one.
#
#   bench/generate.sh [build folder, default build] [classes] [members] [runs]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
classes="${2:-30}"
members="${3:-20}"
runs="${4:-11}"

for tool in "$build/velmora-cli" "$build/velmora-bench-model"; do
  [[ -x "$tool" ]] || { echo "missing $tool: build it first" >&2; exit 2; }
done
[[ -d "$build/bak" ]] || { echo "missing $build/bak: build the velmora_resources target" >&2; exit 2; }

works=()
trap 'rm -rf "${works[@]}"' EXIT
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}'; }
# timed FILE COMMAND...: runs the command, appending "wall cpu" (seconds) to FILE.
timed() {
  local file="$1" TIMEFORMAT='%3R %3U %3S'; shift
  { time "$@" 2>"$file.err"; } 2> "$file.one" || { cat "$file.err" >&2; exit 2; }
  awk '{print $1, $2 + $3}' "$file.one" >> "$file"
}
ratios() { paste -d' ' "$1" "$2" | awk -v c="$3" '{print $c / $(c + 2)}'; }

measure() {
  local place="$1" work
  work="$(mktemp -d "$place/velmora-bench.XXXXXX")"
  works+=("$work")
  "$build/velmora-bench-model" "$work/projects.mdb" "$classes" "$members"
  # Each run gets a program folder of its own, so that no deletion happens between the timed
  # steps (ext4 slows down the creation of files right after many deletions).
  for ((i = 0; i <= runs; i++)); do # run 0 warms the caches
    local home="$work/run$i"
    mkdir "$home"
    cp -r "$build/bak" "$home/bak"
    cp "$work/projects.mdb" "$home/projects.mdb"
    sync
    timed "$work/gen" "$build/velmora-cli" --home "$home" generate bench > "$work/log.txt"
    timed "$work/copy" cp -r "$home/projects/bench" "$home/copy"
    timed "$work/regen" "$build/velmora-cli" --home "$home" generate bench > "$work/relog.txt"
    grep -q '无变化' "$work/relog.txt" || { echo "the regeneration did not find the earlier output" >&2; exit 2; }
    if ((i == 0)); then rm "$work/gen" "$work/copy" "$work/regen"; fi
  done
  local files size
  files=$(find "$work/run1/projects/bench" -type f | wc -l)
  size=$(du -sh "$work/run1/projects/bench" | cut -f1)
  printf '%s (%s): %d classes x %d members, %d files, %s; medians of %d, wall clock (processor time)\n' \
    "$place" "$(df --output=fstype "$place" | tail -1)" "$classes" "$members" "$files" "$size" "$runs"
  for step in gen copy regen; do
    printf '  %-11s %.1f ms (%.1f ms)\n' "$step:" \
      "$(median $(awk '{print $1 * 1000}' "$work/$step"))" "$(median $(awk '{print $2 * 1000}' "$work/$step"))"
  done
  printf '  ratio:      %.2f (%.2f), generate / cp -r, median of the pairs\n' \
    "$(median $(ratios "$work/gen" "$work/copy" 1))" "$(median $(ratios "$work/gen" "$work/copy" 2))"
  printf '  regen ratio: %.2f (%.2f), regenerate / generate\n' \
    "$(median $(ratios "$work/regen" "$work/gen" 1))" "$(median $(ratios "$work/regen" "$work/gen" 2))"
}

measure "${BENCH_TMPDIR:-${TMPDIR:-/tmp}}"
measure /dev/shm
