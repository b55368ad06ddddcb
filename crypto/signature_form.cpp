// SPDX-License-Identifier: Apache-2.0
#include "crypto/signature_form.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr std::uint8_t kDerSequence = 0x30;
constexpr std::uint8_t kDerInteger = 0x02;

// Reads one strict DER INTEGER that is a non-negative number of at most 32
// bytes into `out` (right-aligned), advancing `der`. Returns false otherwise.
bool ReadInteger(std::span<const std::uint8_t>& der, std::span<std::uint8_t> out) {
  // A length below 128 is always written in the short form, and no P-256
  // number needs more than 33 bytes.
  if (der.size() < 2 || der[0] != kDerInteger || der[1] == 0 || der[1] > kP256NumberSize + 1 ||
      der.size() < std::size_t{2} + der[1]) {
    return false;
  }
  std::span<const std::uint8_t> value = der.subspan(2, der[1]);
  der = der.subspan(std::size_t{2} + value.size());
  if ((value[0] & 0x80U) != 0) {
    return false;  // negative
  }
  if (value.size() > 1 && value[0] == 0) {
    if ((value[1] & 0x80U) == 0) {
      return false;  // a zero byte that is not needed for the sign
    }
    value = value.subspan(1);
  }
  if (value.size() > out.size()) {
    return false;
  }
  std::fill(out.begin(), out.end(), std::uint8_t{0});
  std::copy(value.begin(), value.end(), out.end() - static_cast<std::ptrdiff_t>(value.size()));
  return true;
}

bool DecodeDer(std::span<const std::uint8_t> der, RawSignature& signature) {
  if (der.size() < 2 || der[0] != kDerSequence || der[1] >= 0x80 || der.size() != std::size_t{2} + der[1]) {
    return false;
  }
  std::span<const std::uint8_t> body = der.subspan(2);
  const std::span<std::uint8_t> out(signature);
  return ReadInteger(body, out.first(kP256NumberSize)) && ReadInteger(body, out.last(kP256NumberSize)) &&
         body.empty();
}

}  // namespace

int DecodeSignature(std::span<const std::uint8_t> bytes, RawSignature& signature) {
  if (DecodeDer(bytes, signature)) {
    return 0;
  }
  if (bytes.size() == signature.size()) {
    std::copy(bytes.begin(), bytes.end(), signature.begin());
    return 0;
  }
  return -1;
}
