// SPDX-License-Identifier: Apache-2.0
#include "crypto/key_texts.h"

#include <mbedtls/bignum.h>
#include <mbedtls/ecp.h>

#include <cstdio>

#include "core/hex_digit.h"
#include "core/scope_guard.h"
#include "crypto/library_series.h"
#include "crypto/nonce.h"
#include "crypto/p256.h"
#include "platform/wipe.h"

namespace {

bool InRange(P256& ec) {
  return mbedtls_ecp_check_privkey(&ec.group, &ec.d) == 0;
}

bool OnCurve(P256& ec) {
  return mbedtls_ecp_check_pubkey(&ec.group, &ec.q) == 0;
}

// Q = d * G, with a blinded multiplication.
bool Derive(P256& ec, mbedtls_ecp_point& out) {
  return mbedtls_ecp_mul(&ec.group, &out, &ec.d, &ec.group.G, KeyAndBlindingRandom, nullptr) == 0;
}

bool Matches(P256& ec) {
  mbedtls_ecp_point derived;
  mbedtls_ecp_point_init(&derived);
  const ScopeGuard freeDerived([&] { mbedtls_ecp_point_free(&derived); });
  return Derive(ec, derived) && mbedtls_ecp_point_cmp(&derived, &ec.q) == 0;
}

// Reads the public key texts strictly into `ec.q`, printing what is wrong.
bool ReadPublicTexts(P256& ec, const char* x, const char* y) {
  mbedtls_mpi value;
  mbedtls_mpi_init(&value);
  const ScopeGuard freeValue([&] { mbedtls_mpi_free(&value); });
  if (!ReadStrictNumber(value, x) || !ReadStrictNumber(value, y) || !ReadSignerPoint(ec.q, x, y)) {
    std::printf("PUBLIC_KEY_1 and PUBLIC_KEY_2 must each be a hex number of at most 64 digits!\n");
    return false;
  }
  if (!OnCurve(ec)) {
    std::printf("PUBLIC_KEY_1 and PUBLIC_KEY_2 are not a point on P-256!\n");
    return false;
  }
  return true;
}

bool ReadPrivateText(P256& ec, const char* privateKey) {
  if (!ReadStrictNumber(ec.d, privateKey) || !InRange(ec)) {
    std::printf("PRIVATE_KEY must be a hex number from 1 to n - 1 (n the order of P-256)!\n");
    return false;
  }
  return true;
}

void PrintKeyLine(const char* key, std::span<const std::uint8_t> number) {
  std::array<char, 2 * kP256NumberSize + 1> text{};
  FormatHex(number, text, kUpperHexDigits);
  std::printf("%s = %s\n", key, text.data());
  WipeSecret(text);
}

}  // namespace

void PrintKeyLines(const PrivateKeyBytes* privateKey, const PublicKeyBytes& publicKey) {
  if (privateKey != nullptr) {
    PrintKeyLine("PRIVATE_KEY", *privateKey);
  }
  PrintKeyLine("PUBLIC_KEY_1", std::span(publicKey).first(kP256NumberSize));
  PrintKeyLine("PUBLIC_KEY_2", std::span(publicKey).last(kP256NumberSize));
  KeyFingerprint fingerprint{};
  if (PublicKeyFingerprint(publicKey, fingerprint) == 0) {
    std::printf("%s%s\n", kFingerprintCommentLead, fingerprint.data());
  }
}

KeyNumber ReadKeyNumber(const char* text) {
  KeyNumber number{false, false, {}};
  mbedtls_mpi value;
  mbedtls_mpi_init(&value);
  const ScopeGuard freeValue([&] { mbedtls_mpi_free(&value); });
  number.whole = ReadSignerNumber(value, text);
  number.negative = mbedtls_mpi_cmp_int(&value, 0) < 0;
  if (mbedtls_mpi_cmp_int(&value, 0) != 0) {
    static_cast<void>(WriteNumberText(value, number.hex));
  }
  return number;
}

bool PrivateKeyInRange(const char* privateKey) {
  P256 ec;
  const bool ready = InitP256(ec);
  const ScopeGuard freeEc([&] { FreeP256(ec); });
  static_cast<void>(ReadSignerNumber(ec.d, privateKey));
  return ready && InRange(ec);
}

