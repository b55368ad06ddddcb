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

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)

# Windows gets mbed TLS 3.6 LTS whatever the host: the source package of
# Debian 13 (trixie), fetched through a deb-src entry for trixie on the
# Debian archive the machine's apt sources already name.
work=$PWD/build-windows/mbedtls
lib=$work/build/library/libmbedcrypto.a
sources=/etc/apt/sources.list.d/ravel-trixie-src.sources

if [ ! -f "$lib" ]; then
  if [ ! -f "$sources" ]; then
    archive=$(scripts/debian-archive.sh)
    echo "Adding a deb-src entry for Debian 13 (trixie) from $archive"
    printf 'Types: deb-src\nURIs: %s\nSuites: trixie\nComponents: main\nSigned-By: %s\n' \
      "$archive" /usr/share/keyrings/debian-archive-keyring.gpg | "${sudo_cmd[@]}" tee "$sources" >/dev/null
    "${sudo_cmd[@]}" apt-get update -qq
  fi
  rm -rf "$work"
  mkdir -p "$work/download"
  fetch() { (cd "$work/download" && apt-get source -qq --download-only mbedtls/trixie 2>&1 |
             grep -v '^W: Download is performed unsandboxed' || true); }
  fetch
  if ! ls "$work"/download/mbedtls_3.6.*.dsc >/dev/null 2>&1; then
    # The source lists may be stale: refresh them once and try again.
    "${sudo_cmd[@]}" apt-get update -qq
    fetch
  fi
  dpkg-source -q -x "$work"/download/mbedtls_3.6.*.dsc "$work/src"
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
