#include "app/boot_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/program_state.h"
#include "tests/test_support.h"

namespace {

using testsupport::TempDir;

struct LoadResult {
  int status;
  std::string output;
};

LoadResult Load(const std::string& path) {
  testing::internal::CaptureStdout();
  const int status = ReadBootImage(path.c_str());
  return {status, testing::internal::GetCapturedStdout()};
}

TEST(BootImage, LoadsImagesUpToOneByteBelowTheLimit) {
  const TempDir dir;
  for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{262143}}) {
    const auto image = testsupport::PatternImage(size, 7);
    testsupport::WriteBytes(dir.File("image.bin"), image);
    const LoadResult result = Load(dir.File("image.bin"));
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, "Boot image read OK. File length is " + std::to_string(size) + ".\n");
    EXPECT_EQ(BootImage.length, static_cast<std::int32_t>(size));
    EXPECT_TRUE(std::equal(image.begin(), image.end(), BootImage.bytes.begin()));
  }
}

TEST(BootImage, RefusesMissingDirectoryAndTooLong) {
  const TempDir dir;
  testsupport::WriteBytes(dir.File("big.bin"), testsupport::Bytes(262144, 1));
  const std::vector<std::pair<std::string, std::string>> cases = {
      {dir.File("absent.bin"), "Failed to open boot image file <" + dir.File("absent.bin") + ">!\n"},
      {dir.path.string(), "Boot image read error!!\n"},
      {dir.File("big.bin"), "Boot image read error!!\n"},
  };
  for (const auto& [path, message] : cases) {
    const LoadResult result = Load(path);
    EXPECT_EQ(result.status, -1) << path;
    EXPECT_EQ(result.output, message);
  }
}

TEST(BootImage, ShorterImageAfterLongerLeavesZeros) {
  const TempDir dir;
  testsupport::WriteBytes(dir.File("long.bin"), testsupport::Bytes(4096, 0xEE));
  testsupport::WriteBytes(dir.File("short.bin"), testsupport::Bytes(10, 0x11));
  ASSERT_EQ(Load(dir.File("long.bin")).status, 0);
  ASSERT_EQ(Load(dir.File("short.bin")).status, 0);
  EXPECT_EQ(BootImage.length, 10);
  EXPECT_TRUE(std::all_of(BootImage.bytes.begin() + 10, BootImage.bytes.end(),
                          [](std::uint8_t byte) { return byte == 0; }));
}

}  // namespace
