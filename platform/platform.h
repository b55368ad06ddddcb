// Everything that differs between Linux and Windows, kept in one place.
#pragma once

#include <cstdint>
#include <span>

// Fills `out` completely from the operating system's cryptographic random
// source: getrandom(2) on Linux, BCryptGenRandom with the system-preferred
// generator on Windows. Returns 0, or -1 when the source failed; the buffer's
// content must then not be used.
int OsRandomBytes(std::span<std::uint8_t> out);

// Puts standard output in binary mode, so that every console byte is the same
// on both systems (Windows' text mode would turn "\n" into "\r\n"). Returns 0
// or -1. Nothing to do on Linux.
int UseBinaryStandardOutput();
