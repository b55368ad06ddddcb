// SPDX-License-Identifier: Apache-2.0
#include "hexin/hex_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "core/file_guard.h"
#include "core/hex_digit.h"
#include "core/hex_record.h"

namespace {

constexpr std::size_t kMaxHexFileSize = std::size_t{64} * 1024 * 1024;
constexpr std::size_t kReadChunk = std::size_t{64} * 1024;
constexpr std::size_t kMaxRecordData = 255;
constexpr std::size_t kCommonRecordData = 16;
constexpr std::size_t kSegmentSize = 0x10000;  // what a segment address record (type 02) reaches

using enum HexRecordType;

// The value of every character as a hex digit, 0xFF for any other character.
constexpr std::array<std::uint8_t, 256> kDigitValues = [] {
  std::array<std::uint8_t, 256> values{};
  for (std::size_t c = 0; c < values.size(); ++c) {
    const int value = HexDigitValue(static_cast<char>(c));
    values[c] = value < 0 ? std::uint8_t{0xFF} : static_cast<std::uint8_t>(value);
  }
  return values;
}();
// The byte that every pair of characters stands for as two hex digits, or
// 0x100 when either is not a hex digit; indexed by first | second << 8.
// One lookup a byte keeps the reader close to the cost of the digest.
constexpr std::array<std::uint16_t, 0x10000> kPairValues = [] {
  std::array<std::uint16_t, 0x10000> values{};
  for (std::size_t second = 0; second < 256; ++second) {
    for (std::size_t first = 0; first < 256; ++first) {
      const unsigned high = kDigitValues[first];
      const unsigned low = kDigitValues[second];
      values[first | (second << 8U)] =
          static_cast<std::uint16_t>((high | low) > 0x0F ? 0x100U : (high << 4U) | low);
    }
  }
  return values;
}();

unsigned PairValue(const unsigned char* digits) {
  if constexpr (std::endian::native == std::endian::little) {
    std::uint16_t pair = 0;
    std::memcpy(&pair, digits, sizeof(pair));  // one load for both characters
    return kPairValues[pair];
  } else {
    return kPairValues[digits[0] | (unsigned{digits[1]} << 8U)];
  }
}

// The checksum and the bad characters of a record, collected while it is
// decoded: a bad character leaves bit 8 set in `bad`, so no byte branches.
struct RecordSums {
  unsigned bad;
  unsigned sum;
};

// Decodes `count` pairs of digits into `out`; returns the digits after them.
const unsigned char* DecodePairs(const unsigned char* digit, std::size_t count, std::uint8_t* out,
                                 RecordSums& sums) {
  for (std::size_t i = 0; i < count; ++i, digit += 2) {
    const unsigned value = PairValue(digit);
    sums.bad |= value;
    sums.sum += value;
    out[i] = static_cast<std::uint8_t>(value);
  }
  return digit;
}

// The same for a count known in advance (the header, and the 16 data bytes
// nearly every record carries), unrolled.
template <std::size_t kCount>
const unsigned char* DecodePairs(const unsigned char* digit, std::uint8_t* out, RecordSums& sums) {
  for (std::size_t i = 0; i < kCount; ++i) {
    const unsigned value = PairValue(digit + 2 * i);
    sums.bad |= value;
    sums.sum += value;
    out[i] = static_cast<std::uint8_t>(value);
  }
  return digit + 2 * kCount;
}

// Only checks and sums `count` pairs: the checksum, and what no record holds.
void SumPairs(const unsigned char* digit, std::size_t count, RecordSums& sums) {
  for (std::size_t i = 0; i < count; ++i, digit += 2) {
    const unsigned value = PairValue(digit);
    sums.bad |= value;
    sums.sum += value;
  }
}

// The records of one file, read a line at a time.
struct RecordReader {
  HexMemory& memory;
  std::uint32_t base;  // from extended linear or segment address records
  bool segmented;      // the base came from a segment address record (type 02)
  bool ended;          // the end-of-file record was read
  std::size_t lineNumber;
  std::array<std::uint8_t, kMaxRecordData> data;  // a record's data, unless it went straight into memory
};

// The part of a data record at `address` that its segment holds: with a
// segment address record (type 02), the offset wraps within the segment's
// 64 KiB, as the format defines and srec_cat reads it; with linear address
// records the bytes simply go on.
std::size_t InSegment(const RecordReader& reader, std::uint32_t address, std::size_t size) {
  const std::size_t left = kSegmentSize - ((address - reader.base) & (kSegmentSize - 1));
  return reader.segmented ? std::min(size, left) : size;
}

void StoreData(RecordReader& reader, std::uint32_t address, std::span<const std::uint8_t> data) {
  const std::size_t first = InSegment(reader, address, data.size());
  StoreHexBytes(reader.memory, address, data.first(first));
  if (first < data.size()) {
    StoreHexBytes(reader.memory, reader.base, data.subspan(first));
  }
}

// Acts on a record whose form and checksum are good: stores its data (unless
// it went straight into memory), or takes its address or its end. Returns the
// problem, or nullptr.
const char* ApplyRecord(RecordReader& reader, const std::array<std::uint8_t, 4>& head, std::uint32_t address,
                        bool stored) {
  const auto data = std::span(reader.data).first(head[0]);
  const auto type = static_cast<HexRecordType>(head[3]);
  switch (type) {
    case kData:
      if (!stored) {
        StoreData(reader, address, data);
      }
      return nullptr;
    case kEndOfFile:
      reader.ended = true;
      return head[0] != 0 ? "end-of-file record with data" : nullptr;
    case kExtendedSegmentAddress:
    case kExtendedLinearAddress:
      if (head[0] != 2) {
        return "address record of the wrong length";
      }
      reader.base = static_cast<std::uint32_t>((data[0] << 8U) | data[1])
                    << (type == kExtendedLinearAddress ? 16U : 4U);
      reader.segmented = type == kExtendedSegmentAddress;
      return nullptr;
    case kStartSegmentAddress:
    case kStartLinearAddress:
      return head[0] != 4 ? "start address record of the wrong length" : nullptr;
    default:
      return "unknown record type";
  }
}

// Takes one line; returns the problem, or nullptr. A line too long for any
// record still has every character checked first, so that its problem is
// named as for a short one.
const char* TakeLine(RecordReader& reader, std::string_view line) {
  ++reader.lineNumber;
  if (!line.empty() && line.back() == '\r') {
    line.remove_suffix(1);
  }
  if (reader.ended) {
    // Blank lines after the end are no data: srec_cat and objcopy take them.
    return line.empty() ? nullptr : "data after the end-of-file record";
  }
  if (line.empty() || line[0] != ':') {
    return "record does not start with ':'";
  }
  const std::string_view digits = line.substr(1);
  if (digits.size() % 2 != 0) {
    return "odd number of hex digits";
  }
  const std::size_t count = digits.size() / 2;
  const auto* digit = reinterpret_cast<const unsigned char*>(digits.data());

  // Byte count, address and type first: the data of a data record that
  // continues the last run is decoded straight into it.
  std::array<std::uint8_t, 4> head{};
  RecordSums sums{0, 0};
  // (A line too short for a header is only checked: it is no record.)
  const std::size_t headCount = count >= head.size() ? head.size() : 0;
  if (headCount != 0) {
    digit = DecodePairs<4>(digit, head.data(), sums);
  }
  const auto address = reader.base + ((unsigned{head[1]} << 8U) | head[2]);
  const std::size_t dataCount = count > 5 ? std::min(count - 5, kMaxRecordData) : 0;
  std::uint8_t* out = reader.data.data();
  bool stored = false;
  if (static_cast<HexRecordType>(head[3]) == kData && count == std::size_t{head[0]} + 5 &&
      (sums.bad & 0x100U) == 0 && InSegment(reader, address, dataCount) == dataCount) {
    const std::span<std::uint8_t> tail = AppendHexBytes(reader.memory, address, dataCount);
    stored = !tail.empty();
    out = stored ? tail.data() : out;
  }
  digit = dataCount == kCommonRecordData ? DecodePairs<kCommonRecordData>(digit, out, sums)
                                         : DecodePairs(digit, dataCount, out, sums);
  SumPairs(digit, count - headCount - dataCount, sums);
  if ((sums.bad & 0x100U) != 0) {
    return "bad character";
  }
  if (count < 5) {
    return "record too short";
  }
  if (count != std::size_t{head[0]} + 5) {
    return "byte count does not match the record's length";
  }
  if ((sums.sum & 0xFFU) != 0) {
    return "bad checksum";
  }
  return ApplyRecord(reader, head, address, stored);
}

}  // namespace

