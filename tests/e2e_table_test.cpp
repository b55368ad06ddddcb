// SPDX-License-Identifier: Apache-2.0
// Image sizes and load addresses across 64 KiB boundaries and the top of the
// address space: srec_cat (or objcopy for the wrap) reads every output back
// and openssl checks the stored digest and the signature.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace {

using testsupport::Bytes;

const std::string kTool = testsupport::ToolPath("RAVELSIGN", RAVELSIGN_PATH);
const std::string kVerifier = testsupport::ToolPath("RAVELVERIFY", RAVELVERIFY_PATH);

struct Layout {
  const char* name;
  std::size_t size;
  std::uint32_t codeExeAddr;
  std::int64_t infoAddr;  // -1: no INFO_ADDR line, the default 0xFFFFFFFF
};

std::string HexText(std::uint32_t value) {
  std::array<char, 16> text{};
  std::snprintf(text.data(), text.size(), "%X", value);
  return text.data();
}

class SignedLayout : public testing::TestWithParam<Layout> {};

TEST_P(SignedLayout, IndependentToolsAgreeWithTheOutput) {
  const Layout& layout = GetParam();
  const testsupport::TempDir dir;
  const Bytes image = testsupport::PatternImage(layout.size, static_cast<unsigned>(layout.size + 1));
  testsupport::WriteBytes(dir.File("app.bin"), image);
  std::string info = "CODE_EXE_ADDR = 0x" + HexText(layout.codeExeAddr) + "\n";
  if (layout.infoAddr >= 0) {
    info += "INFO_ADDR = 0x" + HexText(static_cast<std::uint32_t>(layout.infoAddr)) + "\n";
  }
  info += testsupport::TestKeyLines();
  testsupport::WriteFile(dir.File("keys.txt"), info);
  const auto run = testsupport::RunTool(kTool, {dir.File("keys.txt"), dir.File("app.bin")});
  ASSERT_EQ(run.status, 0) << run.output;
  const std::string hexPath = dir.File("app_SBoot.hex");

  const auto infoAddr = static_cast<std::uint32_t>(layout.infoAddr >= 0 ? layout.infoAddr : 0xFFFFFFFF);
  // The image as it must appear: header words patched, rounded up with zeros.
  Bytes patched = testsupport::PatchedImage(image, infoAddr);
  testsupport::WriteBytes(
      dir.File("patched.bin"),
      Bytes(patched.begin(), patched.begin() + static_cast<std::ptrdiff_t>(image.size())));
  const std::size_t rounded = (image.size() + 15) / 16 * 16;
  patched.resize(rounded, 0);

  const bool wraps = std::uint64_t{infoAddr} + 272 > 0x100000000ULL;
  const Bytes block = wraps ? testsupport::ReadHexWithObjcopy(hexPath, infoAddr, 272)
                            : testsupport::ReadHexWithSrecCat(hexPath, infoAddr, 272);
  bool overlaps = false;
  if (rounded != 0) {
    Bytes fromHex =
        testsupport::ReadHexWithSrecCat(hexPath, layout.codeExeAddr, static_cast<std::uint32_t>(rounded));
    // Where the INFO block overlaps the image, the INFO block's records come last and win.
    for (std::size_t i = 0; i < rounded; ++i) {
      const std::uint32_t offset = layout.codeExeAddr + static_cast<std::uint32_t>(i) - infoAddr;
      if (offset < 272) {
        patched[i] = block[offset];
        overlaps = true;
      }
    }
    EXPECT_TRUE(fromHex == patched) << layout.name;
  }

  const std::string imageSha = testsupport::OpensslSha256(dir.File("patched.bin"));
  EXPECT_EQ(testsupport::ToHex(Bytes(block.begin() + 0x70, block.begin() + 0x90)),
            testsupport::ToHex(testsupport::FromHex(imageSha)));
  const Bytes r(block.begin() + 0x90, block.begin() + 0xB0);
  const Bytes s(block.begin() + 0xB0, block.begin() + 0xD0);
  EXPECT_TRUE(testsupport::OpensslVerify(dir, Bytes(block.begin(), block.begin() + 0x90),
                                         testsupport::kTestPublicX, testsupport::kTestPublicY, r, s));

  // The console shows what was signed: the image's digest, the stored r and s.
  EXPECT_TRUE(run.output.starts_with("Boot image read OK. File length is " + std::to_string(layout.size) +
                                     ".\nCODE_EXE_ADDR = 0x"))
      << run.output;
  EXPECT_NE(run.output.find("\nImage SHA: " + imageSha + "\n"), std::string::npos) << run.output;
  // mbed TLS prints no leading zero bytes.
  const auto printed = [](const Bytes& value) {
    const std::string hex = testsupport::ToHex(value);
    std::size_t zeros = 0;
    while (zeros + 2 < hex.size() && hex.compare(zeros, 2, "00") == 0) {
      zeros += 2;
    }
    return hex.substr(zeros);
  };
  EXPECT_TRUE(run.output.ends_with("ECDSA sign success.\nECDSA verify OK.\nr = [" + printed(r) +
                                   "]\ns = [" + printed(s) +
                                   "]\nOutput secure boot image: " + hexPath + "\n"))
      << run.output;

  // The verifier accepts every output whose image holds all four header
  // words and is not overwritten by the INFO block.
  const auto verify = testsupport::RunTool(kVerifier, {dir.File("keys.txt"), hexPath});
  if (layout.size < 0x2C) {
    EXPECT_EQ(verify.status, 1) << verify.output;
    EXPECT_NE(verify.output.find(": not all in the file: FAILED\n2. "), std::string::npos) << verify.output;
  } else if (overlaps) {
    EXPECT_EQ(verify.status, 1) << verify.output;
    EXPECT_NE(verify.output.find("3. Image SHA-256: "), std::string::npos);
  } else {
    EXPECT_EQ(verify.status, 0) << verify.output;
    EXPECT_TRUE(verify.output.ends_with("Secure boot image verified OK.\n"));
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, SignedLayout,
                         testing::Values(Layout{"empty", 0, 0x10000000, 0x1003F000},
                                         Layout{"one byte", 1, 0x10000000, 0x1003F000},
                                         Layout{"17 bytes", 17, 0x10000000, 0x1003F000},
                                         Layout{"49 bytes", 49, 0x10000000, 0x1003F000},
                                         Layout{"64 KiB", 65536, 0, 0x20000},
                                         Layout{"64 KiB + 16", 65552, 0, 0x20000},
                                         Layout{"largest", 262143, 0x08000000, 0x08040000}),
                         [](const auto& testParam) { return "Size" + std::to_string(testParam.param.size); });

INSTANTIATE_TEST_SUITE_P(Addresses, SignedLayout,
                         testing::Values(Layout{"unaligned", 1000, 0x10000003, 0x20000007},
                                         Layout{"ending at 64 KiB", 4096, 0x0000F000, 0x0003FEF0},
                                         Layout{"straddling 64 KiB", 4104, 0x0002FFF8, 0x0004FF80},
                                         Layout{"starting on 64 KiB", 4096, 0x00060000, 0x00070000},
                                         Layout{"default INFO_ADDR wraps", 4096, 0x10000000, -1},
                                         Layout{"INFO block overlaps the image", 4096, 0x00010000,
                                                0x00010800}),
                         [](const auto& testParam) {
                           std::string name = testParam.param.name;
                           std::replace_if(
                               name.begin(), name.end(),
                               [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
                           return name;
                         });

}  // namespace
