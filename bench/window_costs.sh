#!/usr/bin/env bash
# What the running window costs: start-up time to the first shown window
# (median of several runs), CPU and resident memory while idle and while
# reading every 2 s in auto mode against orn10sim.  Prints a markdown table.
#
#   bench/window_costs.sh BUILD_DIR RUNS IDLE_SECONDS AUTO_SECONDS
#
# Run it under xvfb-run (or another X server), or with
# QT_QPA_PLATFORM=offscreen; bench/run.sh does one or the other.
# WINDOW_PROBE_ARGS adds options to the idle and auto run (for instance
# "--traffic --trend --record FILE": with the service tools open).
set -euo pipefail

if [ $# -ne 4 ]; then
  echo "usage: $0 BUILD_DIR RUNS IDLE_SECONDS AUTO_SECONDS" >&2
  exit 2
fi
build=$1 runs=$2 idle=$3 auto=$4
probe=$build/bench/window_probe
simexe=$build/sim/orn10sim

if [ -n "${QT_QPA_PLATFORM:-}" ]; then
  platform="Qt platform \"$QT_QPA_PLATFORM\""
else
  platform="Qt platform \"xcb\" on Xvfb (DISPLAY=${DISPLAY:-unset}), started by xvfb-run"
fi

# The value of key=VALUE in a line of window_probe's output.
field() { sed -n "s/.*\b$1=\([^ ]*\).*/\1/p" <<<"$2" | head -n1; }
median() { sort -n | awk '{v[NR]=$1} END {if (NR) print (NR % 2 ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2)}'; }
verdict() { awk -v v="$1" -v t="$2" 'BEGIN {print (v + 0 < t + 0) ? "yes" : "**no**"}'; }
mib() { awk -v k="$1" 'BEGIN {printf "%.1f", k / 1024}'; }

# ---- Start-up: one run to warm the caches, then `runs` measured ones.
"$probe" --no-read >/dev/null 2>&1 || true
since_exec=() since_main=()
for _ in $(seq "$runs"); do
  out=$("$probe" --no-read 2>/dev/null)
  since_exec+=("$(field startup_ms_since_exec "$out")")
  since_main+=("$(field startup_ms_since_main "$out")")
done
exec_median=$(printf '%s\n' "${since_exec[@]}" | median)
main_median=$(printf '%s\n' "${since_main[@]}" | median)
exec_range="$(printf '%s\n' "${since_exec[@]}" | sort -n | head -n1)–$(printf '%s\n' "${since_exec[@]}" | sort -n | tail -n1)"

# ---- Idle and auto mode, against a simulated MB4 at 19200 bit/s.
log=$(mktemp)
"$simexe" --instrument MB4@1 --freeze >"$log" 2>&1 &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null; rm -f "$log"' EXIT
for _ in $(seq 100); do
  grep -q '^ORN10_COM1=' "$log" && break
  kill -0 "$sim" 2>/dev/null || { cat "$log" >&2; echo "orn10sim did not start" >&2; exit 1; }
  sleep 0.05
done
port=$(sed -n 's/^ORN10_COM1=//p' "$log")
# shellcheck disable=SC2086
out=$(ORN10_COM1=$port "$probe" --idle "$idle" --auto "$auto" ${WINDOW_PROBE_ARGS:-} 2>/dev/null) || {
  echo "window_probe failed:" >&2
  echo "$out" >&2
  exit 1
}
idle_line=$(grep '^idle:' <<<"$out")
auto_line=$(grep '^auto:' <<<"$out")
startup_rss=$(field vmrss_kib "$idle_line")

cat <<EOF
### Cost of the running program

The real window (\`window_probe\`: \`TMForm\` with \`QtScheduler\` and \`PosixSerialBackend\`), on the $platform.
CPU is utime + stime from /proc/self/stat over the wall time; memory is VmRSS and its peak VmHWM from
/proc/self/status. Idle: after one read, nothing pressed. Auto: "Авто" ticked, a read every 2 s against
\`orn10sim\` (MB4, 19200 bit/s).

| measure | value | target | meets |
|---|---:|---:|:---:|
| start-up to the first shown window, from exec (median of $runs runs, range $exec_range ms) | $exec_median ms | < 500 ms | $(verdict "$exec_median" 500) |
| start-up to the first shown window, from main() (median) | $main_median ms | | |
| idle $(field seconds "$idle_line") s: CPU | $(field cpu_percent "$idle_line") % | < 1 % | $(verdict "$(field cpu_percent "$idle_line")" 1) |
| idle: VmRSS at the end / VmHWM | $(mib "$startup_rss") / $(mib "$(field vmhwm_kib "$idle_line")") MiB | < 60 MiB | $(verdict "$(field vmhwm_kib "$idle_line")" $((60 * 1024))) |
| auto $(field seconds "$auto_line") s: CPU ($(field reads "$auto_line") reads, $(field ok "$auto_line") Ok, $(field errors "$auto_line") errors, $(field in_flight "$auto_line") in flight at the end) | $(field cpu_percent "$auto_line") % | < 1 % | $(verdict "$(field cpu_percent "$auto_line")" 1) |
| auto: VmRSS at the end / VmHWM | $(mib "$(field vmrss_kib "$auto_line")") / $(mib "$(field vmhwm_kib "$auto_line")") MiB | < 60 MiB | $(verdict "$(field vmhwm_kib "$auto_line")" $((60 * 1024))) |

EOF
