// SPDX-License-Identifier: Apache-2.0
// The ECDSA nonce: taken from RANDOM_K when the information file gives one,
// otherwise drawn from the operating system, and handed to the signature
// library through FixedKSource.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// The nonce buffer: a RANDOM_K of at most 64 characters converts into no
// more than its first 32 bytes, and only the bytes converted are handed out,
// so the rest of its 66 bytes never reach the signature (golden case
// sign-nonce-forms).
inline constexpr std::size_t kNonceBufferSize = 66;
// A generated nonce is 30 bytes, printed as 60 digits: the signature library
// asks for 32, so FixedKSource hands it those 30 and then 2 bytes from the
// random source, which are the nonce's two least significant bytes and are
// never printed (unit tests Nonce.AGeneratedNonceIs60LowerCaseDigitsAndFreshEachRun
// and LibrarySeries.AsksForTheNonceFirstThen32ByteDraws).
inline constexpr std::size_t kGeneratedNonceBytes = 30;

struct NonceState {
  const std::uint8_t* next;  // next nonce byte not yet handed out
  std::uint32_t left;        // nonce bytes not yet handed out
  bool randomFailed;         // the system random source failed while filling
};

// Converts the nonce text RANDOM_K to the nonce bytes, two characters a byte;
// returns floor(length / 2), at most out.size(). A character that is not a hex
// digit is not refused: its character code is the nibble value, which is
// right for the nonce only, so nothing else reads hex text this way.
std::size_t NonceTextToBytes(std::string_view text, std::span<std::uint8_t> out);

// Fills RANDOM_K from the system random source when it is empty (30 bytes as
// 60 lowercase digits), prints it, and converts it into `nonceBytes`, which
// `state` then hands out. Returns 0, or -1 when the random source failed.
int PrepareNonce(std::span<std::uint8_t, kNonceBufferSize> nonceBytes, NonceState& state);

// Random-byte callback for the signature library: the nonce bytes first, then
// bytes from the system random source. Returns 0, or -1 (and marks the state)
// when the random source failed.
int FixedKSource(void* state, unsigned char* out, std::size_t len);
