#!/usr/bin/env bash
# Lines behind the network against the same line on a pseudo-terminal: reads
# through ser2net (raw and RFC 2217) and orn10sim's listener (raw and as a
# MODBUS TCP gateway), scans of 1-247 with the default timeout beside
# mbpoll, and the time to read again after the gateway restarts.  Prints
# markdown on standard output (bench/run.sh appends it to its results).
#
#   bench/net_bench.sh [--quick] [BUILD_DIR]
#
#   --quick     20 reads per path, no scans, 2 restarts
#   BUILD_DIR   a configured build directory (default build/bench)
#
# Needs ser2net and mbpoll (scripts/install-deps.sh).  About 4 minutes;
# --quick about 20 s.
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
build=build/bench
for a in "$@"; do
  case $a in
    --quick) quick=1 ;;
    -h | --help) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) build=$a ;;
  esac
done

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORN10_TESTS=OFF >&2
fi
cmake --build "$build" -j 2 --target orn10sim orn10ctl net_bench >&2

if [ $quick = 1 ]; then counts=(--reads 20 --restarts 2 --no-scan); else counts=(); fi
"$build/bench/net_bench" --sim "$build/sim/orn10sim" --ctl "$build/ctl/orn10ctl" --mbpoll "$(command -v mbpoll)" \
  "${counts[@]}"
