// SPDX-License-Identifier: Apache-2.0
#include "tools/info/run_info.h"

#include <array>
#include <cstdio>
#include <string_view>

#include "core/hex_digit.h"
#include "core/program_state.h"
#include "core/scope_guard.h"
#include "crypto/key_files.h"
#include "crypto/key_texts.h"
#include "infocheck/info_check.h"
#include "infofile/info_file.h"
#include "pipeline/output_file.h"
#include "platform/platform.h"
#include "platform/wipe.h"

namespace {

constexpr char kUsage[] =
    "Usage:\n"
    "  Ravelinfo generate <new info file>\n"
    "  Ravelinfo import   <key file>\n"
    "  Ravelinfo export   <info file> <public key file>\n"
    "  Ravelinfo check    <info file> [<boot file>]\n"
    "  generate  writes a new information file with a fresh P-256 key pair\n"
    "  import    prints the key lines for a PEM or DER key file (EC P-256)\n"
    "  export    writes the information file's public key as PEM\n"
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
  OutputFile output{CreateNewPrivateFile(path), {}, true};
  if (output.stream == nullptr) {
    std::printf("Cannot create information file <%s>: it exists already or its folder cannot be written!\n",
                path);
    return -1;
  }
  // Unbuffered: the key text goes from `content` (wiped) to the file, never
  // through a stdio buffer that nothing wipes.
  static_cast<void>(std::setvbuf(output.stream, nullptr, _IONBF, 0));
  const auto size = static_cast<std::size_t>(length);
  if (CloseOutputFile(output, path, std::fwrite(content.data(), 1, size, output.stream) == size) != 0) {
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

int Export(const char* infoPath, const char* pemPath) {
  ResetProgramState();
  const ScopeGuard wipe([] { WipeSigningSecrets(); });
  if (ParseInfoFile(infoPath, SecretEcho::NoEchoLines) != 0) {
    return -1;
  }
  PublicKeyBytes publicKey{};
  std::array<char, 256> pem{};
  if (PublicKeyFromTexts(InfoSettings.PRIVATE_KEY.data(), InfoSettings.PUBLIC_KEY_1.data(),
                         InfoSettings.PUBLIC_KEY_2.data(), publicKey) != 0) {
    return -1;
  }
  const int length = PublicKeyPem(publicKey, pem);
  if (length < 0) {
    std::printf("The public key cannot be written as PEM!\n");
    return -1;
  }
  if (WriteOutputFile(pemPath, {infoPath}, pem.data(), static_cast<std::size_t>(length)) != 0) {
    return -1;
  }
  PrintKeyLines(nullptr, publicKey);
  std::printf("Output public key: %s\n", pemPath);
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
    return Export(argv[2], argv[3]);
  }
  if (command == "check" && (argc == 3 || argc == 4)) {
    return Check(argv[2], argc == 4 ? argv[3] : nullptr);
  }
  std::printf("%s", kUsage);
  return -1;
}
