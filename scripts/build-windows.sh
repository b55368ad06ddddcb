#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Cross-builds the four executables for 64-bit Windows with Debian's
# mingw-w64. mbed TLS for Windows is 3.6 LTS, built from the source package
# of Debian 13, crypto library only.
#   scripts/build-windows.sh     -> build-windows/bin/*.exe
# Options: --werror  compiler warnings as errors (CI)
set -euo pipefail
cd "$(dirname "$0")/.."

werror=OFF
for arg in "$@"; do
  case "$arg" in
    --werror) werror=ON ;;
    *) echo "build-windows.sh: unknown option $arg" >&2; exit 2 ;;
  esac
done
jobs=$(nproc)
toolchain=$PWD/cmake/mingw-w64-x86_64.cmake

scripts/install-deps.sh --windows

# Windows gets mbed TLS 3.6 LTS whatever the host: the source package of
# Debian 13 (trixie), from the Debian archive the machine's apt sources name.
work=$PWD/build-windows/mbedtls
lib=$work/build/library/libmbedcrypto.a
if [ ! -f "$lib" ]; then
  scripts/mbedtls-source.sh "$work"
  # Upstream's default configuration: Debian's additions (pthread threading)
  # are for its shared Linux libraries and not wanted here. The generated
  # sources ship in the package.
  cmake -S "$work/src" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DENABLE_PROGRAMS=OFF -DENABLE_TESTING=OFF -DUSE_STATIC_MBEDTLS_LIBRARY=ON -DGEN_FILES=OFF \
    -DUSE_SHARED_MBEDTLS_LIBRARY=OFF -DMBEDTLS_FATAL_WARNINGS=OFF >/dev/null
  cmake --build "$work/build" -j"$jobs" --target mbedcrypto >/dev/null
fi
echo "mbed TLS for Windows: $lib"

cmake --preset windows -DRAVEL_WERROR="$werror" \
  -DMBEDTLS_INCLUDE_DIR="$work/src/include" -DMBEDCRYPTO_LIBRARY="$lib" >/dev/null
cmake --build --preset windows -j"$jobs"
