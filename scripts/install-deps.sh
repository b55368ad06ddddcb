#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs the Debian packages the project needs, when any is missing.
#   scripts/install-deps.sh            build, tests, fuzzing, analysis
#   scripts/install-deps.sh --bench    plus the benchmark yardsticks
#   scripts/install-deps.sh --windows  plus the Windows cross build and wine
set -euo pipefail

packages=(cmake make g++ clang clang-tidy clang-format libclang-rt-14-dev libmbedtls-dev
          libgtest-dev libbenchmark-dev libp11-kit-dev openssl srecord binutils valgrind xxd dpkg-dev
          man-db lintian softhsm2 opensc pkg-config)
for arg in "$@"; do
  case "$arg" in
    --bench) packages+=(hyperfine valgrind binutils openssl time) ;;
    --windows) packages+=(g++-mingw-w64-x86-64-posix wine64) ;;
    *) echo "install-deps.sh: unknown option $arg" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
