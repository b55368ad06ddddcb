// SPDX-License-Identifier: Apache-2.0
#include "platform/wipe.h"

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
