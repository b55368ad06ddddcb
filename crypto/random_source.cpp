// SPDX-License-Identifier: Apache-2.0
#include "crypto/random_source.h"

#include "platform/os_random.h"

namespace {

RandomSourceFn currentSource = nullptr;

}  // namespace

int ReplaceableRandomBytes(std::span<std::uint8_t> out) {
  return currentSource != nullptr ? currentSource(out) : OsRandomBytes(out);
}

RandomSourceFn SetRandomSourceForTesting(RandomSourceFn source) {
  const RandomSourceFn previous = currentSource;
  currentSource = source;
  return previous;
}
