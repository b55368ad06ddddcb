#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the Windows executables and tests them under wine (Debian's wine64),
# in a fresh wine prefix that is removed afterwards: every golden case under
# tests/cases runs against Ravelsign.exe, Ravelverify.exe, Ravelhsm.exe and
# Ravelinfo.exe and must give the console, exit status and files recorded for
# the Linux build (cases that need a PKCS#11 token are Linux-only).
# Options: --werror  compiler warnings as errors (CI)
set -euo pipefail
cd "$(dirname "$0")/.."

# Options (--werror) go to the build script, which checks them.
scripts/build-windows.sh "$@"

tools=(Ravelsign Ravelverify Ravelhsm Ravelinfo)
# Statically linked: the executables may import only DLLs every Windows has.
for tool in "${tools[@]}"; do
  exe=build-windows/bin/$tool.exe
  imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
  echo "$exe imports: $imports"
  for dll in $imports; do
    case "$dll" in
      kernel32.dll | msvcrt.dll | bcrypt.dll) ;;
      *) echo "FAILED: $exe needs $dll, which Windows does not ship" >&2; exit 1 ;;
    esac
  done
  # No link time in the PE header (the file header's TimeDateStamp, 8 bytes
  # past the PE signature, whose offset is at 0x3C): builds are reproducible.
  pe_header=$(od -An -tu4 -j60 -N4 "$exe" | tr -d ' ')
  if [ "$(od -An -tu4 -j$((pe_header + 8)) -N4 "$exe" | tr -d ' ')" != 0 ]; then
    echo "FAILED: $exe carries its link time in its PE header" >&2
    exit 1
  fi
done

# The Linux test programs drive the Windows build.
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)" --target ravel_golden_tests

wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)

prefix_root=$(mktemp -d)
export WINEPREFIX=$prefix_root/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  "$wineserver" -k >/dev/null 2>&1 || true
  "$wineserver" -w >/dev/null 2>&1 || true
  rm -rf "$prefix_root"
}
trap cleanup EXIT

# The first start of a prefix takes seconds and prints noise: do it once here,
# with a persistent wineserver whose output goes nowhere. A wineserver started
# by a test would hold that test's output pipe open until it exits.
mkdir -p "$WINEPREFIX"
"$wineserver" -p >/dev/null 2>&1
"$wine" wineboot --init >/dev/null 2>&1
echo "wine prefix ready: $("$wine" --version 2>/dev/null)"

export RAVEL_WINE=$wine
export RAVELSIGN=$PWD/build-windows/bin/Ravelsign.exe RAVELVERIFY=$PWD/build-windows/bin/Ravelverify.exe \
       RAVELHSM=$PWD/build-windows/bin/Ravelhsm.exe RAVELINFO=$PWD/build-windows/bin/Ravelinfo.exe
echo "--- the golden cases with the Windows executables"
build/tests/ravel_golden_tests --gtest_brief=1
