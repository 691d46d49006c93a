#!/usr/bin/env bash
# The Windows deploy folder, installer and zip from a Windows build:
#   scripts/package-windows.sh <build dir> <Qt for Windows prefix> <dist dir> [<library prefix>]
# gives <dist dir>/ORN10Util/ (the programs, the DLLs they need, stripped),
# <dist dir>/orn10util-<version>-setup.exe (NSIS) and
# <dist dir>/orn10util-<version>-win64.zip (the same folder, portable).
# Fails when a program or DLL imports a DLL that is neither deployed nor
# part of Windows.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1 qt=$2 dist=$3 libs=${4:-}
host=x86_64-w64-mingw32
version=$(sed -n 's/^project(orn10util VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

deploy=$dist/ORN10Util
rm -rf "$dist" && mkdir -p "$deploy/platforms" "$deploy/styles" "$deploy/translations"
cp "$build/app/orn10util.exe" "$build/ctl/orn10ctl.exe" "$build/sim/orn10sim.exe" "$deploy/"
cp "$qt"/bin/Qt6Core.dll "$qt"/bin/Qt6Gui.dll "$qt"/bin/Qt6Widgets.dll "$deploy/"
cp "$qt/plugins/platforms/qwindows.dll" "$deploy/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$deploy/styles/"
# Qt's texts in Russian: with Qt's DLLs beside the program, Qt takes the
# program's folder for its prefix and finds them in translations/.
cp "$qt/translations/qtbase_ru.qm" "$deploy/translations/"
# The MinGW runtime of the window and of Qt (orn10ctl and orn10sim have it
# linked in).
gcc_dir=$(dirname "$($host-g++-posix -print-libgcc-file-name)")
for dll in libstdc++-6.dll libgcc_s_seh-1.dll; do cp "$gcc_dir/$dll" "$deploy/"; done
cp /usr/$host/lib/libwinpthread-1.dll "$deploy/"
cp resources/windows/README.txt "$deploy/README.txt"
# DLLs of the libraries built beside Qt (libpq) go along when a program needs them.
if [ -n "$libs" ]; then
  for dll in $($host-objdump -p "$deploy"/*.exe | sed -n 's/^\s*DLL Name: //p' | sort -u); do
    found=$(find "$libs/bin" -maxdepth 1 -iname "$dll" | head -1)   # the import may be named in another case
    [ -n "$found" ] && cp "$found" "$deploy/"
  done
fi
find "$deploy" -name '*.exe' -o -name '*.dll' | xargs $host-strip --strip-unneeded

# What Windows itself has: every DLL imported must be deployed or one of these.
system_dlls='advapi32 authz comdlg32 d2d1 d3d11 d3d9 dwmapi dwrite dxgi gdi32 imm32 kernel32 msvcrt
  mpr netapi32 ole32 oleaut32 setupapi shell32 shlwapi user32 userenv uxtheme version winmm
  ws2_32 wtsapi32 winspool.drv crypt32 bcrypt secur32 shcore'
bad=0
while IFS= read -r -d '' file; do
  while read -r dll; do
    lower=$(echo "$dll" | tr 'A-Z' 'a-z')
    base=${lower%.dll}
    if [ -n "$(find "$deploy" -maxdepth 1 -iname "$dll")" ] || [[ " $(echo $system_dlls) " == *" $base "* ]] ||
       [[ " $(echo $system_dlls) " == *" $lower "* ]] || [[ $lower == api-ms-win-* ]]; then
      continue
    fi
    echo "${file#$deploy/} imports $dll, which is neither deployed nor part of Windows" >&2
    bad=1
  done < <($host-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p')
done < <(find "$deploy" \( -name '*.exe' -o -name '*.dll' \) -print0)
[ $bad -eq 0 ] || exit 1
echo "Imports checked: every DLL is deployed or part of Windows"
$host-objdump -p "$deploy/orn10ctl.exe" | sed -n 's/^\s*DLL Name: /  orn10ctl.exe imports /p'

(cd "$dist" && rm -f "orn10util-$version-win64.zip" && zip -qr9 "orn10util-$version-win64.zip" ORN10Util)

# The installer installs exactly the deploy folder and its uninstaller
# removes exactly that: both lists are made from the folder.
nsis=$dist/nsis
mkdir -p "$nsis"
: >"$nsis/install.nsh"
: >"$nsis/uninstall.nsh"
(cd "$deploy" && find . -type d ! -name . | sort) | while read -r d; do
  d=${d#./}
  echo "CreateDirectory \"\$INSTDIR\\${d//\//\\}\"" >>"$nsis/install.nsh"
done
(cd "$deploy" && find . -type f | sort) | while read -r f; do
  f=${f#./}
  w=${f//\//\\}
  dir=$(dirname "$f")
  [ "$dir" = . ] && out='$INSTDIR' || out="\$INSTDIR\\${dir//\//\\}"
  echo "SetOutPath \"$out\"" >>"$nsis/install.nsh"
  echo "File \"/oname=$(basename "$f")\" \"$(cd "$deploy" && pwd)/$f\"" >>"$nsis/install.nsh"
  echo "Delete \"\$INSTDIR\\$w\"" >>"$nsis/uninstall.nsh"
done
(cd "$deploy" && find . -type d ! -name . | sort -r) | while read -r d; do
  d=${d#./}
  echo "RMDir \"\$INSTDIR\\${d//\//\\}\"" >>"$nsis/uninstall.nsh"
done
echo 'SetOutPath "$INSTDIR"' >>"$nsis/install.nsh"
makensis -V2 -DVERSION="$version" -DLISTS="$(cd "$nsis" && pwd)" \
  -DOUTFILE="$(cd "$dist" && pwd)/orn10util-$version-setup.exe" resources/windows/orn10util.nsi
ls -l "$dist"/*.zip "$dist"/*.exe
