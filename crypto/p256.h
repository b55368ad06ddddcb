// SPDX-License-Identifier: Apache-2.0
// The library objects of one P-256 operation, and the two ways key texts are
// read into them. Included only by crypto/.
//
// Every function that works on the curve follows one idiom: a P256 on the
// stack, InitP256 at the top, a ScopeGuard that runs FreeP256 on every path
// out, whatever failed in between:
//
//   P256 ec;
//   const bool ready = InitP256(ec);
//   const ScopeGuard freeEc([&] { FreeP256(ec); });
#pragma once

#include <mbedtls/bignum.h>
#include <mbedtls/ecp.h>

#include <cstddef>
#include <span>

#include "core/info_layout.h"

struct P256 {
  mbedtls_ecp_group group;
  mbedtls_mpi d;        // a private key, or a nonce being checked
  mbedtls_ecp_point q;  // a public key
  mbedtls_mpi r;
  mbedtls_mpi s;
};

// Initialises every object and loads the curve. Returns false when the curve
// could not be loaded; FreeP256 must run either way.
bool InitP256(P256& ec);
// Frees every object; the private key's limbs are wiped first.
void FreeP256(P256& ec);

// The signer's reads, lenient on purpose: Ravelsign hands the information
// file's texts to the library as they are, in radix 16, and lets a bad
// private key fail the signature and a bad public key fail the check, with
// status 0 and the output written (golden case sign-key-problems).
// The library reads a text from its last character back to the first that
// is not a hex digit, a leading '-' makes it negative, and the empty text is
// 0. A point whose X does not read keeps Y unread and Z unset.
// Both return whether every character was read.
bool ReadSignerNumber(mbedtls_mpi& value, const char* text);
bool ReadSignerPoint(mbedtls_ecp_point& point, const char* x, const char* y);

// The strict read of import, export and the companions: every character a
// hex digit, no sign, at most 256 bits.
bool ReadStrictNumber(mbedtls_mpi& value, const char* text);

// A point from its 64 bytes X ‖ Y, and back.
bool PointFromBytes(const P256& ec, mbedtls_ecp_point& point, const PublicKeyBytes& bytes);
bool PointToBytes(const P256& ec, const mbedtls_ecp_point& point, PublicKeyBytes& bytes);

// The library's random callback wherever it draws for itself, not for a
// nonce: generating a key pair, and blinding point multiplications. Bytes
// from the same source as the nonce.
int KeyAndBlindingRandom(void* state, unsigned char* out, std::size_t length);
