// SPDX-License-Identifier: Apache-2.0
#include <mbedtls/bignum.h>
#include <mbedtls/ecdsa.h>
#include <mbedtls/ecp.h>
#include <mbedtls/sha256.h>

#include <cstdio>

#include "core/hex_digit.h"
#include "core/program_state.h"
#include "core/scope_guard.h"
#include "crypto/nonce.h"
#include "infoblock/info_image.h"
#include "platform/wipe.h"

namespace {

constexpr int kRadix16 = 16;

// Everything the signature needs, owned by one MakeInfoImage call.
struct SigningObjects {
  mbedtls_ecp_group group;
  mbedtls_ecp_point publicKey;
  mbedtls_mpi privateKey;
  mbedtls_mpi r;
  mbedtls_mpi s;
};

void PrintDigest(const char* label, std::span<const std::uint8_t, kSha256Size> digest) {
  std::array<char, 2 * kSha256Size + 1> text{};
  FormatHex(digest, text, kLowerHexDigits);
  std::printf("%s%s\n", label, text.data());
}

// Prints a signature value in the library's radix-16 form (uppercase, no
// leading zero bytes, nothing for zero) and stores it right-aligned in its
// 32-byte field.
int PrintAndStoreNumber(const char* format, const mbedtls_mpi& value, std::size_t offset) {
  std::array<char, 2 * kInfoNumberSize + 8> text{};
  std::size_t written = 0;
  if (mbedtls_mpi_write_string(&value, kRadix16, text.data(), text.size(), &written) != 0 ||
      mbedtls_mpi_write_binary(&value, &InfoBlock[offset], kInfoNumberSize) != 0) {
    std::printf("ECDSA signature value out of range!\n");
    return -1;
  }
  std::printf(format, text.data());
  return 0;
}

int SignWithObjects(SigningObjects& objects, const Sha256Digest& infoDigest) {
  if (mbedtls_ecp_group_load(&objects.group, MBEDTLS_ECP_DP_SECP256R1) != 0) {
    std::printf("ECDSA curve setup failed!\n");
    return -1;
  }
  // Unreadable key texts are not refused here: a bad private key makes the
  // signature fail and a bad public key makes the check fail, both reported.
  static_cast<void>(mbedtls_ecp_point_read_string(
      &objects.publicKey, kRadix16, InfoSettings.PUBLIC_KEY_1.data(), InfoSettings.PUBLIC_KEY_2.data()));
  static_cast<void>(mbedtls_mpi_read_string(&objects.privateKey, kRadix16, InfoSettings.PRIVATE_KEY.data()));
  WipeSecret(InfoSettings.PRIVATE_KEY);

  std::array<std::uint8_t, kNonceBufferSize> nonceBytes{};
  NonceState nonce{};
  if (PrepareNonce(nonceBytes, nonce) != 0) {
    return -1;
  }
  const int signResult = mbedtls_ecdsa_sign(&objects.group, &objects.r, &objects.s, &objects.privateKey,
                                            infoDigest.data(), infoDigest.size(), FixedKSource, &nonce);
  WipeSecret(nonceBytes);
  WipeSecret(InfoSettings.RANDOM_K);
  if (nonce.randomFailed) {
    std::printf("Random number generation failed!\n");
    return -1;
  }
  std::printf(signResult == 0 ? "ECDSA sign success.\n" : "ECDSA sign failed!\n");

  const int verifyResult = mbedtls_ecdsa_verify(&objects.group, infoDigest.data(), infoDigest.size(),
                                                &objects.publicKey, &objects.r, &objects.s);
  std::printf(verifyResult == 0 ? "ECDSA verify OK.\n" : "ECDSA verify failed!\n");

  if (PrintAndStoreNumber("r = [%s]\n", objects.r, kInfoSignatureROffset) != 0 ||
      PrintAndStoreNumber("s = [%s]\n", objects.s, kInfoSignatureSOffset) != 0) {
    return -1;
  }
  return 0;
}

}  // namespace

