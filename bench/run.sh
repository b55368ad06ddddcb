#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Measures a whole Ravelsign run on a 256 KiB image against what a user would
# otherwise script (openssl dgst -sha256 -sign, then objcopy to Intel HEX),
# counts instructions with callgrind, and measures Ravelverify on the signed
# image, on a 56 MB HEX file (20 MB of data) and on two hostile shapes. Run by hand; prints one table.
#   bench/run.sh [PAIRS]   (default 40 alternating pairs)
set -euo pipefail
cd "$(dirname "$0")/.."
pairs=${1:-40}
scripts/install-deps.sh --bench >/dev/null

library=$(cmake --preset release | sed -n 's/^-- mbed TLS \([0-9.]*\):.*$/\1/p')
cmake --build --preset release -j"$(nproc)" >/dev/null
tool=$PWD/build-release/bin/Ravelsign
verifier=$PWD/build-release/bin/Ravelverify

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# The largest image the tool takes: 256 KiB less one byte.
head -c 262143 /dev/urandom >image.bin
openssl ecparam -name prime256v1 -genkey -noout -out key.pem 2>/dev/null
keytext=$(openssl ec -in key.pem -text -noout 2>/dev/null | tr -d ' :\n')
priv=$(sed -E 's/.*priv(.*)pub.*/\1/' <<<"$keytext" | tail -c 65)
pub=$(sed -E 's/.*pub04(.*)ASN1.*/\1/' <<<"$keytext")
cat >info.txt <<INFO
CODE_EXE_ADDR = 0x10000000
INFO_ADDR = 0x10040000
RANDOM_K = 7A1C3E5F9B2D4C6E8A0B1D3F5E7C9A2B4D6F8E0A1C3B5D7F9E2A4C6B8D0F1E3A
PRIVATE_KEY = $priv
PUBLIC_KEY_1 = ${pub:0:64}
PUBLIC_KEY_2 = ${pub:64:64}
INFO
"$tool" info.txt image.bin | grep -q 'ECDSA verify OK.' || { echo "bench: the signing run failed" >&2; exit 1; }

ours="$tool info.txt image.bin"
yardstick="sh -c 'openssl dgst -sha256 -sign key.pem -out image.sig image.bin && objcopy -I binary -O ihex image.bin image.hex'"

# Paired and alternating: each pair runs both commands back to back, in
# turn first, so that machine noise falls on both alike.
for i in $(seq 1 "$pairs"); do
  if [ $((i % 2)) -eq 0 ]; then order="ours yard"; else order="yard ours"; fi
  for which in $order; do
    if [ "$which" = ours ]; then cmd=$ours; else cmd=$yardstick; fi
    hyperfine -N --runs 1 --style none --export-json "$which-$i.json" "$cmd" >/dev/null 2>&1
  done
done
python3 - "$pairs" <<'PY'
import json, statistics, sys
pairs = int(sys.argv[1])
def t(name, i): return json.load(open(f"{name}-{i}.json"))["results"][0]["times"][0]
ours = [t("ours", i) for i in range(1, pairs + 1)]
yard = [t("yard", i) for i in range(1, pairs + 1)]
ratios = [o / y for o, y in zip(ours, yard)]
with open("times.txt", "w") as f:
    f.write(f"{statistics.median(ours)*1000:.2f} {statistics.median(yard)*1000:.2f} "
            f"{statistics.median(ours)/statistics.median(yard):.2f} {statistics.median(ratios):.2f}\n")
PY
read -r ours_ms yard_ms ratio pair_ratio <times.txt

count() { valgrind --tool=callgrind --callgrind-out-file=cg.out "$@" "$tool" info.txt image.bin >/dev/null 2>cg.log
          grep -Eo 'Collected : [0-9]+' cg.log | awk '{print $3}'; }
