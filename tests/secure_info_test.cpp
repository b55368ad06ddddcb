// SPDX-License-Identifier: Apache-2.0
#include "secureinfo/secure_info.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/program_state.h"
#include "app/run.h"
#include "secureinfo/nonce.h"
#include "secureinfo/random_source.h"
#include "tests/test_support.h"

namespace {

using testsupport::Bytes;
using testsupport::FromHex;
using testsupport::kTestPrivateKey;
using testsupport::kTestPublicX;
using testsupport::kTestPublicY;
using testsupport::ToHex;

// The published P-256 / SHA-256 key pair and two signatures with their k.
const char* const kGroupOrder = "FFFFFFFF00000000FFFFFFFFFFFFFFFFBCE6FAADA7179E84F3B9CAC2FC632551";

struct KnownAnswer {
  const char* digest;
  const char* k;
  const char* r;
  const char* s;
};
const KnownAnswer kVectors[] = {
    {"AF2BDBE1AA9B6EC1E2ADE1D694F41FC71A831D0268E9891562113D8A62ADD1BF",
     "A6E3C57DD01ABE90086538398355DD4C3B17AA873382B0F24D6129493D8AAD60",
     "EFD48B2AACB6A8FD1140DD9CD45E81D69D2C877B56AAF991C34D0EA84EAF3716",
     "F7CB1C942D657C41D436C7A1B6E29F65F3E900DBB9AFF4064DC4AB2F843ACDA8"},
    {"9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08",
     "D16B6AE827F17175E040871A1C7EC3500192C4C92677336EC2537ACAEE0008E0",
     "F1ABB023518351CD71D881567B1EA663ED3EFCF6C5132B354F28D3B0B7D38367",
     "019F4113742A2B14BD25926B49C649155F267E60D3814B4C0CC84250E46F0083"},
};

void SetText(KeyText& target, const std::string& text) {
  target.fill('\0');
  std::memcpy(target.data(), text.data(), std::min(text.size(), kKeyTextMaxChars));
}

void SetKeys(const std::string& privateKey, const std::string& x, const std::string& y,
             const std::string& k) {
  InfoBlock.fill(0);
  ResetInfoSettings();
  SetText(InfoSettings.PRIVATE_KEY, privateKey);
  SetText(InfoSettings.PUBLIC_KEY_1, x);
  SetText(InfoSettings.PUBLIC_KEY_2, y);
  SetText(InfoSettings.RANDOM_K, k);
}

Sha256Digest DigestOf(const std::string& hex) {
  Sha256Digest digest{};
  const Bytes bytes = FromHex(hex);
  std::copy(bytes.begin(), bytes.end(), digest.begin());
  return digest;
}

struct SignResult {
  int status;
  std::string output;
  std::string r;  // stored field, hex
  std::string s;
};

SignResult Sign(const Sha256Digest& digest) {
  testing::internal::CaptureStdout();
  const int status = SignInfoDigest(digest);
  const std::string output = testing::internal::GetCapturedStdout();
  const auto field = [](std::size_t offset) {
    return ToHex(Bytes(InfoBlock.begin() + static_cast<std::ptrdiff_t>(offset),
                       InfoBlock.begin() + static_cast<std::ptrdiff_t>(offset + kInfoNumberSize)));
  };
  return {status, output, field(kInfoSignatureROffset), field(kInfoSignatureSOffset)};
}

// Replaces the system random source for one test.
struct RandomSourceOverride {
  explicit RandomSourceOverride(RandomSourceFn source) : previous(SetRandomSourceForTesting(source)) {}
  ~RandomSourceOverride() { SetRandomSourceForTesting(previous); }
  RandomSourceOverride(const RandomSourceOverride&) = delete;
  RandomSourceOverride& operator=(const RandomSourceOverride&) = delete;
  RandomSourceFn previous;
};

int ZeroSource(std::span<std::uint8_t> out) {
  std::fill(out.begin(), out.end(), std::uint8_t{0});
  return 0;
}
int PatternSource(std::span<std::uint8_t> out) {
  std::fill(out.begin(), out.end(), std::uint8_t{0xA5});
  return 0;
}
int FailingSource(std::span<std::uint8_t> /*out*/) {
  return -1;
}

TEST(Signing, ReproducesPublishedSignaturesForAGivenK) {
  std::string lowerK = kVectors[0].k;
  std::transform(lowerK.begin(), lowerK.end(), lowerK.begin(),
                 [](char c) { return static_cast<char>(std::tolower(c)); });
  const KnownAnswer lowerCase = {kVectors[0].digest, lowerK.c_str(), kVectors[0].r, kVectors[0].s};
  for (const auto& vector : {kVectors[0], kVectors[1], lowerCase}) {
    SetKeys(kTestPrivateKey, kTestPublicX, kTestPublicY, vector.k);
    const SignResult result = Sign(DigestOf(vector.digest));
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.r, vector.r);
    EXPECT_EQ(result.s, vector.s);
    EXPECT_EQ(result.output, std::string("random_k_hex: [") + vector.k +
                                 "]\nECDSA sign success.\nECDSA verify OK.\nr = [" + vector.r + "]\ns = [" +
                                 vector.s + "]\n");
  }
}

