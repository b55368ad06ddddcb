// SPDX-License-Identifier: Apache-2.0
#include "crypto/key_fingerprint.h"

#include <algorithm>

#include "core/hex_digit.h"
#include "crypto/sha256.h"

namespace {

// SEC 1's marker of an uncompressed point.
constexpr std::uint8_t kUncompressedPoint = 0x04;

}  // namespace

int PublicKeyFingerprint(const PublicKeyBytes& publicKey, KeyFingerprint& fingerprint) {
  fingerprint.fill('\0');
  std::array<std::uint8_t, 1 + sizeof(PublicKeyBytes)> point{};
  point[0] = kUncompressedPoint;
  std::copy(publicKey.begin(), publicKey.end(), point.begin() + 1);
  Sha256Digest digest{};
  if (Sha256(point, digest) != 0) {
    return -1;
  }
  FormatHex(digest, fingerprint, kLowerHexDigits);
  return 0;
}
