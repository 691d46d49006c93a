#!/usr/bin/env bash
# The Windows stage of the tests: builds the Windows programs
# (scripts/build-windows.sh), then runs under Wine, in one fresh Wine prefix:
#   1. the Qt-free test programs (.exe: frames, master cycle, port list,
#      instrument tables, the in-process simulator, the fuzz corpora);
#   2. the Windows serial link end to end against orn10sim on
#      pseudo-terminals that Wine maps as COM ports (read, write, exception,
#      timeout, echo, stray bytes, foreign frames, a port that vanishes);
#   3. orn10ctl.exe ports/read/scan/write against orn10sim, a read
#      through rtu+tcp:// from orn10sim serving TCP, a scan through
#      orn10sim.exe as a MODBUS TCP gateway;
#   4. orn10util.exe on Xvfb, reading the simulated instrument once
#      (xdotool presses "Читать"); screenshot to $ORN10_WINDOWS_SCREENSHOT
#      (default out/windows.png);
#   5. the installer: silent install, files, shortcuts and PATH entry, the
#      installed window starts, silent uninstall leaves nothing.
# orn10sim is the Linux program: $ORN10SIM, else build/ci/sim/orn10sim, else
# built here.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/build-windows.sh
out=$root/${ORN10_WIN_OUT:-build/windows}
win=$out/build
dist=$out/dist
shot=${ORN10_WINDOWS_SCREENSHOT:-out/windows.png}

# ---------------------------------------------------------------- orn10sim
sim=${ORN10SIM:-}
if [ -z "$sim" ]; then
  if [ -x build/ci/sim/orn10sim ]; then
    sim=$root/build/ci/sim/orn10sim
  else
    cmake -S . -B build/host-sim -G Ninja -DCMAKE_BUILD_TYPE=Release -DORN10_GUI=OFF -DORN10_TESTS=OFF \
      -DORN10_BENCH=OFF >/dev/null
    cmake --build build/host-sim --target orn10sim >/dev/null
    sim=$root/build/host-sim/sim/orn10sim
  fi
fi

# ---------------------------------------------------------------- Wine
export WINEPREFIX=$out/wineprefix
tmp=$(mktemp -d /tmp/orn10-wine.XXXXXX)
source scripts/wine-lib.sh
trap 'wine_cleanup; rm -rf "$tmp"' EXIT
failed=0
fail() { echo "FAILED: $*" >&2; failed=1; }
step() { printf '== %s\n' "$*"; }
start=$(date +%s)

step "Wine prefix (fresh)"
# The display first: Wine's session takes the display of its first program.
wine_xvfb
wine_fresh_prefix
# One simulator per port, each on its own pseudo-terminal, all mapped at
# once (the mapping is read when wineserver starts).  COM15 is not there.
step "orn10sim on pseudo-terminals as COM5-COM8"
wine_start_sim COM5 --instrument MB4@1 --instrument X-22@5 --verbose
wine_start_sim COM6 --instrument MB4@1 --echo
wine_start_sim COM7 --instrument MB4@1 --fault 1:stray=00,foreign=7
wine_start_sim COM8 --instrument MB4@1
wine_restart
# And one serving its line over TCP (RTU frames as they are), for the
# Windows network links (Winsock).
step "orn10sim over TCP"
"$sim" --tcp 0 --instrument MB4@1 >"$tmp/tcp.url" 2>"$tmp/tcp.log" &
wine_pids+=($!)
for _ in $(seq 200); do grep -qs '^rtu+tcp://' "$tmp/tcp.url" && break; sleep 0.05; done
tcp_url=$(head -1 "$tmp/tcp.url")

# ---------------------------------------------------------------- 1 and 2
step "Test programs under Wine"
export ORN10_TEST_COM_PLAIN=COM5 ORN10_TEST_COM_ECHO=COM6 ORN10_TEST_COM_NOISY=COM7 \
       ORN10_TEST_COM_VANISH=COM8 ORN10_TEST_COM_MISSING=COM15 ORN10_TEST_VANISH_FLAG="Z:${tmp//\//\\}\\vanish"
# The simulator of COM8 ends when the test asks for it.
(while [ ! -e "$tmp/vanish" ]; do sleep 0.05; done; kill "$pid_COM8") &
wine_pids+=($!)
QT_QPA_PLATFORM=offscreen ctest --test-dir "$win" --output-on-failure -j 1 --timeout 300 || fail "test programs under Wine"

