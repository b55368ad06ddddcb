// SPDX-License-Identifier: Apache-2.0
// Hexadecimal digits, shared by every reader and writer of hex text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// 0 to 15 for 0-9, a-f and A-F; -1 for any other character.
constexpr int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

// Digests and nonces are printed in lower case, keys and records in upper case.
inline constexpr std::string_view kLowerHexDigits = "0123456789abcdef";
inline constexpr std::string_view kUpperHexDigits = "0123456789ABCDEF";

// Writes `bytes` as two digits each into `out`, then a NUL; `out` must hold
// 2 * bytes.size() + 1 characters.
constexpr void FormatHex(std::span<const std::uint8_t> bytes, std::span<char> out, std::string_view digits) {
  std::size_t at = 0;
  for (const std::uint8_t byte : bytes) {
    out[at++] = digits[byte >> 4U];
    out[at++] = digits[byte & 0x0FU];
  }
  out[at] = '\0';
}
