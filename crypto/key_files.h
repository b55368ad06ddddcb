// SPDX-License-Identifier: Apache-2.0
// P-256 keys as other tools keep them: PEM and DER files. Every secret these
// functions hold is wiped before they return.
#pragma once

#include <span>

#include "core/info_layout.h"

// A key file as openssl and key services write them: PEM or DER, an EC
// private key (SEC1 or unencrypted PKCS#8) or a public key
// (SubjectPublicKeyInfo), on P-256. Prints why and returns -1 for anything
// else. `hasPrivate` tells which kind it was.
int ReadKeyFile(const char* path, PrivateKeyBytes& privateKey, PublicKeyBytes& publicKey, bool& hasPrivate);

// The public key as a PEM SubjectPublicKeyInfo. Returns its length, or -1.
int PublicKeyPem(const PublicKeyBytes& publicKey, std::span<char> pem);
