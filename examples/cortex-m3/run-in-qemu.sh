#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Boots a signed image behind the first stage in QEMU's Arm MPS2 AN385 board
# (Cortex-M3), prints what the board writes to UART0, and exits with the
# emulated program's status (0: the image ran and ended well; 1: refused or
# failed) or 124 when it does not end within the time limit.
#   run-in-qemu.sh <signed hex file> [<first stage ELF>]
# The first stage defaults to the one in the example's build folder.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
hex=$(realpath "$1")
first=$(realpath "${2:-$here/build/first_stage.elf}")
seconds=${QEMU_SECONDS:-30}
# The first stage is loaded as an ELF, so that reset takes its stack pointer
# and reset handler; the signed file as it is (QEMU reads Intel HEX), with no
# CPU named, so that it does not change where the core starts.
exec timeout "$seconds" qemu-system-arm -M mps2-an385 -nographic -monitor none \
  -semihosting-config enable=on,target=native \
  -kernel "$first" -device loader,file="$hex" </dev/null
