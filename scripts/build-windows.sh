#!/usr/bin/env bash
# Builds the Windows programs on Debian 12 with MinGW-w64: orn10util.exe (the
# window), orn10ctl.exe (console), the Qt-free test programs as .exe, the
# deploy folder with the DLLs they need, the NSIS installer and the portable
# zip.  Installs what it needs from Debian first.
#
#   scripts/build-windows.sh            # everything into build/windows/
#
# Qt 6 for Windows comes from a ready build, $ORN10_QT_MINGW (default
# ../shared/qt6-mingw beside the repository: a tarball and its README), or,
# when there is none, is built from Debian's own qt6-base source with the
# same compilers (about 35 minutes on two cores, once; kept in
# build/windows/qt).  GoogleTest, and SQLite and libpq when the project uses
# them, are built from Debian's sources the same way into
# build/windows/prefix.
#
# Environment:
#   ORN10_QT_MINGW       folder with qt6.4.2-mingw-x86_64.tar.xz (ready Qt)
#   ORN10_WIN_OUT        output folder (default build/windows)
#   ORN10_QT_FROM_SOURCE=1  build Qt from source even when a ready one is there
#   ORN10_WIN_SQLITE, ORN10_WIN_LIBPQ   1: build SQLite / libpq; 0: leave it out
#                        (libpq: the PostgreSQL backend then too); default:
#                        when a CMakeLists.txt asks for it (find_package)
#   ORN10_JOBS           parallel jobs (default: the number of cores)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

out=${ORN10_WIN_OUT:-build/windows}
mkdir -p "$out"
out=$(cd "$out" && pwd)
jobs=${ORN10_JOBS:-$(nproc)}
prefix=$out/prefix            # GoogleTest, SQLite, libpq for Windows
src=$out/src                  # Debian source packages
qtdir=$out/qt                 # Qt for Windows (prefix/ inside)
toolchain=$root/cmake/mingw-w64-x86_64.cmake
host=x86_64-w64-mingw32
export ORN10_WINDOWS_PREFIX=$prefix
mkdir -p "$prefix" "$src"

log() { printf '== [%4d s] %s\n' "$SECONDS" "$*"; }

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)

