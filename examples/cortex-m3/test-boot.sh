#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The boot table: the signed image, tampered copies of it and images signed
# with lengths that leave part of them unsigned boot behind the first stage
# in QEMU; each must be started or refused at the check named. Where
# Ravelverify refuses, it must fail the check the first stage fails, and say
# so in its --json object too; it accepts what only this board's first stage
# can refuse (a vector table that the signed bytes do not cover, or a handler
# outside them).
#   test-boot.sh <signed hex> <first stage ELF> <info file> <app ELF> <objcopy>
#                <Ravelsign> <Ravelverify> <Ravelinfo>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
signed=$1 first=$2 info=$3 elf=$4 objcopy=$5 ravelsign=$6 ravelverify=$7 ravelinfo=$8
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
code=$(sed -n 's/^ *CODE_EXE_ADDR[ =]*\(0x[0-9A-Fa-f]*\).*/\1/p' "$info" | tail -n 1)
infoaddr=$(sed -n 's/^ *INFO_ADDR[ =]*\(0x[0-9A-Fa-f]*\).*/\1/p' "$info" | tail -n 1)
raw=$work/app.bin
"$objcopy" -O binary "$elf" "$raw"
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
set_word() {  # <hex> <address> <value> <out>: a little-endian word
  srec_cat "$1" -intel -exclude "$2" $(($2 + 4)) -generate "$2" $(($2 + 4)) -constant-l-e "$3" 4 \
    -o "$4" -intel -output-block-size=16
}
sign_with() {  # <info file> <raw image> <out>: the image signed with that information file
  cp "$2" "$work/other.bin"
  "$ravelsign" "$1" "$work/other.bin" >/dev/null
  mv "$work/other_SBoot.hex" "$3"
}
signed_prefix() {  # <bytes> <out>: the whole signed image, with the INFO block of its first bytes signed
  head -c "$1" "$raw" >"$work/prefix.bin"
  sign_with "$info" "$work/prefix.bin" "$work/prefix.hex"
  srec_cat "$signed" -intel -exclude "$infoaddr" $((infoaddr + 0x110)) \
    "$work/prefix.hex" -intel -crop "$infoaddr" $((infoaddr + 0x110)) -o "$2" -intel -output-block-size=16
}
le32() {  # <value>: the word's bytes as printf escapes
  printf '\\x%02x' $(($1 & 0xFF)) $((($1 >> 8) & 0xFF)) $((($1 >> 16) & 0xFF)) $((($1 >> 24) & 0xFF))
}
vector_past_end() {  # <slot> <out>: the image signed with that vector pointing just past its end
  local length
  length=$(stat -c %s "$raw")
  cp "$raw" "$work/vector.bin"
  # A Thumb address whose instruction starts at the first unsigned byte or after it.
  printf %b "$(le32 $(((code + length + 1) | 1)))" | dd of="$work/vector.bin" bs=1 seek=$((4 * $1)) conv=notrunc status=none
  sign_with "$info" "$work/vector.bin" "$2"
}
# The shortest image that boots: the 48-word vector table, every handler
# pointing at the code right after it, which ends the run through
# semihosting (movs r0, #0x18; ldr r1, [pc, #4]; bkpt 0xab; nop; .word
# 0x20026: SYS_EXIT, application exit).
shortest() {  # <out>
  local word i
  word=$(le32 $((code + 0xC0 + 1)))
  {
    printf %b "$(le32 0x20030000)"  # the stack pointer
    for i in $(seq 1 47); do
      case $i in 7 | 8 | 9 | 10 | 13) printf %b "$(le32 0)" ;; *) printf %b "$word" ;; esac
    done
    printf '\x18\x20\x01\x49\xab\xbe\x00\xbf\x26\x00\x02\x00'
  } >"$work/shortest.bin"
  sign_with "$info" "$work/shortest.bin" "$1"
}

# Ravelverify --json on the same file: the same status, the same console in
# the object, the same checks failed, and the object valid against the
# schema installed beside Ravelverify (parsed by python3, not matched).
schema=$(dirname "$ravelverify")/../share/ravelsign/ravelverify.schema.json
json_agrees() {  # <hex> <Ravelverify's status>
  local status=0
  "$ravelverify" --json "$info" "$1" >"$work/verify.json" || status=$?
  [ "$status" = "$2" ] && python3 - "$work/verify.json" "$work/verify.out" "$schema" <<'EOF_PY'
import json, sys
import jsonschema
with open(sys.argv[1], encoding="utf-8") as f:
    doc = json.load(f)
with open(sys.argv[2], encoding="utf-8") as f:
    console = f.read()
with open(sys.argv[3], encoding="utf-8") as f:
    jsonschema.validate(doc, json.load(f), cls=jsonschema.Draft7Validator)
failed = [int(line[0]) for line in console.splitlines() if line[:2] in ("1.", "2.", "3.", "4.") and line.endswith(": FAILED")]
assert doc["console"] == console, "the console differs"
assert [c["number"] for c in doc["checks"] if c["result"] == "failed"] == failed, "another check failed"
EOF_PY
}

