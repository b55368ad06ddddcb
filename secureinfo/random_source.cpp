#include "secureinfo/random_source.h"

#include <algorithm>

#if defined(_WIN32)
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on
#else
#include <sys/random.h>

#include <cerrno>
#endif

namespace {

int OperatingSystemRandomBytes(std::span<std::uint8_t> out) {
#if defined(_WIN32)
  std::size_t done = 0;
  while (done < out.size()) {
    const auto chunk = static_cast<ULONG>(std::min<std::size_t>(out.size() - done, 0x10000));
    if (BCryptGenRandom(nullptr, out.data() + done, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0) {
      return -1;
    }
    done += chunk;
  }
  return 0;
#else
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
#endif
}

RandomSourceFn currentSource = nullptr;

}  // namespace

int SystemRandomBytes(std::span<std::uint8_t> out) {
  return currentSource != nullptr ? currentSource(out) : OperatingSystemRandomBytes(out);
}

RandomSourceFn SetRandomSourceForTesting(RandomSourceFn source) {
  const RandomSourceFn previous = currentSource;
  currentSource = source;
  return previous;
}
