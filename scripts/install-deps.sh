#!/usr/bin/env bash
# Installs what building, testing and running need on Debian 12.
# Does nothing when everything is there already; uses sudo when not root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-translations-l10n qt6-l10n-tools libgl-dev libxcb1-dev
  libgtest-dev libmodbus-dev
  libsqlite3-dev libpq-dev postgresql poppler-utils
  ser2net mbpoll
  clang libclang-rt-14-dev
  xvfb xauth fonts-dejavu-core fonts-liberation2 desktop-file-utils dpkg-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
echo "Installing: ${missing[*]}"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
