// SPDX-License-Identifier: Apache-2.0
#include "app/output_name.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

TEST(OutputName, ReplacesTheExtensionOfTheLastComponent) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"app.bin", "app_SBoot.hex"},
      {"out/fw.2.bin", "out/fw.2_SBoot.hex"},
      {"build.d/app", "build.d/app_SBoot.hex"},
      {".bin", ".bin_SBoot.hex"},
      {"a.b/c", "a.b/c_SBoot.hex"},
      {"a.b\\c", "a.b\\c_SBoot.hex"},
      {"dir\\fw.bin", "dir\\fw_SBoot.hex"},
      {"dir/.hidden", "dir/_SBoot.hex"},
      {"app.", "app_SBoot.hex"},
      {"x", "x_SBoot.hex"},
      {std::string(200, 'p') + ".bin", std::string(200, 'p') + "_SBoot.hex"},
  };
  for (const auto& [path, expected] : cases) {
    OutputName name{};
    ASSERT_EQ(MakeOutputName(path.c_str(), name), 0) << path;
    EXPECT_EQ(std::string(name.data()), expected) << path;
  }
}

TEST(OutputName, RefusesANameLongerThan511Characters) {
  OutputName name{};
  const std::string fits = std::string(501, 'a');  // 501 + 10 = 511
  ASSERT_EQ(MakeOutputName(fits.c_str(), name), 0);
  EXPECT_EQ(std::string(name.data()).size(), 511U);
  EXPECT_EQ(MakeOutputName((fits + ".bin").c_str(), name), 0);  // the extension is cut first

  EXPECT_EQ(MakeOutputName((fits + "a").c_str(), name), -1);
  EXPECT_EQ(name[0], '\0');
  EXPECT_EQ(MakeOutputName(std::string(4000, 'b').c_str(), name), -1);
}

}  // namespace
