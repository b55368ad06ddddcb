// SPDX-License-Identifier: Apache-2.0
// Intel HEX record types, by the names the reader takes them and the writer
// writes them under.
#pragma once

#include <cstdint>

enum class HexRecordType : std::uint8_t {
  kData = 0x00,
  kEndOfFile = 0x01,
  kExtendedSegmentAddress = 0x02,
  kStartSegmentAddress = 0x03,
  kExtendedLinearAddress = 0x04,
  kStartLinearAddress = 0x05,
};
