#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in a normal
# build, once under AddressSanitizer + UndefinedBehaviorSanitizer, and the
# Windows programs under Wine (scripts/test-windows.sh; ORN10_WINDOWS=0
# leaves that stage out).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

run_suite() {   # <build dir> <cmake options...>
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300
}

echo "== Normal build"
run_suite build/ci -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== Sanitizer build (ASan + UBSan)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite build/ci-asan -DCMAKE_BUILD_TYPE=Debug -DORN10_SANITIZE=ON -DORN10_BENCH=OFF
if [ "${ORN10_WINDOWS:-1}" != 0 ]; then
  echo "== Windows build (MinGW-w64) and tests under Wine"
  ORN10SIM=$PWD/build/ci/sim/orn10sim ORN10_JOBS=$jobs scripts/test-windows.sh
fi
echo "== All tests passed"