TEST(Signing, OddDigitIsIgnoredAndTheRestComesFromTheRandomSource) {
  const RandomSourceOverride zeros(ZeroSource);
  const std::string k62 = std::string(kVectors[1].k).substr(0, 62);
  SetKeys(kTestPrivateKey, kTestPublicX, kTestPublicY, k62 + "F");
  const SignResult odd = Sign(DigestOf(kVectors[1].digest));
  SetKeys(kTestPrivateKey, kTestPublicX, kTestPublicY, k62 + "00");
  const SignResult padded = Sign(DigestOf(kVectors[1].digest));
  EXPECT_EQ(odd.r, padded.r);
  EXPECT_EQ(odd.s, padded.s);
}

TEST(Signing, RefusedKStillSignsWithAnUnpredictableOne) {
  for (const std::string& k : {std::string("0"), std::string(64, '0'), std::string(kGroupOrder)}) {
    SetKeys(kTestPrivateKey, kTestPublicX, kTestPublicY, k);
    const SignResult first = Sign(DigestOf(kVectors[0].digest));
    EXPECT_NE(first.output.find("ECDSA sign success.\nECDSA verify OK.\n"), std::string::npos) << k;
    SetKeys(kTestPrivateKey, kTestPublicX, kTestPublicY, k);
    const SignResult second = Sign(DigestOf(kVectors[0].digest));
    EXPECT_NE(first.r, second.r) << "k must not be predictable for RANDOM_K " << k;
  }
}

