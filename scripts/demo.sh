#!/usr/bin/env bash
# Sets up, builds, and runs the demo host on the shipped sample configuration. Without arguments the demo
# starts the server clock on a trading morning, so the simulated market trades whatever the local time
# is; extra arguments go to kdp-host instead (for example: scripts/demo.sh board 600000.SH 00700.HK).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/build.sh" default kdp-host sample_etc
if [ "$#" -eq 0 ]; then
  set -- --server-time "2026-12-04 10:30:00"
fi
exec "$root/build/apps/kdp-host" --etc "$root/build/etc" "$@"
