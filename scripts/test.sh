#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
#   scripts/test.sh            the whole suite
#   scripts/test.sh --werror   the same with compiler warnings as errors (CI)
set -euo pipefail
cd "$(dirname "$0")/.."

werror=OFF
for arg in "$@"; do
  case "$arg" in
    --werror) werror=ON ;;
    *) echo "test.sh: unknown option $arg" >&2; exit 2 ;;
  esac
done
jobs=$(nproc)

scripts/install-deps.sh

step() { printf '\n=== %s\n' "$*"; }

step "Build (g++, warnings as errors: $werror) and test"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRAVEL_WERROR="$werror" >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"
