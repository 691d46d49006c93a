#!/usr/bin/env bash
# The Windows stage of the tests: builds the Windows programs
# (scripts/build-windows.sh), then runs under Wine, in one fresh Wine prefix:
#   1. the Qt-free test programs (.exe: frames, master cycle, port list,
#      instrument tables, the in-process simulator, the fuzz corpora);
#   2. the Windows serial link end to end against orn10sim on
#      pseudo-terminals that Wine maps as COM ports (read, write, exception,
#      timeout, echo, stray bytes, foreign frames, a port that vanishes);
#   3. orn10ctl.exe ports/read/scan/write against orn10sim;
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
export WINEPREFIX=$out/wineprefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
tmp=$(mktemp -d /tmp/orn10-wine.XXXXXX)
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  wineserver -k 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
failed=0
fail() { echo "FAILED: $*" >&2; failed=1; }

step() { printf '== %s\n' "$*"; }
start=$(date +%s)
step "Wine prefix (fresh)"
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
# Qt asks for "MS Shell Dlg", which Wine resolves to a serif font; this
# message font makes it draw with Liberation Sans.
font_hex=resources/windows/messagefont-liberationsans.hex
wine reg add 'HKCU\Control Panel\Desktop\WindowMetrics' /v MessageFont /t REG_BINARY \
  /d "$(cat "$font_hex")" /f >/dev/null 2>&1
# Russian regional settings, as the users have them: a comma as decimal
# separator (what the window tests expect).
wine reg add 'HKCU\Control Panel\International' /v sDecimal /d , /f >/dev/null 2>&1
wine reg add 'HKCU\Control Panel\International' /v sThousand /d ' ' /f >/dev/null 2>&1

# One simulator per port, each on its own pseudo-terminal, all mapped at once
# (the mapping is read when wineserver starts).
start_sim() {   # <COM name> <orn10sim options...>
  local com=$1; shift
  local link=$tmp/${com,,}
  "$sim" --link "$link" "$@" >"$tmp/${com,,}.log" 2>&1 &
  pids+=($!)
  local i
  for i in $(seq 200); do
    grep -qs '^ORN10_COM1=' "$tmp/${com,,}.log" && break
    sleep 0.05
  done
  wine reg add 'HKLM\Software\Wine\Ports' /v "$com" /t REG_SZ /d "$link" /f >/dev/null 2>&1
  eval "pid_$com=\$!"
}
step "orn10sim on pseudo-terminals as COM5-COM8"
start_sim COM5 --instrument MB4@1 --instrument X-22@5 --verbose
start_sim COM6 --instrument MB4@1 --echo
start_sim COM7 --instrument MB4@1 --fault 1:stray=00 --fault 1:foreign=7
start_sim COM8 --instrument MB4@1
wine reg add 'HKLM\Software\Wine\Ports' /v COM9 /t REG_SZ /d "$tmp/nothing" /f >/dev/null 2>&1
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
# One wineserver for the whole run: every program starts warm.
wineserver -p

# ---------------------------------------------------------------- 1 and 2
step "Test programs under Wine"
export ORN10_TEST_COM_PLAIN=COM5 ORN10_TEST_COM_ECHO=COM6 ORN10_TEST_COM_NOISY=COM7 \
       ORN10_TEST_COM_VANISH=COM8 ORN10_TEST_COM_MISSING=COM9 ORN10_TEST_VANISH_FLAG="Z:${tmp//\//\\}\\vanish"
# The simulator of COM8 ends when the test asks for it.
(while [ ! -e "$tmp/vanish" ]; do sleep 0.05; done; kill "$pid_COM8") &
pids+=($!)
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
expect 0 'Порог 1' -p COM5 -a 1 read
expect 0 'X-22' -p COM5 -a 5 -m X-22 read
expect 0 '"address":5' -p COM5 --json scan 1-6
expect 0 'Ok' -p COM5 -a 1 write threshold1 12,5
expect 0 '12[.,]50' -p COM5 -a 1 read
expect 4 'Нет связи' -p COM5 -a 9 -t 100 read
expect 0 '"ok":true' -p COM6 -a 1 --json read
expect 0 '"ok":true' -p COM7 -a 1 --json read
expect 3 'COM9' -p COM9 read

