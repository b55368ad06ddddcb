#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs the Debian packages the project needs, when any is missing. Every
# name is one that Debian 12 and Debian 13 both have; clang, clang-tidy and
# the sanitizer runtime are each release's default (14 on 12, 19 on 13).
# This is the one script that calls apt-get install, through sudo when not
# root; the other scripts ask it for what they need. The options name sets
# of packages, and several may be given.
#   scripts/install-deps.sh                build, tests, fuzzing, analysis
#   scripts/install-deps.sh --build        only what building the tools needs
#   scripts/install-deps.sh --light        building, the unit tests and the golden cases
#   scripts/install-deps.sh --bench        plus the benchmark yardsticks (to the set named or the whole)
#   scripts/install-deps.sh --windows      plus the Windows cross build and wine (likewise)
#   scripts/install-deps.sh --debootstrap  only debootstrap (scripts/test-in-root.sh)
#   scripts/install-deps.sh --dpkg-source  only dpkg-source (scripts/mbedtls-source.sh)
#   scripts/install-deps.sh --package      only what cpack needs for the Debian package
set -euo pipefail

build=(cmake make g++ pkg-config libmbedtls-dev libp11-kit-dev nlohmann-json3-dev)
light=(libgtest-dev openssl srecord binutils xxd softhsm2 opensc git ca-certificates python3-jsonschema acl)
tests=("${light[@]}" clang clang-tidy clang-format libclang-rt-dev libbenchmark-dev valgrind dpkg-dev file man-db
       lintian gcc-arm-none-eabi libnewlib-arm-none-eabi qemu-system-arm ninja-build)
selected=() added=()
for arg in "$@"; do
  case "$arg" in
    --build) selected+=("${build[@]}") ;;
    --light) selected+=("${build[@]}" "${light[@]}") ;;
    --debootstrap) selected+=(debootstrap) ;;
    --dpkg-source) selected+=(dpkg-dev) ;;
    --package) selected+=(dpkg-dev file binutils) ;;
    --bench) added+=(hyperfine valgrind binutils openssl time) ;;
    --windows) added+=(g++-mingw-w64-x86-64-posix wine64 dpkg-dev) ;;
    *) echo "install-deps.sh: unknown option $arg" >&2; exit 2 ;;
  esac
done
[ ${#selected[@]} -gt 0 ] || selected=("${build[@]}" "${tests[@]}")
packages=("${selected[@]}" "${added[@]}")

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
