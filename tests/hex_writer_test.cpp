// SPDX-License-Identifier: Apache-2.0
#include "hexout/hex_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Records(std::uint32_t base, const Bytes& buffer, std::int32_t length) {
  std::FILE* file = std::tmpfile();
  EXPECT_NE(file, nullptr);
  EXPECT_EQ(WriteHexRecords(file, base, buffer, length), 0);
  const long size = std::ftell(file);
  std::string text(static_cast<std::size_t>(size), '\0');
  std::rewind(file);
  EXPECT_EQ(std::fread(text.data(), 1, text.size(), file), text.size());
  std::fclose(file);
  return text;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "every record ends in CRLF";
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// Every record's bytes, checksum included, add up to 0 modulo 256.
void ExpectChecksumsHold(const std::vector<std::string>& lines) {
  for (const auto& line : lines) {
    ASSERT_EQ(line[0], ':');
    unsigned sum = 0;
    for (std::size_t i = 1; i + 1 < line.size(); i += 2) {
      sum += static_cast<unsigned>(std::stoul(line.substr(i, 2), nullptr, 16));
    }
    EXPECT_EQ(sum & 0xFFU, 0U) << line;
  }
}

TEST(HexWriter, WritesTheTextbookDataRecord) {
  const Bytes data = {0x21, 0x46, 0x01, 0x36, 0x01, 0x21, 0x47, 0x01,
                      0x36, 0x00, 0x7E, 0xFE, 0x09, 0xD2, 0x19, 0x01};
  EXPECT_EQ(Records(0x0100, data, 16), ":020000040000FA\r\n:10010000214601360121470136007EFE09D2190140\r\n");
}

TEST(HexWriter, WritesNothingForEmptyOrNegativeLength) {
  const Bytes data(32, 0xAA);
  EXPECT_EQ(Records(0x1000, data, 0), "");
  EXPECT_EQ(Records(0x1000, data, -5), "");
}

TEST(HexWriter, RoundsTheLastRecordUpWithBufferBytes) {
  Bytes buffer(64, 0);
  buffer[0] = 0xAB;
  EXPECT_EQ(Records(0, buffer, 1), ":020000040000FA\r\n:10000000AB00000000000000000000000000000045\r\n");
  // 17 bytes: the second record carries byte 16 and whatever follows it in the buffer.
  buffer[16] = 0x01;
  buffer[28] = 'T';
  const auto lines = Lines(Records(0, buffer, 17));
  ASSERT_EQ(lines.size(), 3U);
  EXPECT_EQ(lines[2], ":10001000010000000000000000000000540000008B");
}

TEST(HexWriter, RecordCountsFollowTheLength) {
  const Bytes buffer(0x200, 0x5A);
  for (const auto& [length, records] :
       std::vector<std::pair<int, std::size_t>>{{1, 1}, {16, 1}, {17, 2}, {49, 4}, {272, 17}}) {
    const auto lines = Lines(Records(0x20000000, buffer, length));
    EXPECT_EQ(lines.size(), records + 1) << "length " << length;
    EXPECT_EQ(lines[0], ":020000042000DA");
    ExpectChecksumsHold(lines);
  }
}

TEST(HexWriter, CrossesA64KiBBoundaryAtTheTrueAddress) {
  const Bytes buffer(0x10010, 0x11);
  const auto lines = Lines(Records(0, buffer, 0x10010));
  ASSERT_EQ(lines.size(), 1U + 0x1000U + 1U + 1U);
  EXPECT_EQ(lines[0x1000].substr(0, 9), ":10FFF000");
  EXPECT_EQ(lines[0x1001], ":020000040001F9");
  EXPECT_EQ(lines[0x1002].substr(0, 9), ":10000000");
  ExpectChecksumsHold(lines);
}

TEST(HexWriter, UnalignedBaseKeepsARecordWholeAcrossTheBoundary) {
  const Bytes buffer(48, 0x22);
  const auto lines = Lines(Records(0x0001FFE8, buffer, 48));
  ASSERT_EQ(lines.size(), 5U);
  EXPECT_EQ(lines[0], ":020000040001F9");
  EXPECT_EQ(lines[1].substr(0, 9), ":10FFE800");
  EXPECT_EQ(lines[2].substr(0, 9), ":10FFF800");  // runs past 0x20000 under the old upper half
  EXPECT_EQ(lines[3], ":020000040002F8");
  EXPECT_EQ(lines[4].substr(0, 9), ":10000800");
  ExpectChecksumsHold(lines);
}

TEST(HexWriter, WrapsPastTopOfAddressSpace) {
  const Bytes buffer(272, 0);
  const auto lines = Lines(Records(0xFFFFFFFF, buffer, 272));
  ASSERT_EQ(lines.size(), 19U);
  EXPECT_EQ(lines[0], ":02000004FFFFFC");
  EXPECT_EQ(lines[1], ":10FFFF0000000000000000000000000000000000F2");
  EXPECT_EQ(lines[2], ":020000040000FA");
  EXPECT_EQ(lines[3], ":10000F0000000000000000000000000000000000E1");
  EXPECT_EQ(lines[18].substr(0, 9), ":1000FF00");
  ExpectChecksumsHold(lines);
}

TEST(HexWriter, EachCallStartsWithItsOwnExtendedAddress) {
  const Bytes buffer(16, 0);
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(WriteHexRecords(file, 0x100, buffer, 16), 0);
  ASSERT_EQ(WriteHexRecords(file, 0x200, buffer, 16), 0);
  ASSERT_EQ(WriteHexEndOfFile(file), 0);
  std::string text(200, '\0');
  std::rewind(file);
  text.resize(std::fread(text.data(), 1, text.size(), file));
  std::fclose(file);
  EXPECT_EQ(text,
            ":020000040000FA\r\n:1001000000000000000000000000000000000000EF\r\n"
            ":020000040000FA\r\n:1002000000000000000000000000000000000000EE\r\n:00000001FF\r\n");
}

TEST(HexWriter, NeverReadsPastTheBuffer) {
  // A length beyond the buffer is cut to the buffer; the last record is padded with zeros.
  const Bytes buffer(20, 0xFF);
  const auto lines = Lines(Records(0, buffer, 1000));
  ASSERT_EQ(lines.size(), 3U);
  EXPECT_EQ(lines[2], ":10001000FFFFFFFF000000000000000000000000E4");
}

TEST(HexWriter, ReportsAFailedWrite) {
  std::FILE* full = std::fopen("/dev/full", "wb");
  if (full == nullptr) {
    GTEST_SKIP() << "no /dev/full";
  }
  const Bytes buffer(0x10000, 1);
  const int records = WriteHexRecords(full, 0, buffer, 0x10000);
  const int end = WriteHexEndOfFile(full);
  const bool flushed = std::fflush(full) == 0;
  std::fclose(full);
  EXPECT_EQ(records, -1);
  EXPECT_FALSE(end == 0 && flushed);
}

}  // namespace
