// SPDX-License-Identifier: Apache-2.0
// The secure boot part of the image: the header words that mark the image and
// point to the INFO block, and the INFO block itself, hashed and signed.
#pragma once

#include <array>
#include <cstdint>
#include <span>

inline constexpr std::size_t kSha256Size = 32;
using Sha256Digest = std::array<std::uint8_t, kSha256Size>;

// An ECDSA P-256 signature as r ‖ s, and a public key as X ‖ Y: two 32-byte
// big-endian numbers each.
inline constexpr std::size_t kP256NumberSize = 32;
using RawSignature = std::array<std::uint8_t, 2 * kP256NumberSize>;
using PublicKeyBytes = std::array<std::uint8_t, 2 * kP256NumberSize>;

// Writes the magic "Tqlx", INFO_ADDR, 0 and the check word (INFO_ADDR minus
// the magic read as a little-endian word) at 0x1C-0x2B of the boot image,
// whatever the image's length.
void WriteImageHeaderWords();

// How the digest of the INFO block's signed part gets signed: with the key
// of the information file (SignInfoDigest), by a token, or by a signature
// made elsewhere. Returns 0, or -1 after printing why; then nothing is written.
struct InfoSigner {
  int (*sign)(const Sha256Digest& infoDigest, void* context);
  void* context;
};

// Fills the INFO block's fixed words and length, stores the image digest,
// prints it and the digest of the block's first 144 bytes, and has `signer`
// sign that digest. Returns -1 when the hashing or the signer failed.
int MakeInfoImage(const InfoSigner& signer);

// Ravelsign's signer: signs `infoDigest` with PRIVATE_KEY and the nonce,
// checks the signature with the public key, prints and stores r and s. A
// failed signature or check is reported and is not a failure of the step;
// returns -1 only when the random source failed.
int SignInfoDigest(const Sha256Digest& infoDigest);
inline constexpr InfoSigner kInfoFileKeySigner = {
    [](const Sha256Digest& infoDigest, void* /*context*/) { return SignInfoDigest(infoDigest); }, nullptr};

// Stores a signature made elsewhere (a token, an external signer) once it is
// known to be good: 1 <= r, s < n and it verifies over `infoDigest` with
// `publicKey`. Prints r and s as SignInfoDigest does. Returns 0, or -1 after
// printing why the signature was refused (the block is then left unsigned).
int AttachSignature(const Sha256Digest& infoDigest, const RawSignature& signature,
                    const PublicKeyBytes& publicKey);

// SHA-256 of `data`. Returns 0, or -1 on a library failure.
int Sha256(std::span<const std::uint8_t> data, Sha256Digest& digest);
