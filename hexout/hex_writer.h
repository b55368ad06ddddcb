// SPDX-License-Identifier: Apache-2.0
// Intel HEX output with 32-bit linear addressing: extended linear address
// records (type 04), 16-byte data records (type 00) and the end-of-file record.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>

inline constexpr char kHexEndOfFileRecord[] = ":00000001FF\r\n";

// Writes `length` bytes of `buffer` as records at `base`, rounding up to a
// whole 16-byte record: the bytes past `length` are taken from the buffer as
// they stand (zero past its end). Starts with an extended linear address record
// and repeats one whenever the upper 16 address bits change, wrapping past
// 2^32. Writes nothing when `length` <= 0. Returns 0, or -1 if a write failed.
int WriteHexRecords(std::FILE* stream, std::uint32_t base, std::span<const std::uint8_t> buffer,
                    std::int32_t length);

// Writes ":00000001FF\r\n". Returns 0, or -1 if the write failed.
int WriteHexEndOfFile(std::FILE* stream);
