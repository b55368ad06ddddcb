// SPDX-License-Identifier: Apache-2.0
// P-256 keys as the information file carries them (hex texts) and as other
// tools keep them (PEM and DER files): reading, checking, generating and
// writing them. Every secret these functions hold is wiped before they return.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "infoblock/info_image.h"

using PrivateKeyBytes = std::array<std::uint8_t, kP256NumberSize>;

// What the signing step makes of a key text: mbed TLS reads it in radix 16
// from its last character back to the first that is not a hex digit, and a
// leading '-' makes it negative.
struct KeyNumber {
  bool whole;                                     // every character was read
  bool negative;                                  // a '-' came first
  std::array<char, 2 * kP256NumberSize + 8> hex;  // the value read, as the library prints it ("" for 0)
};
KeyNumber ReadKeyNumber(const char* text);

// Checks of key texts read as the signing step reads them.
bool PrivateKeyInRange(const char* privateKey);                             // 1 <= d < n
bool PublicKeyOnCurve(const char* x, const char* y);                        // a point of P-256
bool KeyPairMatches(const char* privateKey, const char* x, const char* y);  // d * G == Q
// A RANDOM_K of 64 hex digits that the library takes as the nonce: 1 <= k < n.
bool FixedNonceUsable(const char* randomK);

// The public key of an information file's texts, each of which must read
// whole: PUBLIC_KEY_1 and PUBLIC_KEY_2 when given (and checked against
// PRIVATE_KEY when that is given too), else derived from PRIVATE_KEY. Prints
// why and returns -1 when there is no usable key.
int PublicKeyFromTexts(const char* privateKey, const char* x, const char* y, PublicKeyBytes& publicKey);

// The same for the public key texts alone, which must be given.
int PublicKeyFromPublicTexts(const char* x, const char* y, PublicKeyBytes& publicKey);

// A fresh key pair from the operating system's random source. Returns 0 or -1.
int GenerateKeyPair(PrivateKeyBytes& privateKey, PublicKeyBytes& publicKey);

// A key file as openssl and key services write them: PEM or DER, an EC
// private key (SEC1 or unencrypted PKCS#8) or a public key
// (SubjectPublicKeyInfo), on P-256. Prints why and returns -1 for anything
// else. `hasPrivate` tells which kind it was.
int ReadKeyFile(const char* path, PrivateKeyBytes& privateKey, PublicKeyBytes& publicKey, bool& hasPrivate);

// Prints a key as the information file's lines, 64 upper-case hex digits
// each: "PRIVATE_KEY = ..." (only when `privateKey` is given), then
// "PUBLIC_KEY_1 = ..." and "PUBLIC_KEY_2 = ...".
void PrintKeyLines(const PrivateKeyBytes* privateKey, const PublicKeyBytes& publicKey);

// The public key as a PEM SubjectPublicKeyInfo. Returns its length, or -1.
int PublicKeyPem(const PublicKeyBytes& publicKey, std::span<char> pem);
