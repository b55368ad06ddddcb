// SPDX-License-Identifier: Apache-2.0
#include "platform/platform.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <string>
#include <string_view>

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

#include <csignal>
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

// ".<file name>.XXXXXX" in the folder of `path` (the X filled in later on
// Linux, with random characters here on Windows). Returns false when it does
// not fit in `temporary`.
bool TemporaryName(const char* path, std::span<char> temporary) {
  constexpr std::string_view kSuffix = ".XXXXXX";
  const std::string_view name(path);
#if defined(_WIN32)
  const std::size_t slash = name.find_last_of("/\\");
#else
  const std::size_t slash = name.rfind('/');
#endif
  const std::size_t stem = slash == std::string_view::npos ? 0 : slash + 1;
  if (name.size() + 1 + kSuffix.size() + 1 > temporary.size() || stem == name.size()) {
    return false;
  }
  std::size_t at = 0;
  const auto put = [&](std::string_view part) {
    part.copy(temporary.data() + at, part.size());
    at += part.size();
  };
  put(name.substr(0, stem));
  put(".");
  put(name.substr(stem));
  put(kSuffix);
  temporary[at] = '\0';
#if defined(_WIN32)
  std::array<std::uint8_t, 6> random{};
  if (OsRandomBytes(random) != 0) {
    return false;
  }
  for (std::size_t i = 0; i < random.size(); ++i) {
    temporary[at - random.size() + i] = "0123456789abcdefghijklmnopqrstuv"[random[i] % 32U];
  }
#endif
  return true;
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

std::FILE* CreateTemporaryBeside(const char* path, std::span<char> temporary) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (!TemporaryName(path, temporary)) {
      return nullptr;
    }
    const int fd = _open(temporary.data(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd >= 0) {
      std::FILE* file = _fdopen(fd, "wb");
      if (file == nullptr) {
        _close(fd);
        static_cast<void>(std::remove(temporary.data()));
      }
      return file;
    }
    if (errno != EEXIST) {
      return nullptr;
    }
  }
  return nullptr;
}

bool MayReplace(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return true;
  }
  errno = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EISDIR : EACCES;
  return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0;
}

int SyncFile(std::FILE* file) {
  return std::fflush(file) == 0 && _commit(_fileno(file)) == 0 ? 0 : -1;
}

int PublishFile(const char* temporary, const char* path, bool replace) {
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  return MoveFileExA(temporary, path, flags) != 0 ? 0 : -1;
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

std::FILE* CreateTemporaryBeside(const char* path, std::span<char> temporary) {
  if (!TemporaryName(path, temporary)) {
    return nullptr;
  }
  // mkostemp fills in the six characters and creates the file, mode 0600;
  // the output gets the mode any new file would.
  const int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    return nullptr;
  }
  const mode_t mask = umask(0);
  umask(mask);
  static_cast<void>(fchmod(fd, static_cast<mode_t>(0666) & ~mask));
  std::FILE* file = fdopen(fd, "wb");
  if (file == nullptr) {
    close(fd);
    static_cast<void>(std::remove(temporary.data()));
  }
  return file;
}

bool MayReplace(const char* path) {
  struct stat status {};
  if (lstat(path, &status) != 0) {
    return errno == ENOENT;
  }
  if (S_ISDIR(status.st_mode)) {
    errno = EISDIR;
    return false;
  }
  return access(path, W_OK) == 0;
}

int SyncFile(std::FILE* file) {
  return std::fflush(file) == 0 && fsync(fileno(file)) == 0 ? 0 : -1;
}

int PublishFile(const char* temporary, const char* path, bool replace) {
  if (replace) {
    if (std::rename(temporary, path) != 0) {
      return -1;
    }
  } else {
    // link() refuses an existing name, a dangling link included.
    if (link(temporary, path) != 0) {
      return -1;
    }
    static_cast<void>(unlink(temporary));
  }
  // The new name itself is made durable with its folder.
  const std::string_view name(path);
  const std::size_t slash = name.rfind('/');
  const std::string folder = slash == std::string_view::npos ? "." : std::string(name.substr(0, slash + 1));
  const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    static_cast<void>(fsync(dir));
    close(dir);
  }
  return 0;
}

bool StandardInputIsTerminal() {
  return isatty(STDIN_FILENO) != 0;
}

namespace {

// The terminal as it was before the prompt turned echo off, put back by a
// signal that ends the process at the prompt (Ctrl-C, SIGTERM, a hang-up).
termios terminalBeforePrompt{};
constexpr std::array<int, 4> kEndingSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void RestoreTerminalAndEnd(int signal) {
  static_cast<void>(tcsetattr(STDIN_FILENO, TCSAFLUSH, &terminalBeforePrompt));
  static_cast<void>(std::signal(signal, SIG_DFL));
  static_cast<void>(std::raise(signal));
}

}  // namespace

int ReadSecretLine(const char* prompt, std::span<char> out) {
  if (out.empty()) {
    return -1;
  }
  out[0] = '\0';
  termios saved{};
  if (tcgetattr(STDIN_FILENO, &saved) != 0) {
    return -1;
  }
  terminalBeforePrompt = saved;
  std::array<struct sigaction, kEndingSignals.size()> previous{};
  struct sigaction restore {};
  restore.sa_handler = RestoreTerminalAndEnd;
  sigemptyset(&restore.sa_mask);
  for (std::size_t i = 0; i < kEndingSignals.size(); ++i) {
    static_cast<void>(sigaction(kEndingSignals[i], &restore, &previous[i]));
  }
  termios quiet = saved;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  quiet.c_lflag |= ECHONL;
  std::fputs(prompt, stderr);
  std::fflush(stderr);
  const bool quietOn = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
  const int length = !quietOn ? -1 : CollectSecretLine(out, [] {
    unsigned char c = 0;
    return read(STDIN_FILENO, &c, 1) == 1 ? int{c} : EOF;
  });
  if (quietOn) {
    static_cast<void>(tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved));
  }
  for (std::size_t i = 0; i < kEndingSignals.size(); ++i) {
    static_cast<void>(sigaction(kEndingSignals[i], &previous[i], nullptr));
  }
  return length;
}

#endif
