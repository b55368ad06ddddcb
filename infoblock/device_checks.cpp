// SPDX-License-Identifier: Apache-2.0
#include "infoblock/device_checks.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "core/program_state.h"
#include "crypto/ecdsa.h"
#include "crypto/sha256.h"

namespace {

CheckVerdict Verdict(bool ok) {
  return ok ? CheckVerdict::Ok : CheckVerdict::Failed;
}

CheckVerdict Refuse(std::string& reason, const char* why) {
  reason = why;
  return CheckVerdict::Failed;
}

}  // namespace

void ResetDeviceChecks(DeviceChecks& checks) {
  checks.header = {CheckVerdict::NotRun, {}, 0, false, 0, 0, 0, 0, std::nullopt};
  checks.block = {CheckVerdict::NotRun, {}, std::nullopt, false, 0, 0, 0, 0, 0};
  checks.image = {CheckVerdict::NotRun, {}, false, {}, {}};
  checks.signature = {CheckVerdict::NotRun, {}, false, {}};
}

void CheckHeaderWords(const std::optional<HeaderWords>& words, std::uint32_t codeExeAddr,
                      std::optional<std::uint32_t> expectedInfoAddr, HeaderWordsCheck& result) {
  result.at = static_cast<std::uint32_t>(codeExeAddr + kHeaderMagicOffset);
  result.expectedInfoAddr = expectedInfoAddr;
  result.present = words.has_value();
  if (!words) {
    result.verdict = Refuse(result.reason, "not all in the file");
    return;
  }
  result.magic = GetLe32(*words, 0);
  result.infoAddr = GetLe32(*words, kHeaderInfoAddrOffset - kHeaderMagicOffset);
  result.zero = GetLe32(*words, kHeaderReservedOffset - kHeaderMagicOffset);
  result.checkWord = GetLe32(*words, kHeaderCheckOffset - kHeaderMagicOffset);
  result.verdict = Verdict(result.magic == GetLe32(kHeaderMagic, 0) && result.zero == 0 &&
                           static_cast<std::uint32_t>(result.magic + result.checkWord) == result.infoAddr &&
                           (!expectedInfoAddr || *expectedInfoAddr == result.infoAddr));
}

void CheckInfoBlockWords(const std::optional<InfoBlockData>& block, std::optional<std::uint32_t> infoAddr,
                         std::uint32_t codeExeAddr, InfoBlockCheck& result) {
  result.infoAddr = infoAddr;
  result.present = block.has_value();
  if (!infoAddr) {
    result.verdict = Refuse(result.reason, "no INFO address known");
    return;
  }
  if (!block) {
    result.verdict = Refuse(result.reason, "not all in the file");
    return;
  }
  result.format = GetLe32(*block, kInfoFormatOffset);
  result.imageDescSize = GetLe32(*block, kInfoImageDescSizeOffset);
  result.digestDescSize = GetLe32(*block, kInfoDigestDescSizeOffset);
  result.exeAddr = GetLe32(*block, kInfoCodeExeAddrOffset);
  result.length = GetLe32(*block, kInfoImageLengthOffset);
  // The signed bytes must cover the header words, or the device would start
  // code whose header (and so where its INFO block lies) nobody signed.
  const bool coversHeader = result.length >= kHeaderEnd;
  if (!coversHeader) {
    std::array<char, 96> why{};
    static_cast<void>(std::snprintf(why.data(), why.size(),
                                    "the image length %u does not cover the header words at 0x%02zX-0x%02zX",
                                    result.length, kHeaderMagicOffset, kHeaderEnd - 1));
    result.reason = why.data();
  }
  result.verdict =
      Verdict(result.format == kInfoFormatValue && result.imageDescSize == kInfoImageDescSizeValue &&
              result.digestDescSize == kInfoDigestDescSizeValue && result.exeAddr == codeExeAddr &&
              result.length < kBootImageCapacity && coversHeader);
}

void CheckImageDigest(const std::optional<InfoBlockData>& block, std::span<const std::uint8_t> image,
                      bool imagePresent, ImageDigestCheck& result) {
  if (!block) {
    result.verdict = Refuse(result.reason, "no INFO block");
    return;
  }
  const auto stored = std::span(*block).subspan(kInfoImageDigestOffset, kSha256Size);
  std::copy(stored.begin(), stored.end(), result.stored.begin());
  if (!imagePresent) {
    result.verdict = Refuse(result.reason, "image bytes not all in the file");
    return;
  }
  result.hashed = Sha256(image, result.computed) == 0;
  result.verdict = Verdict(result.hashed && result.computed == result.stored);
}

void CheckInfoSignature(const std::optional<InfoBlockData>& block, const char* publicX, const char* publicY,
                        SignatureCheck& result) {
  if (!block) {
    result.verdict = Refuse(result.reason, "no INFO block");
    return;
  }
  result.hashed = Sha256(std::span(*block).first(kInfoSignedLength), result.infoDigest) == 0;
  result.verdict = Verdict(result.hashed && SignatureVerifies(result.infoDigest,
                                                              std::span(*block).subspan(kInfoSignatureROffset,
                                                                                        2 * kInfoNumberSize),
                                                              publicX, publicY));
}

const char* DeviceCheckName(std::size_t index) {
  static constexpr std::array<const char*, kDeviceCheckCount> kNames = {"header_words", "info_block",
                                                                        "image_digest", "signature"};
  return kNames.at(index);
}

CheckVerdict DeviceCheckVerdict(const DeviceChecks& checks, std::size_t index) {
  const std::array<CheckVerdict, kDeviceCheckCount> verdicts = {
      checks.header.verdict, checks.block.verdict, checks.image.verdict, checks.signature.verdict};
  return verdicts.at(index);
}

bool DeviceChecksPassed(const DeviceChecks& checks) {
  for (std::size_t i = 0; i < kDeviceCheckCount; ++i) {
    if (DeviceCheckVerdict(checks, i) != CheckVerdict::Ok) {
      return false;
    }
  }
  return true;
}
