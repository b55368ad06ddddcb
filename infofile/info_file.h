// Reader of the information file: key lines giving the load addresses, the
// key pair and the optional nonce, stored into InfoSettings (and
// CODE_EXE_ADDR into the INFO block) and echoed to standard output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

inline constexpr std::size_t kInfoLineMaxChars = 255;

// Whether the echo lines show the secrets (PRIVATE_KEY, RANDOM_K). A
// verifier reads the same files but must never print them.
enum class SecretEcho { Shown, Hidden };

// Reads the file at `path` to its end. Returns 0, or -1 when it cannot be
// opened or a read fails (after printing why). Nothing in the content is an error.
int ParseInfoFile(const char* path, SecretEcho secrets = SecretEcho::Shown);

// A number value as the "%x" conversion reads it, with glibc's results on
// every system: `current` when no number can be read, else the number's low
// 32 bits (negated for '-'), or 0xFFFFFFFF past 64 bits.
std::uint32_t ReadHexNumber(std::string_view text, std::uint32_t current);
