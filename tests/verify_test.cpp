// SPDX-License-Identifier: Apache-2.0
// Ravelverify against tampered outputs of Ravelsign: each change must be
// caught by the check that guards it.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace {

using testsupport::CommandResult;
using testsupport::TempDir;

const std::string kSigner = testsupport::ToolPath("RAVELSIGN", RAVELSIGN_PATH);
const std::string kVerifier = testsupport::ToolPath("RAVELVERIFY", RAVELVERIFY_PATH);

constexpr std::uint32_t kCode = 0x10000000;
constexpr std::uint32_t kInfo = 0x1003F000;

std::string Info(const std::string& publicX) {
  return "CODE_EXE_ADDR = 0x10000000\nINFO_ADDR = 0x1003F000\n" + testsupport::TestKeyLines(publicX);
}

// A record with its checksum, as a programmer's file would carry it.
std::string Record(std::uint8_t type, std::uint16_t offset, const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> bytes;
  bytes.push_back(static_cast<std::uint8_t>(data.size()));
  bytes.push_back(static_cast<std::uint8_t>(offset >> 8U));
  bytes.push_back(static_cast<std::uint8_t>(offset));
  bytes.push_back(type);
  unsigned sum = 0;
  for (const auto byte : data) {
    bytes.push_back(byte);
  }
  for (const auto byte : bytes) {
    sum += byte;
  }
  bytes.push_back(static_cast<std::uint8_t>(0x100U - (sum & 0xFFU)));
  return ":" + testsupport::ToHex(bytes) + "\r\n";
}

// Overrides one byte by records placed before the end-of-file record: the later record wins.
std::string FlipBit(std::string hex, std::uint32_t address, std::uint8_t original) {
  const std::string patch =
      Record(0x04, 0,
             {static_cast<std::uint8_t>(address >> 24U), static_cast<std::uint8_t>(address >> 16U)}) +
      Record(0x00, static_cast<std::uint16_t>(address), {static_cast<std::uint8_t>(original ^ 0x01U)});
  hex.insert(hex.size() - 13, patch);
  return hex;
}

struct Tamper {
  const char* name;
  std::uint32_t address;  // 0: no byte flipped
  std::string failedChecks;
};

TEST(Verifier, CatchesEachTamperingWithTheRightCheck) {
  const TempDir dir;
  const auto image = testsupport::PatternImage(1000, 21);
  testsupport::WriteBytes(dir.File("app.bin"), image);
  testsupport::WriteFile(dir.File("keys.txt"), Info(testsupport::kTestPublicX));
  ASSERT_EQ(testsupport::RunTool(kSigner, {dir.File("keys.txt"), dir.File("app.bin")}).status, 0);
  const std::string hex = testsupport::ReadFile(dir.File("app_SBoot.hex"));
  const auto patched = testsupport::PatchedImage(image, kInfo);
  const auto block = testsupport::ReadHexWithSrecCat(dir.File("app_SBoot.hex"), kInfo, 272);

  const std::vector<Tamper> cases = {
      {"image byte", kCode + 0x100, "3"},        {"header magic", kCode + 0x1C, "13"},
      {"header check word", kCode + 0x28, "13"}, {"INFO constant 1", kInfo + 0x40, "24"},
      {"INFO constant 24", kInfo + 0x44, "24"},  {"execution address", kInfo + 0x48, "24"},
      {"image length", kInfo + 0x4C, "34"},      {"INFO constant 12", kInfo + 0x60, "24"},
      {"image digest", kInfo + 0x70, "34"},      {"signature r", kInfo + 0x90, "4"},
      {"signature s", kInfo + 0xB0, "4"},
  };
  for (const auto& c : cases) {
    const std::uint8_t original = c.address >= kInfo ? block[c.address - kInfo] : patched[c.address - kCode];
    testsupport::WriteFile(dir.File("tampered.hex"), FlipBit(hex, c.address, original));
    const CommandResult result =
        testsupport::RunTool(kVerifier, {dir.File("keys.txt"), dir.File("tampered.hex")});
    EXPECT_EQ(result.status, 1) << c.name << "\n" << result.output;
    for (const char check : std::string("1234")) {
      const std::size_t line = result.output.find(std::string("\n") + check + ". ");
      ASSERT_NE(line, std::string::npos) << c.name;
      const std::string text = result.output.substr(line + 1, result.output.find('\n', line + 1) - line - 1);
      const bool failed = text.ends_with(": FAILED");
      EXPECT_EQ(failed, c.failedChecks.find(check) != std::string::npos) << c.name << ": " << text;
    }
  }

  // A wrong public key fails the signature check alone.
  testsupport::WriteFile(dir.File("wrong.txt"),
                         Info("70FED4BA255A9D31C961EB74C6356D68C049B8923B61FA6CE669622E60F29FB6"));
  const CommandResult wrongKey =
      testsupport::RunTool(kVerifier, {dir.File("wrong.txt"), dir.File("app_SBoot.hex")});
  EXPECT_EQ(wrongKey.status, 1);
  EXPECT_NE(wrongKey.output.find(": OK\n3. "), std::string::npos);
  EXPECT_NE(wrongKey.output.find(": FAILED\nSecure boot image verification FAILED.\n"), std::string::npos);

  // A dropped record: the one holding the header words.
  std::string dropped = hex;
  const std::size_t second = dropped.find(":10001000");
  dropped.erase(second, dropped.find('\n', second) + 1 - second);
  testsupport::WriteFile(dir.File("dropped.hex"), dropped);
  const CommandResult droppedRun =
      testsupport::RunTool(kVerifier, {dir.File("keys.txt"), dir.File("dropped.hex")});
  EXPECT_EQ(droppedRun.status, 1);
  EXPECT_NE(droppedRun.output.find("not all in the file: FAILED"), std::string::npos) << droppedRun.output;

  // A truncated file cannot be read at all.
  testsupport::WriteFile(dir.File("short.hex"), hex.substr(0, hex.size() / 2));
  const CommandResult truncated =
      testsupport::RunTool(kVerifier, {dir.File("keys.txt"), dir.File("short.hex")});
  EXPECT_EQ(truncated.status, 255);
  EXPECT_TRUE(truncated.output.ends_with("Read HEX file failed!\n")) << truncated.output;
}

TEST(Verifier, NeverPrintsThePrivateKey) {
  const TempDir dir;
  testsupport::WriteBytes(dir.File("app.bin"), testsupport::PatternImage(100));
  testsupport::WriteFile(dir.File("keys.txt"), Info(testsupport::kTestPublicX) + "RANDOM_K = 1234\n");
  ASSERT_EQ(testsupport::RunTool(kSigner, {dir.File("keys.txt"), dir.File("app.bin")}).status, 0);
  const CommandResult result =
      testsupport::RunTool(kVerifier, {dir.File("keys.txt"), dir.File("app_SBoot.hex")});
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(result.output.find(testsupport::kTestPrivateKey), std::string::npos);
  EXPECT_EQ(result.output.find("PRIVATE_KEY"), std::string::npos);
  EXPECT_EQ(result.output.find("RANDOM K"), std::string::npos);
}

}  // namespace