TEST(Signing, GeneratedNonceIs60LowerCaseDigitsAndFreshEachRun) {
  std::vector<std::string> nonces;
  for (int run = 0; run < 2; ++run) {
    SetKeys(kTestPrivateKey, kTestPublicX, kTestPublicY, "");
    const SignResult result = Sign(DigestOf(kVectors[0].digest));
    const std::size_t start = result.output.find("random_k_hex: [") + 15;
    const std::string nonce = result.output.substr(start, result.output.find(']', start) - start);
    EXPECT_EQ(nonce.size(), 60U);
    EXPECT_EQ(nonce.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_NE(result.output.find("ECDSA sign success.\nECDSA verify OK.\n"), std::string::npos);
    nonces.push_back(nonce);
  }
  EXPECT_NE(nonces[0], nonces[1]);
}

TEST(Signing, KeyProblemsAreReportedAndTheRunGoesOn) {
  struct KeyCase {
    const char* name;
    std::string privateKey;
    std::string publicX;
    std::string signAndVerify;
  };
  const std::string x(kTestPublicX);
  const std::vector<KeyCase> cases = {
      {"missing private key", "", x, "ECDSA sign failed!\nECDSA verify failed!\nr = []\ns = []\n"},
      {"trailing space reads as zero", std::string(kTestPrivateKey).substr(1) + " ", x,
       "ECDSA sign failed!\nECDSA verify failed!\nr = []\ns = []\n"},
      {"negative key", std::string("-") + kTestPrivateKey, x,
       "ECDSA sign failed!\nECDSA verify failed!\nr = []\ns = []\n"},
      {"inner bad character signs with the wrong key",
       "C9AFA9D845BA75166B5C2157G7B1D6934E50C3DB36E89B127B8A622B120F6721", x,
       "ECDSA sign success.\nECDSA verify failed!\n"},
      {"mismatched public key", kTestPrivateKey,
       "70FED4BA255A9D31C961EB74C6356D68C049B8923B61FA6CE669622E60F29FB6",
       "ECDSA sign success.\nECDSA verify failed!\n"},
  };
  for (const auto& c : cases) {
    SetKeys(c.privateKey, c.publicX, kTestPublicY, kVectors[0].k);
    const SignResult result = Sign(DigestOf(kVectors[0].digest));
    EXPECT_EQ(result.status, 0) << c.name;
    EXPECT_NE(result.output.find(c.signAndVerify), std::string::npos) << c.name << "\n" << result.output;
    if (c.signAndVerify.starts_with("ECDSA sign failed")) {
      EXPECT_EQ(result.r + result.s, std::string(128, '0')) << c.name;
    }
  }
}

TEST(Signing, SecretsAreWipedAfterSigning) {
  SetKeys(kTestPrivateKey, kTestPublicX, kTestPublicY, kVectors[0].k);
  Sign(DigestOf(kVectors[0].digest));
  const auto isZero = [](const KeyText& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == '\0'; });
  };
  EXPECT_TRUE(isZero(InfoSettings.PRIVATE_KEY));
  EXPECT_TRUE(isZero(InfoSettings.RANDOM_K));
}

TEST(Signing, RandomSourceFailureStopsTheStep) {
  const RandomSourceOverride failing(FailingSource);
  SetKeys(kTestPrivateKey, kTestPublicX, kTestPublicY, "");
  const SignResult generated = Sign(DigestOf(kVectors[0].digest));
  EXPECT_EQ(generated.status, -1);
  EXPECT_EQ(generated.output, "Random number generation failed!\n");
  // A short RANDOM_K needs the source to complete k: the same failure.
  SetKeys(kTestPrivateKey, kTestPublicX, kTestPublicY, "1234");
  const SignResult shortK = Sign(DigestOf(kVectors[0].digest));
  EXPECT_EQ(shortK.status, -1);
  EXPECT_EQ(shortK.output, "random_k_hex: [1234]\nRandom number generation failed!\n");
}

TEST(Nonce, HexToBytesPairsDigitsAndKeepsOddCharacters) {
  std::array<std::uint8_t, 8> out{};
  EXPECT_EQ(HexToBytes("", out), 0U);
  EXPECT_EQ(HexToBytes("0aF", out), 1U);
  EXPECT_EQ(out[0], 0x0A);
  EXPECT_EQ(HexToBytes("a1B2c3", out), 3U);
  EXPECT_EQ(ToHex(Bytes(out.begin(), out.begin() + 3)), "A1B2C3");
  // 'g' (0x67) is used as its character code: (0x67 << 4 | 1) & 0xFF.
  EXPECT_EQ(HexToBytes("g1", out), 1U);
  EXPECT_EQ(out[0], 0x71);
  EXPECT_EQ(HexToBytes(std::string(40, '1'), out), out.size());
}