# ---------------------------------------------------------------- 3
step "orn10ctl.exe against orn10sim"
ctl=$dist/ORN10Util/orn10ctl.exe
expect() {   # <expected status> <grep pattern> <orn10ctl arguments...>
  local want=$1 pattern=$2; shift 2
  local got=0
  wine "$ctl" "$@" >"$tmp/ctl.out" 2>&1 || got=$?
  if [ "$got" != "$want" ] || ! grep -q -- "$pattern" "$tmp/ctl.out"; then
    fail "orn10ctl $* (status $got, wanted $want; output below)"
    cat "$tmp/ctl.out" >&2
  fi
}
expect 0 'COM5' ports
expect 0 '"ok":true' -p COM5 -a 1 --json read
expect 0 'Threshold 1' -p COM5 -a 1 read
expect 0 'Порог №1' --lang ru -p COM5 -a 1 read
expect 0 'X-22' -p COM5 -a 5 -m X-22 read
expect 0 '"address":5' -p COM5 -t 200 --json scan 1-6
expect 0 '"address":5' -p COM5 -t 100 --json scan 1-6 --sweep=9600,19200,even
expect 0 'Ok' -p COM5 -a 1 write threshold1 12,5
expect 0 '12[.,]50' -p COM5 -a 1 read
expect 4 'No response' -p COM5 -a 9 -t 100 read
expect 4 'Нет связи' --lang ru -p COM5 -a 9 -t 100 read
expect 0 '"ok":true' -p COM6 -a 1 --json read
expect 0 '"ok":true' -p COM7 -a 1 --json read
expect 3 'COM15' -p COM15 read
expect 0 '"ok":true' -p "$tcp_url" -a 1 --json read
expect 3 'connection refused' -p rtu+tcp://127.0.0.1:1 -a 1 read
# orn10sim.exe itself, as a MODBUS TCP gateway under Wine.
wine "$dist/ORN10Util/orn10sim.exe" --tcp 0 --protocol mbtcp --instrument MB4@1 --instrument X-22@5 \
  >"$tmp/wtcp.url" 2>&1 &
wine_pids+=($!)
for _ in $(seq 200); do grep -qs '^tcp://' "$tmp/wtcp.url" && break; sleep 0.05; done
expect 0 '"address":5' -p "$(head -1 "$tmp/wtcp.url" | tr -d '\r')" -t 200 --json scan 1-6

# ---------------------------------------------------------------- 4
step "orn10util.exe on Xvfb"
window_test() {   # <orn10util.exe> <screenshot or ""> : starts, reads once, closes
  if ! wine_window_start "$1"; then fail "$1: no window"; return; fi
  echo "   window up after $window_up_s s"
  sleep 1
  local before
  before=$(grep -c . "$tmp/com5.log")
  wine_window_read
  # orn10sim traces each request and answer (-v): the read went over the line.
  for _ in $(seq 100); do [ "$(grep -c . "$tmp/com5.log")" -ge $((before + 2)) ] && break; sleep 0.1; done
  [ "$(grep -c . "$tmp/com5.log")" -ge $((before + 2)) ] || fail "$1: no read on the line"
  sleep 1
  if [ -n "$2" ]; then wine_window_screenshot "$2"; echo "   screenshot: $2"; fi
  wine_window_close || fail "$1: did not close"
}
window_test "$dist/ORN10Util/orn10util.exe" "$shot"

# ---------------------------------------------------------------- 5
step "Installer: silent install, start, silent uninstall"
setup=$(ls "$dist"/orn10util-*-setup.exe)
wine "$setup" /S
pf=$WINEPREFIX/drive_c/Program\ Files/ORN10Util
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/ORN10-X-XX Util"
for f in orn10util.exe orn10ctl.exe Qt6Core.dll platforms/qwindows.dll translations/qtbase_ru.qm README.txt uninstall.exe; do
  [ -f "$pf/$f" ] || fail "installed: $f missing"
done
for f in "ORN10-X-XX Util.lnk" README.lnk; do [ -f "$menu/$f" ] || fail "Start menu: $f missing"; done
wine reg query 'HKCU\Environment' /v Path 2>/dev/null | grep -qi 'ORN10Util' || fail "PATH entry missing"
wine cmd /c 'orn10ctl --version' 2>/dev/null | grep -q '^orn10ctl ' || fail "orn10ctl not found on the PATH"
window_test "$pf/orn10util.exe" ""
wine "$pf/uninstall.exe" /S
# The uninstaller copies itself away and runs from there: wait for it.
for _ in $(seq 300); do [ -e "$pf" ] || [ -e "$menu" ] || break; sleep 0.1; done
[ ! -e "$pf" ] || fail "left after uninstall: $(find "$pf" | head -5)"
[ ! -e "$menu" ] || fail "Start-menu folder left after uninstall"
if wine reg query 'HKCU\Environment' /v Path 2>/dev/null | grep -qi 'ORN10Util'; then fail "PATH entry left"; fi

step "Windows stage: $(( $(date +%s) - start )) s under Wine"
[ $failed -eq 0 ] && echo "== Windows tests passed" || { echo "== Windows tests FAILED" >&2; exit 1; }
