#!/usr/bin/env bash
# The line window beside orn10ctl and mbpoll on simulated lines: the search
# of addresses 1-247, a sweep over speeds and parities, the table's round
# with 10 and 32 instruments against the wire floor.  Prints markdown on
# standard output (bench/run.sh appends it to its results).
#
#   bench/line_bench.sh [--quick] [BUILD_DIR]
#
#   --quick     5 rounds of the table instead of 20
#   BUILD_DIR   a configured build directory (default build/bench)
#
# mbpoll (Debian package mbpoll) is the independent master; it is installed
# here when missing.  About 2 minutes.
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
build=build/bench
for a in "$@"; do
  case $a in
    --quick) quick=1 ;;
    -h | --help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) build=$a ;;
  esac
done

if ! command -v mbpoll >/dev/null; then
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  echo "Installing mbpoll" >&2
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends mbpoll >&2 ||
    { "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q >&2 &&
      "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends mbpoll >&2; }
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORN10_TESTS=OFF >&2
fi
cmake --build "$build" -j 2 --target orn10sim orn10ctl line_bench >&2

rounds=20
[ $quick = 1 ] && rounds=5
QT_QPA_PLATFORM=offscreen "$build/bench/line_bench" --sim "$build/sim/orn10sim" --ctl "$build/ctl/orn10ctl" \
  --mbpoll "$(command -v mbpoll)" --rounds "$rounds"