TEST(Nonce, FixedKSourceHandsOutNonceBytesFirstThenFills) {
  const RandomSourceOverride pattern(PatternSource);
  std::array<std::uint8_t, 20> nonce{};
  for (std::size_t i = 0; i < nonce.size(); ++i) {
    nonce[i] = static_cast<std::uint8_t>(i + 1);
  }
  NonceState state{nonce.data(), 20, false};
  std::array<std::uint8_t, 16> first{};
  ASSERT_EQ(FixedKSource(&state, first.data(), first.size()), 0);
  EXPECT_EQ(ToHex(Bytes(first.begin(), first.end())), "0102030405060708090A0B0C0D0E0F10");
  EXPECT_EQ(state.left, 4U);
  std::array<std::uint8_t, 8> second{};
  ASSERT_EQ(FixedKSource(&state, second.data(), second.size()), 0);
  EXPECT_EQ(ToHex(Bytes(second.begin(), second.end())), "11121314A5A5A5A5");
  EXPECT_EQ(state.left, 0U);
  ASSERT_EQ(FixedKSource(nullptr, second.data(), second.size()), 0);
  EXPECT_EQ(ToHex(Bytes(second.begin(), second.end())), "A5A5A5A5A5A5A5A5");
}

TEST(HeaderWords, CarryMagicAddressZeroAndCheckWord) {
  for (const std::uint32_t infoAddr : {0x1003F000U, 0xFFFFFFFFU, 0U}) {
    BootImage.bytes.fill(0xEE);
    BootImage.length = 8;  // shorter than the header: the words are written all the same
    ResetInfoSettings();
    InfoSettings.INFO_ADDR = infoAddr;
    WriteImageHeaderWords();
    const std::uint32_t magic = 0x786C7154;  // "Tqlx" read little-endian
    EXPECT_EQ(std::memcmp(&BootImage.bytes[0x1C], "Tqlx", 4), 0);
    EXPECT_EQ(GetLe32(BootImage.bytes, 0x20), infoAddr);
    EXPECT_EQ(GetLe32(BootImage.bytes, 0x24), 0U);
    EXPECT_EQ(static_cast<std::uint32_t>(magic + GetLe32(BootImage.bytes, 0x28)), infoAddr);
    EXPECT_EQ(BootImage.bytes[0x1B], 0xEE);
    EXPECT_EQ(BootImage.bytes[0x2C], 0xEE);
  }
}

TEST(MakeInfoImage, FillsTheBlockAndDigestsTheImage) {
  SetKeys(kTestPrivateKey, kTestPublicX, kTestPublicY, kVectors[0].k);
  BootImage.bytes.fill(0);
  BootImage.length = 0;
  PutLe32(InfoBlock, kInfoCodeExeAddrOffset, 0x10000000);
  testing::internal::CaptureStdout();
  ASSERT_EQ(MakeInfoImage(kInfoFileKeySigner), 0);
  const std::string output = testing::internal::GetCapturedStdout();
  // The empty image's digest is SHA-256 of the empty message.
  EXPECT_EQ(output.substr(0, 76),
            "Image SHA: e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855\n");
  EXPECT_EQ(GetLe32(InfoBlock, 0x40), 1U);
  EXPECT_EQ(GetLe32(InfoBlock, 0x44), 24U);
  EXPECT_EQ(GetLe32(InfoBlock, 0x48), 0x10000000U);
  EXPECT_EQ(GetLe32(InfoBlock, 0x4C), 0U);
  EXPECT_EQ(GetLe32(InfoBlock, 0x60), 12U);
  EXPECT_TRUE(std::all_of(InfoBlock.begin() + 0xD0, InfoBlock.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST(MakeInfoImage, RandomFailureEndsTheRunWithoutOutput) {
  const RandomSourceOverride failing(FailingSource);
  const testsupport::TempDir dir;
  testsupport::WriteBytes(dir.File("app.bin"), testsupport::PatternImage(100));
  testsupport::WriteFile(dir.File("info.txt"), std::string("PRIVATE_KEY = ") + kTestPrivateKey + "\n");
  const std::string info = dir.File("info.txt");
  const std::string boot = dir.File("app.bin");
  const char* argv[] = {"Ravelsign", info.c_str(), boot.c_str()};
  testing::internal::CaptureStdout();
  const int status = RunSign(3, argv);
  const std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(status, -1);
  EXPECT_TRUE(output.ends_with("Random number generation failed!\nMake info image failed!\n")) << output;
  EXPECT_FALSE(testsupport::FileExists(dir.File("app_SBoot.hex")));
}

}  // namespace