whole=$(count)
valgrind --tool=callgrind --callgrind-out-file=cg.out "$verifier" info.txt image_SBoot.hex >/dev/null 2>cg.log
verify=$(grep -Eo 'Collected : [0-9]+' cg.log | awk '{print $3}')
# A large file as objcopy writes it: the verifier reads it all (its checks fail).
head -c 20000000 /dev/urandom >big.bin
objcopy -I binary -O ihex --change-addresses 0x10000000 big.bin big.hex
/usr/bin/time -f '%M %e' -o big.time "$verifier" info.txt big.hex >/dev/null || true
read -r big_kib big_s < <(tail -n 1 big.time)  # after "Command exited with non-zero status"
# Two hostile shapes: 80,000 16-byte records written from high to low, each
# overlapping the one before by a byte, and 400,000 one-byte records with
# gaps between them. Time must stay linear and memory near the data.
python3 - <<'PY'
def rec(addr, typ, data):
    b = bytes([len(data), (addr >> 8) & 0xFF, addr & 0xFF, typ]) + bytes(data)
    return ':' + b.hex().upper() + '%02X' % ((-sum(b)) & 0xFF) + '\r\n'
def write(path, records):
    out, upper = [], None
    for addr, data in records:
        if addr >> 16 != upper:
            upper = addr >> 16
            out.append(rec(0, 4, [(upper >> 8) & 0xFF, upper & 0xFF]))
        out.append(rec(addr & 0xFFFF, 0, data))
    open(path, 'w').write(''.join(out) + ':00000001FF\r\n')
write('overlap.hex', [(0x10000000 + 15 * (80000 - i), bytes([i & 0xFF] * 16)) for i in range(80000)])
write('gaps.hex', [(0x10000000 + 2 * i, bytes([i & 0xFF])) for i in range(400000)])
PY
/usr/bin/time -f '%M %e' -o overlap.time "$verifier" info.txt overlap.hex >/dev/null || true
read -r overlap_kib overlap_s < <(tail -n 1 overlap.time)
/usr/bin/time -f '%M %e' -o gaps.time "$verifier" info.txt gaps.hex >/dev/null || true
read -r gaps_kib gaps_s < <(tail -n 1 gaps.time)
writer=$(count --toggle-collect='WriteHexRecords*')
# Our two entries into mbed TLS, the same under 2.28 and 3.6: the hashing,
# and the signature with its verification (curve, nonce and values included).
crypto=$(count --toggle-collect='Sha256(*' --toggle-collect='SignWithKeyTexts(*')
millions() { awk -v n="$1" 'BEGIN { printf "%.1f M", n / 1e6 }'; }

printf '\n%-52s %s\n' "Measure (256 KiB image, $pairs alternating pairs)" "Value"
printf '%-52s %s\n' "----------------------------------------------------" "----------"
printf '%-52s %s\n' "mbed TLS" "$library"
printf '%-52s %s ms\n' "Ravelsign, whole run (median)" "$ours_ms"
printf '%-52s %s ms\n' "openssl dgst -sign + objcopy -O ihex (median)" "$yard_ms"
printf '%-52s %s (median of pair ratios %s)\n' "Ratio of medians, Ravelsign / yardstick" "$ratio" "$pair_ratio"
printf '%-52s %s\n' "Instructions, whole run" "$(millions "$whole")"
printf '%-52s %s\n' "Instructions, SHA-256, signature and verification" "$(millions "$crypto")"
printf '%-52s %s\n' "Instructions, HEX writer (image + INFO block)" "$(millions "$writer")"
printf '%-52s %s\n' "Instructions, Ravelverify on the signed image" "$(millions "$verify")"
printf '%-52s %s MiB, %s s\n' "Ravelverify on a 56 MB HEX file: peak memory, time" "$((big_kib / 1024))" "$big_s"
printf '%-52s %s MiB, %s s\n' "Ravelverify, 80,000 overlapping records backwards" "$((overlap_kib / 1024))" "$overlap_s"
printf '%-52s %s MiB, %s s\n' "Ravelverify, 400,000 one-byte records with gaps" "$((gaps_kib / 1024))" "$gaps_s"
