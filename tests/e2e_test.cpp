// SPDX-License-Identifier: Apache-2.0
// The real Ravelsign binary, judged by tools we did not write: srec_cat reads
// the HEX output back, openssl checks the digest and the signature.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace {

using testsupport::Bytes;
using testsupport::CommandResult;
using testsupport::FileExists;
using testsupport::Quote;
using testsupport::ReadFile;
using testsupport::TempDir;

const std::string kTool = testsupport::ToolPath("RAVELSIGN", RAVELSIGN_PATH);

const char* const kUsage =
    "Usage:\n\r  Ravelsign <info file> <boot file>\r\n  <info file>     secure boot information file\r\n"
    "  <boot file>     secure boot image\r\n";

std::string InfoFile(const std::string& codeExeAddr, const std::string& infoAddr, bool fixedK = true) {
  std::string text = "# test key pair: public, never for production\n";
  if (!codeExeAddr.empty()) {
    text += "CODE_EXE_ADDR = " + codeExeAddr + "\n";
  }
  if (!infoAddr.empty()) {
    text += "INFO_ADDR = " + infoAddr + "\n";
  }
  if (fixedK) {
    text += std::string("RANDOM_K = ") + testsupport::kTestRandomK + "\n";
  }
  return text + testsupport::TestKeyLines();
}

struct Signed {
  CommandResult result;
  std::string hexPath;
};

Signed SignImage(const TempDir& dir, const Bytes& image, const std::string& info) {
  testsupport::WriteBytes(dir.File("app.bin"), image);
  testsupport::WriteFile(dir.File("keys.txt"), info);
  return {testsupport::RunTool(kTool, {dir.File("keys.txt"), dir.File("app.bin")}),
          dir.File("app_SBoot.hex")};
}

TEST(EndToEnd, UsageForFewerThanTwoArguments) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, std::vector<std::string>{"only.txt"}}) {
    const CommandResult result = testsupport::RunTool(kTool, args);
    EXPECT_EQ(result.status, 255);
    EXPECT_EQ(result.output, kUsage);
  }
}

TEST(EndToEnd, FixedNonceGivesByteIdenticalOutput) {
  const TempDir dir;
  const Bytes image = testsupport::PatternImage(4096, 5);
  const Signed first = SignImage(dir, image, InfoFile("0", "0x20000"));
  const std::string firstHex = ReadFile(first.hexPath);
  const Signed second = SignImage(dir, image, InfoFile("0", "0x20000"));
  EXPECT_EQ(first.result.output, second.result.output);
  EXPECT_EQ(firstHex, ReadFile(second.hexPath));
}

TEST(EndToEnd, GeneratedNonceSignatureVerifiesWithOpenssl) {
  const TempDir dir;
  std::vector<Bytes> signatures;
  for (int run = 0; run < 2; ++run) {
    const Signed signedRun =
        SignImage(dir, testsupport::PatternImage(300, 9), InfoFile("0x8000000", "0x8040000", false));
    ASSERT_EQ(signedRun.result.status, 0);
    const Bytes block = testsupport::ReadHexWithSrecCat(signedRun.hexPath, 0x8040000, 272);
    EXPECT_TRUE(testsupport::OpensslVerify(dir, Bytes(block.begin(), block.begin() + 0x90),
                                           testsupport::kTestPublicX, testsupport::kTestPublicY,
                                           Bytes(block.begin() + 0x90, block.begin() + 0xB0),
                                           Bytes(block.begin() + 0xB0, block.begin() + 0xD0)));
    signatures.emplace_back(block.begin() + 0x90, block.begin() + 0xD0);
  }
  // A fresh nonce each run: the operating system's source is really drawn from.
  EXPECT_NE(signatures[0], signatures[1]);
}

struct FailureCase {
  const char* name;
  std::string info;    // path of the information file
  std::string boot;    // path of the boot image
  std::string output;  // whole console output
};

