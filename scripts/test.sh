#!/usr/bin/env bash
# Sets up, builds, and runs the whole test suite.
#   scripts/test.sh              the normal build (everything: package, host, tools, tests, benchmarks)
#   scripts/test.sh --sanitize   the tests again under AddressSanitizer + UndefinedBehaviorSanitizer
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ "${1:-}" = "--sanitize" ]; then
  "$root/scripts/build.sh" sanitize kdp_all_tests
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  dir="$root/build-asan"
else
  "$root/scripts/build.sh" default
  dir="$root/build"
fi
ctest --test-dir "$dir" --output-on-failure -j "$(nproc 2>/dev/null || echo 2)"
