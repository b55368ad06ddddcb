// SPDX-License-Identifier: Apache-2.0
#include "platform/wipe.h"

#include <mbedtls/platform_util.h>

void WipeBytes(void* data, std::size_t size) {
  mbedtls_platform_zeroize(data, size);
}
