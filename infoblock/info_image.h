// SPDX-License-Identifier: Apache-2.0
// The secure boot part of the image: the header words that mark the image and
// point to the INFO block, and the INFO block itself, hashed and signed.
#pragma once

#include "core/info_layout.h"

// Writes the magic "Tqlx", INFO_ADDR, 0 and the check word (INFO_ADDR minus
// the magic read as a little-endian word) at 0x1C-0x2B of the boot image,
// whatever the image's length.
void WriteImageHeaderWords();

// Fills the INFO block's fixed words and length, stores the image digest,
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
