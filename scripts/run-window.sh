#!/usr/bin/env bash
# The main job: installs what is missing, builds, starts the instrument
# simulator with an MB4 at address 1 as COM1, and opens the window.
#
# With a screen ($DISPLAY or $WAYLAND_DISPLAY set) the window opens for you:
# press "Читать" to read the simulated instrument.  Without one, the window
# runs under Xvfb, reads once by itself, prints what it shows and saves a
# screenshot (out/window.png).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DORN10_TESTS=OFF >/dev/null
cmake --build build/release -j "$(nproc)" --target orn10util orn10sim window_probe

link=/tmp/orn10/com1
log=$(mktemp)
build/release/sim/orn10sim --instrument MB4@1 --link "$link" >"$log" 2>&1 &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null; rm -f "$log"' EXIT
for _ in $(seq 100); do
  grep -q '^ORN10_COM1=' "$log" && break
  kill -0 $sim 2>/dev/null || { cat "$log"; echo "orn10sim did not start" >&2; exit 1; }
  sleep 0.05
done
export ORN10_COM1=$link
echo "Simulated ORN10-X-X1 MB4 at address 1 on COM1 ($ORN10_COM1 -> $(readlink -f "$link"))"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Opening the window; press \"Читать\" to read the instrument."
  build/release/app/orn10util
else
  mkdir -p out
  echo "No screen here: running the window under Xvfb, pressing \"Читать\" once."
  echo "(On a desktop, run this script from a graphical session to use the window yourself.)"
  xvfb-run -a -s "-screen 0 800x600x24" build/release/bench/window_probe --screenshot out/window.png
fi
