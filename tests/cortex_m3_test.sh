#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The CMake package as users get it, on the Cortex-M3 example: the build is
# installed into a temporary prefix, the example is configured against that
# copy with the arm-none-eabi toolchain, built (the signing step signs and
# checks app.elf) and its boot table run in QEMU. Then what the build
# guarantees: a changed input re-signs, an unchanged tree signs nothing, no
# secret reaches a log, odd information files sign and boot with the key the
# first stage trusts, Make, Ninja and multi-config builds, any output path;
# and what must stop a build: a signature that fails its check, the
# published example key, an output over an input, a PIN in a URI.
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

# The build log is kept by CI and shown to everyone who can read the build:
# it must hold no 8-digit run of the private key nor of the nonce.
no_secret_in() {  # <log> <info file>
  local secret i
  for secret in $(tr '\r' '\n' <"$2" | sed -n 's/^ *\(PRIVATE_KEY\|RANDOM_K\)[ =]*\([0-9A-Fa-f]*\).*/\2/p'); do
    for ((i = 0; i + 8 <= ${#secret}; i++)); do echo "${secret:i:8}"; done
  done >"$work/runs.txt"
  [ -s "$work/runs.txt" ] || fail "no secret found in $2 to look for"
  ! grep -qiF -f "$work/runs.txt" "$1" || { grep -iF -f "$work/runs.txt" "$1"; fail "$1 shows a secret of $2"; }
}
new_key() {  # <file> [RANDOM_K]: a fresh key pair with the example's addresses, and the nonce if given
  rm -f "$1"
  "$work/prefix/bin/Ravelinfo" generate "$1" >/dev/null
  printf 'CODE_EXE_ADDR = 0x00010000\nINFO_ADDR = 0x00020000\n' >>"$1"
  [ $# -lt 2 ] || printf 'RANDOM_K = %s\n' "$2" >>"$1"
}
nonce() { od -An -tx1 -N32 /dev/urandom | tr -d ' \n' | sed 's/^./7/'; }
boots() {  # <hex> <info file>: the first stage starts it, and Ravelverify agrees
  "$source/examples/cortex-m3/run-in-qemu.sh" "$1" "$example/first_stage.elf" >"$work/qemu.out" 2>&1 ||
    { cat "$work/qemu.out"; fail "$1 did not boot"; }
  grep -q 'Hello' "$work/qemu.out" || fail "$1 did not say Hello"
  "$work/prefix/bin/Ravelverify" "$2" "$1" >/dev/null || fail "Ravelverify refuses $1"
}
build() {  # <folder> <log>: builds, the log kept
  cmake --build "$1" -j2 >"$2" 2>&1 || { cat "$2"; fail "build of $1"; }
}
refused() {  # <reason> [cmake options]: configuring $work/refused afresh fails, saying why in refused.log
  rm -rf "$work/refused"
  ! configure "$work/refused" "${@:2}" >"$work/refused.log" 2>&1 || fail "configured with ${*:2}"
  says "$work/refused.log" "$1" || { cat "$work/refused.log"; fail "no reason for refusing ${*:2}"; }
}

example=$work/example
configure "$example" >"$work/configure.log" 2>&1 || { cat "$work/configure.log"; fail "configure"; }
build "$example" "$work/build.log"
grep -q 'Secure boot image verified OK.' "$work/build.log" || fail "the build did not check the image"
no_secret_in "$work/build.log" "$example/keys.txt"
ctest --test-dir "$example" -V >"$work/table.log" 2>&1 || { cat "$work/table.log"; fail "the boot table"; }
grep -E '^[0-9]+: (ok|boot)' "$work/table.log"

# The signed file is a build output: an unchanged tree signs nothing; a key
# changed in place re-signs and rebuilds the first stage, and the new image
# boots; a deleted output is made again.
build "$example" "$work/again.log"
! grep -q 'Signing app\|Exporting' "$work/again.log" || fail "an unchanged tree was signed again"
cp "$example/app_SBoot.hex" "$work/old.hex"
new_key "$work/rotated.txt"
cat "$work/rotated.txt" >"$example/keys.txt"
build "$example" "$work/rotated.log"
grep -q 'Exporting the public key' "$work/rotated.log" || fail "a new key did not rebuild the first stage"
! cmp -s "$work/old.hex" "$example/app_SBoot.hex" || fail "a new key did not re-sign"
no_secret_in "$work/rotated.log" "$example/keys.txt"
grep -q '^random_k_hex: \[withheld from the build log\]$' "$work/rotated.log" || fail "no word that the nonce was withheld"
boots "$example/app_SBoot.hex" "$example/keys.txt"
# A key moved in with a time older than the signed image (mv, cp -p, a
# restored backup): Make and Ninja compare times alone, yet it re-signs and
# re-exports, and the new image boots.
cp "$example/app_SBoot.hex" "$work/old.hex"
new_key "$work/older.txt"
touch -d '1 hour ago' "$work/older.txt"
mv "$work/older.txt" "$example/keys.txt"
build "$example" "$work/older.log"
grep -q 'Exporting the public key' "$work/older.log" || fail "a key with an older time did not rebuild the first stage"
! cmp -s "$work/old.hex" "$example/app_SBoot.hex" || fail "a key with an older time did not re-sign"
boots "$example/app_SBoot.hex" "$example/keys.txt"
rm "$example/app_SBoot.hex"
build "$example" "$work/remade.log"
[ -f "$example/app_SBoot.hex" ] || fail "a deleted signed file was not made again"
build "$example" "$work/again.log"
! grep -q 'Signing app' "$work/again.log" || fail "an unchanged tree was signed again"
touch "$work/prefix/bin/Ravelsign"
build "$example" "$work/new-tool.log"
grep -q 'Signing app' "$work/new-tool.log" || fail "a new Ravelsign did not re-sign"
# An output that is a link into a deploy folder: the image lands where it
# points and the link stays, so the deploy folder never keeps an old image.
mkdir "$work/deploy"
cp "$work/old.hex" "$work/deploy/fw.hex"
touch -d '1 day ago' "$work/deploy/fw.hex"
rm "$example/app_SBoot.hex"
ln -s ../deploy/fw.hex "$example/app_SBoot.hex"
build "$example" "$work/link.log"
[ -L "$example/app_SBoot.hex" ] || fail "the output's link was replaced by a file"
"$work/prefix/bin/Ravelverify" "$example/keys.txt" "$work/deploy/fw.hex" >/dev/null || fail "the link's target holds no good image"
[ "$(ls "$work/deploy")" = fw.hex ] || fail "the deploy folder holds more than the image"
rm "$example/app_SBoot.hex"
build "$example" "$work/remade.log"

# Information files that read oddly: the first stage trusts the key that
# Ravelinfo export reads, Ravelsign signs with it, and the image boots.
new_key "$work/key-a.txt"
new_key "$work/key-b.txt"
tr '\n' '\r' <"$work/key-a.txt" >"$work/shape-cr.txt"
sed 's/^\(PRIVATE_KEY\|PUBLIC_KEY_[12]\) = /\1/' "$work/key-b.txt" >"$work/shape-joined.txt"
cat "$work/key-a.txt" "$work/key-b.txt" >"$work/shape-twice.txt"
for shape in cr joined twice; do
  cmake "$example" -DRAVEL_EXAMPLE_INFO_FILE="$work/shape-$shape.txt" >/dev/null 2>&1 || fail "configure with shape $shape"
  build "$example" "$work/shape.log"
  boots "$example/app_SBoot.hex" "$work/shape-$shape.txt"
  echo "ok    the information file $shape: exported, signed and booted with one key"
done
# An information file with addresses other than the board's: Ravelverify
# accepts the image with them, the board's first stage would refuse it, so
# the example's build fails and says which line to mend.
sed 's/^INFO_ADDR.*/INFO_ADDR = 0x00030000/' "$work/key-a.txt" >"$work/elsewhere.txt"
configure "$work/elsewhere" -DRAVEL_EXAMPLE_INFO_FILE="$work/elsewhere.txt" >/dev/null 2>&1 || fail "configure with elsewhere.txt"
! cmake --build "$work/elsewhere" >"$work/elsewhere.log" 2>&1 || fail "an image signed for another board passed the build"
says "$work/elsewhere.log" "first stage looks at 0x20000: make the information file's INFO_ADDR line say 0x20000" ||
  { cat "$work/elsewhere.log"; fail "the build gave no reason for the other board's image"; }

# What fails the build, with Make and with Ninja: a signature that does not
# verify (another key's public lines), and a nonce fixed by RANDOM_K (every
# image signed with it shares the nonce, and two give the private key). The
# log says why and shows no secret; no signed file and no unverified one is left.
new_key "$work/mismatch.txt"
sed -n 's/^PUBLIC_KEY/&/p' "$work/key-b.txt" >"$work/b-public.txt"
sed -i '/^PUBLIC_KEY/d' "$work/mismatch.txt"
cat "$work/b-public.txt" >>"$work/mismatch.txt"
new_key "$work/fixed-nonce.txt" "$(nonce)"
for generator in "Unix Makefiles" Ninja; do
  for failing in "mismatch.txt:4. ECDSA P-256 signature .*: FAILED" "fixed-nonce.txt:fixes the nonce with RANDOM_K"; do
    info=$work/${failing%%:*}
    folder=$work/failing-${generator%% *}
    rm -rf "$folder"
    configure "$folder" -G "$generator" -DRAVEL_EXAMPLE_INFO_FILE="$info" >/dev/null 2>&1 || fail "configure with $info"
    ! cmake --build "$folder" --target app_signed >"$work/failing.log" 2>&1 || fail "$info did not fail the build"
    says "$work/failing.log" "${failing#*:}" || { cat "$work/failing.log"; fail "the failed build with $info does not say why"; }
    no_secret_in "$work/failing.log" "$info"
    ! compgen -G "$folder/*SBoot*" >/dev/null || fail "a failed build left a signed or unverified file"
  done
done
grep -q '^RANDOM K: \[withheld from the build log\]$' "$work/failing.log" || fail "no word that the fixed nonce was withheld"
! grep -q '^[rs] = \[[0-9A-F]' "$work/failing.log" || fail "the signature made with a fixed nonce is in the log"
# A good build with Ninja shows no secret either, and a second build does nothing.
configure "$work/ninja" -G Ninja -DRAVEL_EXAMPLE_INFO_FILE="$work/rotated.txt" >/dev/null 2>&1 || fail "configure with Ninja"
build "$work/ninja" "$work/ninja.log"
no_secret_in "$work/ninja.log" "$work/rotated.txt"
build "$work/ninja" "$work/ninja-again.log"
! grep -q 'Signing app\|Exporting\|Linking' "$work/ninja-again.log" || fail "Ninja rebuilt an unchanged tree"

# Four configurations built at once, each into its own folder.
configure "$work/multi" -G "Ninja Multi-Config" -DCMAKE_CONFIGURATION_TYPES="Debug;Release;RelWithDebInfo;MinSizeRel" \
  -DCMAKE_CROSS_CONFIGS=all -DRAVEL_EXAMPLE_INFO_FILE="$work/rotated.txt" >"$work/multi.log" 2>&1 ||
  { cat "$work/multi.log"; fail "configure with Ninja Multi-Config"; }
cmake --build "$work/multi" --target all:all -j4 >"$work/multi.log" 2>&1 || { cat "$work/multi.log"; fail "multi-config build"; }
for config in Debug Release RelWithDebInfo MinSizeRel; do
  "$work/prefix/bin/Ravelverify" "$work/rotated.txt" "$work/multi/$config/app_SBoot.hex" >/dev/null ||
    fail "no good signed image for $config"
done

# An output in a folder that does not exist yet, on another file system.
shm=$(mktemp -d /dev/shm/ravel-output.XXXXXX)
trap 'rm -rf "$work" "$shm"' EXIT
configure "$work/shm" -DRAVEL_EXAMPLE_INFO_FILE="$work/rotated.txt" -DRAVEL_EXAMPLE_OUTPUT="$shm/new/app.hex" \
  >/dev/null 2>&1 || fail "configure with an output in /dev/shm"
build "$work/shm" "$work/shm.log"
"$work/prefix/bin/Ravelverify" "$work/rotated.txt" "$shm/new/app.hex" >/dev/null || fail "no signed image in /dev/shm"
[ "$(ls "$shm/new")" = app.hex ] || fail "the folder of the output holds more than the output"
# An output that is an input would delete it: refused when configuring, also through a link.
ln -s "$work/rotated.txt" "$work/link-to-key.txt"
for output in "$work/rotated.txt" "$work/link-to-key.txt" app.elf; do
  refused "give the output a file of its own" -DRAVEL_EXAMPLE_INFO_FILE="$work/rotated.txt" -DRAVEL_EXAMPLE_OUTPUT="$output"
done
[ -f "$work/rotated.txt" ] || fail "the information file is gone"
# So is a key header that is the information file, which a clean would delete.
mkdir -p "$work/export-over/build"
cat >"$work/export-over/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.25)
project(ExportOver LANGUAGES NONE)
find_package(Ravelsign CONFIG REQUIRED)
ravelsign_export_key(${CMAKE_BINARY_DIR}/keys.txt keys.txt)
EOF
new_key "$work/export-over/build/keys.txt"
! cmake -S "$work/export-over" -B "$work/export-over/build" -DCMAKE_PREFIX_PATH="$work/prefix" >"$work/over.log" 2>&1 ||
  fail "a key header over the information file was taken"
says "$work/over.log" "give the output a file of its own" || { cat "$work/over.log"; fail "no reason for the key header"; }

# run-in-qemu.sh takes any path, and a run that judged nothing never reads as a refusal.
mkdir "$work/a,b"
cp "$example/app_SBoot.hex" "$work/a,b/app,signed.hex"
boots "$work/a,b/app,signed.hex" "$work/shape-twice.txt"
status=0
"$source/examples/cortex-m3/run-in-qemu.sh" "$work/missing.hex" "$example/first_stage.elf" >/dev/null 2>&1 || status=$?
[ "$status" = 2 ] || fail "a missing file gave status $status"
status=0
"$source/examples/cortex-m3/run-in-qemu.sh" "$example/app_SBoot.hex" "$work/rotated.txt" >/dev/null 2>&1 || status=$?
[ "$status" = 2 ] || fail "a first stage QEMU cannot load gave status $status"

# The published example key is refused, unless RAVELSIGN_ALLOW_EXAMPLE_KEY is set; then it is warned about.
cp "$source/examples/sample_info.txt" "$work/sample.txt"
refused 'holds the published example key' -DRAVEL_EXAMPLE_INFO_FILE="$work/sample.txt"
configure "$work/sample" -DRAVEL_EXAMPLE_INFO_FILE="$work/sample.txt" -DRAVELSIGN_ALLOW_EXAMPLE_KEY=ON \
  >"$work/sample.log" 2>&1 || { cat "$work/sample.log"; fail "RAVELSIGN_ALLOW_EXAMPLE_KEY did not allow the key"; }
says "$work/sample.log" 'signing with the published example key' || fail "no warning about the example key"
# The published key is found however the file is shaped, as the tools read it.
tr '\n' '\r' <"$source/examples/sample_info.txt" >"$work/sample-cr.txt"
sed 's/^PRIVATE_KEY = /PRIVATE_KEY/; /^PUBLIC_KEY/d' "$source/examples/sample_info.txt" >"$work/sample-joined.txt"
for shape in cr joined; do
  refused 'holds the published example key' -DRAVEL_EXAMPLE_INFO_FILE="$work/sample-$shape.txt"
done
# The published key moved into a configured build with an older time, which
# configures nothing again: the build steps refuse it themselves.
new_key "$work/moved.txt"
configure "$work/moved" -DRAVEL_EXAMPLE_INFO_FILE="$work/moved.txt" >/dev/null 2>&1 || fail "configure with moved.txt"
build "$work/moved" "$work/moved.log"
cp "$source/examples/sample_info.txt" "$work/published.txt"
touch -d '1 hour ago' "$work/published.txt"
mv "$work/published.txt" "$work/moved.txt"
for step in app_signed first_stage; do
  ! cmake --build "$work/moved" --target "$step" >"$work/moved.log" 2>&1 || fail "$step took the published key"
  says "$work/moved.log" 'holds the published example key' || { cat "$work/moved.log"; fail "$step gave no reason"; }
done
! compgen -G "$work/moved/*SBoot*" >/dev/null || fail "a signed file is left beside the published key"
# A key in a PKCS#11 token (SoftHSM) signs through ravelsign_hsm_sign_image,
# the PIN from the build's environment; the image it signs boots.
softhsm_token "$work" firmware 1234
uri="pkcs11:token=firmware;object=boot"
"$work/prefix/bin/Ravelhsm" public "$uri" >"$work/token.txt"
printf 'CODE_EXE_ADDR = 0x00010000\nINFO_ADDR = 0x00020000\n' >>"$work/token.txt"
# A PIN in the URI is refused however it is spaced, cased or percent-encoded, and not shown.
for query in "pin-value=918273" "PIN-VALUE=918273" "pin-value = 918273" "pin%2Dvalue=918273" \
             "%2570in-value=918273" "pin-%0Avalue=918273"; do
  refused 'no pin-value in the URI' -DRAVEL_EXAMPLE_INFO_FILE="$work/token.txt" -DRAVEL_EXAMPLE_PKCS11_URI="$uri?$query"
  ! grep -q 918273 "$work/refused.log" || fail "the refusal of $query shows the PIN"
  ! grep -rq 918273 "$work/refused" || fail "the refused PIN of $query stays in the build folder"
done
unset RAVELHSM_PIN
configure "$work/token" -DRAVEL_EXAMPLE_INFO_FILE="$work/token.txt" -DRAVEL_EXAMPLE_PKCS11_URI="$uri" \
  >"$work/token.log" 2>&1 || { cat "$work/token.log"; fail "configure with a token"; }
says "$work/token.log" 'must come from RAVELHSM_PIN' || fail "no word about the missing PIN"
# Built from a terminal without a PIN: the step says so at once, never
# waiting at a prompt that the build log would swallow.
status=0
timeout 60 script -qec "cmake --build '$work/token' --target app_signed" /dev/null >"$work/token-tty.log" 2>&1 || status=$?
case $status in 0 | 124) fail "a build from a terminal without a PIN gave status $status" ;; esac
says "$work/token-tty.log" 'No PIN for token <firmware>' || { cat "$work/token-tty.log"; fail "no word about the missing PIN"; }
RAVELHSM_PIN=1234 cmake --build "$work/token" -j"$(nproc)" >"$work/token-build.log" 2>&1 ||
  { cat "$work/token-build.log"; fail "build signed by the token"; }
grep -q 'Signed with token <firmware>.' "$work/token-build.log" || fail "the token did not sign"
ctest --test-dir "$work/token" >/dev/null || fail "the boot table with the token's key"

echo "The installed package signs the example, the signed image boots, and every tampered copy is refused."
