#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs what is missing, builds everything and runs every test:
#   1. g++ build, unit tests, the golden cases, the Debian package, valgrind memcheck of full runs,
#      and the installed CMake package signing the Cortex-M3 example, booted in QEMU
#   2. clang++ build with AddressSanitizer and UndefinedBehaviorSanitizer, the same tests
#   3. the layering of the source folders, and clang-tidy over the tool's sources
#   4. every libFuzzer target for FUZZ_SECONDS seconds (default 30)
#   5. the Windows executables, cross-built with mingw-w64, under wine
# Options: --werror        compiler warnings as errors (CI)
#          --skip-windows  leave out step 5
#          --light         step 1 only, without the ctest tests named Memcheck.*
#                          (valgrind) and Package.* (the Cortex-M3 example in
#                          QEMU, the Debian package): the unit tests, every
#                          golden case and the rest (the 32-bit CI leg)
set -euo pipefail
cd "$(dirname "$0")/.."

werror=OFF
windows=ON
light=OFF
for arg in "$@"; do
  case "$arg" in
    --werror) werror=ON ;;
    --skip-windows) windows=OFF ;;
    --light) light=ON ;;
    *) echo "test.sh: unknown option $arg" >&2; exit 2 ;;
  esac
done
jobs=$(nproc)
fuzz_seconds=${FUZZ_SECONDS:-30}

step() { printf '\n=== %s\n' "$*"; }

if [ "$light" = ON ]; then
  scripts/install-deps.sh --light
  step "g++ build (warnings as errors: $werror), unit tests and golden cases"
  light_configure=(-DRAVEL_BUILD_BENCHMARKS=OFF) light_tests=(--exclude-regex '^(Memcheck|Package)\.')
else
  scripts/install-deps.sh
  step "g++ build (warnings as errors: $werror) and tests"
  light_configure=() light_tests=()
fi
cmake --preset default -DRAVEL_WERROR="$werror" "${light_configure[@]}" >/dev/null
cmake --build --preset default -j"$jobs"
ctest --preset default -j"$jobs" "${light_tests[@]}"
[ "$light" = ON ] && exit 0

step "clang++ build with AddressSanitizer and UndefinedBehaviorSanitizer, and tests"
cmake --preset sanitize -DRAVEL_WERROR="$werror" >/dev/null
cmake --build --preset sanitize -j"$jobs"
ctest --preset sanitize -j"$jobs"

step "Layering and clang-tidy"
scripts/check-layers.sh
mapfile -t folders < <(grep -E '^[a-z]' cmake/source-folders.txt)
mapfile -t sources < <(git ls-files "${folders[@]/%//*.cpp}")
# Headers are checked where the tool's own sources include them.
header_filter="/($(IFS='|'; echo "${folders[*]}"))/"
run-clang-tidy -p build -quiet -j "$jobs" -header-filter="$header_filter" "${sources[@]}" \
  >build/clang-tidy.log 2>&1 || {
  grep -E 'warning:|error:' build/clang-tidy.log | head -n 50
  echo "clang-tidy found problems"
  exit 1
}
echo "clang-tidy: ${#sources[@]} files clean"

step "Fuzzing, ${fuzz_seconds}s per target"
scripts/fuzz.sh "$fuzz_seconds"

if [ "$windows" = ON ]; then
  step "Windows executables under wine"
  if [ "$werror" = ON ]; then scripts/test-windows.sh --werror; else scripts/test-windows.sh; fi
fi
