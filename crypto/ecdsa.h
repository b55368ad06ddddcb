// SPDX-License-Identifier: Apache-2.0
// ECDSA P-256 over a SHA-256 digest: Ravelsign's signature with the key
// texts of the information file, the check of a signature made elsewhere,
// and the verification a device makes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/info_layout.h"

// r or s as the console shows it: the library's radix-16 text.
using NumberText = std::array<char, 2 * kP256NumberSize + 8>;

struct SignatureValues {
  RawSignature raw;  // r ‖ s, as the INFO block stores them
  NumberText r;
  NumberText s;
};

// Signs `digest` with PRIVATE_KEY and the nonce (PrepareNonce), then checks
// the signature with PUBLIC_KEY_1 and PUBLIC_KEY_2, printing "ECDSA sign
// success." or "ECDSA sign failed!" and "ECDSA verify OK." or "ECDSA verify
// failed!". The key texts are read as the signer reads them (ReadSignerNumber).
// PRIVATE_KEY and RANDOM_K are wiped on every path. Returns 0 with `values`
// set (a failed signature gives zeros), or -1 after printing why the step
// could not run (the curve, the random source, an r or s out of range).
int SignWithKeyTexts(const Sha256Digest& digest, SignatureValues& values);

// Takes a signature made elsewhere (a token, a key service) only when it is
// good: 1 <= r, s < n, the public key is a point of P-256, and it verifies
// over `digest`. Prints "ECDSA verify OK." or why it is refused. Returns 0
// with `values` set, or -1.
int CheckSignature(const Sha256Digest& digest, const RawSignature& signature, const PublicKeyBytes& publicKey,
                   SignatureValues& values);

// Whether r ‖ s verifies over `digest` with the public key given as X and Y
// hex texts. Prints nothing.
bool SignatureVerifies(const Sha256Digest& digest, std::span<const std::uint8_t> rs, const char* publicX,
                       const char* publicY);
