// SPDX-License-Identifier: Apache-2.0
#include "platform/console_capture.h"

#include <array>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

#if defined(_WIN32)
int Duplicate(int fd) {
  return _dup(fd);
}
int DuplicateTo(int fd, int target) {
  return _dup2(fd, target);
}
int Close(int fd) {
  return _close(fd);
}
int Descriptor(std::FILE* file) {
  return _fileno(file);
}
// tmpfile() of the Windows C runtime creates its file in the drive's root
// folder, which a user may not write: the user's temporary folder instead,
// deleted when closed ("D").
std::FILE* TemporaryFile() {
  std::array<wchar_t, MAX_PATH + 1> folder{};
  std::array<wchar_t, MAX_PATH + 1> name{};
  const DWORD length = GetTempPathW(static_cast<DWORD>(folder.size()), folder.data());
  if (length == 0 || length >= folder.size() ||
      GetTempFileNameW(folder.data(), L"rav", 0, name.data()) == 0) {
    return nullptr;
  }
  std::FILE* file = _wfopen(name.data(), L"w+bD");
  if (file == nullptr) {
    static_cast<void>(DeleteFileW(name.data()));
  }
  return file;
}
#else
int Duplicate(int fd) {
  return dup(fd);
}
int DuplicateTo(int fd, int target) {
  return dup2(fd, target);
}
int Close(int fd) {
  return close(fd);
}
int Descriptor(std::FILE* file) {
  return fileno(file);
}
// Unnamed where the system allows it, removed at once otherwise.
std::FILE* TemporaryFile() {
  return std::tmpfile();
}
#endif

constexpr int kStandardOutput = 1;

}  // namespace

int StartConsoleCapture(ConsoleCapture& capture) {
  capture = {nullptr, -1};
  if (std::fflush(stdout) != 0) {
    return -1;
  }
  capture.file = TemporaryFile();
  if (capture.file == nullptr) {
    return -1;
  }
  capture.savedOutput = Duplicate(kStandardOutput);
  if (capture.savedOutput < 0 || DuplicateTo(Descriptor(capture.file), kStandardOutput) < 0) {
    if (capture.savedOutput >= 0) {
      static_cast<void>(Close(capture.savedOutput));
    }
    static_cast<void>(std::fclose(capture.file));
    capture = {nullptr, -1};
    return -1;
  }
  return 0;
}

int EndConsoleCapture(ConsoleCapture& capture, std::string& text) {
  if (capture.file == nullptr) {
    return -1;
  }
  bool whole = std::fflush(stdout) == 0;
  whole = DuplicateTo(capture.savedOutput, kStandardOutput) >= 0 && whole;
  static_cast<void>(Close(capture.savedOutput));
  whole = std::fseek(capture.file, 0, SEEK_SET) == 0 && whole;
  std::array<char, 4096> buffer{};
  std::size_t got = 0;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), capture.file)) > 0) {
    text.append(buffer.data(), got);
  }
  whole = std::ferror(capture.file) == 0 && whole;
  whole = std::fclose(capture.file) == 0 && whole;
  capture = {nullptr, -1};
  return whole ? 0 : -1;
}