# One row: <name> <hex> <expected> [<the first stage's reason>]: expected is
# "ok" (boots and says Hello), "starts" (boots and ends well), a check's
# number (both refuse there), or "first-stage-N" (the first stage refuses at
# check N, Ravelverify accepts).
row() {
  local name=$1 hex=$2 want=$3 reason=${4:-} qemu=0 verify=0 ok=1
  "$here/run-in-qemu.sh" "$hex" "$first" >"$work/qemu.out" 2>&1 || qemu=$?
  "$ravelverify" "$info" "$hex" >"$work/verify.out" || verify=$?
  json_agrees "$hex" "$verify" || ok=0
  local check=${want#first-stage-} verdict=1
  [ "$check" != "$want" ] && verdict=0
  case $want in
    ok | starts)
      [ "$qemu" = 0 ] && [ "$verify" = 0 ] && grep -q 'Secure boot: image verified, starting it.' "$work/qemu.out" &&
        { [ "$want" = starts ] || grep -q 'Hello' "$work/qemu.out"; } || ok=0 ;;
    *)
      # Status 1 is a refusal only (run-in-qemu.sh); Ravelverify's names the check.
      [ "$qemu" = 1 ] && [ "$verify" = "$verdict" ] && grep -q "^Secure boot: check $check failed: $reason" "$work/qemu.out" &&
        ! grep -q 'Hello' "$work/qemu.out" || ok=0
      if [ "$verdict" = 1 ]; then
        grep -q "^$check\. .*: FAILED$" "$work/verify.out" || ok=0
      fi ;;
  esac
  if [ "$ok" = 1 ]; then
    printf 'ok    %-50s %s\n' "$name" "$(grep -m 1 '^Secure boot' "$work/qemu.out")"
  else
    printf 'FAIL  %-50s first stage %s, Ravelverify %s, expected %s\n' "$name" "$qemu" "$verify" "$want"
    sed 's/^/      qemu: /' "$work/qemu.out"
    sed 's/^/      Ravelverify: /' "$work/verify.out"
    sed "s/^/      Ravelverify --json: /" "$work/verify.json"
    failures=$((failures + 1))
  fi
}

"$ravelinfo" generate "$work/other-key.txt" >/dev/null
printf 'CODE_EXE_ADDR = %s\nINFO_ADDR = %s\n' "$code" "$infoaddr" >>"$work/other-key.txt"
sed "s/^ *INFO_ADDR.*/INFO_ADDR = $(printf '0x%08X' $((infoaddr + 0x10000)))/" "$info" >"$work/elsewhere.txt"

flip_byte "$signed" $((code + 0x100)) "$work/image-byte.hex"
flip_byte "$signed" $((infoaddr + 0x10)) "$work/info-byte.hex"
sign_with "$work/other-key.txt" "$raw" "$work/other-key.hex"
flip_byte "$signed" $((code + 0x28)) "$work/check-word.hex"
set_bytes "$signed" $((code + 0x24)) 1 0x01 "$work/reserved.hex"
sign_with "$work/elsewhere.txt" "$raw" "$work/elsewhere.hex"
flip_byte "$signed" $((infoaddr + 0x48)) "$work/exe-addr.hex"
set_bytes "$signed" $((infoaddr + 0x4E)) 1 0x05 "$work/long.hex"
set_word "$signed" $((infoaddr + 0x4C)) 0x40000 "$work/256k.hex"
set_bytes "$signed" $((infoaddr + 0x90)) 32 0 "$work/r-zero.hex"
set_bytes "$signed" $((infoaddr + 0xB0)) 32 0 "$work/s-zero.hex"
# The rows below sign images of their own with the device's key, which an
# information file for a key in a token does not hold.
cp "$raw" "$work/own.bin"
if "$ravelsign" "$info" "$work/own.bin" | grep -qx 'ECDSA verify OK.'; then
  own_key=1
  signed_prefix 0 "$work/length-0.hex"
  signed_prefix $((0x2B)) "$work/length-2b.hex"
  signed_prefix $((0x2C)) "$work/length-2c.hex"
  vector_past_end 1 "$work/reset-past.hex"
  vector_past_end 15 "$work/systick-past.hex"
  shortest "$work/shortest.hex"
else
  own_key=0
  echo "skip  the rows signed here: $info holds no private key"
fi

row "signed image boots" "$signed" ok
row "image byte flipped" "$work/image-byte.hex" 3
row "signed INFO byte flipped" "$work/info-byte.hex" 4
row "signed with another key" "$work/other-key.hex" 4
row "header check word broken" "$work/check-word.hex" 1
row "reserved header word not zero" "$work/reserved.hex" 1
row "INFO_ADDR elsewhere" "$work/elsewhere.hex" 1
row "execution address byte changed" "$work/exe-addr.hex" 2
row "length word past the data (>= 256 KiB)" "$work/long.hex" 2
row "length word exactly 0x40000" "$work/256k.hex" 2
row "r set to zero" "$work/r-zero.hex" 4
row "s set to zero" "$work/s-zero.hex" 4
if [ "$own_key" = 1 ]; then
  row "signed length 0, unsigned code before it" "$work/length-0.hex" 2 "the image length 0 does not cover the header"
  row "signed length 0x2B, check word unsigned" "$work/length-2b.hex" 2 "the image length 43 does not cover the header"
  row "signed length 0x2C, vector table unsigned" "$work/length-2c.hex" first-stage-2 ".* cover the vector table"
  row "reset vector past the signed length" "$work/reset-past.hex" first-stage-2 "vector 1 (reset) points"
  row "SysTick handler past the signed length" "$work/systick-past.hex" first-stage-2 "vector 15 points"
  row "shortest image that boots (0xCC bytes)" "$work/shortest.hex" starts
fi
if [ "$failures" != 0 ]; then
  echo "$failures of the boot table's rows failed"
  exit 1
fi
echo "boot table: every row as expected, first stage and Ravelverify agreeing"
