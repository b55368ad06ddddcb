// SPDX-License-Identifier: Apache-2.0
// The checks a device's boot code makes on a signed secure boot image. Each
// check fills its result (verdict, the values it saw, and the reason in words
// where the values alone do not say it); infoblock/device_check_lines.h
// renders the results as console lines, and Ravelverify --json as JSON, so
// that both always tell the same verdict. Bytes missing from the file make a
// check fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "core/info_layout.h"

enum class CheckVerdict : std::uint8_t { NotRun, Ok, Failed };

// 1. Magic "Tqlx", an INFO address, a zero word and a check word that adds up
// with the magic to that address (and equals `expectedInfoAddr` when given).
struct HeaderWordsCheck {
  CheckVerdict verdict;
  std::string reason;                              // empty when the values say it
  std::uint32_t at;                                // CODE_EXE_ADDR + 0x1C
  bool present;                                    // all 16 bytes are in the file
  std::uint32_t magic, infoAddr, zero, checkWord;  // valid when present
  std::optional<std::uint32_t> expectedInfoAddr;   // INFO_ADDR, when the information file gives it
};

// 2. Constant words 1, 24 and 12, the execution address, a length below 256 KiB
// that covers the header words (0x2C and more).
struct InfoBlockCheck {
  CheckVerdict verdict;
  std::string reason;
  std::optional<std::uint32_t> infoAddr;                                 // none: no INFO address known
  bool present;                                                          // all 272 bytes are in the file
  std::uint32_t format, imageDescSize, digestDescSize, exeAddr, length;  // valid when present
};

// 3. The SHA-256 of the image equals the digest stored in the block.
struct ImageDigestCheck {
  CheckVerdict verdict;
  std::string reason;
  bool hashed;  // `computed` holds the image's SHA-256
  Sha256Digest computed;
  Sha256Digest stored;
};

// 4. The ECDSA P-256 signature (r, s) over the SHA-256 of the block's signed
// part verifies with the public key given as X and Y hex texts.
struct SignatureCheck {
  CheckVerdict verdict;
  std::string reason;
  bool hashed;  // `infoDigest` holds the signed part's SHA-256
  Sha256Digest infoDigest;
};

// The four checks of one image, in the device's order.
struct DeviceChecks {
  HeaderWordsCheck header;
  InfoBlockCheck block;
  ImageDigestCheck image;
  SignatureCheck signature;
};

inline constexpr std::size_t kDeviceCheckCount = 4;

// Every check as not run.
void ResetDeviceChecks(DeviceChecks& checks);

void CheckHeaderWords(const std::optional<HeaderWords>& words, std::uint32_t codeExeAddr,
                      std::optional<std::uint32_t> expectedInfoAddr, HeaderWordsCheck& result);
void CheckInfoBlockWords(const std::optional<InfoBlockData>& block, std::optional<std::uint32_t> infoAddr,
                         std::uint32_t codeExeAddr, InfoBlockCheck& result);
void CheckImageDigest(const std::optional<InfoBlockData>& block, std::span<const std::uint8_t> image,
                      bool imagePresent, ImageDigestCheck& result);
void CheckInfoSignature(const std::optional<InfoBlockData>& block, const char* publicX, const char* publicY,
                        SignatureCheck& result);

// The check's name (header_words, info_block, image_digest, signature) and
// verdict by its place in the device's order, 0 to 3.
const char* DeviceCheckName(std::size_t index);
CheckVerdict DeviceCheckVerdict(const DeviceChecks& checks, std::size_t index);

// Whether every check ran and passed.
bool DeviceChecksPassed(const DeviceChecks& checks);