TEST(EndToEnd, FailuresStopTheRunAndLeaveNoOutput) {
  const TempDir dir;
  testsupport::WriteBytes(dir.File("app.bin"), testsupport::PatternImage(64));
  testsupport::WriteFile(dir.File("keys.txt"), InfoFile("0", "0x1000"));
  std::filesystem::create_directory(dir.File("blocked.bin"));
  testsupport::WriteBytes(dir.File("blocked"), testsupport::PatternImage(64));
  std::filesystem::create_directory(dir.File("blocked_SBoot.hex"));
  testsupport::WriteBytes(dir.File("large.bin"), testsupport::PatternImage(262144));
  const std::string ok = "Boot image read OK. File length is 64.\n";
  // Linux opens a directory and fails on the first read; Windows refuses to
  // open it at all.
  const bool windows = kTool.ends_with(".exe");
  const std::vector<FailureCase> cases = {
      {"boot image missing", dir.File("keys.txt"), dir.File("none.bin"),
       "Failed to open boot image file <" + dir.File("none.bin") + ">!\nRead boot image file failed!\n"},
      {"boot image is a directory", dir.File("keys.txt"), dir.File("blocked.bin"),
       (windows ? "Failed to open boot image file <" + dir.File("blocked.bin") + ">!\n"
                : std::string("Boot image read error!!\n")) +
           "Read boot image file failed!\n"},
      {"image of exactly 256 KiB", dir.File("keys.txt"), dir.File("large.bin"),
       "Boot image read error!!\nRead boot image file failed!\n"},
      {"information file missing", dir.File("none.txt"), dir.File("app.bin"),
       ok + "Failed to open information file <" + dir.File("none.txt") +
           ">!\nParse information file failed!\n"},
      {"information file is a directory", dir.path.string(), dir.File("app.bin"),
       ok + (windows ? "Failed to open" : "Failed to read") + " information file <" + dir.path.string() +
           ">!\nParse information file failed!\n"},
  };
  for (const auto& c : cases) {
    const CommandResult result = testsupport::RunTool(kTool, {c.info, c.boot});
    EXPECT_EQ(result.status, 255) << c.name;
    EXPECT_EQ(result.output, c.output) << c.name;
  }
  for (const char* name : {"app_SBoot.hex", "none_SBoot.hex", "large_SBoot.hex"}) {
    EXPECT_FALSE(FileExists(dir.File(name))) << name;
  }

  // The output name is taken by a directory: it cannot be created.
  const CommandResult blocked = testsupport::RunTool(kTool, {dir.File("keys.txt"), dir.File("blocked")});
  EXPECT_EQ(blocked.status, 255);
  EXPECT_TRUE(
      blocked.output.ends_with("Cannot create output file <" + dir.File("blocked_SBoot.hex") + ">!\n"))
      << blocked.output;
}

TEST(EndToEnd, FailedWriteRemovesThePartialFile) {
  const TempDir dir;
  testsupport::WriteBytes(dir.File("app.bin"), testsupport::PatternImage(200000));
  testsupport::WriteFile(dir.File("keys.txt"), InfoFile("0", "0x40000"));
  // The file-size limit stops the write part way; SIGXFSZ is ignored so the
  // write fails with EFBIG instead of killing the process.
  const CommandResult result = testsupport::RunCommand(
      "trap '' XFSZ; ulimit -f 64; exec " +
      testsupport::ToolCommandLine(kTool, {dir.File("keys.txt"), dir.File("app.bin")}));
  EXPECT_EQ(result.status, 255);
  EXPECT_TRUE(result.output.ends_with("Cannot write output file <" + dir.File("app_SBoot.hex") + ">!\n"))
      << result.output;
  EXPECT_FALSE(FileExists(dir.File("app_SBoot.hex")));
}

