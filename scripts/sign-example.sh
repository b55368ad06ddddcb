#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs only what building the tools needs, builds Ravelsign and signs the
# bundled example: examples/sample.bin becomes examples/sample_SBoot.hex.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --build
cmake -S . -B build-example -DRAVEL_BUILD_TESTS=OFF -DRAVEL_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-example -j"$(nproc)" --target Ravelsign >/dev/null
build-example/bin/Ravelsign examples/sample_info.txt examples/sample.bin
