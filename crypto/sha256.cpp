// SPDX-License-Identifier: Apache-2.0
#include "crypto/sha256.h"

#include <mbedtls/sha256.h>

#include "core/scope_guard.h"
#include "crypto/library_series.h"

int Sha256(std::span<const std::uint8_t> data, Sha256Digest& digest) {
  mbedtls_sha256_context context;
  mbedtls_sha256_init(&context);
  const ScopeGuard freeContext([&] { mbedtls_sha256_free(&context); });
  return Sha256Start(context) == 0 && Sha256Update(context, data) == 0 && Sha256Finish(context, digest) == 0
             ? 0
             : -1;
}
