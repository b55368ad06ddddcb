// Reader of Intel HEX files: record types 00 to 05, every checksum checked.
// The bytes land in a sparse memory map; where two records give the same
// address the later one wins, as a programmer writing the file to flash would.
#pragma once

#include <cstdint>
#include <map>
#include <span>

using HexMemory = std::map<std::uint32_t, std::uint8_t>;

// Reads the file at `path` into `memory`. Returns 0, or -1 after printing
// "Bad HEX file <path>, line N: what\n" (or why the file could not be read).
int ReadHexFile(const char* path, HexMemory& memory);

// Copies the bytes at `address` (wrapping past 2^32) into `out`. Returns the
// number of bytes that were present in the file; missing ones read as 0xFF.
std::size_t ReadHexRange(const HexMemory& memory, std::uint32_t address, std::span<std::uint8_t> out);