# ---------------------------------------------------------------- packages
packages=(
  build-essential cmake ninja-build pkg-config dpkg-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev libxcb1-dev googletest
  wine wine64 xvfb xauth xdotool x11-apps imagemagick fonts-liberation2
  fonts-wine nsis zip unzip tcl
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  log "Installing: ${missing[*]}"
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Debian source packages need deb-src entries; made from the deb entries
# when the machine has none.
have_deb_src() {
  grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/
}
fetch_source() {   # <package> <dir>: the unpacked source of <package> in <dir>/<package>
  local pkg=$1 dir=$2
  [ -d "$dir/$pkg" ] && return 0
  if ! have_deb_src; then
    log "Adding deb-src entries for Debian's source packages"
    local f
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] || continue
      sed 's/^Types: deb$/Types: deb-src/' "$f" | "${as_root[@]}" tee "/etc/apt/sources.list.d/orn10-src-$(basename "$f")" >/dev/null
    done
    if [ -f /etc/apt/sources.list ]; then
      sed -n 's/^deb /deb-src /p' /etc/apt/sources.list | "${as_root[@]}" tee /etc/apt/sources.list.d/orn10-src.list >/dev/null
    fi
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
  fi
  local tmp v
  tmp=$(mktemp -d "$dir/.fetch.XXXXXX")
  # The newest version first; a mirror may not carry every version it lists.
  for v in "" $(apt-cache showsrc "$pkg" | sed -n 's/^Version: //p' | sort -rV); do
    (cd "$tmp" && apt-get source -q "$pkg${v:+=$v}" >/dev/null 2>&1) && break
    rm -rf "${tmp:?}"/*
  done
  local unpacked
  unpacked=$(find "$tmp" -mindepth 1 -maxdepth 1 -type d | head -1)
  mv "$unpacked" "$dir/$pkg"
  rm -rf "$tmp"
}

# ---------------------------------------------------------------- Qt
qt_ready=${ORN10_QT_MINGW:-$root/../shared/qt6-mingw}
qt_tarball=$qt_ready/qt6.4.2-mingw-x86_64.tar.xz
if [ ! -f "$qtdir/prefix/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
  if [ -f "$qt_tarball" ] && [ "${ORN10_QT_FROM_SOURCE:-0}" != 1 ]; then
    log "Qt for Windows: the ready build in $qt_ready"
    rm -rf "$qtdir" && mkdir -p "$qtdir"
    tar -xJf "$qt_tarball" -C "$qtdir"
  else
    log "Qt for Windows: building Debian's qt6-base with MinGW-w64 (about 35 minutes on two cores)"
    scripts/build-windows-qt.sh "$src" "$qtdir/prefix" "$toolchain" "$jobs"
  fi
fi
qt=$qtdir/prefix
# Qt's own texts in Russian: Debian's translations of the same Qt version
# (qt6-translations-l10n; data, the same on every system), where Qt looks for
# them, in its prefix; the deploy takes them from there.
mkdir -p "$qt/translations"
cp /usr/share/qt6/translations/qtbase_ru.qm "$qt/translations/"

# ---------------------------------------------------------------- GoogleTest
if [ ! -f "$prefix/lib/libgtest.a" ]; then
  log "GoogleTest for Windows from /usr/src/googletest"
  cmake -S /usr/src/googletest -B "$out/gtest" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=ON -Dgtest_disable_pthreads=OFF >/dev/null
  cmake --build "$out/gtest" -j "$jobs" >/dev/null
  cmake --install "$out/gtest" >/dev/null
fi

# Whether the project asks for a package (find_package in a CMakeLists.txt).
wanted() {   # <setting: 1, 0 or empty> <package>
  case "$1" in
    1) return 0 ;;
    0) return 1 ;;
    *) grep -rqs --include=CMakeLists.txt --exclude-dir=build --exclude-dir=.git "find_package($2" . ;;
  esac
}

# ---------------------------------------------------------------- SQLite
if wanted "${ORN10_WIN_SQLITE:-}" SQLite3 && [ ! -f "$prefix/lib/libsqlite3.a" ]; then
  log "SQLite for Windows from Debian's sqlite3 source"
  fetch_source sqlite3 "$src"
  # The amalgamation (sqlite3.c) is generated on the host; it is plain C.
  mkdir -p "$out/sqlite-host"
  if [ ! -f "$out/sqlite-host/sqlite3.c" ]; then
    (cd "$out/sqlite-host" && "$src/sqlite3/configure" -q >/dev/null && make -s sqlite3.c >/dev/null)
  fi
  mkdir -p "$out/sqlite-win"
  # The options Debian builds its own library with that matter to programs.
  sqlite_flags=(-O2 -DSQLITE_ENABLE_COLUMN_METADATA -DSQLITE_ENABLE_FTS5 -DSQLITE_ENABLE_JSON1
                -DSQLITE_ENABLE_RTREE -DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION=0)
  $host-gcc-posix "${sqlite_flags[@]}" -c "$out/sqlite-host/sqlite3.c" -o "$out/sqlite-win/sqlite3.o"
  $host-ar rcs "$out/sqlite-win/libsqlite3.a" "$out/sqlite-win/sqlite3.o"
  mkdir -p "$prefix/include" "$prefix/lib"
  cp "$out/sqlite-host/sqlite3.h" "$out/sqlite-host/sqlite3ext.h" "$prefix/include/" 2>/dev/null ||
    cp "$out/sqlite-host/sqlite3.h" "$prefix/include/"
  cp "$out/sqlite-win/libsqlite3.a" "$prefix/lib/"
fi

# ---------------------------------------------------------------- libpq
if wanted "${ORN10_WIN_LIBPQ:-}" PostgreSQL && [ ! -f "$prefix/lib/libpq.a" ] && [ ! -f "$out/libpq.failed" ]; then
  log "libpq for Windows from Debian's postgresql-15 source (without OpenSSL, GSSAPI, readline, zlib)"
  fetch_source postgresql-15 "$src"
  if scripts/build-windows-libpq.sh "$src/postgresql-15" "$out/libpq-build" "$prefix" "$jobs" >"$out/libpq.log" 2>&1; then
    :
  else
    echo "libpq did not build (see $out/libpq.log); the Windows build goes without the PostgreSQL backend" >&2
    touch "$out/libpq.failed"
  fi
fi

# ---------------------------------------------------------------- the programs
log "Configuring the Windows build"
cmake -S . -B "$out/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
  -DQT_CHAINLOAD_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_FIND_ROOT_PATH="$prefix" -DCMAKE_PREFIX_PATH="$prefix" \
  -DORN10_BENCH=OFF -DORN10_TESTS=ON >/dev/null
log "Building"
cmake --build "$out/build" -j "$jobs"
log "Deploy folder, installer and zip"
scripts/package-windows.sh "$out/build" "$qt" "$out/dist" "$prefix"
log "Windows build done"
