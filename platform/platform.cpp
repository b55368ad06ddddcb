// SPDX-License-Identifier: Apache-2.0
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
#include <conio.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {

// Collects one line, a character at a time, from `next` (which returns EOF
// when nothing more can be read) into `out`. The characters never pass
// through a stream buffer that could not be wiped. Returns the length, or -1
// when the line did not end before the buffer was full: no PIN is silently cut.
template <typename NextChar>
int CollectSecretLine(std::span<char> out, NextChar next) {
  std::size_t length = 0;
  bool ended = false;
  for (int c = next(); c != EOF; c = next()) {
    if (c == '\r' || c == '\n') {
      ended = true;
      break;
    }
    if (length + 1 >= out.size()) {
      break;
    }
    out[length++] = static_cast<char>(c);
  }
  out[length] = '\0';
  return ended ? static_cast<int>(length) : -1;
}

}  // namespace

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

namespace {

bool FileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION& info) {
  // No access rights are needed to read a file's identity; directories need
  // the backup-semantics flag to be opened at all.
  HANDLE handle = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return false;
  }
  const bool ok = GetFileInformationByHandle(handle, &info) != 0;
  CloseHandle(handle);
  return ok;
}

}  // namespace

bool SameFile(const char* path, const char* other) {
  BY_HANDLE_FILE_INFORMATION a{};
  BY_HANDLE_FILE_INFORMATION b{};
  return FileIdentity(path, a) && FileIdentity(other, b) &&
         a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

std::FILE* CreateNewPrivateFile(const char* path) {
  const int fd = _open(path, _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) {
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, "wb");
  if (file == nullptr) {
    _close(fd);
    static_cast<void>(std::remove(path));
  }
  return file;
}

bool StandardInputIsTerminal() {
  return _isatty(_fileno(stdin)) != 0;
}

int ReadSecretLine(const char* prompt, std::span<char> out) {
  if (out.empty()) {
    return -1;
  }
  std::fputs(prompt, stderr);
  // _getch reads the console without echo, one key at a time.
  const int length = CollectSecretLine(out, [] { return _getch(); });
  std::fputs("\n", stderr);
  return length;
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

bool SameFile(const char* path, const char* other) {
  struct stat a {};
  struct stat b {};
  return stat(path, &a) == 0 && stat(other, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::FILE* CreateNewPrivateFile(const char* path) {
  // O_EXCL refuses an existing file, a dangling link included; O_NOFOLLOW
  // keeps a link from redirecting the key elsewhere.
  const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
  if (fd < 0) {
    return nullptr;
  }
  std::FILE* file = fdopen(fd, "wb");
  if (file == nullptr) {
    close(fd);
    static_cast<void>(std::remove(path));
  }
  return file;
}

bool StandardInputIsTerminal() {
  return isatty(STDIN_FILENO) != 0;
}

int ReadSecretLine(const char* prompt, std::span<char> out) {
  if (out.empty()) {
    return -1;
  }
  out[0] = '\0';
  termios saved{};
  if (tcgetattr(STDIN_FILENO, &saved) != 0) {
    return -1;
  }
  termios quiet = saved;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  quiet.c_lflag |= ECHONL;
  std::fputs(prompt, stderr);
  std::fflush(stderr);
  if (tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) != 0) {
    return -1;
  }
  const int length = CollectSecretLine(out, [] {
    unsigned char c = 0;
    return read(STDIN_FILENO, &c, 1) == 1 ? int{c} : EOF;
  });
  static_cast<void>(tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved));
  return length;
}

#endif
