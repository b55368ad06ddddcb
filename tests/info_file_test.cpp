// SPDX-License-Identifier: Apache-2.0
#include "infofile/info_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/program_state.h"
#include "tests/test_support.h"

namespace {

using testsupport::TempDir;

struct ParseResult {
  int status;
  std::string echo;
  std::uint32_t codeExeAddr;
  std::uint32_t infoAddr;
  std::string randomK;
  std::string privateKey;
  std::string publicKey1;
  std::string publicKey2;
};

ParseResult Parse(const std::string& content) {
  const TempDir dir;
  const std::string path = dir.File("info.txt");
  testsupport::WriteFile(path, content);
  InfoBlock.fill(0);
  ResetInfoSettings();
  testing::internal::CaptureStdout();
  const int status = ParseInfoFile(path.c_str());
  const std::string echo = testing::internal::GetCapturedStdout();
  return {status,
          echo,
          CodeExeAddr(),
          InfoSettings.INFO_ADDR,
          InfoSettings.RANDOM_K.data(),
          InfoSettings.PRIVATE_KEY.data(),
          InfoSettings.PUBLIC_KEY_1.data(),
          InfoSettings.PUBLIC_KEY_2.data()};
}

const std::string kKeyLines[] = {
    "CODE_EXE_ADDR = 0x10000000", "INFO_ADDR = 0x1003F000",  "RANDOM_K = 0123abcd",
    "PRIVATE_KEY = C9AFA9D8",     "PUBLIC_KEY_1 = 60FED4BA", "PUBLIC_KEY_2 = 7903FE10",
};
const std::string kKeyEcho =
    "CODE_EXE_ADDR = 0x10000000\nINFO_ADDR = 0x1003f000\nRANDOM K: [0123abcd]\n"
    "PRIVATE_KEY: [C9AFA9D8]\nPUBLIC_KEY_1: [60FED4BA]\nPUBLIC_KEY_2: [7903FE10]\n";

std::string Join(const std::string& lineEnd) {
  std::string content;
  for (const auto& line : kKeyLines) {
    content += line + lineEnd;
  }
  return content;
}

TEST(InfoFile, LfCrAndCrLfReadAlike) {
  for (const char* lineEnd : {"\n", "\r", "\r\n"}) {
    const ParseResult result = Parse(Join(lineEnd));
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.echo, kKeyEcho);
    EXPECT_EQ(result.codeExeAddr, 0x10000000U);
    EXPECT_EQ(result.infoAddr, 0x1003F000U);
    EXPECT_EQ(result.randomK, "0123abcd");
    EXPECT_EQ(result.publicKey2, "7903FE10");
  }
}

TEST(InfoFile, UnterminatedLastLineIsIgnored) {
  const ParseResult unterminated = Parse("INFO_ADDR = 0x1000\nPRIVATE_KEY = 1234");
  EXPECT_EQ(unterminated.echo, "INFO_ADDR = 0x1000\n");
  EXPECT_EQ(unterminated.privateKey, "");
  for (const char* end : {"\n", "\r"}) {
    EXPECT_EQ(Parse(std::string("INFO_ADDR = 0x1000\nPRIVATE_KEY = 1234") + end).privateKey, "1234");
  }
}

TEST(InfoFile, EmptyFileKeepsDefaults) {
  const ParseResult result = Parse("");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.echo, "");
  EXPECT_EQ(result.codeExeAddr, 0U);
  EXPECT_EQ(result.infoAddr, 0xFFFFFFFFU);
  EXPECT_EQ(result.randomK + result.privateKey + result.publicKey1 + result.publicKey2, "");
}

struct LineCase {
  const char* name;
  std::string content;
  std::string echo;
};

