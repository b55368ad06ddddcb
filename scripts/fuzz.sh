#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the libFuzzer targets with clang and runs each for a given time.
#   scripts/fuzz.sh [SECONDS]   (default 30 per target)
# Inputs kept under fuzz/regressions/<target>/ are replayed first; the seed
# corpora live under fuzz/corpus/<target>/ and grow in fuzz/corpus-work/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}

CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRAVEL_BUILD_FUZZERS=ON \
  -DRAVEL_BUILD_TESTS=OFF -DRAVEL_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" >/dev/null
# The targets fuzz/CMakeLists.txt builds, in its order.
mapfile -t targets <build-fuzz/fuzz/targets.txt

summary=()
for t in "${targets[@]}"; do
  bin=$(find build-fuzz -type f -name "${t}_fuzz" -perm -u+x | head -n 1)
  mapfile -t regressions < <(find "fuzz/regressions/$t" -type f ! -name .keep | sort)
  if [ ${#regressions[@]} -gt 0 ]; then
    echo "== $t: replaying ${#regressions[@]} regression inputs"
    if ! "$bin" "${regressions[@]}" >/dev/null 2>&1; then
      "$bin" "${regressions[@]}" 2>&1 | tail -n 40
      echo "$t: a kept regression input fails again"
      exit 1
    fi
  fi
  work=fuzz/corpus-work/$t
  mkdir -p "$work"
  echo "== $t: fuzzing for ${seconds}s"
  log=$(mktemp)
  if ! "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
      -artifact_prefix="fuzz/corpus-work/${t}-" "$work" "fuzz/corpus/$t" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "$t: fuzzing found a failure; the input is under fuzz/corpus-work/"
    exit 1
  fi
  runs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}')
  summary+=("$t: ${runs:-?} executions in ${seconds}s, no failure")
  rm -f "$log"
done
printf '%s\n' "${summary[@]}"
