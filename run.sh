#!/usr/bin/env bash
# Sets up this machine if needed, builds, and starts VelmoraPHP.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$root/scripts/setup.sh"
exec "$root/build/velmora" "$@"
