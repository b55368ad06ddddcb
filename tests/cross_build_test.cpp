// SPDX-License-Identifier: Apache-2.0
// The Windows executables against the Linux build: for the same inputs and a
// fixed RANDOM_K, every console byte, exit status and output file byte must be
// the same. Both run in the same directory with relative paths, so that the
// names they print agree. The Windows build is named by RAVELSIGN_WINDOWS and
// RAVELVERIFY_WINDOWS and started through wine (scripts/test-onWindows.sh).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace {

using testsupport::Bytes;
using testsupport::TempDir;

using testsupport::kTestRandomK;

std::string Keys() {
  return testsupport::TestKeyLines() + "RANDOM_K = " + kTestRandomK + "\n";
}

struct Outcome {
  int status;
  std::string console;
  bool hexWritten;
  std::string hex;
};

// Runs one build in `dir` and takes its output file away for the next one.
Outcome RunIn(const TempDir& dir, const std::string& binary, const std::vector<std::string>& arguments,
              const std::string& outputName) {
  const auto result = testsupport::RunCommand("cd " + testsupport::Quote(dir.path.string()) + " && " +
                                              testsupport::ToolCommandLine(binary, arguments));
  Outcome outcome{result.status, result.output, testsupport::FileExists(dir.File(outputName)), {}};
  if (outcome.hexWritten) {
    outcome.hex = testsupport::ReadFile(dir.File(outputName));
    std::filesystem::remove(dir.File(outputName));
  }
  return outcome;
}

struct CrossCase {
  const char* name;
  std::string info;                    // written as keys.txt
  Bytes image;                         // written as app.bin
  std::vector<std::string> arguments;  // default: keys.txt app.bin
  std::string outputName = "app_SBoot.hex";
};

class CrossBuild : public testing::Test {
 protected:
  void SetUp() override {
    const char* sign = std::getenv("RAVELSIGN_WINDOWS");
    const char* verify = std::getenv("RAVELVERIFY_WINDOWS");
    if (sign == nullptr || verify == nullptr) {
      GTEST_SKIP() << "RAVELSIGN_WINDOWS and RAVELVERIFY_WINDOWS name no Windows build";
    }
    windowsSign = sign;
    windowsVerify = verify;
  }

  // Both builds on one case; then, for a signed output, both verifiers on it.
  void ExpectSameBehaviour(const CrossCase& c) const {
    const TempDir dir;
    testsupport::WriteFile(dir.File("keys.txt"), c.info);
    testsupport::WriteBytes(dir.File("app.bin"), c.image);
    std::filesystem::create_directory(dir.File("sub.d"));
    testsupport::WriteBytes(dir.File("sub.d/app"), c.image);
    const std::vector<std::string> arguments =
        c.arguments.empty() ? std::vector<std::string>{"keys.txt", "app.bin"} : c.arguments;

    const Outcome onLinux = RunIn(dir, RAVELSIGN_PATH, arguments, c.outputName);
    const Outcome onWindows = RunIn(dir, windowsSign, arguments, c.outputName);
    EXPECT_EQ(onWindows.status, onLinux.status) << c.name;
    EXPECT_EQ(onWindows.console, onLinux.console) << c.name;
    EXPECT_EQ(onWindows.hexWritten, onLinux.hexWritten) << c.name;
    EXPECT_TRUE(onWindows.hex == onLinux.hex) << c.name << ": output files differ";
    if (!onLinux.hexWritten) {
      return;
    }

    testsupport::WriteFile(dir.File("signed.hex"), onLinux.hex);
    std::string tampered = onLinux.hex;
    char& digit = tampered[tampered.find(":10") + 9];  // first data digit: the checksum no longer fits
    digit = digit == '0' ? '1' : '0';
    testsupport::WriteFile(dir.File("tampered.hex"), tampered);
    for (const char* hexName : {"signed.hex", "tampered.hex"}) {
      const Outcome checkOnLinux = RunIn(dir, RAVELVERIFY_PATH, {"keys.txt", hexName}, "none");
      const Outcome checkOnWindows = RunIn(dir, windowsVerify, {"keys.txt", hexName}, "none");
      EXPECT_EQ(checkOnWindows.status, checkOnLinux.status) << c.name << ", verifying " << hexName;
      EXPECT_EQ(checkOnWindows.console, checkOnLinux.console) << c.name << ", verifying " << hexName;
    }
  }

