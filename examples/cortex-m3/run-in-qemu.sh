#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Boots a signed image behind the first stage in QEMU's Arm MPS2 AN385 board
# (Cortex-M3) and prints what the board writes to UART0. Exit status:
#   0    the image was started and ended well
#   1    the first stage refused the image (its last line says at which check)
#   2    nothing was judged: a file is missing, or QEMU could not run
#   3    the image was started and failed (a fault)
#   124  the run did not end within QEMU_SECONDS (default 30)
# so that a broken setup never reads as a refused image.
#   run-in-qemu.sh <signed hex file> [<first stage ELF>]
# The first stage defaults to the one in the example's build folder.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: run-in-qemu.sh <signed hex file> [<first stage ELF>]" >&2
  exit 2
fi
hex=$1
first=${2:-$here/build/first_stage.elf}
for file in "$hex" "$first"; do
  if [ ! -f "$file" ] || [ ! -r "$file" ]; then
    echo "run-in-qemu.sh: cannot read $file" >&2
    exit 2
  fi
done
# QEMU splits an option's value at commas, and reads ",," as one comma.
loader_file=${hex//,/,,}
# The first stage is loaded as an ELF, so that reset takes its stack pointer
# and reset handler; the signed file as it is (QEMU reads Intel HEX), with no
# CPU named, so that it does not change where the core starts. The first
# stage ends a refusal with status 10 + the check's number (board.h).
status=0
timeout "${QEMU_SECONDS:-30}" qemu-system-arm -M mps2-an385 -nographic -monitor none \
  -semihosting-config enable=on,target=native \
  -kernel "$first" -device "loader,file=$loader_file" </dev/null || status=$?
case $status in
  0 | 3 | 124) exit "$status" ;;
  11 | 12 | 13 | 14) exit 1 ;;
  *)
    echo "run-in-qemu.sh: qemu-system-arm failed with status $status" >&2
    exit 2
    ;;
esac
