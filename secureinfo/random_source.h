// The operating system's cryptographic random source: getrandom(2) on Linux,
// BCryptGenRandom with the system-preferred generator on Windows.
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