  std::string windowsSign;
  std::string windowsVerify;
};

TEST_F(CrossBuild, SignedOutputsAreByteIdentical) {
  const std::string example = testsupport::ReadFile(RAVEL_SOURCE_DIR "/examples/sample_info.txt");
  const std::string exampleImage = testsupport::ReadFile(RAVEL_SOURCE_DIR "/examples/sample.bin");
  const std::vector<CrossCase> cases = {
      {"the bundled example",
       example + "RANDOM_K = " + kTestRandomK + "\n",
       Bytes(exampleImage.begin(), exampleImage.end()),
       {}},
      {"empty image, INFO block wrapping past the top", "CODE_EXE_ADDR = 0x10000000\n" + Keys(), {}, {}},
      {"largest image",
       "CODE_EXE_ADDR = 0x08000000\nINFO_ADDR = 0x08040000\n" + Keys(),
       testsupport::PatternImage(262143, 2),
       {}},
      {"image straddling 64 KiB",
       "CODE_EXE_ADDR = 0x2FFF8\nINFO_ADDR = 0x4FF80\n" + Keys(),
       testsupport::PatternImage(4104, 3),
       {}},
      {"CR LF, lone CR, comments and blank lines",
       "# keys\r\nCODE_EXE_ADDR = 0x100\r\rINFO_ADDR = 0x8000\r\n   \n" + Keys(),
       testsupport::PatternImage(99, 4),
       {}},
      {"overlong line, keys cut at 64 digits, unterminated last line",
       "# " + std::string(300, 'x') + "\nINFO_ADDR = 0x9000\n" + Keys() +
           "PUBLIC_KEY_1 = " + testsupport::kTestPublicX + "FFFF\nCODE_EXE_ADDR = 0x5",
       testsupport::PatternImage(64, 5),
       {}},
      {"numbers wider than 32 bits and no number at all",
       "CODE_EXE_ADDR = 123456789\nINFO_ADDR = zz\n" + Keys(),
       testsupport::PatternImage(48, 6),
       {}},
      {"image without an extension in a dotted directory",
       "INFO_ADDR = 0x4000\n" + Keys(),
       testsupport::PatternImage(32, 7),
       {"keys.txt", "sub.d/app"},
       "sub.d/app_SBoot.hex"},
  };
  for (const auto& c : cases) {
    ExpectSameBehaviour(c);
  }
}

TEST_F(CrossBuild, FailuresAreReportedAlike) {
  const Bytes image = testsupport::PatternImage(64, 8);
  const std::string mismatched = Keys() + "PUBLIC_KEY_2 = " + testsupport::kTestPublicX + "\n";
  const std::vector<CrossCase> cases = {
      {"one argument only", "", image, {"keys.txt"}},
      {"boot image missing", Keys(), image, {"keys.txt", "none.bin"}, "none_SBoot.hex"},
      {"information file missing", Keys(), image, {"none.txt", "app.bin"}},
      {"image of 256 KiB", Keys(), Bytes(262144, 0x5A), {}},
      {"no keys", std::string("RANDOM_K = ") + kTestRandomK + "\n", image, {}},
      {"public key of another pair", mismatched, image, {}},
      {"private key zero", std::string("PRIVATE_KEY = 0\nRANDOM_K = ") + kTestRandomK + "\n", image, {}},
  };
  for (const auto& c : cases) {
    ExpectSameBehaviour(c);
  }
}

}  // namespace
