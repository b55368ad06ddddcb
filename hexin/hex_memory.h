// SPDX-License-Identifier: Apache-2.0
// The bytes a HEX file gives, kept as contiguous runs sorted by address, so
// that a file costs about one copy of its data whatever its size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <span>

struct FreeBytes {
  void operator()(std::uint8_t* bytes) const noexcept;
};

// One run of bytes at consecutive addresses. It grows like a vector, but
// without clearing the bytes it adds (a record's data is decoded straight
// in) and with realloc, which moves a large run by remapping, not copying.
struct HexRun {
  std::unique_ptr<std::uint8_t, FreeBytes> bytes;
  std::size_t size;
  std::size_t capacity;
};

// Runs by start address; they never overlap, and none reaches past 2^32.
struct HexMemory {
  std::map<std::uint32_t, HexRun> runs;
};

// Stores `bytes` at `address`, wrapping past 2^32. Where they meet bytes
// stored before, the new ones win, as a programmer writing the file to flash
// would have it.
void StoreHexBytes(HexMemory& memory, std::uint32_t address, std::span<const std::uint8_t> bytes);

// Grows the last run by `size` bytes when it ends at `address` (records in
// ascending order, the common case) and returns them, to be filled in place;
// returns an empty span otherwise.
std::span<std::uint8_t> AppendHexBytes(HexMemory& memory, std::uint32_t address, std::size_t size);

// Copies the bytes at `address` (wrapping past 2^32) into `out`. Returns the
// number of bytes that were present in the file; missing ones read as 0xFF.
std::size_t ReadHexRange(const HexMemory& memory, std::uint32_t address, std::span<std::uint8_t> out);

// The `length` bytes at `address` where all of them lie in one run (so they
// can be used where they are); an empty span otherwise.
std::span<const std::uint8_t> HexBytesInPlace(const HexMemory& memory, std::uint32_t address,
                                              std::size_t length);

// The number of bytes present.
std::size_t HexByteCount(const HexMemory& memory);
