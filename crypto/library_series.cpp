// SPDX-License-Identifier: Apache-2.0
#include "crypto/library_series.h"

#include <mbedtls/bignum.h>
#include <mbedtls/version.h>

#if MBEDTLS_VERSION_MAJOR == 2
// 2.28 names the SHA-256 calls with "_ret" and has no accessors for the
// members that 3.x made private.
int Sha256Start(mbedtls_sha256_context& context) {
  return mbedtls_sha256_starts_ret(&context, 0);
}
int Sha256Update(mbedtls_sha256_context& context, std::span<const std::uint8_t> data) {
  return mbedtls_sha256_update_ret(&context, data.data(), data.size());
}
int Sha256Finish(mbedtls_sha256_context& context, std::span<std::uint8_t, 32> digest) {
  return mbedtls_sha256_finish_ret(&context, digest.data());
}
int ParseKeyFileWithRandom(mbedtls_pk_context& pk, std::span<const std::uint8_t> bytes,
                           LibraryRandom /*random*/) {
  return mbedtls_pk_parse_key(&pk, bytes.data(), bytes.size(), nullptr, 0);
}
int CheckKeyFilePair(const mbedtls_ecp_keypair& pair, LibraryRandom /*random*/) {
  return mbedtls_ecp_check_pub_priv(&pair, &pair);
}
mbedtls_ecp_group_id KeyPairCurve(const mbedtls_ecp_keypair& pair) {
  return pair.grp.id;
}
int CopyKeyPairParts(const mbedtls_ecp_keypair& pair, mbedtls_mpi* d, mbedtls_ecp_point& q) {
  const int result = d != nullptr ? mbedtls_mpi_copy(d, &pair.d) : 0;
  return result != 0 ? result : mbedtls_ecp_copy(&q, &pair.Q);
}
int SetP256PublicKey(mbedtls_ecp_keypair& pair, const mbedtls_ecp_point& q) {
  const int result = mbedtls_ecp_group_load(&pair.grp, MBEDTLS_ECP_DP_SECP256R1);
  return result != 0 ? result : mbedtls_ecp_copy(&pair.Q, &q);
}
std::span<const std::uint8_t> PemBytes(mbedtls_pem_context& pem) {
  return {pem.buf, pem.buflen};
}
#else
int Sha256Start(mbedtls_sha256_context& context) {
  return mbedtls_sha256_starts(&context, 0);
}
int Sha256Update(mbedtls_sha256_context& context, std::span<const std::uint8_t> data) {
  return mbedtls_sha256_update(&context, data.data(), data.size());
}
int Sha256Finish(mbedtls_sha256_context& context, std::span<std::uint8_t, 32> digest) {
  return mbedtls_sha256_finish(&context, digest.data());
}
int ParseKeyFileWithRandom(mbedtls_pk_context& pk, std::span<const std::uint8_t> bytes,
                           LibraryRandom random) {
  return mbedtls_pk_parse_key(&pk, bytes.data(), bytes.size(), nullptr, 0, random, nullptr);
}
int CheckKeyFilePair(const mbedtls_ecp_keypair& pair, LibraryRandom random) {
  return mbedtls_ecp_check_pub_priv(&pair, &pair, random, nullptr);
}
mbedtls_ecp_group_id KeyPairCurve(const mbedtls_ecp_keypair& pair) {
  return mbedtls_ecp_keypair_get_group_id(&pair);
}
int CopyKeyPairParts(const mbedtls_ecp_keypair& pair, mbedtls_mpi* d, mbedtls_ecp_point& q) {
  return mbedtls_ecp_export(&pair, nullptr, d, &q);
}
int SetP256PublicKey(mbedtls_ecp_keypair& pair, const mbedtls_ecp_point& q) {
  return mbedtls_ecp_set_public_key(MBEDTLS_ECP_DP_SECP256R1, &pair, &q);
}
std::span<const std::uint8_t> PemBytes(mbedtls_pem_context& pem) {
  std::size_t length = 0;
  const unsigned char* bytes = mbedtls_pem_get_buffer(&pem, &length);
  return {bytes, bytes != nullptr ? length : 0};
}
#endif

int WriteNumberText(const mbedtls_mpi& value, std::span<char> text) {
  std::size_t written = 0;
  return mbedtls_mpi_write_string(&value, 16, text.data(), text.size(), &written);
}
