// SPDX-License-Identifier: Apache-2.0
#include "infofile/info_file.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "core/file_guard.h"
#include "core/hex_digit.h"
#include "core/program_state.h"
#include "platform/wipe.h"

namespace {

struct KeyEntry {
  std::string_view name;
  KeyText* text;  // nullptr for the two numbers
  const char* echoFormat;
  bool secret;
};

// Indexed by InfoKey, in the order the keys are tried.
const std::array<KeyEntry, kInfoKeyCount> kKeys = {{
    {"CODE_EXE_ADDR", nullptr, "CODE_EXE_ADDR = 0x%x\n", false},
    {"INFO_ADDR", nullptr, "INFO_ADDR = 0x%x\n", false},
    {"RANDOM_K", &InfoSettings.RANDOM_K, "RANDOM K: [%s]\n", true},
    {"PRIVATE_KEY", &InfoSettings.PRIVATE_KEY, "PRIVATE_KEY: [%s]\n", true},
    {"PUBLIC_KEY_1", &InfoSettings.PUBLIC_KEY_1, "PUBLIC_KEY_1: [%s]\n", false},
    {"PUBLIC_KEY_2", &InfoSettings.PUBLIC_KEY_2, "PUBLIC_KEY_2: [%s]\n", false},
}};

using LineBuffer = std::array<char, kInfoLineMaxChars + 1>;

struct CollectedLine {
  std::size_t count;  // characters stored, NUL bytes included
  int ender;          // '\n', '\r', the dropped 256th byte, or EOF
};

// Collects one line. A line ends at LF or CR (not stored), at the end of the
// file, or after 255 characters, in which case the byte just read (the 256th)
// is dropped.
CollectedLine CollectLine(std::FILE* file, LineBuffer& line) {
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
  return {count, byte};
}

void StoreText(KeyText& target, std::string_view value) {
  // Cut to 64 characters; trailing spaces and comments belong to the value.
  const std::string_view text = value.substr(0, kKeyTextMaxChars);
  target.fill('\0');
  text.copy(target.data(), text.size());
}

// Classifies a line as the reader sees it: too short, a comment, no key, or
// the key it begins with and the value after the key's separators.
InfoLineReport MatchLine(std::string_view collected) {
  InfoLineReport report{collected, EOF, false, InfoLineFate::NoKey, InfoKey::None, {}, 0, {}};
  // The text ends at its first NUL byte, wherever the line itself ended.
  const std::string_view text = collected.substr(0, collected.find('\0'));
  if (text.size() < kMinKeyLineChars) {
    report.fate = InfoLineFate::Short;
    return report;
  }
  if (text[0] == '#' || text[0] == ';') {
    report.fate = InfoLineFate::Comment;
    return report;
  }
  const std::size_t keyStart = text.find_first_not_of(' ');
  if (keyStart == std::string_view::npos) {
    return report;
  }
  const std::string_view rest = text.substr(keyStart);
  for (std::size_t k = 0; k < kKeys.size(); ++k) {
    if (rest.starts_with(kKeys[k].name)) {
      const std::size_t valueStart = rest.find_first_not_of(" =", kKeys[k].name.size());
      report.fate = InfoLineFate::Key;
      report.key = static_cast<InfoKey>(k);
      report.value = valueStart == std::string_view::npos ? std::string_view() : rest.substr(valueStart);
      break;
    }
  }
  return report;
}

void StoreValue(InfoLineReport& line, SecretEcho secrets) {
  const KeyEntry& entry = kKeys[static_cast<std::size_t>(line.key)];
  const bool echo = secrets == SecretEcho::Shown || (secrets == SecretEcho::Hidden && !entry.secret);
  switch (line.key) {
    case InfoKey::CodeExeAddr: {
      const std::uint32_t word = ReadHexNumber(line.value, CodeExeAddr());
      PutLe32(InfoBlock, kInfoCodeExeAddrOffset, word);
      line.number = word;
      if (echo) {
        std::printf(entry.echoFormat, word);
      }
      break;
    }
    case InfoKey::InfoAddr:
      InfoSettings.INFO_ADDR = ReadHexNumber(line.value, InfoSettings.INFO_ADDR);
      InfoSettings.infoAddrGiven = true;
      line.number = InfoSettings.INFO_ADDR;
      if (echo) {
        std::printf(entry.echoFormat, InfoSettings.INFO_ADDR);
      }
      break;
    default:
      StoreText(*entry.text, line.value);
      line.stored = entry.text->data();
      if (echo) {
        std::printf(entry.echoFormat, entry.text->data());
      }
      break;
  }
}

}  // namespace

