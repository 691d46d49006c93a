#!/usr/bin/env bash
# orn10ctl beside mbpoll on one simulated line: one read at 9600, 19200 and
# 115200 bit/s against the wire floor, a scan of 1-247, a watch with no
# pause.  Prints markdown on standard output (bench/run.sh appends it to its
# results).
#
#   bench/ctl_bench.sh [--quick] [BUILD_DIR]
#
#   --quick     20 reads per speed, one scan each, 200 watch reads
#   BUILD_DIR   a configured build directory (default build/bench)
#
# mbpoll (Debian package mbpoll) is the independent master; it is installed
# here when missing, not by the project's set-up.  About 3 minutes; --quick
# about 40 s.
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
build=build/bench
for a in "$@"; do
  case $a in
    --quick) quick=1 ;;
    -h | --help) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
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
cmake --build "$build" -j 2 --target orn10sim orn10ctl ctl_bench >&2

if [ $quick = 1 ]; then counts=(--reads 20 --scan-runs 1 --watch-reads 200); else counts=(); fi
"$build/bench/ctl_bench" --sim "$build/sim/orn10sim" --ctl "$build/ctl/orn10ctl" --mbpoll "$(command -v mbpoll)" \
  "${counts[@]}"
