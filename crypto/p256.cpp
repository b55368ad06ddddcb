// SPDX-License-Identifier: Apache-2.0
#include "crypto/p256.h"

#include <array>

#include "crypto/random_source.h"

namespace {

constexpr int kRadix16 = 16;
// 0x04 ‖ X ‖ Y: the uncompressed form of a point.
constexpr std::uint8_t kUncompressedPoint = 0x04;
using PointBytes = std::array<std::uint8_t, 1 + 2 * kP256NumberSize>;

}  // namespace

bool InitP256(P256& ec) {
  mbedtls_ecp_group_init(&ec.group);
  mbedtls_mpi_init(&ec.d);
  mbedtls_ecp_point_init(&ec.q);
  mbedtls_mpi_init(&ec.r);
  mbedtls_mpi_init(&ec.s);
  return mbedtls_ecp_group_load(&ec.group, MBEDTLS_ECP_DP_SECP256R1) == 0;
}

void FreeP256(P256& ec) {
  // mbedtls_mpi_free wipes the limbs before freeing them.
  mbedtls_mpi_free(&ec.s);
  mbedtls_mpi_free(&ec.r);
  mbedtls_ecp_point_free(&ec.q);
  mbedtls_mpi_free(&ec.d);
  mbedtls_ecp_group_free(&ec.group);
}

bool ReadSignerNumber(mbedtls_mpi& value, const char* text) {
  return mbedtls_mpi_read_string(&value, kRadix16, text) == 0;
}

bool ReadSignerPoint(mbedtls_ecp_point& point, const char* x, const char* y) {
  return mbedtls_ecp_point_read_string(&point, kRadix16, x, y) == 0;
}

bool ReadStrictNumber(mbedtls_mpi& value, const char* text) {
  return text[0] != '\0' && mbedtls_mpi_read_string(&value, kRadix16, text) == 0 &&
         mbedtls_mpi_cmp_int(&value, 0) >= 0 && mbedtls_mpi_bitlen(&value) <= 8 * kP256NumberSize;
}

bool PointFromBytes(const P256& ec, mbedtls_ecp_point& point, const PublicKeyBytes& bytes) {
  PointBytes encoded{};
  encoded[0] = kUncompressedPoint;
  std::copy(bytes.begin(), bytes.end(), encoded.begin() + 1);
  return mbedtls_ecp_point_read_binary(&ec.group, &point, encoded.data(), encoded.size()) == 0;
}

bool PointToBytes(const P256& ec, const mbedtls_ecp_point& point, PublicKeyBytes& bytes) {
  PointBytes encoded{};
  std::size_t length = 0;
  if (mbedtls_ecp_point_write_binary(&ec.group, &point, MBEDTLS_ECP_PF_UNCOMPRESSED, &length, encoded.data(),
                                     encoded.size()) != 0 ||
      length != encoded.size()) {
    return false;
  }
  std::copy(encoded.begin() + 1, encoded.end(), bytes.begin());
  return true;
}

int KeyAndBlindingRandom(void* /*state*/, unsigned char* out, std::size_t length) {
  return ReplaceableRandomBytes(std::span(out, length)) == 0 ? 0 : MBEDTLS_ERR_ECP_RANDOM_FAILED;
}