# ---------------------------------------------------------------- 4
step "orn10util.exe on Xvfb"
export DISPLAY=:$((90 + RANDOM % 100))
Xvfb "$DISPLAY" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
pids+=($xvfb)
for _ in $(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
# The window runs in a Wine virtual desktop, which draws the Windows frame
# around it; the window centres itself there.
window_test() {   # <orn10util.exe> <screenshot or ""> : starts, reads once, closes
  local exe=$1 png=$2 t0 wid= desk= before
  t0=$(date +%s.%N)
  ORN10_COM1=COM5 env -u QT_QPA_PLATFORM wine explorer /desktop=orn10,640x400 "$exe" >/dev/null 2>&1 &
  local app=$!
  for _ in $(seq 600); do
    wid=$(xdotool search --name '^ORN10-X-XX Util v2.2$' 2>/dev/null | head -1) && [ -n "$wid" ] && break
    sleep 0.1
  done
  desk=$(xdotool search --name '^orn10 - Wine desktop$' 2>/dev/null | head -1) || true
  if [ -z "$wid" ] || [ -z "$desk" ]; then fail "$exe: no window"; kill $app 2>/dev/null; return; fi
  awk "BEGIN { printf \"   window up after %.1f s\\n\", $(date +%s.%N) - $t0 }"
  sleep 1
  # "Читать" is at (478, 46)-(553, 72) of the 563 x 311 client area; the
  # caption above it is 23 pixels high.
  eval "$(xdotool getwindowgeometry --shell "$desk")"
  before=$(grep -c . "$tmp/com5.log")
  xdotool mousemove $((X + (WIDTH - 563) / 2 + 515)) $((Y + (HEIGHT - 311 + 23) / 2 + 59)) click 1
  # orn10sim traces each request and answer (-v): the read went over the line.
  for _ in $(seq 100); do [ "$(grep -c . "$tmp/com5.log")" -ge $((before + 2)) ] && break; sleep 0.1; done
  [ "$(grep -c . "$tmp/com5.log")" -ge $((before + 2)) ] || fail "$exe: no read on the line"
  sleep 1
  if [ -n "$png" ]; then
    mkdir -p "$(dirname "$png")"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$png"
    echo "   screenshot: $png"
  fi
  xdotool key alt+F4
  for _ in $(seq 100); do kill -0 $app 2>/dev/null || break; sleep 0.1; done
  if kill -0 $app 2>/dev/null; then fail "$exe: did not close"; kill $app 2>/dev/null || true; fi
  wait $app 2>/dev/null || true
}
window_test "$dist/ORN10Util/orn10util.exe" "$shot"

# ---------------------------------------------------------------- 5
step "Installer: silent install, start, silent uninstall"
setup=$(ls "$dist"/orn10util-*-setup.exe)
wine "$setup" /S
pf=$WINEPREFIX/drive_c/Program\ Files/ORN10Util
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/ORN10-X-XX Util"
for f in orn10util.exe orn10ctl.exe Qt6Core.dll platforms/qwindows.dll README.txt uninstall.exe; do
  [ -f "$pf/$f" ] || fail "installed: $f missing"
done
for f in "ORN10-X-XX Util.lnk" README.lnk; do [ -f "$menu/$f" ] || fail "Start menu: $f missing"; done
wine reg query 'HKCU\Environment' /v Path 2>/dev/null | grep -qi 'ORN10Util' || fail "PATH entry missing"
wine cmd /c 'orn10ctl --version' 2>/dev/null | grep -q '^orn10ctl ' || fail "orn10ctl not found on the PATH"
window_test "$pf/orn10util.exe" ""
wine "$pf/uninstall.exe" /S
# The uninstaller copies itself away and runs from there: wait for it.
for _ in $(seq 100); do [ -e "$pf" ] || break; sleep 0.1; done
[ ! -e "$pf" ] || fail "left after uninstall: $(find "$pf" | head -5)"
[ ! -e "$menu" ] || fail "Start-menu folder left after uninstall"
if wine reg query 'HKCU\Environment' /v Path 2>/dev/null | grep -qi 'ORN10Util'; then fail "PATH entry left"; fi

step "Windows stage: $(( $(date +%s) - start )) s under Wine"
[ $failed -eq 0 ] && echo "== Windows tests passed" || { echo "== Windows tests FAILED" >&2; exit 1; }
