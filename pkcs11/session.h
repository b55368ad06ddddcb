// SPDX-License-Identifier: Apache-2.0
// The token walk: the URI read by p11-kit, its modules loaded, the one
// token it selects found among every slot of every module, a session opened
// and the user logged in. CloseTokenSession undoes all of it, in reverse.
#pragma once

#include <p11-kit/p11-kit.h>
#include <p11-kit/uri.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pkcs11/modules.h"
#include "pkcs11/pin.h"

// Everything one command opens. It is never copied: `modules` may point
// into itself.
struct TokenSession {
  TokenSession() = default;
  TokenSession(const TokenSession&) = delete;
  TokenSession& operator=(const TokenSession&) = delete;
  TokenSession(TokenSession&&) = delete;
  TokenSession& operator=(TokenSession&&) = delete;
  ~TokenSession() = default;

  const char* text = nullptr;  // the URI as given, only ever printed without its PIN
  P11KitUri* uri = nullptr;
  ModuleSet modules;
  CK_FUNCTION_LIST* module = nullptr;  // the module of the token chosen
  CK_SLOT_ID slot = 0;
  std::string tokenLabel;
  CK_SESSION_HANDLE handle = 0;
  bool open = false;
  bool loggedIn = false;
};

// Has p11-kit read the URI `text`, refusing one with an attribute it does
// not understand or gives twice. Returns 0, or -1 after saying why.
int ReadTokenUri(const char* text, TokenSession& session);

// Finds the one token the URI selects and opens a session with `flags`
// (CKF_SERIAL_SESSION, with CKF_RW_SESSION to make objects). Returns 0, or
// -1 after saying which part of the URI matched nothing.
int OpenTokenSession(CK_FLAGS flags, TokenSession& session);

// Logs in as `user`, finding the PIN first unless it is known or the token
// has its own PIN pad. A user login is skipped where the token needs none,
// unless `always` (objects marked CKA_PRIVATE are made only after a login).
// Returns 0, or -1 after saying why.
int LogIn(TokenSession& session, CK_USER_TYPE user, bool always, TokenPin& pin);

void CloseTokenSession(TokenSession& session);

// One attribute's value; empty when the object has none.
std::vector<std::uint8_t> Attribute(TokenSession& session, CK_OBJECT_HANDLE object, CK_ATTRIBUTE_TYPE type);

// The objects that match every attribute of `search`, at most `most` of
// them. Returns the search's CKR_OK, or its error with `found` empty.
CK_RV FindObjects(TokenSession& session, std::span<const CK_ATTRIBUTE> search, std::size_t most,
                  std::vector<CK_OBJECT_HANDLE>& found);

// One part of the URI (the token or the object attributes), for messages.
std::string UriPart(P11KitUri* uri, P11KitUriType part);

const char* ErrorText(CK_RV rv);
