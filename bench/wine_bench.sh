#!/usr/bin/env bash
# The Windows programs under Wine against orn10sim through Wine's COM
# mapping (and over TCP), at 19200 bit/s, even parity, turnaround 5 ms; prints the figures
# (markdown).  Needs the Windows build (scripts/build-windows.sh) and a Linux
# orn10sim ($ORN10SIM, else build/ci/sim/orn10sim, else build/dev/sim/orn10sim).
#   bench/wine_bench.sh [reads]      (default 200)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
reads=${1:-200}
out=$root/${ORN10_WIN_OUT:-build/windows}
dist=$out/dist
ctl=$dist/ORN10Util/orn10ctl.exe
sim=${ORN10SIM:-}
for s in "$sim" build/ci/sim/orn10sim build/dev/sim/orn10sim; do
  [ -n "$s" ] && [ -x "$s" ] && { sim=$(cd "$(dirname "$s")" && pwd)/$(basename "$s"); break; }
done
[ -x "$ctl" ] && [ -x "$sim" ] || { echo "needs $ctl and orn10sim" >&2; exit 1; }

export WINEPREFIX=$out/wineprefix-bench
tmp=$(mktemp -d /tmp/orn10-winebench.XXXXXX)
source scripts/wine-lib.sh
trap 'wine_cleanup; rm -rf "$tmp"' EXIT

wine_xvfb
wine_fresh_prefix
wine_start_sim COM5 --instrument MB4@1
wine_start_sim COM6 --instrument MB4@1 --echo --fault 1:stray=00,foreign=7
wine_restart
# The same instrument over TCP, RTU frames as they are (Winsock).
"$sim" --tcp 0 --instrument MB4@1 >"$tmp/tcp.url" 2>/dev/null &
wine_pids+=($!)
for _ in $(seq 200); do grep -qs '^rtu+tcp://' "$tmp/tcp.url" && break; sleep 0.05; done

# Median and 95th percentile of the numbers on standard input.
stats() { sort -n | awk '{ v[NR] = $1 } END { printf "%.2f / %.2f", v[int((NR + 1) / 2)], v[int(NR * 0.95 + 0.5)] }'; }
# The "ms" of each read of a --json watch, and how many were "ok".
reads_ms() { sed -n 's/.*"ok":true,"ms":\([0-9.]*\).*/\1/p'; }

# Request 8 bytes, answer 31 (13 registers), 11 bits a character, plus the
# turnaround.
floor=$(awk 'BEGIN { printf "%.2f", 39 * 11 * 1000 / 19200 + 5 }')
echo "## Under Wine $(wine --version) (Windows programs through Wine's COM mapping to orn10sim)"
echo
echo "19200 bit/s, even parity, MB4 at address 1, 13 registers, turnaround 5 ms; $reads reads each."
echo
wine "$ctl" -p COM5 --json watch -i 0 -n "$reads" >"$tmp/plain.json" 2>/dev/null || true
wine "$ctl" -p COM6 --json watch -i 0 -n "$reads" >"$tmp/quirks.json" 2>/dev/null || true
wine "$ctl" -p "$(head -1 "$tmp/tcp.url")" --json watch -i 0 -n "$reads" >"$tmp/tcp.json" 2>/dev/null || true
t0=$(date +%s.%N)
for _ in $(seq 20); do wine "$ctl" -p COM5 read >/dev/null 2>&1 || true; done
whole=$(awk "BEGIN { printf \"%.0f\", ($(date +%s.%N) - $t0) * 1000 / 20 }")
echo "| | wire floor (ms) | per read, median / p95 (ms) | reads \"Ok\" |"
echo "|---|---:|---:|---:|"
echo "| \`orn10ctl.exe watch -i 0\` | $floor | $(reads_ms <"$tmp/plain.json" | stats) | $(grep -c '"ok":true' "$tmp/plain.json")/$reads |"
echo "| the same through echo + stray 00 + a foreign frame | – | $(reads_ms <"$tmp/quirks.json" | stats) | $(grep -c '"ok":true' "$tmp/quirks.json")/$reads |"
echo "| \`orn10ctl.exe -p rtu+tcp://127.0.0.1:PORT watch -i 0\` (orn10sim --tcp) | $floor | $(reads_ms <"$tmp/tcp.json" | stats) | $(grep -c '"ok":true' "$tmp/tcp.json")/$reads |"
echo "| one whole \`orn10ctl.exe read\` (process start included, mean of 20) | – | $whole | – |"
echo

ups=()
for i in 1 2 3; do
  wine_window_start "$dist/ORN10Util/orn10util.exe" || { echo "no window" >&2; exit 1; }
  ups+=("$window_up_s")
  wine_window_close || true
done
echo "Window start under Wine on Xvfb (from \`wine explorer /desktop=... orn10util.exe\` to the window on screen), three starts in a warm prefix: ${ups[*]} s."
echo
echo "Installer $(du -k "$dist"/orn10util-*-setup.exe | cut -f1) KiB, zip $(du -k "$dist"/orn10util-*-win64.zip | cut -f1) KiB, deploy folder $(du -sk "$dist/ORN10Util" | cut -f1) KiB."
