// SPDX-License-Identifier: Apache-2.0
// The three program-wide objects of a run. The driver owns them; every step
// reads and writes them in place.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/info_layout.h"

// An image must be strictly shorter than this; the buffer is one byte larger
// than the largest image so that a too-long file can be told apart.
inline constexpr std::size_t kBootImageCapacity = 0x40000;
// A key text holds at most 64 characters and the NUL; a longer value is cut
// at 64 (golden case sign-line-rules). The buffer is 68 bytes: the three bytes
// past the NUL are never written, and keep each text a whole number of 32-bit
// words.
inline constexpr std::size_t kKeyTextSize = 68;
inline constexpr std::size_t kKeyTextMaxChars = 64;

struct BootImageData {
  std::array<std::uint8_t, kBootImageCapacity> bytes;
  std::int32_t length;
};

using KeyText = std::array<char, kKeyTextSize>;

// CODE_EXE_ADDR has no field here: it lives in the INFO block at
// kInfoCodeExeAddrOffset, where the information file reader stores it.
struct InfoSettingsData {
  std::uint32_t INFO_ADDR;
  KeyText RANDOM_K;
  KeyText PRIVATE_KEY;
  KeyText PUBLIC_KEY_1;
  KeyText PUBLIC_KEY_2;
  bool infoAddrGiven;  // the file had an INFO_ADDR line
};

inline constexpr std::uint32_t kDefaultInfoAddr = 0xFFFFFFFF;

extern BootImageData BootImage;
extern InfoBlockData InfoBlock;
extern InfoSettingsData InfoSettings;

// Puts InfoSettings back to their initial values: INFO_ADDR 0xFFFFFFFF, texts empty.
void ResetInfoSettings();

// Clears the INFO block and resets the settings: the start of every run.
void ResetProgramState();

inline std::uint32_t CodeExeAddr() {
  return GetLe32(InfoBlock, kInfoCodeExeAddrOffset);
}
