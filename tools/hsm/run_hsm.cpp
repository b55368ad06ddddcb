// SPDX-License-Identifier: Apache-2.0
#include "tools/hsm/run_hsm.h"

#include <array>
#include <cstdio>
#include <string_view>

#include "core/file_guard.h"
#include "core/program_state.h"
#include "crypto/key_texts.h"
#include "crypto/signature_form.h"
#include "infoblock/make_info_image.h"
#include "pipeline/output_file.h"
#include "pipeline/pipeline.h"
#include "pkcs11/token.h"

namespace {

constexpr char kUsage[] =
    "Usage:\n"
    "  Ravelhsm sign     <pkcs11 URI> <info file> <boot file>\n"
    "  Ravelhsm digest   <info file> <boot file> <digest file>\n"
    "  Ravelhsm attach   <info file> <boot file> <signature file>\n"
    "  Ravelhsm public   <pkcs11 URI>\n"
    "  Ravelhsm generate <pkcs11 URI>\n"
    "  sign      signs with the private key a PKCS#11 token holds, named by the URI\n"
    "  digest    writes the 32 bytes of the INFO block's SHA-256 for an external signer\n"
    "  attach    checks the external signer's signature (DER or 64 bytes r and s) and writes the image\n"
    "  public    prints the token's public key as PUBLIC_KEY_1 and PUBLIC_KEY_2 lines\n"
    "  generate  makes an EC P-256 key pair inside the token, with the URI's object= as its label\n"
    "            and id= as its ID, and prints its public key as public does\n";

// Ends the run after `step` printed why: the run's summary line.
int StopAfter(BuildStep step) {
  std::printf("%s", BuildStepSummary(step));
  return -1;
}

// A signature file is a few dozen bytes; anything much larger is no signature.
constexpr std::size_t kMaxSignatureFileSize = 256;

// Reads the signature file and stores its signature once it verifies with
// the information file's public key.
int AttachSignatureFile(const char* path, const Sha256Digest& infoDigest) {
  std::array<std::uint8_t, kMaxSignatureFileSize + 1> bytes{};
  std::size_t size = 0;
  {
    const FileGuard file(std::fopen(path, "rb"));
    if (!file) {
      std::printf("Failed to open signature file <%s>!\n", path);
      return -1;
    }
    size = std::fread(bytes.data(), 1, bytes.size(), file.get());
    if (std::ferror(file.get()) != 0) {
      std::printf("Failed to read signature file <%s>!\n", path);
      return -1;
    }
  }
  RawSignature signature{};
  if (size > kMaxSignatureFileSize || DecodeSignature(std::span(bytes).first(size), signature) != 0) {
    std::printf("Signature file <%s> is neither a DER ECDSA signature nor the 64 bytes of r and s!\n", path);
    return -1;
  }
  PublicKeyBytes publicKey{};
  if (PublicKeyFromPublicTexts(InfoSettings.PUBLIC_KEY_1.data(), InfoSettings.PUBLIC_KEY_2.data(),
                               publicKey) != 0) {
    return -1;
  }
  return AttachSignature(infoDigest, signature, publicKey);
}

// Has the token sign and stores the signature once it verifies with the
// token's public key, which must be the information file's when it gives one.
int SignWithTokenKey(const char* uri, const Sha256Digest& infoDigest) {
  RawSignature signature{};
  TokenPublicKey tokenKey{false, {}};
  if (SignWithToken(uri, infoDigest, signature, tokenKey) != 0) {
    return -1;
  }
  // The information file's public key, when it gives one, must be the
  // token's; where the token gives none, it is the one the check uses.
  const char* x = InfoSettings.PUBLIC_KEY_1.data();
  const char* y = InfoSettings.PUBLIC_KEY_2.data();
  PublicKeyBytes publicKey = tokenKey.key;
  if (x[0] != '\0' || y[0] != '\0') {
    PublicKeyBytes given{};
    if (PublicKeyFromPublicTexts(x, y, given) != 0) {
      return -1;
    }
    if (tokenKey.present && given != tokenKey.key) {
      std::printf("PUBLIC_KEY_1 and PUBLIC_KEY_2 of the information file are not the token's public key!\n");
      return -1;
    }
    publicKey = given;
  } else if (!tokenKey.present) {
    std::printf(
        "The token gives no public key for this key: put PUBLIC_KEY_1 and PUBLIC_KEY_2 in the "
        "information file!\n");
    return -1;
  }
  return AttachSignature(infoDigest, signature, publicKey);
}

int Digest(const char* infoPath, const char* bootPath, const char* digestPath) {
  Sha256Digest infoDigest{};
  BuildStep failed{};
  if (PrepareInfoDigest(infoPath, bootPath, nullptr, infoDigest, failed) != 0) {
    return StopAfter(failed);
  }
  return WriteOutputFile(digestPath, {infoPath, bootPath}, infoDigest.data(), infoDigest.size());
}

int Attach(const char* infoPath, const char* bootPath, const char* signaturePath) {
  OutputName outputName{};
  Sha256Digest infoDigest{};
  BuildStep failed{};
  if (PrepareInfoDigest(infoPath, bootPath, &outputName, infoDigest, failed) != 0) {
    return StopAfter(failed);
  }
  if (AttachSignatureFile(signaturePath, infoDigest) != 0) {
    std::printf("Attach signature failed!\n");
    return -1;
  }
  return WriteSecureBootImage(outputName, {infoPath, bootPath, signaturePath}, FailureReason::Given);
}

int Sign(const char* uri, const char* infoPath, const char* bootPath) {
  if (CheckTokensAvailable() != 0) {
    return -1;
  }
  OutputName outputName{};
  Sha256Digest infoDigest{};
  BuildStep failed{};
  if (PrepareInfoDigest(infoPath, bootPath, &outputName, infoDigest, failed) != 0) {
    return StopAfter(failed);
  }
  if (SignWithTokenKey(uri, infoDigest) != 0) {
    std::printf("Sign with token failed!\n");
    return -1;
  }
  return WriteSecureBootImage(outputName, {infoPath, bootPath}, FailureReason::Given);
}

// `public` reads the token's public key; `generate` makes a key pair first.
int PrintTokenPublicKey(const char* uri, bool generate) {
  if (CheckTokensAvailable() != 0) {
    return -1;
  }
  PublicKeyBytes publicKey{};
  if ((generate ? GenerateTokenKey(uri, publicKey) : ReadTokenPublicKey(uri, publicKey)) != 0) {
    return -1;
  }
  PrintKeyLines(nullptr, publicKey);
  return 0;
}

}  // namespace

int RunHsm(int argc, const char* const* argv) {
  const std::string_view command = argc > 1 ? argv[1] : "";
  if (command == "sign" && argc == 5) {
    return Sign(argv[2], argv[3], argv[4]);
  }
  if (command == "digest" && argc == 5) {
    return Digest(argv[2], argv[3], argv[4]);
  }
  if (command == "attach" && argc == 5) {
    return Attach(argv[2], argv[3], argv[4]);
  }
  if ((command == "public" || command == "generate") && argc == 3) {
    return PrintTokenPublicKey(argv[2], command == "generate");
  }
  std::printf("%s", kUsage);
  return -1;
}
