// SPDX-License-Identifier: Apache-2.0
#include "tools/info/run_info.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

#include "core/hex_digit.h"
#include "core/program_state.h"
#include "core/scope_guard.h"
#include "crypto/key_files.h"
#include "crypto/key_fingerprint.h"
#include "crypto/key_texts.h"
#include "infocheck/info_check.h"
#include "infofile/info_file.h"
#include "pipeline/output_file.h"
#include "platform/output_files.h"
#include "platform/wipe.h"

namespace {

constexpr char kUsage[] =
    "Usage:\n"
    "  Ravelinfo generate <new info file>\n"
    "  Ravelinfo import   <key file>\n"
    "  Ravelinfo export   [--format pem|c] <info file> <public key file>\n"
    "  Ravelinfo check    <info file> [<boot file>]\n"
    "  generate  writes a new information file with a fresh P-256 key pair\n"
    "  import    prints the key lines for a PEM or DER key file (EC P-256)\n"
    "  export    writes the information file's public key as PEM, or as a C header\n"
    "  check     tells how Ravelsign reads the information file, line by line\n";

using HexNumberText = std::array<char, 2 * kP256NumberSize + 1>;

int Generate(const char* path) {
  PrivateKeyBytes privateKey{};
  PublicKeyBytes publicKey{};
  std::array<char, 512> content{};
  HexNumberText d{};
  HexNumberText x{};
  HexNumberText y{};
  const ScopeGuard wipe([&] {
    WipeSecret(privateKey);
    WipeSecret(content);
    WipeSecret(d);
  });
  if (GenerateKeyPair(privateKey, publicKey) != 0) {
    return -1;
  }
  FormatHex(privateKey, d, kUpperHexDigits);
  FormatHex(std::span(publicKey).first(kP256NumberSize), x, kUpperHexDigits);
  FormatHex(std::span(publicKey).last(kP256NumberSize), y, kUpperHexDigits);
  const int length =
      std::snprintf(content.data(), content.size(),
                    "# Ravelsign information file with a P-256 key pair made by Ravelinfo generate.\n"
                    "# Keep it private: its PRIVATE_KEY signs secure boot images.\n"
                    "# Before signing, add the lines CODE_EXE_ADDR and INFO_ADDR for your image.\n"
                    "PRIVATE_KEY = %s\nPUBLIC_KEY_1 = %s\nPUBLIC_KEY_2 = %s\n",
                    d.data(), x.data(), y.data());
  if (length < 0 || static_cast<std::size_t>(length) >= content.size()) {
    return -1;
  }
  // Never over an existing file: it may hold the only copy of another key.
  // The file is written whole before it takes its name, so a run killed at
  // any point leaves no file that a retry would have to refuse.
  OutputFile output{{}, path, FailureReason::Given};
  if (OpenOutputStage(path, OutputLanding::NewPrivateFile, output.stage) != 0) {
    std::printf("Cannot create information file <%s>: it exists already or its folder cannot be written!\n",
                path);
    return -1;
  }
  // Unbuffered: the key text goes from `content` (wiped) to the file, never
  // through a stdio buffer that nothing wipes.
  static_cast<void>(std::setvbuf(output.stage.stream, nullptr, _IONBF, 0));
  const auto size = static_cast<std::size_t>(length);
  if (CloseOutputFile(output, std::fwrite(content.data(), 1, size, output.stage.stream) == size) != 0) {
    return -1;
  }
  PrintKeyLines(nullptr, publicKey);
  std::printf("Output information file: %s\n", path);
  return 0;
}

int Import(const char* path) {
  PrivateKeyBytes privateKey{};
  PublicKeyBytes publicKey{};
  bool hasPrivate = false;
  const ScopeGuard wipe([&] { WipeSecret(privateKey); });
  if (ReadKeyFile(path, privateKey, publicKey, hasPrivate) != 0) {
    return -1;
  }
  PrintKeyLines(hasPrivate ? &privateKey : nullptr, publicKey);
  return 0;
}

// The key as a device stores it, for a first stage's sources: the 64 bytes
// X then Y, each big-endian, and the fingerprint to tell it by. No file name
// goes into it: a name could end the comment.
int PublicKeyCHeader(const PublicKeyBytes& publicKey, std::span<char> header) {
  KeyFingerprint fingerprint{};
  if (PublicKeyFingerprint(publicKey, fingerprint) != 0) {
    return -1;
  }
  constexpr std::size_t kBytesPerLine = 8;
  std::string text =
      "/* The P-256 public key a device trusts, as Ravelinfo export wrote it: the\n"
      "   64 bytes X then Y, each big-endian, as the device stores it.\n"
      "   Fingerprint, SHA-256 of 04 || X || Y: ";
  text += fingerprint.data();
  // Once per file, not one guard for every such header: two keys' headers
  // in one first stage then clash loudly instead of one hiding the other.
  text += " */\n#pragma once\n\n#include <stdint.h>\n\nstatic const uint8_t ravel_public_key[64] = {";
  for (std::size_t at = 0; at < publicKey.size(); ++at) {
    text += at % kBytesPerLine == 0 ? "\n    " : " ";
    text += "0x";
    text += kUpperHexDigits[publicKey[at] >> 4U];
    text += kUpperHexDigits[publicKey[at] & 0x0FU];
    text += ",";
  }
  text += "\n};\n";
  if (text.size() > header.size()) {
    return -1;
  }
  std::copy(text.begin(), text.end(), header.begin());
  return static_cast<int>(text.size());
}

enum class KeyFormat : std::uint8_t { Pem, CHeader };

int Export(KeyFormat format, const char* infoPath, const char* outPath) {
  ResetProgramState();
  const ScopeGuard wipe([] { WipeSigningSecrets(); });
  if (ParseInfoFile(infoPath, SecretEcho::NoEchoLines) != 0) {
    return -1;
  }
  PublicKeyBytes publicKey{};
  std::array<char, 1024> text{};
  // A device checks with the public key lines, as Ravelverify does: a key
  // derived from PRIVATE_KEY alone would make a first stage that accepts
  // images Ravelverify refuses.
  const char* x = InfoSettings.PUBLIC_KEY_1.data();
  const char* y = InfoSettings.PUBLIC_KEY_2.data();
  if ((format == KeyFormat::CHeader && PublicKeyFromPublicTexts(x, y, publicKey) != 0) ||
      PublicKeyFromTexts(InfoSettings.PRIVATE_KEY.data(), x, y, publicKey) != 0) {
    return -1;
  }
  const int length =
      format == KeyFormat::Pem ? PublicKeyPem(publicKey, text) : PublicKeyCHeader(publicKey, text);
  if (length < 0) {
    std::printf("The public key cannot be written as %s!\n", format == KeyFormat::Pem ? "PEM" : "a C header");
    return -1;
  }
  if (WriteOutputFile(outPath, {infoPath}, text.data(), static_cast<std::size_t>(length)) != 0) {
    return -1;
  }
  PrintKeyLines(nullptr, publicKey);
  std::printf("Output public key: %s\n", outPath);
  return 0;
}

int Check(const char* infoPath, const char* bootPath) {
  std::vector<std::string> findings;
  std::size_t count = 0;
  if (CheckInfoFile(infoPath, bootPath, findings, count) != 0) {
    return -1;
  }
  for (const std::string& finding : findings) {
    std::printf("%s\n", finding.c_str());
  }
  if (findings.empty()) {
    std::printf("%s: Ravelsign reads every line as written: nothing to report.\n", infoPath);
    return 0;
  }
  std::printf("%s: %zu finding%s.\n", infoPath, count, count == 1 ? "" : "s");
  return 1;
}

}  // namespace

int RunInfo(int argc, const char* const* argv) {
  const std::string_view command = argc > 1 ? argv[1] : "";
  if (command == "generate" && argc == 3) {
    return Generate(argv[2]);
  }
  if (command == "import" && argc == 3) {
    return Import(argv[2]);
  }
  if (command == "export" && argc == 4) {
    return Export(KeyFormat::Pem, argv[2], argv[3]);
  }
  if (command == "export" && argc == 6 && std::string_view(argv[2]) == "--format") {
    const std::string_view format = argv[3];
    if (format == "pem" || format == "c") {
      return Export(format == "c" ? KeyFormat::CHeader : KeyFormat::Pem, argv[4], argv[5]);
    }
  }
  if (command == "check" && (argc == 3 || argc == 4)) {
    return Check(argv[2], argc == 4 ? argv[3] : nullptr);
  }
  std::printf("%s", kUsage);
  return -1;
}
