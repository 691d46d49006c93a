#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs them all: read reliability and
# latency across line speeds, reads under injected faults, reads and writes
# on the quirks of real lines and adapters (stray bytes, echo, foreign
# frames), the cost of the running window, orn10ctl and the line window
# beside mbpoll, lines behind the network (reads through each transport,
# scans beside mbpoll, reconnection), and the service records (time to a
# stable reading on the simulator's test gas, record writes and history
# queries on SQLite and PostgreSQL).  Writes the figures as markdown.
#
#   bench/run.sh [--quick] [--out FILE] [BUILD_DIR]
#
#   --quick     a smoke run: 10 reads per cell and quirk, 5 per fault, 5 s
#               idle and 6 s auto; written to BUILD_DIR/results-quick.md
#               unless --out is given, so that it does not replace the full
#               figures
#   --out FILE  where to write the results (default bench/results.md)
#   BUILD_DIR   build directory (default build/bench)
#
# The full run takes about 20 minutes; --quick about two.
# Needs cmake, a C++17 compiler, Qt 6 Widgets, and xvfb-run for the window
# costs (without it they run on Qt's offscreen platform).
set -euo pipefail
cd "$(dirname "$0")/.."

usage() { sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//'; }

quick=0
out=
build=build/bench
command="bench/run.sh${*:+ $*}"
while [ $# -gt 0 ]; do
  case $1 in
    --quick) quick=1 ;;
    --out) [ $# -ge 2 ] || { usage >&2; exit 2; }; out=$2; shift ;;
    -h | --help) usage; exit 0 ;;
    -*) usage >&2; exit 2 ;;
    *) build=$1 ;;
  esac
  shift
done
if [ -z "$out" ]; then
  if [ $quick = 1 ]; then out=$build/results-quick.md; else out=bench/results.md; fi
fi

if [ $quick = 1 ]; then
  reads=10 fault_reads=5 runs=5 idle=5 auto=6
else
  reads=200 fault_reads=50 runs=11 idle=60 auto=60
fi

# ---- Build.
generator=()
if [ ! -f "$build/CMakeCache.txt" ] && command -v ninja >/dev/null; then generator=(-G Ninja); fi
cmake -S . -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DORN10_TESTS=OFF -DORN10_GUI=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target orn10sim window_probe read_bench records_bench

started=$(date +%s)
tmp=$(mktemp)
# The programs keep service records of their writes and settings: in a
# folder of this run's own, not the user's.
home=$(mktemp -d)
export XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config
trap 'rm -rf "$tmp" "$home"' EXIT

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)
{
  echo "# Benchmark results"
  echo
  echo "- Date: $(date '+%Y-%m-%d %H:%M %Z')"
  echo "- Machine: $(nproc) CPUs, ${cpu:-unknown CPU model}, $(uname -sr)"
  echo "- Command: \`$command\` (Release build in \`$build\`)"
  if [ $quick = 1 ]; then echo "- Quick run: fewer reads and shorter windows than the full run; for a smoke test only."; fi
  echo
  echo "## Reads against the simulated instrument"
  echo
} >"$tmp"

echo "== Reads: $reads per speed and turnaround and per quirk, $fault_reads per fault" >&2
QT_QPA_PLATFORM=offscreen "$build/bench/read_bench" --sim "$build/sim/orn10sim" \
  --reads "$reads" --fault-reads "$fault_reads" >>"$tmp"

echo "== Window costs: $runs start-ups, idle ${idle} s, auto ${auto} s" >&2
echo "## The running window" >>"$tmp"
echo >>"$tmp"
if command -v xvfb-run >/dev/null; then
  env -u QT_QPA_PLATFORM xvfb-run -a -s "-screen 0 800x600x24" \
    bash bench/window_costs.sh "$build" "$runs" "$idle" "$auto" >>"$tmp"
else
  QT_QPA_PLATFORM=offscreen bash bench/window_costs.sh "$build" "$runs" "$idle" "$auto" >>"$tmp"
fi

echo "== orn10ctl beside mbpoll" >&2
bash bench/ctl_bench.sh $([ $quick = 1 ] && echo --quick) "$build" >>"$tmp"

echo "== The line window beside orn10ctl and mbpoll" >&2
bash bench/line_bench.sh $([ $quick = 1 ] && echo --quick) "$build" >>"$tmp"

echo "== Lines behind the network" >&2
bash bench/net_bench.sh $([ $quick = 1 ] && echo --quick) "$build" >>"$tmp"

echo "== Service records" >&2
if [ $quick = 1 ]; then records=(--writes 30 --records 10000); else records=(); fi
"$build/bench/records_bench" "${records[@]}" >>"$tmp"
echo >>"$tmp"

elapsed=$(($(date +%s) - started))
echo "Run time: $((elapsed / 60)) min $((elapsed % 60)) s." >>"$tmp"
mkdir -p "$(dirname "$out")"
chmod 644 "$tmp"
mv "$tmp" "$out"
rm -rf "$home"
trap - EXIT
echo "== Written to $out" >&2
