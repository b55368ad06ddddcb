#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Checks the layering that cmake/source-folders.txt draws, bottom layer
# first: no source file includes a header from a folder listed after its
# own, nothing but the tests and fuzz targets includes the tools, mbed TLS is
# included only under crypto/, p11-kit only under pkcs11/ and nlohmann/json
# only under tools/verify/.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t folders < <(grep -E '^[a-z]' cmake/source-folders.txt)
failed=0
complain() { echo "layering: $*" >&2; failed=1; }

for ((i = 0; i < ${#folders[@]}; i++)); do
  own=${folders[i]}
  for ((j = i + 1; j < ${#folders[@]}; j++)); do
    above=${folders[j]}
    # Folders on one layer of tools may not include each other either.
    if hits=$(git grep -n -E "#include \"${above}/" -- "${own}/" 2>/dev/null); then
      complain "${own}/ includes ${above}/, which lies above it:"$'\n'"$hits"
    fi
  done
done
for tool in $(printf '%s\n' "${folders[@]}" | grep '^tools/'); do
  if hits=$(git grep -n -E "#include \"${tool}/" -- ":!${tool}/" ':!tests/' ':!fuzz/' 2>/dev/null); then
    complain "nothing outside ${tool}/ but a test includes it:"$'\n'"$hits"
  fi
done
# The tool's own folders; a test (a stub PKCS#11 module) may include what it tests.
if hits=$(git grep -n -E '#include <mbedtls/' -- "${folders[@]}" ':!crypto/' 2>/dev/null); then
  complain "mbed TLS is included outside crypto/:"$'\n'"$hits"
fi
if hits=$(git grep -n -E '#include <p11-kit/' -- "${folders[@]}" ':!pkcs11/' 2>/dev/null); then
  complain "p11-kit is included outside pkcs11/:"$'\n'"$hits"
fi
if hits=$(git grep -n -E '#include <nlohmann/' -- "${folders[@]}" ':!tools/verify/' 2>/dev/null); then
  complain "nlohmann/json is included outside tools/verify/:"$'\n'"$hits"
fi
[ "$failed" = 0 ] && echo "layering: ${#folders[@]} folders, every include points down"
exit "$failed"
