#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Unpacks mbed TLS 3.6 LTS, the source package of Debian 13 (trixie), into
# a folder, for the builds that cannot use the system's library: the Windows
# executables and the Cortex-M first stage. The deb-src entry for trixie is
# added on the Debian archive the machine's apt sources name. Does nothing
# when the folder holds the source already.
#   scripts/mbedtls-source.sh <folder>     -> <folder>/src
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(realpath -m "$1")
if [ -f "$work/src/include/mbedtls/build_info.h" ]; then
  exit 0
fi

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
sources=/etc/apt/sources.list.d/ravel-trixie-src.sources
if [ ! -f "$sources" ]; then
  archive=$(scripts/debian-archive.sh)
  echo "Adding a deb-src entry for Debian 13 (trixie) from $archive"
  printf 'Types: deb-src\nURIs: %s\nSuites: trixie\nComponents: main\nSigned-By: %s\n' \
    "$archive" /usr/share/keyrings/debian-archive-keyring.gpg | "${sudo_cmd[@]}" tee "$sources" >/dev/null
  "${sudo_cmd[@]}" apt-get update -qq
fi
rm -rf "$work/download" "$work/src"
mkdir -p "$work/download"
fetch() { (cd "$work/download" && apt-get source -qq --download-only mbedtls/trixie 2>&1 |
           grep -v '^W: Download is performed unsandboxed' || true); }
fetch
if ! ls "$work"/download/mbedtls_3.6.*.dsc >/dev/null 2>&1; then
  # The source lists may be stale: refresh them once and try again.
  "${sudo_cmd[@]}" apt-get update -qq
  fetch
fi
command -v dpkg-source >/dev/null || { "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends dpkg-dev; }
dpkg-source -q -x "$work"/download/mbedtls_3.6.*.dsc "$work/src" 2>&1 | grep -v 'gpgv\|signature' || true
[ -f "$work/src/include/mbedtls/build_info.h" ] || { echo "mbedtls-source.sh: no mbed TLS 3.6 source" >&2; exit 1; }
echo "mbed TLS source: $work/src"
