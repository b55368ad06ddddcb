// SPDX-License-Identifier: Apache-2.0
// The random source that every draw of the crypto layer goes through: the
// operating system's (platform/os_random.h), unless a test has put in its
// own (a fixed nonce, a failing source).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Fills `out` completely. Returns 0, or -1 when the source failed; the
// buffer's content must then not be used.
int ReplaceableRandomBytes(std::span<std::uint8_t> out);

// Replaces the source behind ReplaceableRandomBytes (nullptr puts the
// operating system's back) and returns the one that was in place.
using RandomSourceFn = int (*)(std::span<std::uint8_t> out);
RandomSourceFn SetRandomSourceForTesting(RandomSourceFn source);
