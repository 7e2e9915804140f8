#!/usr/bin/env bash
# Prepares this machine for VelmoraPHP: installs missing packages, builds into build/,
# and makes an empty model database when the program folder has none.
#   scripts/setup.sh            for running the program
#   scripts/setup.sh --tests    also fetches what the end-to-end suite needs from npm
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"
want_tests=0
[ "${1:-}" = "--tests" ] && want_tests=1

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

mapfile -t packages < <(grep -v -E '^\s*(#|$)' "$root/scripts/packages.txt")
missing=()
for pkg in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
# Node.js may come from outside Debian; install Debian's only when there is none at all.
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
if [ "${#missing[@]}" -gt 0 ]; then
  echo "== installing: ${missing[*]}"
  as_root apt-get update
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
fi

echo "== building into $build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)"

if [ ! -e "$build/projects.mdb" ]; then
  "$build/velmora-cli" --home "$build" init
fi

if [ "$want_tests" -eq 1 ] && [ -f "$root/tests/e2e/package.json" ]; then
  echo "== fetching the end-to-end suite's npm packages"
  if [ -f "$root/tests/e2e/package-lock.json" ]; then
    npm ci --prefix "$root/tests/e2e" --no-audit --no-fund
  else
    npm install --prefix "$root/tests/e2e" --no-audit --no-fund
  fi
fi
