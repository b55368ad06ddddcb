#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Unpacks mbed TLS 3.6 LTS, the source package of Debian 13 (trixie), into
# a folder, for the builds that cannot use the system's library: the Windows
# executables and the Cortex-M first stage. apt fetches it through a sources
# list and package lists of its own under <folder>/apt, naming the Debian
# archive the machine's apt sources name: the machine's apt configuration
# and lists stay as they are, and no root is needed. Does nothing when the
# folder holds the source already.
#   scripts/mbedtls-source.sh <folder>     -> <folder>/src
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(realpath -m "$1")
if [ -f "$work/src/include/mbedtls/build_info.h" ]; then
  exit 0
fi
scripts/install-deps.sh --dpkg-source

apt_dir=$work/apt
rm -rf "$apt_dir" "$work/download" "$work/src"
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$work/download"
archive=$(scripts/debian-archive.sh)
printf 'deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] %s trixie main\n' "$archive" \
  >"$apt_dir/sources.list"
# Downloads go to folders of this run's user: no switch to apt's sandbox user.
apt=(apt-get -qq -o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
     -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache" -o APT::Sandbox::User="$(id -un)")
echo "Fetching the mbed TLS source package of Debian 13 (trixie) from $archive"
"${apt[@]}" update
(cd "$work/download" && "${apt[@]}" source --download-only mbedtls/trixie)
dpkg-source -q -x "$work"/download/mbedtls_3.6.*.dsc "$work/src" 2>&1 | grep -v 'gpgv\|signature' || true
[ -f "$work/src/include/mbedtls/build_info.h" ] || { echo "mbedtls-source.sh: no mbed TLS 3.6 source" >&2; exit 1; }
echo "mbed TLS source: $work/src"