std::string_view InfoKeyName(InfoKey key) {
  return key == InfoKey::None ? std::string_view() : kKeys[static_cast<std::size_t>(key)].name;
}

const char* InfoSettingText(InfoKey key) {
  const KeyText* text = key == InfoKey::None ? nullptr : kKeys[static_cast<std::size_t>(key)].text;
  return text != nullptr ? text->data() : nullptr;
}

// The "%x" conversion, written out so that every system reads a number alike
// (C libraries disagree once it does not fit in 32 bits). The number is taken
// modulo 2^64, negated for '-', and its low 32 bits stored; past 64 bits it is
// 0xFFFFFFFF: glibc's results, on Linux and Windows alike (golden case
// sign-line-rules).
HexNumber ScanHexNumber(std::string_view text) {
  HexNumber number{false, false, 0};
  std::size_t at = text.find_first_not_of(" \t\n\v\f\r");
  if (at == std::string_view::npos) {
    return number;
  }
  const bool negative = text[at] == '-';
  if (text[at] == '-' || text[at] == '+') {
    ++at;
  }
  if (at < text.size() && text[at] == '0') {
    number.read = true;  // "0x" with no digit after it still reads as 0
    ++at;
    if (at < text.size() && (text[at] == 'x' || text[at] == 'X')) {
      ++at;
    }
  }
  std::uint64_t value = 0;
  bool past64 = false;
  for (; at < text.size(); ++at) {
    const int digit = HexDigitValue(text[at]);
    if (digit < 0) {
      break;
    }
    number.read = true;
    past64 = past64 || value > (UINT64_MAX >> 4U);
    value = (value << 4U) | static_cast<std::uint64_t>(digit);
  }
  const std::uint64_t signedValue = negative ? 0 - value : value;
  number.value = past64 ? UINT32_MAX : static_cast<std::uint32_t>(signedValue);
  number.wide = number.read && (past64 || value > UINT32_MAX || (negative && value != 0));
  return number;
}

std::uint32_t ReadHexNumber(std::string_view text, std::uint32_t current) {
  const HexNumber number = ScanHexNumber(text);
  return number.read ? number.value : current;
}

int ParseInfoFile(const char* path, SecretEcho secrets, const InfoReadObserver* observer) {
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
  std::size_t bytesRead = 0;
  for (;;) {
    const CollectedLine collected = CollectLine(file.get(), line);
    if (std::ferror(file.get()) != 0) {
      std::printf("Failed to read information file <%s>!\n", path);
      result = -1;
      break;
    }
    // The line and the byte that ended it, if any: the end of the file is
    // no byte, so a file of exactly 16 MiB is read whole.
    bytesRead += collected.count + (collected.ender != EOF ? 1 : 0);
    if (bytesRead > kInfoFileMaxBytes) {
      std::printf("Information file <%s> is larger than 16 MiB: it is no information file!\n", path);
      result = -1;
      break;
    }
    InfoLineReport report = MatchLine(std::string_view(line.data(), collected.count));
    report.ender = collected.ender;
    report.split = collected.count == kInfoLineMaxChars && collected.ender != EOF;
    // A line counts only when the byte that ended it was read before the end
    // of the file: an unterminated last line is dropped.
    const bool ended = std::feof(file.get()) != 0;
    if (ended) {
      report.fate = InfoLineFate::Unterminated;
    } else if (report.fate == InfoLineFate::Key) {
      StoreValue(report, secrets);
    }
    if (observer != nullptr) {
      observer->line(observer->context, report);
    }
    if (ended) {
      break;
    }
  }
  file.reset();
  WipeSecret(line);
  WipeSecret(streamBuffer);
  return result;
}
