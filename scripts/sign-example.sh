#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs what is missing, builds Ravelsign and signs the bundled example:
# examples/sample.bin becomes examples/sample_SBoot.hex.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)" --target Ravelsign >/dev/null
build/bin/Ravelsign examples/sample_info.txt examples/sample.bin
