#!/usr/bin/env bash
# Runs the end-to-end suite N times in a row while two CPU hogs keep the machine busy, and prints
# each run's outcome and the count of passes. Not registered in CTest: it takes many minutes.
#
# Usage: tests/e2e/stress.sh [N] [CTEST_REGEX]      N defaults to 10, the regex to "e2e"
# Environment:
#   VELMORA_BUILD  the configured and built build folder (default: build/ of this source tree)
# Each run's ctest output goes to $VELMORA_BUILD/e2e-stress/run-I.log; a failed run also keeps
# its screenshots and server logs in $VELMORA_BUILD/e2e-stress/run-I-output/.
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="${VELMORA_BUILD:-$here/../../build}"
runs="${1:-10}"
regex="${2:-e2e}"
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || { echo "stress: N must be a positive number, not \"$runs\"" >&2; exit 2; }
[ -f "$build/CTestTestfile.cmake" ] || { echo "stress: $build is not a configured build folder" >&2; exit 2; }
build="$(cd "$build" && pwd)"
logs="$build/e2e-stress"
rm -rf "$logs"
mkdir -p "$logs"

hogs=()
stop_hogs() {
  for pid in "${hogs[@]}"; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
}
trap stop_hogs EXIT
trap 'exit 130' INT TERM
for _ in 1 2; do
  yes > /dev/null &
  hogs+=("$!")
done

passes=0
for run in $(seq 1 "$runs"); do
  started=$SECONDS
  if (cd "$build" && ctest -R "$regex" --no-tests=error --output-on-failure) > "$logs/run-$run.log" 2>&1; then
    passes=$((passes + 1))
    echo "run $run/$runs: passed ($((SECONDS - started)) s)"
  else
    echo "run $run/$runs: FAILED ($((SECONDS - started)) s), see $logs/run-$run.log"
    grep -E '^(not ok|e2e: |[a-z]+: )|Error:|Failed ' "$logs/run-$run.log" | head -n 8 | sed 's/^/    /'
    [ -d "$build/e2e-output" ] && cp -r "$build/e2e-output" "$logs/run-$run-output"
  fi
done
echo "stress: $passes of $runs runs passed under two CPU hogs"
[ "$passes" -eq "$runs" ]
