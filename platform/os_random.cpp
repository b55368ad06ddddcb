// SPDX-License-Identifier: Apache-2.0
#include "platform/os_random.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>

#if defined(_WIN32)
// clang-format off
#include "platform/windows_api.h"
#include <bcrypt.h>
// clang-format on
#else
#include <sys/random.h>
#include <sys/types.h>
#endif

#if defined(_WIN32)

int OsRandomBytes(std::span<std::uint8_t> out) {
  // BCryptGenRandom takes a ULONG count; ask in chunks well below its limit.
  constexpr std::size_t kChunk = 0x10000;
  std::size_t done = 0;
  while (done < out.size()) {
    const auto chunk = static_cast<ULONG>(std::min(out.size() - done, kChunk));
    if (!BCRYPT_SUCCESS(
            BCryptGenRandom(nullptr, out.data() + done, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
      return -1;
    }
    done += chunk;
  }
  return 0;
}

#else

int OsRandomBytes(std::span<std::uint8_t> out) {
  // getrandom may return fewer bytes than asked or be interrupted by a
  // signal; loop until every byte has arrived.
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t got = getrandom(out.data() + done, out.size() - done, 0);
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      return -1;
    }
    done += static_cast<std::size_t>(got);
  }
  return 0;
}

#endif
