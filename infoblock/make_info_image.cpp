// SPDX-License-Identifier: Apache-2.0
#include "infoblock/make_info_image.h"

#include <algorithm>
#include <cstdio>

#include "core/hex_digit.h"
#include "core/program_state.h"
#include "crypto/ecdsa.h"
#include "crypto/sha256.h"
#include "platform/wipe.h"

namespace {

void PrintDigest(const char* label, std::span<const std::uint8_t, kSha256Size> digest) {
  std::array<char, 2 * kSha256Size + 1> text{};
  FormatHex(digest, text, kLowerHexDigits);
  std::printf("%s%s\n", label, text.data());
}

// Prints r and s in the library's radix-16 form (uppercase, no leading zero
// bytes, nothing for a zero never set) and stores them right-aligned in their
// 32-byte fields.
void PrintAndStoreSignature(const SignatureValues& values) {
  std::printf("r = [%s]\n", values.r.data());
  std::printf("s = [%s]\n", values.s.data());
  std::copy(values.raw.begin(), values.raw.end(), InfoBlock.begin() + kInfoSignatureROffset);
}

}  // namespace

int HashInfoBlock(Sha256Digest& infoDigest) {
  PutLe32(InfoBlock, kInfoFormatOffset, kInfoFormatValue);
  PutLe32(InfoBlock, kInfoImageDescSizeOffset, kInfoImageDescSizeValue);
  PutLe32(InfoBlock, kInfoImageLengthOffset, static_cast<std::uint32_t>(BootImage.length));
  PutLe32(InfoBlock, kInfoDigestDescSizeOffset, kInfoDigestDescSizeValue);

  Sha256Digest imageDigest{};
  const auto image =
      std::span<const std::uint8_t>(BootImage.bytes).first(static_cast<std::size_t>(BootImage.length));
  if (Sha256(image, imageDigest) != 0) {
    std::printf("SHA-256 computation failed!\n");
    return -1;
  }
  std::copy(imageDigest.begin(), imageDigest.end(), InfoBlock.begin() + kInfoImageDigestOffset);
  // The signed part covers the fixed words, CODE_EXE_ADDR, the length and the
  // image digest just stored.
  if (Sha256(std::span<const std::uint8_t>(InfoBlock).first(kInfoSignedLength), infoDigest) != 0) {
    std::printf("SHA-256 computation failed!\n");
    return -1;
  }
  PrintDigest("Image SHA: ", imageDigest);
  PrintDigest("Info SHA: ", infoDigest);
  return 0;
}

int SignInfoDigest(const Sha256Digest& infoDigest) {
  SignatureValues values{};
  if (SignWithKeyTexts(infoDigest, values) != 0) {
    return -1;
  }
  PrintAndStoreSignature(values);
  return 0;
}

int MakeInfoImage() {
  Sha256Digest infoDigest{};
  if (HashInfoBlock(infoDigest) != 0) {
    WipeSigningSecrets();  // the signature, which wipes them, will not run
    return -1;
  }
  return SignInfoDigest(infoDigest);
}

int AttachSignature(const Sha256Digest& infoDigest, const RawSignature& signature,
                    const PublicKeyBytes& publicKey) {
  SignatureValues values{};
  if (CheckSignature(infoDigest, signature, publicKey, values) != 0) {
    return -1;
  }
  PrintAndStoreSignature(values);
  return 0;
}
