# Shell functions for running the Windows programs under Wine against
# orn10sim, sourced by scripts/test-windows.sh and bench/wine_bench.sh.
# The caller sets $tmp (a scratch folder), $sim (the Linux orn10sim) and
# $WINEPREFIX, and ends what it started with wine_cleanup.

export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine_pids=()

# A fresh prefix with Liberation Sans as the message font (Qt asks for "MS
# Shell Dlg", which Wine resolves to a serif font) and Russian regional
# settings, as the users have them: a comma as decimal separator.
wine_fresh_prefix() {
  rm -rf "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  # Marlett draws the caption buttons; this Wine's prefix does not get it.
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  wine reg add 'HKCU\Control Panel\Desktop\WindowMetrics' /v MessageFont /t REG_BINARY \
    /d "$(cat "$(dirname "${BASH_SOURCE[0]}")/../resources/windows/messagefont-liberationsans.hex")" /f >/dev/null 2>&1
  wine reg add 'HKCU\Control Panel\International' /v sDecimal /d , /f >/dev/null 2>&1
  wine reg add 'HKCU\Control Panel\International' /v sThousand /d ' ' /f >/dev/null 2>&1
}

# orn10sim on a pseudo-terminal of its own, mapped as a COM port; the log
# (its output, -v traffic) is $tmp/<com>.log.  Sets pid_<COM>.
wine_start_sim() {   # <COM name> <orn10sim options...>
  local com=$1; shift
  local link=$tmp/${com,,}
  "$sim" --link "$link" "$@" >"$tmp/${com,,}.log" 2>&1 &
  wine_pids+=($!)
  eval "pid_$com=$!"
  local i
  for i in $(seq 200); do
    grep -qs '^ORN10_COM1=' "$tmp/${com,,}.log" && break
    sleep 0.05
  done
  wine reg add 'HKLM\Software\Wine\Ports' /v "$com" /t REG_SZ /d "$link" /f >/dev/null 2>&1
}

# The mappings are read when wineserver starts: it is restarted, and kept
# for the whole run so that every program starts warm.  Its services start
# with the first program and keep that program's output open: they are
# started here, not inside a caller (ctest) that would wait for them.
wine_restart() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  wineserver -p
  wine cmd /c exit </dev/null >/dev/null 2>&1
}

wine_cleanup() {
  local p
  wineserver -k >/dev/null 2>&1 || true
  for p in "${wine_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${wine_pids[@]}"; do wait "$p" 2>/dev/null || true; done
}

# An Xvfb display of its own.
wine_xvfb() {
  local n
  for n in $(seq 90 189); do [ -e /tmp/.X$n-lock ] || break; done
  export DISPLAY=:$n
  Xvfb "$DISPLAY" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
  wine_pids+=($!)
  for _ in $(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
}

# Starts orn10util.exe with COM1 on COM5 in a Wine virtual desktop, which
# draws the Windows frame around it (the window centres itself there), and
# waits for it.  Sets window_app (the process), window_desk (the desktop's X
# window) and window_up_s (seconds from the start until the window is there).
wine_window_start() {   # <orn10util.exe>
  local t0 wid= desk=
  t0=$(date +%s.%N)
  ORN10_COM1=COM5 env -u QT_QPA_PLATFORM wine explorer /desktop=orn10,640x400 "$1" >/dev/null 2>&1 &
  window_app=$!
  for _ in $(seq 600); do
    wid=$(xdotool search --name '^ORN10-X-XX Util v2.2$' 2>/dev/null | head -1) && [ -n "$wid" ] && break
    sleep 0.05
  done
  window_desk=$(xdotool search --name '^orn10 - Wine desktop$' 2>/dev/null | head -1) || true
  window_up_s=$(awk "BEGIN { printf \"%.1f\", $(date +%s.%N) - $t0 }")
  [ -n "$wid" ] && [ -n "$window_desk" ]
}

# Presses "Читать": (478, 46)-(553, 72) of the 563 x 311 client area, under
# a caption 23 pixels high.
wine_window_read() {
  eval "$(xdotool getwindowgeometry --shell "$window_desk")"
  xdotool mousemove $((X + (WIDTH - 563) / 2 + 515)) $((Y + (HEIGHT - 311 + 23) / 2 + 59)) click 1
}

wine_window_screenshot() {   # <png>
  eval "$(xdotool getwindowgeometry --shell "$window_desk")"
  mkdir -p "$(dirname "$1")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$1"
}

# Closes the window (Alt+F4) and waits for the program to end; false when
# it did not.
wine_window_close() {
  xdotool key alt+F4
  for _ in $(seq 100); do kill -0 "$window_app" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$window_app" 2>/dev/null; then kill "$window_app" 2>/dev/null || true; return 1; fi
  wait "$window_app" 2>/dev/null || true
}
