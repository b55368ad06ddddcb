// SPDX-License-Identifier: Apache-2.0
#include "crypto/ecdsa.h"

#include <mbedtls/ecdsa.h>

#include <cstdio>

#include "core/program_state.h"
#include "core/scope_guard.h"
#include "crypto/library_series.h"
#include "crypto/nonce.h"
#include "crypto/p256.h"
#include "platform/wipe.h"

namespace {

// r and s as stored (right-aligned in 32 bytes) and as printed.
int TakeValues(const P256& ec, SignatureValues& values) {
  values = SignatureValues{};
  const std::span<std::uint8_t> raw(values.raw);
  if (WriteNumberText(ec.r, values.r) != 0 || WriteNumberText(ec.s, values.s) != 0 ||
      mbedtls_mpi_write_binary(&ec.r, raw.data(), kP256NumberSize) != 0 ||
      mbedtls_mpi_write_binary(&ec.s, raw.data() + kP256NumberSize, kP256NumberSize) != 0) {
    std::printf("ECDSA signature value out of range!\n");
    return -1;
  }
  return 0;
}

int Verify(P256& ec, const Sha256Digest& digest) {
  return mbedtls_ecdsa_verify(&ec.group, digest.data(), digest.size(), &ec.q, &ec.r, &ec.s);
}

}  // namespace

int SignWithKeyTexts(const Sha256Digest& digest, SignatureValues& values) {
  P256 ec;
  const bool ready = InitP256(ec);
  std::array<std::uint8_t, kNonceBufferSize> nonceBytes{};
  const ScopeGuard freeAll([&] {
    FreeP256(ec);
    WipeSecret(nonceBytes);
    WipeSigningSecrets();
  });
  if (!ready) {
    std::printf("ECDSA curve setup failed!\n");
    return -1;
  }
  static_cast<void>(
      ReadSignerPoint(ec.q, InfoSettings.PUBLIC_KEY_1.data(), InfoSettings.PUBLIC_KEY_2.data()));
  static_cast<void>(ReadSignerNumber(ec.d, InfoSettings.PRIVATE_KEY.data()));
  WipeSecret(InfoSettings.PRIVATE_KEY);

  NonceState nonce{};
  if (PrepareNonce(nonceBytes, nonce) != 0) {
    return -1;
  }
  const int signResult =
      mbedtls_ecdsa_sign(&ec.group, &ec.r, &ec.s, &ec.d, digest.data(), digest.size(), FixedKSource, &nonce);
  if (nonce.randomFailed) {
    std::printf("Random number generation failed!\n");
    return -1;
  }
  std::printf(signResult == 0 ? "ECDSA sign success.\n" : "ECDSA sign failed!\n");
  std::printf(Verify(ec, digest) == 0 ? "ECDSA verify OK.\n" : "ECDSA verify failed!\n");
  return TakeValues(ec, values);
}

int CheckSignature(const Sha256Digest& digest, const RawSignature& signature, const PublicKeyBytes& publicKey,
                   SignatureValues& values) {
  P256 ec;
  const bool ready = InitP256(ec);
  const ScopeGuard freeEc([&] { FreeP256(ec); });
  const std::span<const std::uint8_t> rs(signature);
  if (!ready || mbedtls_mpi_read_binary(&ec.r, rs.data(), kP256NumberSize) != 0 ||
      mbedtls_mpi_read_binary(&ec.s, rs.data() + kP256NumberSize, kP256NumberSize) != 0 ||
      !PointFromBytes(ec, ec.q, publicKey)) {
    std::printf("ECDSA setup failed!\n");
    return -1;
  }
  if (mbedtls_mpi_cmp_int(&ec.r, 1) < 0 || mbedtls_mpi_cmp_mpi(&ec.r, &ec.group.N) >= 0 ||
      mbedtls_mpi_cmp_int(&ec.s, 1) < 0 || mbedtls_mpi_cmp_mpi(&ec.s, &ec.group.N) >= 0) {
    std::printf("ECDSA signature refused: r and s must lie between 1 and n - 1!\n");
    return -1;
  }
  if (mbedtls_ecp_check_pubkey(&ec.group, &ec.q) != 0) {
    std::printf("ECDSA signature refused: the public key is not a point on P-256!\n");
    return -1;
  }
  if (Verify(ec, digest) != 0) {
    std::printf("ECDSA signature refused: it does not verify over this INFO block with the public key!\n");
    return -1;
  }
  std::printf("ECDSA verify OK.\n");
  return TakeValues(ec, values);
}

bool SignatureVerifies(const Sha256Digest& digest, std::span<const std::uint8_t> rs, const char* publicX,
                       const char* publicY) {
  P256 ec;
  const bool ready = InitP256(ec);
  const ScopeGuard freeEc([&] { FreeP256(ec); });
  return ready && rs.size() == 2 * kP256NumberSize && ReadSignerPoint(ec.q, publicX, publicY) &&
         mbedtls_mpi_read_binary(&ec.r, rs.data(), kP256NumberSize) == 0 &&
         mbedtls_mpi_read_binary(&ec.s, rs.data() + kP256NumberSize, kP256NumberSize) == 0 &&
         Verify(ec, digest) == 0;
}