TEST(EndToEnd, OverlongOutputNameIsRefusedBeforeAnythingIsWritten) {
  const TempDir dir;
  // Components of at most 255 characters, nested to reach the name limit.
  std::string path = dir.path.string();
  while (path.size() < 420) {
    path += "/" + std::string(std::min<std::size_t>(200, 420 - path.size()), 'd');
  }
  std::filesystem::create_directories(path);
  testsupport::WriteFile(dir.File("keys.txt"), InfoFile("0", "0x1000"));
  const std::size_t room = 511 - 10 - path.size() - 1;  // what fits after "<path>/"
  const std::string fits = path + "/" + std::string(room, 'f');
  const std::string tooLong = path + "/" + std::string(room + 1, 'g');
  testsupport::WriteBytes(fits, testsupport::PatternImage(16));
  testsupport::WriteBytes(tooLong, testsupport::PatternImage(16));

  const CommandResult okRun = testsupport::RunTool(kTool, {dir.File("keys.txt"), fits});
  EXPECT_EQ(okRun.status, 0) << okRun.output;
  const std::string fitsOutput = fits + "_SBoot.hex";
  EXPECT_EQ(fitsOutput.size(), 511U);
  EXPECT_TRUE(FileExists(fitsOutput));

  const CommandResult longRun = testsupport::RunTool(kTool, {dir.File("keys.txt"), tooLong});
  EXPECT_EQ(longRun.status, 255);
  EXPECT_EQ(longRun.output,
            "Boot image read OK. File length is 16.\nOutput file name is too long for <" + tooLong + ">!\n");
  EXPECT_FALSE(FileExists(tooLong + "_SBoot.hex"));
}

TEST(FaultInjection, ReadOnlyOutputDirectory) {
  if (geteuid() == 0) {
    GTEST_SKIP() << "running as root: directory permissions do not stop root";
  }
  const TempDir dir;
  const std::string sub = dir.File("ro");
  std::filesystem::create_directory(sub);
  testsupport::WriteBytes(sub + "/app.bin", testsupport::PatternImage(64));
  testsupport::WriteFile(dir.File("keys.txt"), InfoFile("0", "0x1000"));
  std::filesystem::permissions(sub, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  const CommandResult result = testsupport::RunTool(kTool, {dir.File("keys.txt"), sub + "/app.bin"});
  std::filesystem::permissions(sub, std::filesystem::perms::owner_all);
  EXPECT_EQ(result.status, 255);
  EXPECT_TRUE(result.output.ends_with("Cannot create output file <" + sub + "/app_SBoot.hex>!\n"));
  EXPECT_FALSE(FileExists(sub + "/app_SBoot.hex"));
}

// Nothing in an information file's content stops the run: without a usable
// key the signature fails, is reported, and the output is still written.
TEST(FaultInjection, UnusableInformationFilesStillGiveAnOutput) {
  const TempDir dir;
  testsupport::WriteBytes(dir.File("app.bin"), testsupport::PatternImage(64));
  const Bytes binary = testsupport::PatternImage(4096, 99);
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"empty", ""},
      {"random binary", std::string(binary.begin(), binary.end())},
      {"one line of 1 MiB", "PRIVATE_KEY = " + std::string(1 << 20, 'x') + "\n"},
  };
  for (const auto& [name, content] : cases) {
    testsupport::WriteFile(dir.File("keys.txt"), content);
    std::filesystem::remove(dir.File("app_SBoot.hex"));
    const CommandResult result = testsupport::RunTool(kTool, {dir.File("keys.txt"), dir.File("app.bin")});
    EXPECT_EQ(result.status, 0) << name;
    EXPECT_NE(result.output.find("ECDSA sign failed!\nECDSA verify failed!\nr = []\ns = []\n"),
              std::string::npos)
        << name;
    EXPECT_TRUE(FileExists(dir.File("app_SBoot.hex"))) << name;
  }
}

TEST(FaultInjection, SameFileAsBothArguments) {
  const TempDir dir;
  testsupport::WriteFile(dir.File("both.txt"), InfoFile("0", "0x1000"));
  const std::string before = ReadFile(dir.File("both.txt"));
  const CommandResult result = testsupport::RunTool(kTool, {dir.File("both.txt"), dir.File("both.txt")});
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_NE(result.output.find("ECDSA sign success.\nECDSA verify OK.\n"), std::string::npos);
  EXPECT_EQ(ReadFile(dir.File("both.txt")), before);  // the input is never written
  const Bytes image = testsupport::ReadHexWithSrecCat(dir.File("both_SBoot.hex"), 0, 16);
  EXPECT_EQ(std::string(image.begin(), image.begin() + 16), before.substr(0, 16));
}

}  // namespace
