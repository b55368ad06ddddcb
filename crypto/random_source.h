// SPDX-License-Identifier: Apache-2.0
// The random source the signing step draws from: the operating system's
// (platform/platform.h), or a replacement put in by a test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Fills `out` completely. Returns 0, or -1 when the source failed; the
// buffer's content must then not be used.
int SystemRandomBytes(std::span<std::uint8_t> out);

// Test seam: replaces the source behind SystemRandomBytes (nullptr puts the
// operating system's back) and returns the one that was in place.
using RandomSourceFn = int (*)(std::span<std::uint8_t> out);
RandomSourceFn SetRandomSourceForTesting(RandomSourceFn source);
