#!/usr/bin/env bash
# Qt 6 (Core, Gui, Widgets) for Windows x86_64 from Debian's own qt6-base
# source package, with Debian's MinGW-w64 compilers and Debian's Qt host
# tools of the same version (QT_HOST_PATH=/usr).  Called by
# scripts/build-windows.sh when no ready build is at hand.
#
#   scripts/build-windows-qt.sh <source dir> <install prefix> <toolchain file> [jobs]
#
# What Debian's +dfsg source makes necessary: it has no src/3rdparty/wintab
# (so no tablet support: -no-feature-tabletevent), and Debian's cross.patch
# turns androiddeployqt on for cross builds (kept off).  direct2d stays on:
# without it the windows platform plugin does not link in 6.4.2.
set -euo pipefail
src=$1 prefix=$2 toolchain=$3 jobs=${4:-$(nproc)}
mkdir -p "$src"
src=$(cd "$src" && pwd)

host_version=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools)
if [ ! -d "$src/qt6-base" ]; then
  tmp=$(mktemp -d "$src/.qt.XXXXXX")
  (cd "$tmp" && apt-get source -q --download-only "qt6-base=$host_version" >/dev/null)
  orig=$(ls "$tmp"/qt6-base_*.orig.tar.xz)
  mkdir -p "$tmp/tree"
  tar -xJf "$orig" -C "$tmp/tree" --strip-components=1
  tar -xJf "$(ls "$tmp"/qt6-base_*.debian.tar.xz)" -C "$tmp/tree"
  # Debian's patches, in their order.
  (cd "$tmp/tree" && while read -r patch _; do
     case "$patch" in ''|'#'*) continue ;; esac
     patch -p1 -s < "debian/patches/$patch"
   done < debian/patches/series)
  mv "$tmp/tree" "$src/qt6-base"
  rm -rf "$tmp"
fi

build=$src/qt6-base-build
mkdir -p "$build"
cp "$toolchain" "$build/toolchain-mingw64-posix.cmake"
cd "$build"
if [ ! -f build.ninja ]; then
  "$src/qt6-base/configure" -prefix "$prefix" -xplatform win32-g++ -qt-host-path /usr -release -shared \
    -nomake examples -nomake tests -no-opengl -no-dbus -no-icu -no-pkg-config \
    -qt-zlib -qt-libpng -qt-freetype -qt-harfbuzz -qt-pcre -no-libjpeg \
    -no-feature-network -no-feature-sql -no-feature-testlib -no-feature-concurrent \
    -no-feature-xml -no-feature-printsupport -no-feature-tabletevent \
    -no-feature-androiddeployqt -no-feature-vulkan \
    -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$build/toolchain-mingw64-posix.cmake" \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
fi
cmake --build . --parallel "$jobs"
cmake --install .
# The toolchain file beside the installed Qt, as the ready build has it.
cp "$build/toolchain-mingw64-posix.cmake" "$prefix/toolchain-mingw64-posix.cmake"
