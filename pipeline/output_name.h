// SPDX-License-Identifier: Apache-2.0
// Name of the signed output file: the boot image path with its extension
// replaced by "_SBoot.hex".
#pragma once

#include <array>
#include <cstddef>

inline constexpr std::size_t kOutputNameSize = 512;  // characters, including the NUL
inline constexpr char kOutputSuffix[] = "_SBoot.hex";

using OutputName = std::array<char, kOutputNameSize>;

// Cuts the extension: scanning back from the last character to the second, a
// '/' or '\\' stops the scan and a '.' ends the name there; the first character
// is never examined, so ".bin" keeps its dot. Returns 0, or -1 (name left
// empty) when the result would not fit in 511 characters.
int MakeOutputName(const char* bootPath, OutputName& name);
