// SPDX-License-Identifier: Apache-2.0
// Reader of the information file: key lines giving the load addresses, the
// key pair and the optional nonce, stored into InfoSettings (and
// CODE_EXE_ADDR into the INFO block) and echoed to standard output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

inline constexpr std::size_t kInfoLineMaxChars = 255;
// Far above any real information file (a few hundred bytes), and a bound on
// a run given /dev/zero or a disk image by mistake.
inline constexpr std::size_t kInfoFileMaxBytes = std::size_t{16} * 1024 * 1024;
inline constexpr std::size_t kMinKeyLineChars = 6;  // shorter lines cannot hold a key

// The six keys, in the order they are tried. No key is a prefix of another.
enum class InfoKey : std::uint8_t {
  CodeExeAddr,
  InfoAddr,
  RandomK,
  PrivateKey,
  PublicKey1,
  PublicKey2,
  None
};
inline constexpr std::size_t kInfoKeyCount = 6;
std::string_view InfoKeyName(InfoKey key);
// The InfoSettings text a text key is stored in (RANDOM_K, PRIVATE_KEY,
// PUBLIC_KEY_1, PUBLIC_KEY_2), NUL-terminated; nullptr for the two numbers.
const char* InfoSettingText(InfoKey key);
constexpr bool IsNumberKey(InfoKey key) {
  return key == InfoKey::CodeExeAddr || key == InfoKey::InfoAddr;
}

// Which echo lines are printed: all of them (Shown), all but the secrets
// PRIVATE_KEY and RANDOM_K, which a verifier must never print (Hidden), or
// none at all, as a checker wants (NoEchoLines).
enum class SecretEcho : std::uint8_t { Shown, Hidden, NoEchoLines };

// A number value as the "%x" conversion reads it: optional white space, a
// sign, 0x and hex digits, up to the first character that cannot continue it.
struct HexNumber {
  bool read;            // digits were found; otherwise the setting keeps its value
  bool wide;            // more than 32 bits of digits (or a '-' sign): `value` is not what was written
  std::uint32_t value;  // the word stored, with glibc's results on every system
};
HexNumber ScanHexNumber(std::string_view text);

// `current` when no number can be read, else the number's low 32 bits
// (negated for '-'), or 0xFFFFFFFF past 64 bits.
std::uint32_t ReadHexNumber(std::string_view text, std::uint32_t current);

// What the reader did with one collected line, for a tool that explains a
// file (Ravelinfo check). The reader is the only one that splits lines and
// matches keys; an observer only listens.
enum class InfoLineFate : std::uint8_t { Key, Short, Comment, NoKey, Unterminated };
struct InfoLineReport {
  std::string_view text;  // the characters collected, NUL bytes included
  int ender;              // the byte that ended the line: '\n', '\r', the dropped 256th byte, or EOF
  bool split;             // 255 characters were collected and `ender` was dropped
  InfoLineFate fate;
  InfoKey key;             // the key the line begins with (also for an unterminated line), or None
  std::string_view value;  // the value text after the key and separators, to the first NUL
  // What the line stored (only when `fate` is Key): a number key's word as
  // it now stands, or a text key's text as cut to 64 characters.
  std::uint32_t number;
  std::string_view stored;
};
struct InfoReadObserver {
  void (*line)(void* context, const InfoLineReport& report);
  void* context;
};

// Reads the file at `path` to its end. Returns 0, or -1 when it cannot be
// opened, a read fails or it is larger than 16 MiB (after printing why).
// Nothing in the content is an error.
int ParseInfoFile(const char* path, SecretEcho secrets = SecretEcho::Shown,
                  const InfoReadObserver* observer = nullptr);
