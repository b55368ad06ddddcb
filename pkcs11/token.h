// SPDX-License-Identifier: Apache-2.0
// Signing with a key that stays in a PKCS#11 token (a hardware security
// module, a smart card, SoftHSM), named by a PKCS#11 URI (RFC 7512).
// p11-kit parses the URI and loads the modules; this code walks the slots,
// logs in and signs. Every session is closed and every module finalized on
// every path; the PIN is wiped after the last login.
#pragma once

#include <cstdint>
#include <span>

#include "core/info_layout.h"

// The uncompressed P-256 point of a CKA_EC_POINT: a DER OCTET STRING holding
// 04 ‖ X ‖ Y, as PKCS#11 asks, or those 65 bytes bare, as some tokens give
// them. Returns false for anything else.
bool DecodeEcPoint(std::span<const std::uint8_t> value, PublicKeyBytes& publicKey);

// The token's public key for the key the URI names, when it gives one.
struct TokenPublicKey {
  bool present;
  PublicKeyBytes key;
};

// Signs `digest` with CKM_ECDSA using the P-256 private key the URI names,
// giving r ‖ s, and finds the token's public key for it. Returns 0, or -1
// after printing what is wrong (which part of the URI matched nothing, a
// wrong PIN, a key of another type).
int SignWithToken(const char* uri, const Sha256Digest& digest, RawSignature& signature,
                  TokenPublicKey& publicKey);

// The P-256 public key of the key pair the URI names. Returns 0, or -1 after
// printing what is wrong.
int ReadTokenPublicKey(const char* uri, PublicKeyBytes& publicKey);
