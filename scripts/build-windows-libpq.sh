#!/usr/bin/env bash
# libpq (PostgreSQL's client library) for Windows x86_64 from Debian's
# postgresql-15 source, with MinGW-w64 and without OpenSSL, GSSAPI, ICU,
# readline or zlib: only src/interfaces/libpq and what it is built from.
#   scripts/build-windows-libpq.sh <source dir> <build dir> <install prefix> [jobs]
set -euo pipefail
src=$(cd "$1" && pwd) build=$2 prefix=$3 jobs=${4:-$(nproc)}
host=x86_64-w64-mingw32
mkdir -p "$build" && cd "$build"
if [ ! -f config.status ]; then
  "$src/configure" --host=$host --prefix="$prefix" CC=$host-gcc-posix AR=$host-ar RANLIB=$host-ranlib \
    DLLTOOL=$host-dlltool DLLWRAP=$host-dllwrap WINDRES=$host-windres \
    --without-readline --without-zlib --without-openssl --without-icu --without-gssapi --without-ldap \
    --without-llvm --without-perl --without-python --without-tcl --disable-nls
fi
make -C src/include -j "$jobs"
make -C src/common -j "$jobs"
make -C src/port -j "$jobs"
make -C src/interfaces/libpq -j "$jobs"
make -C src/include install
make -C src/interfaces/libpq install
