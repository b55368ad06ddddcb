// SPDX-License-Identifier: Apache-2.0
// The few calls whose form differs between the two mbed TLS series the tools
// build against, 2.28 and 3.6 LTS. Each function does one thing the same way
// on both; no other file asks which series it has. Included only by crypto/.
#pragma once

#include <mbedtls/ecp.h>
#include <mbedtls/pem.h>
#include <mbedtls/pk.h>
#include <mbedtls/sha256.h>

#include <cstddef>
#include <cstdint>
#include <span>

// The library's random-byte callback.
using LibraryRandom = int (*)(void* state, unsigned char* out, std::size_t length);

// SHA-256 (not SHA-224) of `data` into `digest`, with a context the caller
// has initialised and frees. Returns the library's result.
int Sha256Start(mbedtls_sha256_context& context);
int Sha256Update(mbedtls_sha256_context& context, std::span<const std::uint8_t> data);
int Sha256Finish(mbedtls_sha256_context& context, std::span<std::uint8_t, 32> digest);

// Parses a private key file (PEM with its NUL counted, or DER); 3.6 blinds
// the key's checks with `random`.
int ParseKeyFileWithRandom(mbedtls_pk_context& pk, std::span<const std::uint8_t> bytes, LibraryRandom random);

// Whether the public key a private key file carries is its own.
int CheckKeyFilePair(const mbedtls_ecp_keypair& pair, LibraryRandom random);

// The curve of a parsed key pair, and copies of its public part and, when
// `d` is given, its private part.
mbedtls_ecp_group_id KeyPairCurve(const mbedtls_ecp_keypair& pair);
int CopyKeyPairParts(const mbedtls_ecp_keypair& pair, mbedtls_mpi* d, mbedtls_ecp_point& q);

// Makes `pair` the P-256 public key `q`, for writing it out.
int SetP256PublicKey(mbedtls_ecp_keypair& pair, const mbedtls_ecp_point& q);

// The bytes a PEM block decoded to.
std::span<const std::uint8_t> PemBytes(mbedtls_pem_context& pem);

// The number as the library's radix-16 text (upper case, no leading zero
// bytes). A zero that never held a digit is the empty text, as 2.28 writes
// it. Returns the library's result.
int WriteNumberText(const mbedtls_mpi& value, std::span<char> text);
