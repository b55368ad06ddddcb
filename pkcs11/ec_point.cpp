// SPDX-License-Identifier: Apache-2.0
#include "pkcs11/ec_point.h"

#include <algorithm>
#include <cstddef>

namespace {

// DER of the other named curves a token may report in CKA_EC_PARAMS.
struct NamedCurve {
  std::array<std::uint8_t, 7> oid;
  const char* name;
};
constexpr std::array<NamedCurve, 3> kOtherCurves = {{
    {{0x06, 0x05, 0x2B, 0x81, 0x04, 0x00, 0x22}, "P-384"},
    {{0x06, 0x05, 0x2B, 0x81, 0x04, 0x00, 0x23}, "P-521"},
    {{0x06, 0x05, 0x2B, 0x81, 0x04, 0x00, 0x0A}, "secp256k1"},
}};

}  // namespace

const char* OtherCurveName(std::span<const std::uint8_t> params) {
  for (const NamedCurve& curve : kOtherCurves) {
    if (std::equal(params.begin(), params.end(), curve.oid.begin(), curve.oid.end())) {
      return curve.name;
    }
  }
  return nullptr;
}

// CKA_EC_POINT as PKCS#11 has it (a DER OCTET STRING around the point) or as
// some tokens give it (the bare uncompressed point): X and Y.
bool DecodeEcPoint(std::span<const std::uint8_t> value, PublicKeyBytes& publicKey) {
  constexpr std::size_t kPointSize = 1 + 2 * kP256NumberSize;
  std::span<const std::uint8_t> point = value;
  if (point.size() == kPointSize + 2 && point[0] == 0x04 && point[1] == kPointSize) {
    point = point.subspan(2);
  }
  if (point.size() != kPointSize || point[0] != 0x04) {
    return false;
  }
  std::copy(point.begin() + 1, point.end(), publicKey.begin());
  return true;
}
