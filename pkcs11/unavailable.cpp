// SPDX-License-Identifier: Apache-2.0
// The stand-in where there is no p11-kit (Windows): every token command says
// that tokens are not available here, and the external signer's commands
// (digest, attach) remain.
#include <cstdio>

#include "pkcs11/token.h"

int CheckTokensAvailable() {
  std::printf("PKCS#11 is not available in this build of Ravelhsm: use digest and attach!\n");
  return -1;
}

int SignWithToken(const char* /*uri*/, const Sha256Digest& /*digest*/, RawSignature& /*signature*/,
                  TokenPublicKey& /*publicKey*/) {
  return CheckTokensAvailable();
}

int ReadTokenPublicKey(const char* /*uri*/, PublicKeyBytes& /*publicKey*/) {
  return CheckTokensAvailable();
}

int GenerateTokenKey(const char* /*uri*/, PublicKeyBytes& /*publicKey*/) {
  return CheckTokensAvailable();
}
