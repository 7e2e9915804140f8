#!/usr/bin/env bash
# Member-table benchmark: a model of two classes of 1,000 members; in the main window under
# Xvfb, selecting a class (the other one selected before) until the member table has repainted,
# against the bare prepared query of the same rows reading every column into QVariants (the
# goal is at most 3).
#
#   bench/members.sh [build folder, default build] [members] [runs]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
members="${2:-1000}"
runs="${3:-31}"

for tool in velmora-bench-model velmora-bench-members; do
  [[ -x "$build/$tool" ]] || { echo "missing $build/$tool: build it first" >&2; exit 2; }
done
work="$(mktemp -d "${BENCH_TMPDIR:-${TMPDIR:-/tmp}}/velmora-bench-members.XXXXXX")"
cleanup() { rm -rf "$work"; }
source "$root/bench/xvfb.sh"
start_display
export XDG_RUNTIME_DIR="$work"

"$build/velmora-bench-model" "$work/projects.mdb" 2 "$members"
"$build/velmora-bench-members" "$work" "$runs"
