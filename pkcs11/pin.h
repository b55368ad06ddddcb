// SPDX-License-Identifier: Apache-2.0
// Where a token's PIN comes from, kept apart from where it is used (the
// login): the URI's pin-value or pin-source, else RAVELHSM_PIN, else the
// terminal. The PIN lives in one buffer, wiped by its owner after the last
// login.
#pragma once

#include <p11-kit/uri.h>

#include <array>
#include <cstddef>
#include <string>

inline constexpr std::size_t kMaxPinChars = 255;

struct TokenPin {
  std::array<char, kMaxPinChars + 2> text;  // NUL-terminated
  bool known;                               // text holds a PIN
};

// Finds the PIN for the token labelled `tokenLabel`. An empty PIN is no PIN:
// a login with it would only use up one of the token's retries (an unset CI
// secret is often empty). Without any PIN, an error, never a wait. Returns 0
// with `pin.known` set, or -1 after saying why.
int FindPin(P11KitUri* uri, const std::string& tokenLabel, TokenPin& pin);

// Forgets the PIN: every byte of the buffer is wiped, and a later login
// would have to find it again.
void WipePin(TokenPin& pin);
