# CMake toolchain file: Windows x86_64 programs from Debian 12 with
# MinGW-w64 GCC and POSIX threads (g++-mingw-w64-x86-64-posix).
#
# Libraries and packages are looked for only in the MinGW sysroot and in
# what the command line adds to CMAKE_FIND_ROOT_PATH (the Windows Qt, the
# prefix with GoogleTest and SQLite that scripts/build-windows.sh makes);
# programs come from the host.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)

set(CMAKE_C_COMPILER   ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_AR           /usr/bin/${TOOLCHAIN_PREFIX}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB       /usr/bin/${TOOLCHAIN_PREFIX}-ranlib CACHE FILEPATH "")

list(APPEND CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
if(DEFINED ENV{ORN10_WINDOWS_PREFIX})
  list(APPEND CMAKE_FIND_ROOT_PATH $ENV{ORN10_WINDOWS_PREFIX})
endif()
list(REMOVE_DUPLICATES CMAKE_FIND_ROOT_PATH)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests and tools of the build run under Wine.
find_program(ORN10_WINE wine)
if(ORN10_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ORN10_WINE})
endif()
