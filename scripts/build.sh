#!/usr/bin/env bash
# Configures and builds one flavour of the project. Used by demo.sh, test.sh and fuzz.sh.
#   scripts/build.sh default   [targets...]   build/        g++, everything
#   scripts/build.sh sanitize  [targets...]   build-asan/   g++ with AddressSanitizer + UBSan, everything
#   scripts/build.sh tsan      [targets...]   build-tsan/   g++ with ThreadSanitizer, tests only
#   scripts/build.sh fuzz      [targets...]   build-fuzz/   clang with libFuzzer, fuzz targets only
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
flavour="${1:-default}"
shift || true

"$root/scripts/setup.sh"

jobs="$(nproc 2>/dev/null || echo 2)"
common=(-G Ninja -DKDP_WERROR="${KDP_WERROR:-OFF}")
# The checking flavours keep line tables only (-g1): their reports name files and lines, and they build
# about a fifth faster than with full debug information.
case "$flavour" in
  default)  dir="$root/build";      flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  sanitize) dir="$root/build-asan"; flags=(-DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DKDP_SANITIZE=ON) ;;
  tsan)     dir="$root/build-tsan"; flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"
                                           -DKDP_TSAN=ON -DKDP_BUILD_BENCH=OFF) ;;
  fuzz)     dir="$root/build-fuzz"; flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++
                                           "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"
                                           -DKDP_BUILD_FUZZ=ON -DKDP_BUILD_TESTS=OFF -DKDP_BUILD_BENCH=OFF
                                           -DKDP_BUILD_APPS=OFF) ;;
  *) echo "usage: $0 default|sanitize|tsan|fuzz [targets...]" >&2; exit 2 ;;
esac

cmake -S "$root" -B "$dir" "${common[@]}" "${flags[@]}" >/dev/null
if [ "$#" -gt 0 ]; then
  cmake --build "$dir" -j "$jobs" --target "$@"
else
  cmake --build "$dir" -j "$jobs"
fi
