// SPDX-License-Identifier: Apache-2.0
// P-256 keys as the information file carries them: hex texts. The checks
// here read the texts as the signer does (leniently, see crypto/p256.h), so
// that they tell what a signature will make of them; the public key of a
// file is read strictly. Every secret these functions hold is wiped before
// they return.
#pragma once

#include <array>
#include <cstddef>

#include "core/info_layout.h"
#include "crypto/key_fingerprint.h"

// What the signer makes of a key text: the library reads it in radix 16 from
// its last character back to the first that is not a hex digit, and a
// leading '-' makes it negative.
struct KeyNumber {
  bool whole;                                     // every character was read
  bool negative;                                  // a '-' came first
  std::array<char, 2 * kP256NumberSize + 8> hex;  // the value read, as the library prints it ("" for 0)
};
KeyNumber ReadKeyNumber(const char* text);

// Checks of key texts read as the signer reads them.
bool PrivateKeyInRange(const char* privateKey);                             // 1 <= d < n
bool PublicKeyOnCurve(const char* x, const char* y);                        // a point of P-256
bool KeyPairMatches(const char* privateKey, const char* x, const char* y);  // d * G == Q
// The fingerprint of the public key texts, read as the signer reads them;
// false when they are not a point of P-256.
bool PublicTextsFingerprint(const char* x, const char* y, KeyFingerprint& fingerprint);
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

// Prints a key as the information file's lines, 64 upper-case hex digits
// each: "PRIVATE_KEY = ..." (only when `privateKey` is given), then
// "PUBLIC_KEY_1 = ..." and "PUBLIC_KEY_2 = ...", then the public key's
// fingerprint as a comment line (crypto/key_fingerprint.h), so that the
// lines can be pasted into an information file as they are.
void PrintKeyLines(const PrivateKeyBytes* privateKey, const PublicKeyBytes& publicKey);
