#!/usr/bin/env bash
# Sets up, builds, and runs the demo host on the shipped sample configuration. Extra arguments go to
# kdp-host (for example: scripts/demo.sh security 600000.SH).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/build.sh" default kdp-host sample_etc
exec "$root/build/apps/kdp-host" --etc "$root/build/etc" "$@"