int ReadHexFile(const char* path, HexMemory& memory) {
  const FileGuard file(std::fopen(path, "rb"));
  if (!file) {
    std::printf("Failed to open HEX file <%s>!\n", path);
    return -1;
  }
  RecordReader reader{memory, 0, false, false, 0, {}};
  const char* problem = nullptr;
  std::string pending;  // a line that runs across chunks; reused, so no record allocates
  std::array<char, kReadChunk> chunk{};
  std::size_t total = 0;
  // After a problem the file is still read to its end, so that a file too
  // large to take is reported as such wherever its first bad line is. A short
  // read is the end of the file or a read error (told apart below).
  for (std::size_t got = chunk.size(); got == chunk.size() && total <= kMaxHexFileSize &&
                                       std::feof(file.get()) == 0 && std::ferror(file.get()) == 0;) {
    got = std::fread(chunk.data(), 1, chunk.size(), file.get());
    total += got;
    std::string_view rest(chunk.data(), got);
    while (problem == nullptr && !rest.empty()) {
      const std::size_t end = rest.find('\n');
      if (end == std::string_view::npos) {
        pending.append(rest);
        break;
      }
      if (pending.empty()) {
        problem = TakeLine(reader, rest.substr(0, end));
      } else {
        pending.append(rest.substr(0, end));
        problem = TakeLine(reader, pending);
        pending.clear();
      }
      rest.remove_prefix(end + 1);
    }
  }
  if (std::ferror(file.get()) != 0 || total > kMaxHexFileSize) {
    std::printf("Failed to read HEX file <%s>!\n", path);
    return -1;
  }
  if (problem == nullptr && !pending.empty()) {
    problem = TakeLine(reader, pending);  // the last line, without a line end
  }
  if (problem == nullptr && !reader.ended) {
    problem = "missing end-of-file record";
  }
  if (problem != nullptr) {
    std::printf("Bad HEX file <%s>, line %zu: %s\n", path, reader.lineNumber, problem);
    return -1;
  }
  return 0;
}
