#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
#   scripts/fuzz.sh [--seconds N] [target...]     default: every target, 30 seconds each
# Seeds come from fuzz/corpus/<target>/; new inputs found go to build-fuzz/corpus/<target>/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds=30
if [ "${1:-}" = "--seconds" ]; then seconds="$2"; shift 2; fi

"$root/scripts/build.sh" fuzz kdp_all_fuzzers
targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
  mapfile -t targets < <(cd "$root/build-fuzz/fuzz" && ls fuzz_* | grep -v '\.' )
fi
artifacts="$root/build-fuzz/artifacts"
mkdir -p "$artifacts"
status=0
for t in "${targets[@]}"; do
  corpus="$root/build-fuzz/corpus/$t"
  mkdir -p "$corpus"
  seeds=()
  [ -d "$root/fuzz/corpus/$t" ] && seeds=("$root/fuzz/corpus/$t")
  log="$root/build-fuzz/$t.log"
  echo "fuzz: $t for ${seconds}s"
  if "$root/build-fuzz/fuzz/$t" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="$artifacts/$t-" "$corpus" "${seeds[@]}" >"$log" 2>&1; then
    grep -E '^stat::number_of_executed_units' "$log" | sed 's/^/  /'
  else
    echo "fuzz: $t found a failing input (see $log and $artifacts)" >&2
    grep -E '^(==|SUMMARY)' "$log" | head -20 >&2 || true
    status=1
  fi
done
exit "$status"