TEST(InfoFile, LineRulesDecideWhatIsAKeyLine) {
  const std::vector<LineCase> cases = {
      {"indented key", "   INFO_ADDR = 10\n", "INFO_ADDR = 0x10\n"},
      {"tab before key", "\tINFO_ADDR = 10\n", ""},
      {"lower case key", "info_addr = 10\n", ""},
      {"hash comment", "#INFO_ADDR = 10\n", ""},
      {"semicolon comment", ";INFO_ADDR = 10\n", ""},
      {"indented comment", "  # INFO_ADDR = 10\n", ""},
      {"short line", "INFO_\n", ""},
      {"unknown key", "LOAD_ADDR = 10\n", ""},
      {"byte-order mark hides first line", "\xEF\xBB\xBFINFO_ADDR = 10\nINFO_ADDR = 20\n",
       "INFO_ADDR = 0x20\n"},
      {"NUL ends the text", std::string("PRIVATE_KEY = AB\0CD\n", 20), "PRIVATE_KEY: [AB]\n"},
      {"NUL makes a line short", std::string("INF\0O_ADDR = 10\n", 16), ""},
      {"word starting with a key", "RANDOM_KEY=1234\n", "RANDOM K: [EY=1234]\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Parse(c.content).echo, c.echo) << c.name;
  }
}

TEST(InfoFile, SeparatorsAndNumberForms) {
  const std::vector<LineCase> cases = {
      {"spaces and equals", "INFO_ADDR = 1A2b\n", "INFO_ADDR = 0x1a2b\n"},
      {"several equals", "INFO_ADDR==== 0x1A2B\n", "INFO_ADDR = 0x1a2b\n"},
      {"mixed", "INFO_ADDR = = =0X1a2B\n", "INFO_ADDR = 0x1a2b\n"},
      {"no separator", "INFO_ADDR1a2b\n", "INFO_ADDR = 0x1a2b\n"},
      {"trailing comment", "INFO_ADDR = 0x1a2b   # flash end\n", "INFO_ADDR = 0x1a2b\n"},
      {"unreadable keeps default", "INFO_ADDR = ghost\n", "INFO_ADDR = 0xffffffff\n"},
      {"unreadable keeps earlier", "INFO_ADDR = 42\nINFO_ADDR = zz\n",
       "INFO_ADDR = 0x42\nINFO_ADDR = 0x42\n"},
      {"empty number keeps zero", "CODE_EXE_ADDR =\n", "CODE_EXE_ADDR = 0x0\n"},
      {"repeated key, last wins", "CODE_EXE_ADDR = 1\nCODE_EXE_ADDR = 2\n",
       "CODE_EXE_ADDR = 0x1\nCODE_EXE_ADDR = 0x2\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Parse(c.content).echo, c.echo) << c.name;
  }
}

TEST(InfoFile, CodeExeAddrLandsInTheInfoBlock) {
  Parse("CODE_EXE_ADDR = 0x12345678\n");
  EXPECT_EQ(InfoBlock[kInfoCodeExeAddrOffset], 0x78);
  EXPECT_EQ(InfoBlock[kInfoCodeExeAddrOffset + 3], 0x12);
}

TEST(InfoFile, NumbersReadAsGlibcPercentXOnEverySystem) {
  // Our own conversion must store what glibc's "%x" stores, including for
  // numbers wider than 32 bits, where other C libraries saturate instead.
  const struct {
    const char* text;
    std::uint32_t stored;
  } cases[] = {
      {"1a2B", 0x1A2B},
      {"0x", 0},
      {"0xg", 0},
      {"-0x", 0},
      {"0x0x5", 0},
      {"0x-5", 0},
      {"\t\v\f12", 0x12},
      {"+ff", 0xFF},
      {"-1", 0xFFFFFFFF},
      {"-123456789", 0xDCBA9877},
      {"123456789", 0x23456789},
      {"0x123456789", 0x23456789},
      {"FFFFFFFFFFFFFFFF", 0xFFFFFFFF},
      {"10000000000000000", 0xFFFFFFFF},
      {"-10000000000000000", 0xFFFFFFFF},
      {"-FFFFFFFFFFFFFFFF", 1},
      {"00000000000000000000000000123", 0x123},
      {"x5", 0xFFFFFFFF},
      {"-", 0xFFFFFFFF},
      {"- 5", 0xFFFFFFFF},
      {"+-5", 0xFFFFFFFF},
  };
  for (const auto& c : cases) {
    unsigned int glibc = 0xFFFFFFFF;
    // NOLINTNEXTLINE(cert-err34-c): the reference whose results are matched
    static_cast<void>(std::sscanf(c.text, "%x", &glibc));
    const std::uint32_t parsed = Parse(std::string("INFO_ADDR = ") + c.text + "\n").infoAddr;
    EXPECT_EQ(parsed, glibc) << c.text;
    EXPECT_EQ(parsed, c.stored) << c.text;
  }
}

TEST(InfoFile, TextValuesAreCutAndKeepTrailingText) {
  const std::string seventy(70, 'a');
  EXPECT_EQ(Parse("PUBLIC_KEY_1 = " + seventy + "\n").publicKey1, std::string(64, 'a'));
  EXPECT_EQ(Parse("PUBLIC_KEY_1 = ABCD  ; note\n").echo, "PUBLIC_KEY_1: [ABCD  ; note]\n");
  const ParseResult emptied = Parse("PRIVATE_KEY = 1234\nPRIVATE_KEY = = \n");
  EXPECT_EQ(emptied.echo, "PRIVATE_KEY: [1234]\nPRIVATE_KEY: []\n");
  EXPECT_EQ(emptied.privateKey, "");
}

TEST(InfoFile, LongLinesSplitAt255) {
  const std::string key = "PUBLIC_KEY_2 = ";
  const std::string exact = key + std::string(255 - key.size(), 'b');
  EXPECT_EQ(Parse(exact + "\n").publicKey2, std::string(64, 'b'));
  // With CR LF the CR is the dropped 256th byte and the LF ends an empty line.
  EXPECT_EQ(Parse(exact + "\r\nINFO_ADDR = 7\n").echo,
            "PUBLIC_KEY_2: [" + std::string(64, 'b') + "]\nINFO_ADDR = 0x7\n");
  // 300 characters: 1-255 one line, the 256th lost, 257-300 the next line.
  const std::string head(255, 'x');
  EXPECT_EQ(Parse(head + "?" + "INFO_ADDR = 5" + std::string(31, ' ') + "\n").echo, "INFO_ADDR = 0x5\n");
  // When the 256th character is a key's first letter, the key is lost with it.
  EXPECT_EQ(Parse(head + "INFO_ADDR = 5" + std::string(32, ' ') + "\n").echo, "");
}

TEST(InfoFile, UnreadableFileFails) {
  const TempDir dir;
  testing::internal::CaptureStdout();
  const int missing = ParseInfoFile(dir.File("absent.txt").c_str());
  const int directory = ParseInfoFile(dir.path.c_str());
  const std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(missing, -1);
  EXPECT_EQ(directory, -1);
  EXPECT_EQ(output, "Failed to open information file <" + dir.File("absent.txt") +
                        ">!\nFailed to read information file <" + dir.path.string() + ">!\n");
}

}  // namespace
