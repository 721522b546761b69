#!/usr/bin/env bash
# Sets up, builds, and runs the whole test suite.
#   scripts/test.sh              everything (package, host, tools, tests, benchmarks) built with AddressSanitizer
#                                and UndefinedBehaviorSanitizer, and every test run there; any report fails it
#   scripts/test.sh --plain      the same tests in the plain optimised build the demo runs (faster to run)
#   scripts/test.sh --tsan       the tests labelled "threads" under ThreadSanitizer; any report fails them
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
labels=()
case "${1:-}" in
  "")
    "$root/scripts/build.sh" sanitize
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    export LSAN_OPTIONS="suppressions=$root/tools/sanitizers/lsan.supp:print_suppressions=0"
    dir="$root/build-asan" ;;
  --tsan)
    "$root/scripts/build.sh" tsan kdp_threaded_tests
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$root/tools/sanitizers/tsan.supp"
    labels=(-L threads)
    dir="$root/build-tsan" ;;
  --plain)
    "$root/scripts/build.sh" default
    dir="$root/build" ;;
  *) echo "usage: $0 [--plain|--tsan]" >&2; exit 2 ;;
esac
ctest --test-dir "$dir" "${labels[@]}" --output-on-failure -j "$(nproc 2>/dev/null || echo 2)"
