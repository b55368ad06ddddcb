// SPDX-License-Identifier: Apache-2.0
// Arbitrary bytes as a key file for Ravelinfo import. A key the reader takes
// must be a point of P-256, its private key (if any) must be the one of that
// point, and the public key written back as PEM must read back the same.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/hex_digit.h"
#include "crypto/key_files.h"
#include "crypto/key_texts.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  fuzzsupport::SilenceStdout();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = fuzzsupport::ScratchDir() + "/key";
  fuzzsupport::WriteScratchFile(path, data, size);
  PrivateKeyBytes privateKey{};
  PublicKeyBytes publicKey{};
  bool hasPrivate = false;
  if (ReadKeyFile(path.c_str(), privateKey, publicKey, hasPrivate) != 0) {
    return 0;
  }
  using HexText = std::array<char, 2 * kP256NumberSize + 1>;
  HexText d{}, x{}, y{};  // NOLINT(readability-isolate-declaration)
  FormatHex(privateKey, d, kUpperHexDigits);
  FormatHex(std::span(publicKey).first(kP256NumberSize), x, kUpperHexDigits);
  FormatHex(std::span(publicKey).last(kP256NumberSize), y, kUpperHexDigits);
  if (!PublicKeyOnCurve(x.data(), y.data()) ||
      (hasPrivate && !KeyPairMatches(d.data(), x.data(), y.data()))) {
    std::abort();
  }
  std::array<char, 256> pem{};
  const int length = PublicKeyPem(publicKey, pem);
  if (length <= 0) {
    std::abort();
  }
  fuzzsupport::WriteScratchFile(path, reinterpret_cast<const std::uint8_t*>(pem.data()),
                                static_cast<std::size_t>(length));
  PublicKeyBytes again{};
  bool againPrivate = true;
  if (ReadKeyFile(path.c_str(), privateKey, again, againPrivate) != 0 || againPrivate || again != publicKey) {
    std::abort();
  }
  return 0;
}
