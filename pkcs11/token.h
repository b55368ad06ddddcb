// SPDX-License-Identifier: Apache-2.0
// Keys that stay in a PKCS#11 token (a hardware security module, a smart
// card, SoftHSM), named by a PKCS#11 URI (RFC 7512): signing with one,
// reading its public key, and making one inside the token. p11-kit parses
// the URI and loads the modules. Every session is closed and every module
// finalized on every path; the PIN is wiped after the last login. Where
// there is no p11-kit (Windows), each of these says so and returns -1.
#pragma once

#include "core/info_layout.h"

// Returns 0 where this build reaches tokens, else -1 after saying that it
// does not, before a command does any other work.
int CheckTokensAvailable();

// The token's public key for the key the URI names, when it gives one.
struct TokenPublicKey {
  bool present;
  PublicKeyBytes key;
};

// Signs `digest` with CKM_ECDSA using the P-256 private key the URI names,
// giving r ‖ s, and finds the token's public key for it. Returns 0, or -1
// after printing what is wrong (which part of the URI matched nothing, a
// wrong PIN, a key of another type).
int SignWithToken(const char* uri, const Sha256Digest& digest, RawSignature& signature,
                  TokenPublicKey& publicKey);

// The P-256 public key of the key pair the URI names. Returns 0, or -1 after
// printing what is wrong.
int ReadTokenPublicKey(const char* uri, PublicKeyBytes& publicKey);

// Generates an EC P-256 key pair inside the token the URI selects, labelled
// and identified by the URI's object= and id= (both required), whose private
// key can sign and never leaves the token. Refuses, before generating, when
// any object on the token has that label or that ID. Returns 0 with the new
// public key, or -1 after saying why, with nothing left made on the token.
int GenerateTokenKey(const char* uri, PublicKeyBytes& publicKey);
