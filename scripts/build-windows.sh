#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Cross-builds the four executables for 64-bit Windows with
# Debian's mingw-w64. mbed TLS for Windows is built from Debian's own source
# package, the version installed for the Linux build, crypto library only.
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

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)

# The mbed TLS version the Linux build links against; Windows gets the same.
version=$(dpkg-query -W -f='${Version}' libmbedtls-dev)
work=$PWD/build-windows/mbedtls-$version
lib=$work/build/library/libmbedcrypto.a

if [ ! -f "$lib" ]; then
  # apt-get source needs a deb-src entry; derive one from the Debian archive
  # entries already configured when none exists.
  if ! grep -Eqs '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/*; then
    echo "Adding deb-src entries for the configured Debian archive"
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
        "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/ravel-deb-src.sources >/dev/null
    else
      grep -hE '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null | sed 's/^deb /deb-src /' |
        "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/ravel-deb-src.list >/dev/null
    fi
    "${sudo_cmd[@]}" apt-get update -qq
  fi
  rm -rf "$work"
  mkdir -p "$work/download"
  fetch() { (cd "$work/download" && apt-get source -qq --download-only "mbedtls=$version" 2>&1 |
             grep -v '^W: Download is performed unsandboxed' || true); }
  fetch
  if ! ls "$work"/download/mbedtls_*.dsc >/dev/null 2>&1; then
    # The source lists may be stale: refresh them once and try again.
    "${sudo_cmd[@]}" apt-get update -qq
    fetch
  fi
  dpkg-source -q -x "$work"/download/mbedtls_*.dsc "$work/src"
  # Upstream's default configuration: Debian's additions (pthread threading,
  # HAVEGE) are for its shared Linux libraries and not wanted here.
  cmake -S "$work/src" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DENABLE_PROGRAMS=OFF -DENABLE_TESTING=OFF -DUSE_STATIC_MBEDTLS_LIBRARY=ON \
    -DUSE_SHARED_MBEDTLS_LIBRARY=OFF -DMBEDTLS_FATAL_WARNINGS=OFF >/dev/null
  cmake --build "$work/build" -j"$jobs" --target mbedcrypto >/dev/null
fi
echo "mbed TLS $version for Windows: $lib"

cmake --preset windows -DRAVEL_WERROR="$werror" \
  -DMBEDTLS_INCLUDE_DIR="$work/src/include" -DMBEDCRYPTO_LIBRARY="$lib" >/dev/null
cmake --build --preset windows -j"$jobs"
