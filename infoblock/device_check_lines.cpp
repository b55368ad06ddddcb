// SPDX-License-Identifier: Apache-2.0
#include "infoblock/device_check_lines.h"

#include <array>
#include <cstdio>
#include <span>

namespace {

const char* VerdictWord(CheckVerdict verdict) {
  return verdict == CheckVerdict::Ok ? "OK" : "FAILED";
}

// Appends printf-formatted text; every piece of a line is far shorter than
// the buffer.
template <typename... Values>
void Append(std::string& line, const char* format, Values... values) {
  std::array<char, 128> piece{};
  if (std::snprintf(piece.data(), piece.size(), format, values...) > 0) {
    line.append(piece.data());
  }
}

void AppendHex(std::string& line, std::span<const std::uint8_t> bytes) {
  for (const std::uint8_t byte : bytes) {
    Append(line, "%02x", byte);
  }
}

std::string HeaderWordsLine(const HeaderWordsCheck& c) {
  std::string line;
  Append(line, "1. Header words at 0x%08X: ", c.at);
  if (!c.present) {
    return line + c.reason + ": FAILED";
  }
  Append(line, "magic 0x%08X, INFO address 0x%08X", c.magic, c.infoAddr);
  if (c.expectedInfoAddr) {
    Append(line, " (INFO_ADDR 0x%08X)", *c.expectedInfoAddr);
  }
  Append(line, ", zero word 0x%08X, check word 0x%08X: %s", c.zero, c.checkWord, VerdictWord(c.verdict));
  return line;
}

std::string InfoBlockLine(const InfoBlockCheck& c) {
  std::string line = "2. INFO block";
  if (!c.infoAddr) {
    return line + ": " + c.reason + ": FAILED";
  }
  Append(line, " at 0x%08X: ", *c.infoAddr);
  if (!c.present) {
    return line + c.reason + ": FAILED";
  }
  Append(line, "words %u, %u, %u, execution address 0x%08X, image length %u", c.format, c.imageDescSize,
         c.digestDescSize, c.exeAddr, c.length);
  if (!c.reason.empty()) {
    line += ": " + c.reason;
  }
  return line + ": " + VerdictWord(c.verdict);
}

std::string ImageDigestLine(const ImageDigestCheck& c) {
  std::string line = "3. Image SHA-256: ";
  if (!c.reason.empty()) {
    return line + c.reason + ": FAILED";
  }
  AppendHex(line, c.computed);
  if (c.verdict != CheckVerdict::Ok) {
    line += ", stored ";
    AppendHex(line, c.stored);
  }
  return line + ": " + VerdictWord(c.verdict);
}

std::string SignatureLine(const SignatureCheck& c) {
  if (!c.reason.empty()) {
    return "4. ECDSA P-256 signature: " + c.reason + ": FAILED";
  }
  std::string line = "4. ECDSA P-256 signature over info SHA-256 ";
  AppendHex(line, c.infoDigest);
  return line + ": " + VerdictWord(c.verdict);
}

}  // namespace

std::string DeviceCheckLine(const DeviceChecks& checks, std::size_t index) {
  if (DeviceCheckVerdict(checks, index) == CheckVerdict::NotRun) {
    return {};
  }
  switch (index) {
    case 0:
      return HeaderWordsLine(checks.header);
    case 1:
      return InfoBlockLine(checks.block);
    case 2:
      return ImageDigestLine(checks.image);
    default:
      return SignatureLine(checks.signature);
  }
}

void PrintDeviceChecks(const DeviceChecks& checks) {
  for (std::size_t i = 0; i < kDeviceCheckCount; ++i) {
    if (DeviceCheckVerdict(checks, i) != CheckVerdict::NotRun) {
      std::printf("%s\n", DeviceCheckLine(checks, i).c_str());
    }
  }
}
