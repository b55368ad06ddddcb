// SPDX-License-Identifier: Apache-2.0
// Binary layout of the secure boot image: the four header words written into
// the boot image, and the 272-byte INFO block that they point to.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// Header words, little-endian, inside the boot image.
inline constexpr std::size_t kHeaderMagicOffset = 0x1C;
inline constexpr std::size_t kHeaderInfoAddrOffset = 0x20;
inline constexpr std::size_t kHeaderReservedOffset = 0x24;
inline constexpr std::size_t kHeaderCheckOffset = 0x28;
inline constexpr std::size_t kHeaderEnd = 0x2C;
inline constexpr std::array<std::uint8_t, 4> kHeaderMagic = {'T', 'q', 'l', 'x'};

// INFO block fields: offset and size of each, in order.
inline constexpr std::size_t kInfoHeadPadOffset = 0x00;
inline constexpr std::size_t kInfoHeadPadSize = 64;
inline constexpr std::size_t kInfoFormatOffset = 0x40;         // constant 1
inline constexpr std::size_t kInfoImageDescSizeOffset = 0x44;  // size of the image description
inline constexpr std::size_t kInfoCodeExeAddrOffset = 0x48;
inline constexpr std::size_t kInfoImageLengthOffset = 0x4C;
inline constexpr std::size_t kInfoImageDescPadOffset = 0x50;
inline constexpr std::size_t kInfoImageDescPadSize = 16;
inline constexpr std::size_t kInfoDigestDescSizeOffset = 0x60;  // size of the digest description
inline constexpr std::size_t kInfoDigestDescPadOffset = 0x64;
inline constexpr std::size_t kInfoDigestDescPadSize = 12;
inline constexpr std::size_t kInfoImageDigestOffset = 0x70;
inline constexpr std::size_t kInfoSignatureROffset = 0x90;
inline constexpr std::size_t kInfoSignatureSOffset = 0xB0;
inline constexpr std::size_t kInfoTailPadOffset = 0xD0;
inline constexpr std::size_t kInfoTailPadSize = 64;
inline constexpr std::size_t kInfoWordSize = 4;
inline constexpr std::size_t kInfoNumberSize = 32;  // digest, r and s: big-endian 256-bit numbers

inline constexpr std::size_t kInfoBlockSize = 0x110;
inline constexpr std::size_t kHeaderWordsSize = kHeaderEnd - kHeaderMagicOffset;
inline constexpr std::size_t kInfoSignedLength = kInfoSignatureROffset;  // everything before r

inline constexpr std::uint32_t kInfoFormatValue = 1;
inline constexpr std::uint32_t kInfoImageDescSizeValue = 24;   // bytes 0x48-0x5F
inline constexpr std::uint32_t kInfoDigestDescSizeValue = 12;  // bytes 0x64-0x6F

static_assert(kInfoHeadPadOffset + kInfoHeadPadSize == kInfoFormatOffset);
static_assert(kInfoFormatOffset + kInfoWordSize == kInfoImageDescSizeOffset);
static_assert(kInfoImageDescSizeOffset + kInfoWordSize == kInfoCodeExeAddrOffset);
static_assert(kInfoCodeExeAddrOffset + kInfoWordSize == kInfoImageLengthOffset);
static_assert(kInfoImageLengthOffset + kInfoWordSize == kInfoImageDescPadOffset);
static_assert(kInfoImageDescPadOffset + kInfoImageDescPadSize == kInfoDigestDescSizeOffset);
static_assert(kInfoDigestDescSizeOffset + kInfoWordSize == kInfoDigestDescPadOffset);
static_assert(kInfoDigestDescPadOffset + kInfoDigestDescPadSize == kInfoImageDigestOffset);
static_assert(kInfoImageDigestOffset + kInfoNumberSize == kInfoSignatureROffset);
static_assert(kInfoSignatureROffset + kInfoNumberSize == kInfoSignatureSOffset);
static_assert(kInfoSignatureSOffset + kInfoNumberSize == kInfoTailPadOffset);
static_assert(kInfoTailPadOffset + kInfoTailPadSize == kInfoBlockSize);
static_assert(kInfoBlockSize == 272);
static_assert(kInfoImageDescSizeValue ==
              kInfoImageDescPadOffset + kInfoImageDescPadSize - kInfoCodeExeAddrOffset);
static_assert(kInfoDigestDescSizeValue == kInfoImageDigestOffset - kInfoDigestDescPadOffset);

// The 272-byte INFO block and the 16 bytes of header words, as bytes.
using InfoBlockData = std::array<std::uint8_t, kInfoBlockSize>;
using HeaderWords = std::array<std::uint8_t, kHeaderWordsSize>;

// The numbers the block carries: a SHA-256 digest, an ECDSA P-256 signature
// as r ‖ s, and (outside the block) a public key as X ‖ Y, each number 32
// big-endian bytes.
inline constexpr std::size_t kSha256Size = 32;
inline constexpr std::size_t kP256NumberSize = 32;
static_assert(kSha256Size == kInfoNumberSize && kP256NumberSize == kInfoNumberSize);
using Sha256Digest = std::array<std::uint8_t, kSha256Size>;
using RawSignature = std::array<std::uint8_t, 2 * kP256NumberSize>;
using PublicKeyBytes = std::array<std::uint8_t, 2 * kP256NumberSize>;
using PrivateKeyBytes = std::array<std::uint8_t, kP256NumberSize>;

inline std::uint32_t GetLe32(std::span<const std::uint8_t> bytes, std::size_t offset) {
  const auto word = bytes.subspan(offset, kInfoWordSize);
  return static_cast<std::uint32_t>(word[0]) | (static_cast<std::uint32_t>(word[1]) << 8U) |
         (static_cast<std::uint32_t>(word[2]) << 16U) | (static_cast<std::uint32_t>(word[3]) << 24U);
}

inline void PutLe32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
  const auto word = bytes.subspan(offset, kInfoWordSize);
  word[0] = static_cast<std::uint8_t>(value);
  word[1] = static_cast<std::uint8_t>(value >> 8U);
  word[2] = static_cast<std::uint8_t>(value >> 16U);
  word[3] = static_cast<std::uint8_t>(value >> 24U);
}
