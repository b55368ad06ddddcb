// The secure boot part of the image: the header words that mark the image and
// point to the INFO block, and the INFO block itself, hashed and signed.
#pragma once

#include <array>
#include <cstdint>
#include <span>

inline constexpr std::size_t kSha256Size = 32;
using Sha256Digest = std::array<std::uint8_t, kSha256Size>;

// Writes the magic "Tqlx", INFO_ADDR, 0 and the check word (INFO_ADDR minus
// the magic read as a little-endian word) at 0x1C-0x2B of the boot image,
// whatever the image's length.
void WriteImageHeaderWords();

// Fills the INFO block's fixed words and length, stores the image digest,
// signs the digest of the block's first 144 bytes with ECDSA P-256, checks the
// signature with the public key and stores r and s, printing each value.
// A failed signature or check is reported and is not a failure of the step;
// returns -1 only when the random source or the hashing failed.
int MakeInfoImage();

// The signing part of MakeInfoImage: signs `infoDigest` with PRIVATE_KEY and
// the nonce, checks the signature with the public key, prints and stores r
// and s. Returns -1 only when the random source failed.
int SignInfoDigest(const Sha256Digest& infoDigest);

// SHA-256 of `data`. Returns 0, or -1 on a library failure.
int Sha256(std::span<const std::uint8_t> data, Sha256Digest& digest);
