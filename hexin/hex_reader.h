// SPDX-License-Identifier: Apache-2.0
// Reader of Intel HEX files: record types 00 to 05, every checksum checked.
// The bytes land in a HexMemory; where two records give the same address the
// later one wins, as a programmer writing the file to flash would.
#pragma once

#include "hexin/hex_memory.h"

// Reads the file at `path` into `memory`. Returns 0, or -1 after printing
// "Bad HEX file <path>, line N: what\n" (or why the file could not be read).
int ReadHexFile(const char* path, HexMemory& memory);
