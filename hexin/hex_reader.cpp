#include "hexin/hex_reader.h"

#include <array>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "common/file_guard.h"
#include "common/hex_digit.h"

namespace {

constexpr std::size_t kMaxHexFileSize = std::size_t{64} * 1024 * 1024;

enum RecordType : std::uint8_t {
  kData = 0x00,
  kEndOfFile = 0x01,
  kExtendedSegmentAddress = 0x02,
  kStartSegmentAddress = 0x03,
  kExtendedLinearAddress = 0x04,
  kStartLinearAddress = 0x05,
};

// Decodes one record line (without its line end) into its bytes; returns the
// problem, or nullptr when the line is a well-formed record.
const char* DecodeRecord(std::string_view line, std::vector<std::uint8_t>& bytes) {
  if (line.empty() || line[0] != ':') {
    return "record does not start with ':'";
  }
  const std::string_view digits = line.substr(1);
  if (digits.size() % 2 != 0) {
    return "odd number of hex digits";
  }
  bytes.clear();
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    const int high = HexDigitValue(digits[i]);
    const int low = HexDigitValue(digits[i + 1]);
    if (high < 0 || low < 0) {
      return "bad character";
    }
    bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  if (bytes.size() < 5) {
    return "record too short";
  }
  if (bytes.size() != std::size_t{bytes[0]} + 5) {
    return "byte count does not match the record's length";
  }
  unsigned sum = 0;
  for (const std::uint8_t byte : bytes) {
    sum += byte;
  }
  if ((sum & 0xFFU) != 0) {
    return "bad checksum";
  }
  return nullptr;
}

}  // namespace

int ReadHexFile(const char* path, HexMemory& memory) {
  std::string text;
  {
    const FileGuard file(std::fopen(path, "rb"));
    if (!file) {
      std::printf("Failed to open HEX file <%s>!\n", path);
      return -1;
    }
    std::array<char, 65536> chunk{};
    std::size_t got = 0;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), file.get())) > 0 &&
           text.size() <= kMaxHexFileSize) {
      text.append(chunk.data(), got);
    }
    if (std::ferror(file.get()) != 0 || text.size() > kMaxHexFileSize) {
      std::printf("Failed to read HEX file <%s>!\n", path);
      return -1;
    }
  }

  std::uint32_t base = 0;  // from extended linear or segment address records
  bool ended = false;
  std::size_t lineNumber = 0;
  std::vector<std::uint8_t> bytes;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    const std::size_t next = end == std::string::npos ? text.size() : end + 1;
    end = end == std::string::npos ? text.size() : end;
    std::string_view line(text.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    start = next;
    ++lineNumber;
    const auto fail = [&](const char* what) {
      std::printf("Bad HEX file <%s>, line %zu: %s\n", path, lineNumber, what);
      return -1;
    };
    if (ended) {
      return fail("data after the end-of-file record");
    }
    if (const char* problem = DecodeRecord(line, bytes)) {
      return fail(problem);
    }
    const std::size_t count = bytes[0];
    const auto offset = static_cast<std::uint32_t>((bytes[1] << 8U) | bytes[2]);
    const auto data = std::span(bytes).subspan(4, count);
    switch (bytes[3]) {
      case kData:
        for (std::size_t i = 0; i < count; ++i) {
          memory[static_cast<std::uint32_t>(base + offset + i)] = data[i];
        }
        break;
      case kEndOfFile:
        if (count != 0) {
          return fail("end-of-file record with data");
        }
        ended = true;
        break;
      case kExtendedSegmentAddress:
      case kExtendedLinearAddress:
        if (count != 2) {
          return fail("address record of the wrong length");
        }
        base = static_cast<std::uint32_t>((data[0] << 8U) | data[1])
               << (bytes[3] == kExtendedLinearAddress ? 16U : 4U);
        break;
      case kStartSegmentAddress:
      case kStartLinearAddress:
        if (count != 4) {
          return fail("start address record of the wrong length");
        }
        break;
      default:
        return fail("unknown record type");
    }
  }
  if (!ended) {
    std::printf("Bad HEX file <%s>, line %zu: missing end-of-file record\n", path, lineNumber);
    return -1;
  }
  return 0;
}

std::size_t ReadHexRange(const HexMemory& memory, std::uint32_t address, std::span<std::uint8_t> out) {
  std::size_t present = 0;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto found = memory.find(static_cast<std::uint32_t>(address + i));
    if (found == memory.end()) {
      out[i] = 0xFF;
    } else {
      out[i] = found->second;
      ++present;
    }
  }
  return present;
}