bool PublicKeyOnCurve(const char* x, const char* y) {
  P256 ec;
  const bool ready = InitP256(ec);
  const ScopeGuard freeEc([&] { FreeP256(ec); });
  static_cast<void>(ReadSignerPoint(ec.q, x, y));
  return ready && OnCurve(ec);
}

bool PublicTextsFingerprint(const char* x, const char* y, KeyFingerprint& fingerprint) {
  P256 ec;
  const bool ready = InitP256(ec);
  const ScopeGuard freeEc([&] { FreeP256(ec); });
  PublicKeyBytes publicKey{};
  static_cast<void>(ReadSignerPoint(ec.q, x, y));
  return ready && OnCurve(ec) && PointToBytes(ec, ec.q, publicKey) &&
         PublicKeyFingerprint(publicKey, fingerprint) == 0;
}

bool KeyPairMatches(const char* privateKey, const char* x, const char* y) {
  P256 ec;
  const bool ready = InitP256(ec);
  const ScopeGuard freeEc([&] { FreeP256(ec); });
  static_cast<void>(ReadSignerNumber(ec.d, privateKey));
  static_cast<void>(ReadSignerPoint(ec.q, x, y));
  return ready && InRange(ec) && OnCurve(ec) && Matches(ec);
}

bool FixedNonceUsable(const char* randomK) {
  std::array<std::uint8_t, kP256NumberSize> nonce{};
  P256 ec;
  const bool ready = InitP256(ec);
  const ScopeGuard freeAll([&] {
    FreeP256(ec);
    WipeSecret(nonce);
  });
  // The bytes the nonce source hands out first, read as the library reads k.
  return ready && NonceTextToBytes(randomK, nonce) == nonce.size() &&
         mbedtls_mpi_read_binary(&ec.d, nonce.data(), nonce.size()) == 0 && InRange(ec);
}

int PublicKeyFromPublicTexts(const char* x, const char* y, PublicKeyBytes& publicKey) {
  if (x[0] == '\0' && y[0] == '\0') {
    std::printf("The information file gives no PUBLIC_KEY_1 and PUBLIC_KEY_2!\n");
    return -1;
  }
  P256 ec;
  const bool ready = InitP256(ec);
  const ScopeGuard freeEc([&] { FreeP256(ec); });
  return ready && ReadPublicTexts(ec, x, y) && PointToBytes(ec, ec.q, publicKey) ? 0 : -1;
}

int PublicKeyFromTexts(const char* privateKey, const char* x, const char* y, PublicKeyBytes& publicKey) {
  if (x[0] != '\0' || y[0] != '\0') {
    if (PublicKeyFromPublicTexts(x, y, publicKey) != 0) {
      return -1;
    }
    if (privateKey[0] != '\0' && !KeyPairMatches(privateKey, x, y)) {
      std::printf("PUBLIC_KEY_1 and PUBLIC_KEY_2 are not the public key of PRIVATE_KEY!\n");
      return -1;
    }
    return 0;
  }
  if (privateKey[0] == '\0') {
    std::printf(
        "The information file gives no key: neither PUBLIC_KEY_1 and PUBLIC_KEY_2 nor PRIVATE_KEY!\n");
    return -1;
  }
  P256 ec;
  const bool ready = InitP256(ec);
  const ScopeGuard freeEc([&] { FreeP256(ec); });
  return ready && ReadPrivateText(ec, privateKey) && Derive(ec, ec.q) && PointToBytes(ec, ec.q, publicKey)
             ? 0
             : -1;
}

int GenerateKeyPair(PrivateKeyBytes& privateKey, PublicKeyBytes& publicKey) {
  P256 ec;
  const bool ready = InitP256(ec);
  const ScopeGuard freeEc([&] { FreeP256(ec); });
  const bool made = ready &&
                    mbedtls_ecp_gen_keypair(&ec.group, &ec.d, &ec.q, KeyAndBlindingRandom, nullptr) == 0 &&
                    mbedtls_mpi_write_binary(&ec.d, privateKey.data(), privateKey.size()) == 0 &&
                    PointToBytes(ec, ec.q, publicKey);
  if (!made) {
    WipeSecret(privateKey);
    std::printf("Key generation failed!\n");
    return -1;
  }
  return 0;
}
