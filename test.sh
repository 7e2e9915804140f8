#!/usr/bin/env bash
# Sets up this machine if needed, builds, and runs every test.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$root/scripts/setup.sh" --tests
cd "$root/build"
ctest --output-on-failure --timeout 1200 "$@"