int SignInfoDigest(const Sha256Digest& infoDigest) {
  SigningObjects objects{};
  mbedtls_ecp_group_init(&objects.group);
  mbedtls_ecp_point_init(&objects.publicKey);
  mbedtls_mpi_init(&objects.privateKey);
  mbedtls_mpi_init(&objects.r);
  mbedtls_mpi_init(&objects.s);
  const int result = SignWithObjects(objects, infoDigest);
  // mbedtls_mpi_free wipes the limbs of the private key before freeing them.
  mbedtls_mpi_free(&objects.s);
  mbedtls_mpi_free(&objects.r);
  mbedtls_mpi_free(&objects.privateKey);
  mbedtls_ecp_point_free(&objects.publicKey);
  mbedtls_ecp_group_free(&objects.group);
  return result;
}

int Sha256(std::span<const std::uint8_t> data, Sha256Digest& digest) {
  mbedtls_sha256_context context;
  mbedtls_sha256_init(&context);
  const bool ok = mbedtls_sha256_starts_ret(&context, 0) == 0 &&
                  mbedtls_sha256_update_ret(&context, data.data(), data.size()) == 0 &&
                  mbedtls_sha256_finish_ret(&context, digest.data()) == 0;
  mbedtls_sha256_free(&context);
  return ok ? 0 : -1;
}

int AttachSignature(const Sha256Digest& infoDigest, const RawSignature& signature,
                    const PublicKeyBytes& publicKey) {
  mbedtls_ecp_group group;
  mbedtls_ecp_point point;
  mbedtls_mpi r;
  mbedtls_mpi s;
  mbedtls_ecp_group_init(&group);
  mbedtls_ecp_point_init(&point);
  mbedtls_mpi_init(&r);
  mbedtls_mpi_init(&s);
  const ScopeGuard freeAll([&] {
    mbedtls_mpi_free(&s);
    mbedtls_mpi_free(&r);
    mbedtls_ecp_point_free(&point);
    mbedtls_ecp_group_free(&group);
  });
  const auto half = [](const auto& pair, std::size_t which) {
    return std::span(pair).subspan(which * kP256NumberSize, kP256NumberSize);
  };
  if (mbedtls_ecp_group_load(&group, MBEDTLS_ECP_DP_SECP256R1) != 0 ||
      mbedtls_mpi_read_binary(&r, half(signature, 0).data(), kP256NumberSize) != 0 ||
      mbedtls_mpi_read_binary(&s, half(signature, 1).data(), kP256NumberSize) != 0 ||
      mbedtls_mpi_read_binary(&point.X, half(publicKey, 0).data(), kP256NumberSize) != 0 ||
      mbedtls_mpi_read_binary(&point.Y, half(publicKey, 1).data(), kP256NumberSize) != 0 ||
      mbedtls_mpi_lset(&point.Z, 1) != 0) {
    std::printf("ECDSA setup failed!\n");
    return -1;
  }
  if (mbedtls_mpi_cmp_int(&r, 1) < 0 || mbedtls_mpi_cmp_mpi(&r, &group.N) >= 0 ||
      mbedtls_mpi_cmp_int(&s, 1) < 0 || mbedtls_mpi_cmp_mpi(&s, &group.N) >= 0) {
    std::printf("ECDSA signature refused: r and s must lie between 1 and n - 1!\n");
    return -1;
  }
  if (mbedtls_ecp_check_pubkey(&group, &point) != 0) {
    std::printf("ECDSA signature refused: the public key is not a point on P-256!\n");
    return -1;
  }
  if (mbedtls_ecdsa_verify(&group, infoDigest.data(), infoDigest.size(), &point, &r, &s) != 0) {
    std::printf("ECDSA signature refused: it does not verify over this INFO block with the public key!\n");
    return -1;
  }
  std::printf("ECDSA verify OK.\n");
  return PrintAndStoreNumber("r = [%s]\n", r, kInfoSignatureROffset) == 0 &&
                 PrintAndStoreNumber("s = [%s]\n", s, kInfoSignatureSOffset) == 0
             ? 0
             : -1;
}

int MakeInfoImage(const InfoSigner& signer) {
  PutLe32(InfoBlock, kInfoFormatOffset, kInfoFormatValue);
  PutLe32(InfoBlock, kInfoImageDescSizeOffset, kInfoImageDescSizeValue);
  PutLe32(InfoBlock, kInfoImageLengthOffset, static_cast<std::uint32_t>(BootImage.length));
  PutLe32(InfoBlock, kInfoDigestDescSizeOffset, kInfoDigestDescSizeValue);

  Sha256Digest imageDigest{};
  Sha256Digest infoDigest{};
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

  return signer.sign(infoDigest, signer.context);
}
