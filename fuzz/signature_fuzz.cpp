// SPDX-License-Identifier: Apache-2.0
// Arbitrary bytes as an external signer's signature file. What the decoder
// takes as DER must be the one strict encoding of its r and s (so any
// strict DER reader, openssl's among them, reads the same numbers); what it
// takes otherwise must be exactly 64 bytes, r and s as they stand.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "crypto/signature_form.h"

namespace {

// The strict DER of one non-negative integer given as 32 big-endian bytes.
void PutInteger(std::vector<std::uint8_t>& der, std::span<const std::uint8_t> number) {
  std::size_t first = 0;
  while (first + 1 < number.size() && number[first] == 0) {
    ++first;
  }
  const bool pad = (number[first] & 0x80U) != 0;
  der.push_back(0x02);
  der.push_back(static_cast<std::uint8_t>(number.size() - first + (pad ? 1 : 0)));
  if (pad) {
    der.push_back(0x00);
  }
  der.insert(der.end(), number.begin() + static_cast<std::ptrdiff_t>(first), number.end());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  RawSignature signature{};
  if (DecodeSignature(input, signature) != 0) {
    return 0;
  }
  std::vector<std::uint8_t> body;
  PutInteger(body, std::span(signature).first(kP256NumberSize));
  PutInteger(body, std::span(signature).last(kP256NumberSize));
  std::vector<std::uint8_t> der = {0x30, static_cast<std::uint8_t>(body.size())};
  der.insert(der.end(), body.begin(), body.end());
  const bool isDer = input.size() == der.size() && std::equal(der.begin(), der.end(), input.begin());
  const bool isRaw =
      input.size() == signature.size() && std::equal(signature.begin(), signature.end(), input.begin());
  if (!isDer && !isRaw) {
    std::abort();
  }
  return 0;
}
