// SPDX-License-Identifier: Apache-2.0
// The INFO block: filled, hashed, and signed with the information file's key
// or with a signature made elsewhere.
#pragma once

#include "core/info_layout.h"

// Fills the INFO block's fixed words and length, stores the boot image's digest,
// and prints it and `infoDigest`, the digest of the block's first 144 bytes,
// which is what gets signed. Returns 0, or -1 when the hashing failed.
int HashInfoBlock(Sha256Digest& infoDigest);

// Ravelsign's signature: signs `infoDigest` with PRIVATE_KEY and the nonce,
// checks it with the public key, prints and stores r and s. A failed
// signature or check is reported and is not a failure of the step; returns
// -1 only when the curve, the random source or the values failed.
int SignInfoDigest(const Sha256Digest& infoDigest);

// Fills, hashes and signs the INFO block with the information file's key
// (HashInfoBlock, then SignInfoDigest). Returns 0 or -1.
int MakeInfoImage();

// Stores a signature made elsewhere (a token, an external signer) once it is
// known to be good: 1 <= r, s < n and it verifies over `infoDigest` with
// `publicKey`. Prints r and s as SignInfoDigest does. Returns 0, or -1 after
// printing why the signature was refused (the block is then left unsigned).
int AttachSignature(const Sha256Digest& infoDigest, const RawSignature& signature,
                    const PublicKeyBytes& publicKey);
