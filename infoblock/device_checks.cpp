// SPDX-License-Identifier: Apache-2.0
#include "infoblock/device_checks.h"

#include <algorithm>
#include <cstdio>

#include "core/program_state.h"
#include "crypto/ecdsa.h"
#include "crypto/sha256.h"

namespace {

const char* Verdict(bool ok) {
  return ok ? "OK" : "FAILED";
}

void PrintHex(std::span<const std::uint8_t> bytes) {
  for (const std::uint8_t byte : bytes) {
    std::printf("%02x", byte);
  }
}

}  // namespace

bool CheckHeaderWords(const std::optional<HeaderWords>& words, std::uint32_t codeExeAddr,
                      std::optional<std::uint32_t> expectedInfoAddr) {
  const auto at = static_cast<std::uint32_t>(codeExeAddr + kHeaderMagicOffset);
  if (!words) {
    std::printf("1. Header words at 0x%08X: not all in the file: FAILED\n", at);
    return false;
  }
  const std::uint32_t magic = GetLe32(*words, 0);
  const std::uint32_t infoAddr = GetLe32(*words, kHeaderInfoAddrOffset - kHeaderMagicOffset);
  const std::uint32_t zero = GetLe32(*words, kHeaderReservedOffset - kHeaderMagicOffset);
  const std::uint32_t check = GetLe32(*words, kHeaderCheckOffset - kHeaderMagicOffset);
  const bool ok = magic == GetLe32(kHeaderMagic, 0) && zero == 0 &&
                  static_cast<std::uint32_t>(magic + check) == infoAddr &&
                  (!expectedInfoAddr || *expectedInfoAddr == infoAddr);
  std::printf("1. Header words at 0x%08X: magic 0x%08X, INFO address 0x%08X", at, magic, infoAddr);
  if (expectedInfoAddr) {
    std::printf(" (INFO_ADDR 0x%08X)", *expectedInfoAddr);
  }
  std::printf(", zero word 0x%08X, check word 0x%08X: %s\n", zero, check, Verdict(ok));
  return ok;
}

bool CheckInfoBlockWords(const std::optional<InfoBlockData>& block, std::optional<std::uint32_t> infoAddr,
                         std::uint32_t codeExeAddr) {
  if (!infoAddr) {
    std::printf("2. INFO block: no INFO address known: FAILED\n");
    return false;
  }
  if (!block) {
    std::printf("2. INFO block at 0x%08X: not all in the file: FAILED\n", *infoAddr);
    return false;
  }
  const std::uint32_t format = GetLe32(*block, kInfoFormatOffset);
  const std::uint32_t imageDesc = GetLe32(*block, kInfoImageDescSizeOffset);
  const std::uint32_t digestDesc = GetLe32(*block, kInfoDigestDescSizeOffset);
  const std::uint32_t exeAddr = GetLe32(*block, kInfoCodeExeAddrOffset);
  const std::uint32_t length = GetLe32(*block, kInfoImageLengthOffset);
  // The signed bytes must cover the header words, or the device would start
  // code whose header (and so where its INFO block lies) nobody signed.
  const bool coversHeader = length >= kHeaderEnd;
  const bool ok = format == kInfoFormatValue && imageDesc == kInfoImageDescSizeValue &&
                  digestDesc == kInfoDigestDescSizeValue && exeAddr == codeExeAddr &&
                  length < kBootImageCapacity && coversHeader;
  std::printf("2. INFO block at 0x%08X: words %u, %u, %u, execution address 0x%08X, image length %u",
              *infoAddr, format, imageDesc, digestDesc, exeAddr, length);
  if (!coversHeader) {
    std::printf(": the image length %u does not cover the header words at 0x%02zX-0x%02zX", length,
                kHeaderMagicOffset, kHeaderEnd - 1);
  }
  std::printf(": %s\n", Verdict(ok));
  return ok;
}

bool CheckImageDigest(const std::optional<InfoBlockData>& block, std::span<const std::uint8_t> image,
                      bool imagePresent) {
  if (!block) {
    std::printf("3. Image SHA-256: no INFO block: FAILED\n");
    return false;
  }
  if (!imagePresent) {
    std::printf("3. Image SHA-256: image bytes not all in the file: FAILED\n");
    return false;
  }
  Sha256Digest digest{};
  const bool hashed = Sha256(image, digest) == 0;
  const auto stored = std::span(*block).subspan(kInfoImageDigestOffset, kSha256Size);
  const bool ok = hashed && std::equal(digest.begin(), digest.end(), stored.begin());
  std::printf("3. Image SHA-256: ");
  PrintHex(digest);
  if (!ok) {
    std::printf(", stored ");
    PrintHex(stored);
  }
  std::printf(": %s\n", Verdict(ok));
  return ok;
}

bool CheckInfoSignature(const std::optional<InfoBlockData>& block, const char* publicX, const char* publicY) {
  if (!block) {
    std::printf("4. ECDSA P-256 signature: no INFO block: FAILED\n");
    return false;
  }
  Sha256Digest digest{};
  const bool ok =
      Sha256(std::span(*block).first(kInfoSignedLength), digest) == 0 &&
      SignatureVerifies(digest, std::span(*block).subspan(kInfoSignatureROffset, 2 * kInfoNumberSize),
                        publicX, publicY);
  std::printf("4. ECDSA P-256 signature over info SHA-256 ");
  PrintHex(digest);
  std::printf(": %s\n", Verdict(ok));
  return ok;
}
