#!/usr/bin/env bash
# Generation benchmark: for each size, builds a model of that many classes x 20 members (a third
# references), generates it with velmora-cli, copies the output tree with cp -r, then generates it
# again into the same folder with nothing changed. Prints, on disk (TMPDIR) and on tmpfs
# (/dev/shm), the medians of each step and of the pairs' ratios: generation / copy (the goal is
# at most 1.5) and regeneration / generation (at most 1.2). Between each two sizes it prints the
# slope, the time one more class adds, of generation and of cp -r and their ratio (at most 2):
# generation must grow with the model as the copy of its files does. Each figure is given as wall
# clock and as processor time (user + system), since on a loaded machine the wall clock of the
# longer step takes more waits for the processor than the shorter one.
#
#   bench/generate.sh [build folder, default build] [sizes, default "30 300 3000"] [members] [runs]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
sizes="${2:-30 300 3000}"
members="${3:-20}"
runs="${4:-7}"

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

# measure PLACE CLASSES: prints the block of one size and appends "classes gen copy" (medians in
# ms, wall clock then processor time) to PLACE's summary.
measure() {
  local place="$1" classes="$2" work
  work="$(mktemp -d "$place/velmora-bench.XXXXXX")"
  works+=("$work")
  "$build/velmora-bench-model" "$work/projects.mdb" "$classes" "$members"
  # Each run gets a program folder of its own, so that no deletion happens between the timed
  # steps (ext4 slows down the creation of files right after many deletions); the run before
  # last is removed first, so that big models fit on tmpfs.
  for ((i = 0; i <= runs; i++)); do # run 0 warms the caches
    local home="$work/run$i"
    if ((i >= 3)); then rm -rf "$work/run$((i - 2))"; fi
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
  local files size last="$work/run$runs/projects/bench"
  files=$(find "$last" -type f | wc -l)
  size=$(du -sh "$last" | cut -f1)
  printf '%s (%s): %d classes x %d members, %d files, %s; medians of %d, wall clock (processor time)\n' \
    "$place" "$(df --output=fstype "$place" | tail -1)" "$classes" "$members" "$files" "$size" "$runs"
  local -A wall cpu
  for step in gen copy regen; do
    wall[$step]=$(median $(awk '{print $1 * 1000}' "$work/$step"))
    cpu[$step]=$(median $(awk '{print $2 * 1000}' "$work/$step"))
    printf '  %-11s %.1f ms (%.1f ms)\n' "$step:" "${wall[$step]}" "${cpu[$step]}"
  done
  printf '  ratio:      %.2f (%.2f), generate / cp -r, median of the pairs\n' \
    "$(median $(ratios "$work/gen" "$work/copy" 1))" "$(median $(ratios "$work/gen" "$work/copy" 2))"
  printf '  regen ratio: %.2f (%.2f), regenerate / generate\n' \
    "$(median $(ratios "$work/regen" "$work/gen" 1))" "$(median $(ratios "$work/regen" "$work/gen" 2))"
  echo "$classes ${wall[gen]} ${wall[copy]} ${cpu[gen]} ${cpu[copy]}" >> "$summary"
  rm -rf "$work"
}

# slopes: for each two sizes in a row, ms per class of generation and of cp -r, and their ratio.
slopes() {
  awk 'NR > 1 {
         n = $1 - c; printf "  slope %d-%d classes: generate %.3f ms/class, cp -r %.3f; ratio %.2f (processor time %.2f)\n",
           c, $1, ($2 - g) / n, ($3 - k) / n, ($2 - g) / ($3 - k), ($4 - gc) / ($5 - kc) }
       { c = $1; g = $2; k = $3; gc = $4; kc = $5 }' "$summary"
}

for place in "${BENCH_TMPDIR:-${TMPDIR:-/tmp}}" /dev/shm; do
  summary="$(mktemp)"
  works+=("$summary")
  for classes in $sizes; do measure "$place" "$classes"; done
  slopes
done
