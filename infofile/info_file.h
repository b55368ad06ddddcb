// Reader of the information file: key lines giving the load addresses, the
// key pair and the optional nonce, stored into InfoSettings (and
// CODE_EXE_ADDR into the INFO block) and echoed to standard output.
#pragma once

#include <cstddef>

inline constexpr std::size_t kInfoLineMaxChars = 255;

// Whether the echo lines show the secrets (PRIVATE_KEY, RANDOM_K). A
// verifier reads the same files but must never print them.
enum class SecretEcho { Shown, Hidden };

// Reads the file at `path` to its end. Returns 0, or -1 when it cannot be
// opened or a read fails (after printing why). Nothing in the content is an error.
int ParseInfoFile(const char* path, SecretEcho secrets = SecretEcho::Shown);
