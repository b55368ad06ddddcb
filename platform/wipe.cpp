// SPDX-License-Identifier: Apache-2.0
#include "platform/wipe.h"

#include "core/program_state.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstring>
#endif

void WipeBytes(void* data, std::size_t size) {
#ifdef _WIN32
  SecureZeroMemory(data, size);
#else
  explicit_bzero(data, size);
#endif
}

void WipeSigningSecrets() {
  WipeSecret(InfoSettings.PRIVATE_KEY);
  WipeSecret(InfoSettings.RANDOM_K);
}
