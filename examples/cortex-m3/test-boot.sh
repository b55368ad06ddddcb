#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The boot table: the signed image and tampered copies of it boot behind the
# first stage in QEMU; each must be started or refused at the check named,
# and Ravelverify's verdict on the same file (and the check it fails) must
# be the first stage's.
#   test-boot.sh <signed hex> <first stage ELF> <info file> <raw image>
#                <Ravelsign> <Ravelverify> <Ravelinfo>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
signed=$1 first=$2 info=$3 raw=$4 ravelsign=$5 ravelverify=$6 ravelinfo=$7
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
code=$(sed -n 's/^ *CODE_EXE_ADDR[ =]*\(0x[0-9A-Fa-f]*\).*/\1/p' "$info" | tail -n 1)
infoaddr=$(sed -n 's/^ *INFO_ADDR[ =]*\(0x[0-9A-Fa-f]*\).*/\1/p' "$info" | tail -n 1)
failures=0

# Bytes of a HEX file rewritten by srec_cat: `count` bytes at `address` set to `value`.
set_bytes() {  # <hex> <address> <count> <value> <out>
  srec_cat "$1" -intel -exclude "$2" $(($2 + $3)) -generate "$2" $(($2 + $3)) -constant "$4" \
    -o "$5" -intel -output-block-size=16
}
flip_byte() {  # <hex> <address> <out>: the byte's lowest bit inverted
  local value
  value=$(srec_cat "$1" -intel -crop "$2" $(($2 + 1)) -o - -binary | tail -c 1 | xxd -p)
  set_bytes "$1" "$2" 1 $((0x$value ^ 1)) "$3"
}
sign_with() {  # <info file> <out>: the raw image signed with another information file
  cp "$raw" "$work/other.bin"
  "$ravelsign" "$1" "$work/other.bin" >/dev/null
  mv "$work/other_SBoot.hex" "$2"
}

# One row: <name> <hex> <expected: ok, or the number of the check that fails>
row() {
  local name=$1 hex=$2 want=$3 qemu=0 verify=0
  "$here/run-in-qemu.sh" "$hex" "$first" >"$work/qemu.out" 2>&1 || qemu=$?
  "$ravelverify" "$info" "$hex" >"$work/verify.out" || verify=$?
  local ok=1
  if [ "$want" = ok ]; then
    [ "$qemu" = 0 ] && [ "$verify" = 0 ] && grep -q 'Secure boot: image verified, starting it.' "$work/qemu.out" &&
      grep -q 'Hello' "$work/qemu.out" || ok=0
  else
    # QEMU also exits with 1 when it cannot load the files: the text decides.
    [ "$qemu" = 1 ] && [ "$verify" = 1 ] && grep -q "^Secure boot: check $want failed: " "$work/qemu.out" &&
      ! grep -q 'Hello' "$work/qemu.out" && grep -q "^$want\. .*: FAILED$" "$work/verify.out" || ok=0
  fi
  if [ "$ok" = 1 ]; then
    printf 'ok    %-44s %s\n' "$name" "$(grep -m 1 '^Secure boot' "$work/qemu.out")"
  else
    printf 'FAIL  %-44s first stage %s, Ravelverify %s, expected %s\n' "$name" "$qemu" "$verify" "$want"
    sed 's/^/      qemu: /' "$work/qemu.out"
    sed 's/^/      Ravelverify: /' "$work/verify.out"
    failures=$((failures + 1))
  fi
}

"$ravelinfo" generate "$work/other-key.txt" >/dev/null
printf 'CODE_EXE_ADDR = %s\nINFO_ADDR = %s\n' "$code" "$infoaddr" >>"$work/other-key.txt"
sed "s/^ *INFO_ADDR.*/INFO_ADDR = $(printf '0x%08X' $((infoaddr + 0x10000)))/" "$info" >"$work/elsewhere.txt"

flip_byte "$signed" $((code + 0x40)) "$work/image-byte.hex"
flip_byte "$signed" $((infoaddr + 0x10)) "$work/info-byte.hex"
sign_with "$work/other-key.txt" "$work/other-key.hex"
flip_byte "$signed" $((code + 0x28)) "$work/check-word.hex"
sign_with "$work/elsewhere.txt" "$work/elsewhere.hex"
set_bytes "$signed" $((infoaddr + 0x4E)) 1 0x05 "$work/long.hex"
set_bytes "$signed" $((infoaddr + 0x90)) 32 0 "$work/r-zero.hex"
set_bytes "$signed" $((infoaddr + 0xB0)) 32 0 "$work/s-zero.hex"

row "signed image boots" "$signed" ok
row "image byte flipped" "$work/image-byte.hex" 3
row "signed INFO byte flipped" "$work/info-byte.hex" 4
row "signed with another key" "$work/other-key.hex" 4
row "header check word broken" "$work/check-word.hex" 1
row "INFO_ADDR elsewhere" "$work/elsewhere.hex" 1
row "length word past the data (>= 256 KiB)" "$work/long.hex" 2
row "r set to zero" "$work/r-zero.hex" 4
row "s set to zero" "$work/s-zero.hex" 4
if [ "$failures" != 0 ]; then
  echo "$failures of the boot table's rows failed"
  exit 1
fi
echo "boot table: every row as expected, first stage and Ravelverify agreeing"
