// SPDX-License-Identifier: Apache-2.0
// Asking a person for a secret (a token's PIN) at the terminal, without echo.
#pragma once

#include <span>

// Whether standard input is a terminal that a person can type into.
bool StandardInputIsTerminal();

// Prints `prompt` and reads one line from the terminal without echoing it,
// into `out` (NUL-terminated, line end dropped). Returns the number of
// characters read, or -1 when nothing could be read or the line does not fit.
// A signal that ends the process at the prompt puts the echo back first.
int ReadSecretLine(const char* prompt, std::span<char> out);
