#include "infofile/info_file.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "app/file_guard.h"
#include "app/hex_digit.h"
#include "app/program_state.h"
#include "secureinfo/wipe.h"

namespace {

constexpr std::size_t kMinKeyLineChars = 6;  // shorter lines cannot hold a key

enum class KeyKind { CodeExeAddr, InfoAddr, Text };

struct KeyEntry {
  std::string_view key;
  KeyKind kind;
  KeyText* text;
  const char* echoFormat;
  bool secret;
};

// Keys in the order they are tried; no key is a prefix of another.
const std::array<KeyEntry, 6> kKeys = {{
    {"CODE_EXE_ADDR", KeyKind::CodeExeAddr, nullptr, "CODE_EXE_ADDR = 0x%x\n", false},
    {"INFO_ADDR", KeyKind::InfoAddr, nullptr, "INFO_ADDR = 0x%x\n", false},
    {"RANDOM_K", KeyKind::Text, &InfoSettings.RANDOM_K, "RANDOM K: [%s]\n", true},
    {"PRIVATE_KEY", KeyKind::Text, &InfoSettings.PRIVATE_KEY, "PRIVATE_KEY: [%s]\n", true},
    {"PUBLIC_KEY_1", KeyKind::Text, &InfoSettings.PUBLIC_KEY_1, "PUBLIC_KEY_1: [%s]\n", false},
    {"PUBLIC_KEY_2", KeyKind::Text, &InfoSettings.PUBLIC_KEY_2, "PUBLIC_KEY_2: [%s]\n", false},
}};

using LineBuffer = std::array<char, kInfoLineMaxChars + 1>;

// Collects one line. A line ends at LF or CR (not stored), at the end of the
// file, or after 255 characters, in which case the byte just read (the 256th)
// is dropped. Returns false when a read failed for a reason other than the
// end of the file.
bool CollectLine(std::FILE* file, LineBuffer& line) {
  std::size_t count = 0;
  int byte = std::fgetc(file);
  while (byte != EOF) {
    if (count == kInfoLineMaxChars || byte == '\n' || byte == '\r') {
      break;
    }
    line[count++] = static_cast<char>(byte);
    byte = std::fgetc(file);
  }
  line[count] = '\0';
  return std::ferror(file) == 0;
}

void StoreText(KeyText& target, const char* value) {
  // Cut to 64 characters; trailing spaces and comments belong to the value.
  const std::string_view text = std::string_view(value).substr(0, kKeyTextMaxChars);
  target.fill('\0');
  text.copy(target.data(), text.size());
}

void ProcessLine(const char* line, SecretEcho secrets) {
  // The text ends at its first NUL byte, wherever the line itself ended.
  const std::string_view text(line);
  if (text.size() < kMinKeyLineChars || text[0] == '#' || text[0] == ';') {
    return;
  }
  const std::size_t keyStart = text.find_first_not_of(' ');
  if (keyStart == std::string_view::npos) {
    return;
  }
  const std::string_view rest = text.substr(keyStart);
  for (const KeyEntry& entry : kKeys) {
    if (!rest.starts_with(entry.key)) {
      continue;
    }
    const std::size_t valueStart = rest.find_first_not_of(" =", entry.key.size());
    const char* value = valueStart == std::string_view::npos ? "" : rest.substr(valueStart).data();
    switch (entry.kind) {
      case KeyKind::CodeExeAddr: {
        const std::uint32_t word = ReadHexNumber(value, CodeExeAddr());
        PutLe32(InfoBlock, kInfoCodeExeAddrOffset, word);
        std::printf(entry.echoFormat, word);
        break;
      }
      case KeyKind::InfoAddr:
        InfoSettings.INFO_ADDR = ReadHexNumber(value, InfoSettings.INFO_ADDR);
        InfoSettings.infoAddrGiven = true;
        std::printf(entry.echoFormat, InfoSettings.INFO_ADDR);
        break;
      case KeyKind::Text:
        StoreText(*entry.text, value);
        if (!entry.secret || secrets == SecretEcho::Shown) {
          std::printf(entry.echoFormat, entry.text->data());
        }
        break;
    }
    return;
  }
}

}  // namespace

// The "%x" conversion, written out so that every system reads a number alike
// (C libraries disagree once it does not fit in 32 bits): optional white
// space, a sign, 0x and hex digits, up to the first character that cannot
// continue the number. The number is taken modulo 2^64, negated for '-', and
// its low 32 bits stored; past 64 bits it is 0xFFFFFFFF. These are glibc's
// results, which the Linux build has always given. When nothing can be read
// the word keeps its value.
std::uint32_t ReadHexNumber(std::string_view text, std::uint32_t current) {
  std::size_t at = text.find_first_not_of(" \t\n\v\f\r");
  if (at == std::string_view::npos) {
    return current;
  }
  const bool negative = text[at] == '-';
  if (text[at] == '-' || text[at] == '+') {
    ++at;
  }
  bool read = false;
  if (at < text.size() && text[at] == '0') {
    read = true;  // "0x" with no digit after it still reads as 0
    ++at;
    if (at < text.size() && (text[at] == 'x' || text[at] == 'X')) {
      ++at;
    }
  }
  std::uint64_t value = 0;
  bool tooWide = false;
  for (; at < text.size(); ++at) {
    const int digit = HexDigitValue(text[at]);
    if (digit < 0) {
      break;
    }
    read = true;
    tooWide = tooWide || value > (UINT64_MAX >> 4U);
    value = (value << 4U) | static_cast<std::uint64_t>(digit);
  }
  if (!read) {
    return current;
  }
  if (tooWide) {
    return UINT32_MAX;
  }
  return static_cast<std::uint32_t>(negative ? 0 - value : value);
}

int ParseInfoFile(const char* path, SecretEcho secrets) {
  FileGuard file(std::fopen(path, "rb"));
  if (!file) {
    std::printf("Failed to open information file <%s>!\n", path);
    return -1;
  }
  // The stream reads into our own buffer so that the key text passing through
  // it can be wiped once the file is closed.
  std::array<char, 4096> streamBuffer{};
  static_cast<void>(std::setvbuf(file.get(), streamBuffer.data(), _IOFBF, streamBuffer.size()));

  LineBuffer line{};
  int result = 0;
  for (;;) {
    if (!CollectLine(file.get(), line)) {
      std::printf("Failed to read information file <%s>!\n", path);
      result = -1;
      break;
    }
    // A line counts only when the byte that ended it was read before the end
    // of the file: an unterminated last line is dropped.
    if (std::feof(file.get()) != 0) {
      break;
    }
    ProcessLine(line.data(), secrets);
  }
  file.reset();
  WipeSecret(line);
  WipeSecret(streamBuffer);
  return result;
}
