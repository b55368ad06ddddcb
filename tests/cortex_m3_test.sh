#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The CMake package as users get it, on the Cortex-M3 example: the build is
# installed into a temporary prefix, the example is configured against that
# copy with the arm-none-eabi toolchain, built (the post-build step signs and
# checks app.elf) and its boot table run in QEMU. Then what must stop a
# build: a signature that fails its check, and the published example key.
#   cortex_m3_test.sh <build directory>
set -euo pipefail
# shellcheck source=tests/softhsm_token.sh
source "$(dirname "$0")/softhsm_token.sh"
build=$(realpath "$1")
source=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=tests/lib.sh
source "$(dirname "$0")/lib.sh"
says() { tr -s ' \n' ' ' <"$1" | grep -q "$2"; }  # CMake wraps its messages

cmake --install "$build" --prefix "$work/prefix" >/dev/null
"$source/scripts/mbedtls-source.sh" "$build/mbedtls-cortex-m" >/dev/null
configure() {  # <build folder> [cmake options]: configures the example against the installed package
  local folder=$1
  shift
  cmake -S "$source/examples/cortex-m3" -B "$folder" -DCMAKE_TOOLCHAIN_FILE="$source/examples/cortex-m3/arm-none-eabi.cmake" \
    -DCMAKE_PREFIX_PATH="$work/prefix" -DMBEDTLS_SOURCE_DIR="$build/mbedtls-cortex-m/src" "$@"
}

configure "$work/example" >"$work/configure.log" 2>&1 || { cat "$work/configure.log"; fail "configure"; }
cmake --build "$work/example" -j"$(nproc)" >"$work/build.log" 2>&1 || { cat "$work/build.log"; fail "build"; }
grep -q 'Secure boot image verified OK.' "$work/build.log" || fail "the post-build step did not check the image"
ctest --test-dir "$work/example" -V >"$work/table.log" 2>&1 || { cat "$work/table.log"; fail "the boot table"; }
grep -E '^[0-9]+: (ok|boot)' "$work/table.log"

# A signature that does not verify (PRIVATE_KEY 1, not the public key's)
# fails the build, and leaves no signed file.
sed 's/^PRIVATE_KEY = .*/PRIVATE_KEY = '"$(printf '%063d1' 0)"'/' "$work/example/keys.txt" >"$work/mismatch.txt"
configure "$work/mismatch" -DRAVEL_EXAMPLE_INFO_FILE="$work/mismatch.txt" >/dev/null 2>&1 || fail "configure with mismatch.txt"
! cmake --build "$work/mismatch" --target app >"$work/mismatch.log" 2>&1 || fail "a failed check did not fail the build"
grep -q 'ECDSA verify failed!' "$work/mismatch.log" || fail "the failed build does not show why"
[ ! -e "$work/mismatch/app_SBoot.hex" ] || fail "a failed build left a signed file"

# The published example key is refused, unless RAVELSIGN_ALLOW_EXAMPLE_KEY is set; then it is warned about.
cp "$source/examples/sample_info.txt" "$work/sample.txt"
! configure "$work/sample" -DRAVEL_EXAMPLE_INFO_FILE="$work/sample.txt" >"$work/sample.log" 2>&1 || fail "example key taken"
says "$work/sample.log" 'holds the published example key' || { cat "$work/sample.log"; fail "no reason given"; }
configure "$work/sample" -DRAVEL_EXAMPLE_INFO_FILE="$work/sample.txt" -DRAVELSIGN_ALLOW_EXAMPLE_KEY=ON \
  >"$work/sample.log" 2>&1 || { cat "$work/sample.log"; fail "RAVELSIGN_ALLOW_EXAMPLE_KEY did not allow the key"; }
says "$work/sample.log" 'signing with the published example key' || fail "no warning about the example key"
# A key in a PKCS#11 token (SoftHSM) signs through ravelsign_hsm_sign_image,
# the PIN from the build's environment; the image it signs boots.
softhsm_token "$work" firmware 1234
uri="pkcs11:token=firmware;object=boot"
"$work/prefix/bin/Ravelhsm" public "$uri" >"$work/token.txt"
printf 'CODE_EXE_ADDR = 0x00010000\nINFO_ADDR = 0x00020000\n' >>"$work/token.txt"
! configure "$work/token" -DRAVEL_EXAMPLE_INFO_FILE="$work/token.txt" \
  -DRAVEL_EXAMPLE_PKCS11_URI="$uri?pin-value=1234" >"$work/token.log" 2>&1 || fail "a PIN in the URI was taken"
says "$work/token.log" 'no pin-value in the URI' || { cat "$work/token.log"; fail "no reason for refusing pin-value"; }
rm -rf "$work/token"
unset RAVELHSM_PIN
configure "$work/token" -DRAVEL_EXAMPLE_INFO_FILE="$work/token.txt" -DRAVEL_EXAMPLE_PKCS11_URI="$uri" \
  >"$work/token.log" 2>&1 || { cat "$work/token.log"; fail "configure with a token"; }
says "$work/token.log" 'must come from RAVELHSM_PIN' || fail "no word about the missing PIN"
RAVELHSM_PIN=1234 cmake --build "$work/token" -j"$(nproc)" >"$work/token-build.log" 2>&1 ||
  { cat "$work/token-build.log"; fail "build signed by the token"; }
grep -q 'Signed with token <firmware>.' "$work/token-build.log" || fail "the token did not sign"
ctest --test-dir "$work/token" >/dev/null || fail "the boot table with the token's key"

echo "The installed package signs the example, the signed image boots, and every tampered copy is refused."
