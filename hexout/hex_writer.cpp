// SPDX-License-Identifier: Apache-2.0
#include "hexout/hex_writer.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "core/hex_digit.h"
#include "core/hex_record.h"

namespace {

using enum HexRecordType;

constexpr std::size_t kRecordDataSize = 16;
// ":10AAAA00" + 32 data digits + checksum + CRLF.
constexpr std::size_t kMaxRecordChars = 1 + 2 + 4 + 2 + 2 * kRecordDataSize + 2 + 2;
constexpr std::size_t kChunkSize = std::size_t{32} * 1024;

// Two uppercase digits for every byte value, so a byte costs one table load.
using DigitPair = std::array<char, 2>;
constexpr std::array<DigitPair, 256> kDigitPairs = [] {
  std::array<DigitPair, 256> pairs{};
  for (std::size_t value = 0; value < pairs.size(); ++value) {
    pairs[value] = {kUpperHexDigits[value >> 4U], kUpperHexDigits[value & 0x0FU]};
  }
  return pairs;
}();

constexpr std::uint8_t RecordTypeByte(HexRecordType type) {
  return static_cast<std::uint8_t>(type);
}

// Records are formatted into a chunk and handed to the stream in large
// writes; a failed write is remembered and reported once at the end.
struct RecordSink {
  std::FILE* stream;
  std::array<char, kChunkSize> chunk;
  std::size_t used;
  bool failed;
};

void Flush(RecordSink& sink) {
  if (sink.used != 0 && !sink.failed &&
      std::fwrite(sink.chunk.data(), 1, sink.used, sink.stream) != sink.used) {
    sink.failed = true;
  }
  sink.used = 0;
}

// Appends one record: ':' then the record bytes as uppercase hex, the checksum
// (two's complement of their sum) and CRLF. The checksum is summed while the
// digits are written, so no record is ever parsed back.
void PutRecord(RecordSink& sink, std::span<const std::uint8_t> recordBytes) {
  if (sink.chunk.size() - sink.used < kMaxRecordChars) {
    Flush(sink);
  }
  char* out = sink.chunk.data() + sink.used;
  unsigned sum = 0;
  *out++ = ':';
  for (const std::uint8_t byte : recordBytes) {
    sum += byte;
    out = std::copy_n(kDigitPairs[byte].begin(), 2, out);
  }
  const auto checksum = static_cast<std::uint8_t>(0x100U - (sum & 0xFFU));
  out = std::copy_n(kDigitPairs[checksum].begin(), 2, out);
  *out++ = '\r';
  *out++ = '\n';
  sink.used = static_cast<std::size_t>(out - sink.chunk.data());
}

void PutExtendedLinearAddress(RecordSink& sink, std::uint32_t upper) {
  const auto high = static_cast<std::uint8_t>(upper >> 8U);
  const auto low = static_cast<std::uint8_t>(upper);
  // Two data bytes at record address 0: the upper 16 bits of the address.
  const std::array<std::uint8_t, 6> record = {2, 0, 0, RecordTypeByte(kExtendedLinearAddress), high, low};
  PutRecord(sink, record);
}

}  // namespace

int WriteHexRecords(std::FILE* stream, std::uint32_t base, std::span<const std::uint8_t> buffer,
                    std::int32_t length) {
  if (length <= 0) {
    return 0;
  }
  const std::size_t count = std::min(static_cast<std::size_t>(length), buffer.size());
  // Rounds up to whole records; a record running past the buffer is padded
  // with zeros instead of reading beyond it.
  const std::size_t records = (count + kRecordDataSize - 1) / kRecordDataSize;

  // The chunk is filled before it is read; it needs no clearing.
  RecordSink sink;
  sink.stream = stream;
  sink.used = 0;
  sink.failed = false;
  std::array<std::uint8_t, 4 + kRecordDataSize> record{};
  record[0] = static_cast<std::uint8_t>(kRecordDataSize);
  record[3] = RecordTypeByte(kData);

  std::uint32_t upper = base >> 16U;
  PutExtendedLinearAddress(sink, upper);
  for (std::size_t k = 0; k < records; ++k) {
    // Addresses are modulo 2^32: a range may wrap past the top of memory.
    const auto address = static_cast<std::uint32_t>(base + k * kRecordDataSize);
    if ((address >> 16U) != upper) {
      upper = address >> 16U;
      PutExtendedLinearAddress(sink, upper);
    }
    record[1] = static_cast<std::uint8_t>(address >> 8U);
    record[2] = static_cast<std::uint8_t>(address);
    const std::size_t start = k * kRecordDataSize;
    const std::size_t available = std::min(kRecordDataSize, buffer.size() - start);
    const auto data = std::span(record).subspan(4);
    std::copy_n(buffer.begin() + static_cast<std::ptrdiff_t>(start), available, data.begin());
    std::fill(data.begin() + static_cast<std::ptrdiff_t>(available), data.end(), std::uint8_t{0});
    PutRecord(sink, record);
  }
  Flush(sink);
  return sink.failed ? -1 : 0;
}

int WriteHexEndOfFile(std::FILE* stream) {
  constexpr std::size_t size = sizeof(kHexEndOfFileRecord) - 1;
  return std::fwrite(kHexEndOfFileRecord, 1, size, stream) == size ? 0 : -1;
}
