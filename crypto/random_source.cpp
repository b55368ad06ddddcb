// SPDX-License-Identifier: Apache-2.0
#include "crypto/random_source.h"

#include "platform/platform.h"

namespace {

RandomSourceFn currentSource = nullptr;

}  // namespace

int SystemRandomBytes(std::span<std::uint8_t> out) {
  return currentSource != nullptr ? currentSource(out) : OsRandomBytes(out);
}

RandomSourceFn SetRandomSourceForTesting(RandomSourceFn source) {
  const RandomSourceFn previous = currentSource;
  currentSource = source;
  return previous;
}
