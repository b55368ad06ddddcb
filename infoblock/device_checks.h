// SPDX-License-Identifier: Apache-2.0
// The checks a device's boot code makes on a signed secure boot image, one
// line each on standard output ending in "OK" or "FAILED". Each returns true
// when its check passed; bytes missing from the file make a check fail.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "core/info_layout.h"

// 1. Magic "Tqlx", an INFO address, a zero word and a check word that adds up
// with the magic to that address (and equals `expectedInfoAddr` when given).
bool CheckHeaderWords(const std::optional<HeaderWords>& words, std::uint32_t codeExeAddr,
                      std::optional<std::uint32_t> expectedInfoAddr);

// 2. Constant words 1, 24 and 12, the execution address, a length below 256 KiB
// that covers the header words (0x2C and more).
bool CheckInfoBlockWords(const std::optional<InfoBlockData>& block, std::optional<std::uint32_t> infoAddr,
                         std::uint32_t codeExeAddr);

// 3. The SHA-256 of the image equals the digest stored in the block.
bool CheckImageDigest(const std::optional<InfoBlockData>& block, std::span<const std::uint8_t> image,
                      bool imagePresent);

// 4. The ECDSA P-256 signature (r, s) over the SHA-256 of the block's signed
// part verifies with the public key given as X and Y hex texts.
bool CheckInfoSignature(const std::optional<InfoBlockData>& block, const char* publicX, const char* publicY);
