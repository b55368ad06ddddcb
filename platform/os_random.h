// SPDX-License-Identifier: Apache-2.0
// The operating system's cryptographic random source.
#pragma once

#include <cstdint>
#include <span>

// Fills `out` completely from the operating system's cryptographic random
// source: getrandom(2) on Linux, BCryptGenRandom with the system-preferred
// generator on Windows. Returns 0, or -1 when the source failed; the buffer's
// content must then not be used.
int OsRandomBytes(std::span<std::uint8_t> out);
