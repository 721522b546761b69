#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
#   scripts/fuzz.sh [--seconds N] [target...]     default: every target, 30 seconds each, one per core at a time
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

# Runs one target; its log says how it went, and a failed run leaves "$log.failed".
fuzz_one() {
  local t="$1" corpus="$root/build-fuzz/corpus/$1" log="$root/build-fuzz/$1.log"
  local seeds=()
  mkdir -p "$corpus"
  [ -d "$root/fuzz/corpus/$t" ] && seeds=("$root/fuzz/corpus/$t")
  rm -f "$log.failed"
  # The configuration targets' files are large and deep (a 100,000-deep host.json is a megabyte or less):
  # their inputs may be up to a megabyte, the others keep libFuzzer's default.
  local options=()
  case "$t" in fuzz_config_texts|fuzz_host_masters) options=(-max_len=1048576) ;; esac
  if "$root/build-fuzz/fuzz/$t" "${options[@]}" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="$artifacts/$t-" "$corpus" "${seeds[@]}" >"$log" 2>&1; then
    echo "fuzz: $t: $(grep -E '^stat::number_of_executed_units' "$log" | sed 's/^stat:://')"
  else
    touch "$log.failed"
    { echo "fuzz: $t found a failing input (see $log and $artifacts)"
      grep -E '^(==|SUMMARY)' "$log" | head -20 || true; } >&2
  fi
}

# One target per core at a time.
cores="$(nproc 2>/dev/null || echo 2)"
echo "fuzz: ${#targets[@]} targets for ${seconds}s each, $cores at a time"
for t in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$cores" ]; do wait -n || true; done
  fuzz_one "$t" &
done
wait
status=0
for t in "${targets[@]}"; do
  [ -e "$root/build-fuzz/$t.log.failed" ] && status=1
done
exit "$status"
