#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs the Debian packages the project needs, when any is missing. Every
# name is one that Debian 12 and Debian 13 both have; clang, clang-tidy and
# the sanitizer runtime are each release's default (14 on 12, 19 on 13).
#   scripts/install-deps.sh            build, tests, fuzzing, analysis
#   scripts/install-deps.sh --build    only what building the tools needs
#   scripts/install-deps.sh --bench    plus the benchmark yardsticks
#   scripts/install-deps.sh --windows  plus the Windows cross build and wine
set -euo pipefail

build=(cmake make g++ pkg-config libmbedtls-dev libp11-kit-dev)
tests=(clang clang-tidy clang-format libclang-rt-dev libgtest-dev libbenchmark-dev openssl srecord binutils
       valgrind xxd dpkg-dev file man-db lintian softhsm2 opensc git ca-certificates
       gcc-arm-none-eabi libnewlib-arm-none-eabi qemu-system-arm ninja-build)
packages=("${build[@]}" "${tests[@]}")
for arg in "$@"; do
  case "$arg" in
    --build) packages=("${build[@]}") ;;
    --bench) packages+=(hyperfine valgrind binutils openssl time) ;;
    --windows) packages+=(g++-mingw-w64-x86-64-posix wine64 dpkg-dev) ;;
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
