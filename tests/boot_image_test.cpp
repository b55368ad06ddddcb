// SPDX-License-Identifier: Apache-2.0
#include "app/boot_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/program_state.h"
#include "tests/test_support.h"

namespace {

using testsupport::TempDir;

int Load(const std::string& path) {
  testing::internal::CaptureStdout();
  const int status = ReadBootImage(path.c_str());
  testing::internal::GetCapturedStdout();
  return status;
}

// Sizes, the 256 KiB limit, missing files and directories are covered
// through the binary (e2e_test.cpp, e2e_table_test.cpp).
TEST(BootImage, ShorterImageAfterLongerLeavesZeros) {
  const TempDir dir;
  testsupport::WriteBytes(dir.File("long.bin"), testsupport::Bytes(4096, 0xEE));
  testsupport::WriteBytes(dir.File("short.bin"), testsupport::Bytes(10, 0x11));
  ASSERT_EQ(Load(dir.File("long.bin")), 0);
  ASSERT_EQ(Load(dir.File("short.bin")), 0);
  EXPECT_EQ(BootImage.length, 10);
  EXPECT_TRUE(std::all_of(BootImage.bytes.begin() + 10, BootImage.bytes.end(),
                          [](std::uint8_t byte) { return byte == 0; }));
}

}  // namespace
