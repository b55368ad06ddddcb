#include "platform/platform.h"

#include <algorithm>
#include <cstddef>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#else
#include <sys/random.h>

#include <cerrno>
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

int UseBinaryStandardOutput() {
  return _setmode(_fileno(stdout), _O_BINARY) == -1 ? -1 : 0;
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

int UseBinaryStandardOutput() {
  return 0;
}

#endif
