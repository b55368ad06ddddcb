// SPDX-License-Identifier: Apache-2.0
#include "platform/secret_prompt.h"

#include <array>
#include <cstddef>
#include <cstdio>

#if defined(_WIN32)
#include <conio.h>
#include <io.h>
#else
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

}  // namespace

#if defined(_WIN32)

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
