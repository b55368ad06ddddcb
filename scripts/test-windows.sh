#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the Windows executables and tests them under wine (Debian's wine64),
# in a fresh wine prefix that is removed afterwards:
#   1. the end-to-end suites, run against Ravelsign.exe and Ravelverify.exe
#   2. the cross-build suite: console, exit status and output file byte for
#      byte the same as the Linux build's, for fixed-RANDOM_K cases
# Options: --werror  compiler warnings as errors (CI)
set -euo pipefail
cd "$(dirname "$0")/.."

# Options (--werror) go to the build script, which checks them.
scripts/build-windows.sh "$@"

# Statically linked: the executables may import only DLLs every Windows has.
for exe in build-windows/app/Ravelsign.exe build-windows/verify/Ravelverify.exe; do
  imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
  echo "$exe imports: $imports"
  for dll in $imports; do
    case "$dll" in
      kernel32.dll | msvcrt.dll | bcrypt.dll) ;;
      *) echo "FAILED: $exe needs $dll, which Windows does not ship" >&2; exit 1 ;;
    esac
  done
done

# The Linux test programs drive both builds.
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)" --target ravel_e2e_tests ravel_e2e_table_tests ravel_cross_build_tests

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
windows_sign=$PWD/build-windows/app/Ravelsign.exe
windows_verify=$PWD/build-windows/verify/Ravelverify.exe

for suite in ravel_e2e_tests ravel_e2e_table_tests; do
  echo "--- $suite with the Windows executables"
  RAVELSIGN=$windows_sign RAVELVERIFY=$windows_verify build/tests/$suite --gtest_brief=1
done
echo "--- ravel_cross_build_tests: Windows against Linux"
RAVELSIGN_WINDOWS=$windows_sign RAVELVERIFY_WINDOWS=$windows_verify build/tests/ravel_cross_build_tests --gtest_brief=1
