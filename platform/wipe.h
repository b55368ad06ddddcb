// SPDX-License-Identifier: Apache-2.0
// Wiping of secrets (key texts, nonce, PIN, line buffers that held them) in a
// way the compiler may not optimise away.
#pragma once

#include <array>
#include <cstddef>

// explicit_bzero on Linux, SecureZeroMemory on Windows.
void WipeBytes(void* data, std::size_t size);

template <typename T, std::size_t N>
void WipeSecret(std::array<T, N>& buffer) {
  WipeBytes(buffer.data(), sizeof(T) * N);
}

// Wipes the two secrets the information file put in InfoSettings,
// PRIVATE_KEY and RANDOM_K: after signing, and in every tool that reads the
// file but signs elsewhere.
void WipeSigningSecrets();
