// SPDX-License-Identifier: Apache-2.0
#include "crypto/nonce.h"

#include <algorithm>
#include <cstdio>

#include "core/hex_digit.h"
#include "core/program_state.h"
#include "crypto/random_source.h"
#include "platform/wipe.h"

namespace {

// A character that is not a hex digit counts with its own code, masked to
// the byte like every other nibble pair.
unsigned NibbleValue(char digit) {
  const int value = HexDigitValue(digit);
  return value >= 0 ? static_cast<unsigned>(value) : static_cast<unsigned char>(digit);
}

}  // namespace

std::size_t NonceTextToBytes(std::string_view text, std::span<std::uint8_t> out) {
  const std::size_t count = std::min(text.size() / 2, out.size());
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned high = NibbleValue(text[2 * i]);
    const unsigned low = NibbleValue(text[2 * i + 1]);
    out[i] = static_cast<std::uint8_t>(((high << 4U) | low) & 0xFFU);
  }
  return count;
}

int PrepareNonce(std::span<std::uint8_t, kNonceBufferSize> nonceBytes, NonceState& state) {
  KeyText& text = InfoSettings.RANDOM_K;
  if (text[0] == '\0') {
    std::array<std::uint8_t, kGeneratedNonceBytes> generated{};
    if (ReplaceableRandomBytes(generated) != 0) {
      WipeSecret(generated);
      std::printf("Random number generation failed!\n");
      return -1;
    }
    text.fill('\0');
    FormatHex(generated, text, kLowerHexDigits);
    WipeSecret(generated);
  }
  std::printf("random_k_hex: [%s]\n", text.data());

  std::fill(nonceBytes.begin(), nonceBytes.end(), std::uint8_t{0});
  const std::size_t count = NonceTextToBytes(std::string_view(text.data()), nonceBytes);
  state = NonceState{nonceBytes.data(), static_cast<std::uint32_t>(count), false};
  return 0;
}

int FixedKSource(void* state, unsigned char* out, std::size_t len) {
  auto* nonce = static_cast<NonceState*>(state);
  std::size_t given = 0;
  if (nonce != nullptr) {
    given = std::min<std::size_t>(len, nonce->left);
    std::copy_n(nonce->next, given, out);
    nonce->next += given;
    nonce->left -= static_cast<std::uint32_t>(given);
  }
  // Past the nonce bytes every byte is unpredictable: the library's later
  // draws (a retried k, blinding values) must not be guessable either.
  if (given < len && ReplaceableRandomBytes(std::span(out + given, len - given)) != 0) {
    if (nonce != nullptr) {
      nonce->randomFailed = true;
    }
    return -1;
  }
  return 0;
}
