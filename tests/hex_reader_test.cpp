// SPDX-License-Identifier: Apache-2.0
#include "hexin/hex_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/test_support.h"

namespace {

using testsupport::Bytes;
using testsupport::TempDir;

struct ReadResult {
  int status;
  std::string output;
  HexMemory memory;
};

ReadResult Read(const std::string& content) {
  const TempDir dir;
  testsupport::WriteFile(dir.File("in.hex"), content);
  ReadResult result{0, {}, {}};
  testing::internal::CaptureStdout();
  result.status = ReadHexFile(dir.File("in.hex").c_str(), result.memory);
  result.output = testing::internal::GetCapturedStdout();
  // Keep only the part after the path, which is a temporary name.
  if (const auto at = result.output.find(">, "); at != std::string::npos) {
    result.output = result.output.substr(at + 3);
  }
  return result;
}

Bytes Range(const HexMemory& memory, std::uint32_t address, std::size_t size) {
  Bytes bytes(size);
  ReadHexRange(memory, address, bytes);
  return bytes;
}

TEST(HexReader, ReadsEveryRecordType) {
  // 04 then data, 02 (segment 0x1000 -> 0x10000) then data, 03 and 05 start addresses; LF line ends.
  const ReadResult result = Read(
      ":020000040800F2\n:0400000001020304F2\n:020000021000EC\n:02001000AABB89\n"
      ":0400000300001000E9\n:0400000508000000EF\n:00000001FF\n");
  ASSERT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(Range(result.memory, 0x08000000, 4), (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(Range(result.memory, 0x00010010, 2), (Bytes{0xAA, 0xBB}));
  EXPECT_EQ(HexByteCount(result.memory), 6U);
}

TEST(HexReader, LaterRecordWinsAndRangesWrap) {
  const ReadResult result =
      Read(":02000004FFFFFC\r\n:02FFFF001122CD\r\n:020000040000FA\r\n:0100000033CC\r\n:00000001FF\r\n");
  ASSERT_EQ(result.status, 0) << result.output;
  // 0xFFFFFFFF holds 0x11; the byte after it wrapped to 0 and was overwritten by 0x33.
  EXPECT_EQ(Range(result.memory, 0xFFFFFFFF, 2), (Bytes{0x11, 0x33}));
  Bytes out(3);
  EXPECT_EQ(ReadHexRange(result.memory, 0xFFFFFFFF, out), 2U);  // the third byte is missing
  EXPECT_EQ(out[2], 0xFF);
}

TEST(HexReader, NamesTheLineOfEachMalformation) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {":0100000033CC\nX\n:00000001FF\n", "line 2: record does not start with ':'\n"},
      {":01000000G3CC\n:00000001FF\n", "line 1: bad character\n"},
      {":0100000033C\n:00000001FF\n", "line 1: odd number of hex digits\n"},
      {":02000000330C\n:00000001FF\n", "line 1: byte count does not match the record's length\n"},
      {":0100000033CD\n:00000001FF\n", "line 1: bad checksum\n"},
      {":000000\n", "line 1: record too short\n"},
      {":00000006FA\n:00000001FF\n", "line 1: unknown record type\n"},
      {":0100000433C8\n:00000001FF\n", "line 1: address record of the wrong length\n"},
      {":00000001FF\n:0100000033CC\n", "line 2: data after the end-of-file record\n"},
      {":0100000033CC\n", "line 1: missing end-of-file record\n"},
      {"", "line 0: missing end-of-file record\n"},
      {":0100000033CC\n\n:00000001FF\n", "line 2: record does not start with ':'\n"},
  };
  for (const auto& [content, message] : cases) {
    const ReadResult result = Read(content);
    EXPECT_EQ(result.status, -1) << content;
    EXPECT_EQ(result.output, message) << content;
  }
}

TEST(HexReader, ReadsWhatOtherToolsWrite) {
  const TempDir dir;
  const Bytes image = testsupport::PatternImage(70000, 4);
  testsupport::WriteBytes(dir.File("image.bin"), image);
  const std::vector<std::string> writers = {
      // 02 segment records and a 03 start address
      "srec_cat " + dir.File("image.bin") + " -binary -offset 0x1F000 -execution-start-address=0x1F000 -o " +
          dir.File("seg.hex") + " -intel --address-length=3",
      // 04 linear records and a 05 start address
      "srec_cat " + dir.File("image.bin") + " -binary -offset 0x1F000 -execution-start-address=0x1F000 -o " +
          dir.File("lin.hex") + " -intel",
      "objcopy -I binary -O ihex --change-addresses 0x1F000 " + dir.File("image.bin") + " " +
          dir.File("obj.hex"),
  };
  for (const std::string& command : writers) {
    ASSERT_EQ(testsupport::RunCommand(command + " 2>&1").status, 0) << command;
  }
  for (const char* name : {"seg.hex", "lin.hex", "obj.hex"}) {
    HexMemory memory;
    testing::internal::CaptureStdout();
    const int status = ReadHexFile(dir.File(name).c_str(), memory);
    const std::string output = testing::internal::GetCapturedStdout();
    ASSERT_EQ(status, 0) << name << ": " << output;
    EXPECT_EQ(Range(memory, 0x1F000, image.size()), image) << name;
    EXPECT_EQ(HexByteCount(memory), image.size()) << name;
  }
}

}  // namespace
