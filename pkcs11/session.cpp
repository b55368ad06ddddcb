// SPDX-License-Identifier: Apache-2.0
#include "pkcs11/session.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pkcs11/uri.h"

namespace {

std::string SpacePadded(const unsigned char* text, std::size_t size) {
  return {reinterpret_cast<const char*>(text), p11_kit_space_strlen(text, size)};
}

}  // namespace

int ReadTokenUri(const char* text, TokenSession& session) {
  session.text = text;
  session.uri = p11_kit_uri_new();
  const int parsed = p11_kit_uri_parse(session.text, P11_KIT_URI_FOR_ANY, session.uri);
  if (parsed != P11_KIT_URI_OK) {
    std::printf("Malformed PKCS#11 URI <%s>: %s!\n", PrintableUri(session.text).c_str(),
                p11_kit_uri_message(parsed));
    return -1;
  }
  if (p11_kit_uri_any_unrecognized(session.uri) != 0) {
    std::printf("PKCS#11 URI <%s> has an attribute that is not understood!\n",
                PrintableUri(session.text).c_str());
    return -1;
  }
  if (const std::string repeated = RepeatedUriAttribute(session.text); !repeated.empty()) {
    std::printf("PKCS#11 URI <%s> gives %s more than once!\n", PrintableUri(session.text).c_str(),
                repeated.c_str());
    return -1;
  }
  if (const std::string skipped = AttributeAfterEmpty(session.text); !skipped.empty()) {
    std::printf("PKCS#11 URI <%s> has an empty attribute, after which p11-kit would ignore %s!\n",
                PrintableUri(session.text).c_str(), skipped.c_str());
    return -1;
  }
  return 0;
}

namespace {

bool ModuleMatches(TokenSession& session, CK_FUNCTION_LIST* module) {
  if (!HasWantedName(session.uri, module)) {
    return false;
  }
  CK_INFO info{};
  return module->C_GetInfo(&info) == CKR_OK && p11_kit_uri_match_module_info(session.uri, &info) != 0;
}

// Counts the initialised tokens of `module` that the URI selects, keeping
// the first one found in the session.
void MatchTokens(TokenSession& session, CK_FUNCTION_LIST* module, std::size_t& matches) {
  CK_ULONG count = 0;
  if (module->C_GetSlotList(CK_TRUE, nullptr, &count) != CKR_OK) {
    return;
  }
  std::vector<CK_SLOT_ID> slots(count);
  if (module->C_GetSlotList(CK_TRUE, slots.data(), &count) != CKR_OK) {
    return;
  }
  slots.resize(count);
  const CK_SLOT_ID wantedSlot = p11_kit_uri_get_slot_id(session.uri);
  for (const CK_SLOT_ID slot : slots) {
    CK_SLOT_INFO slotInfo{};
    CK_TOKEN_INFO tokenInfo{};
    // A token that was never initialized holds no key (SoftHSM always offers one).
    if (module->C_GetSlotInfo(slot, &slotInfo) != CKR_OK ||
        module->C_GetTokenInfo(slot, &tokenInfo) != CKR_OK ||
        (tokenInfo.flags & CKF_TOKEN_INITIALIZED) == 0 ||
        p11_kit_uri_match_slot_info(session.uri, &slotInfo) == 0 ||
        p11_kit_uri_match_token_info(session.uri, &tokenInfo) == 0 ||
        (wantedSlot != static_cast<CK_SLOT_ID>(-1) && wantedSlot != slot)) {
      continue;
    }
    if (++matches == 1) {
      session.module = module;
      session.slot = slot;
      session.tokenLabel = SpacePadded(tokenInfo.label, sizeof(tokenInfo.label));
    }
  }
}

// Walks every slot with a token of every module and keeps the one token the
// URI selects.
int ChooseToken(TokenSession& session) {
  std::size_t matches = 0;
  bool anyModule = false;
  for (CK_FUNCTION_LIST** module = session.modules.walked; *module != nullptr; ++module) {
    if (ModuleMatches(session, *module)) {
      anyModule = true;
      MatchTokens(session, *module, matches);
    }
  }
  if (!anyModule) {
    const char* name = p11_kit_uri_get_module_name(session.uri);
    std::printf("No PKCS#11 module matches <%s>%s%s!\n", UriPart(session.uri, P11_KIT_URI_FOR_MODULE).c_str(),
                name != nullptr ? ": none is registered as " : "", name != nullptr ? name : "");
    return -1;
  }
  if (matches == 0) {
    // p11-kit's URI parts are bit flags: slot and token together have no name of their own.
    // NOLINTNEXTLINE(clang-analyzer-optin.core.EnumCastOutOfRange)
    const auto slotAndToken = static_cast<P11KitUriType>(P11_KIT_URI_FOR_SLOT | P11_KIT_URI_FOR_TOKEN);
    std::printf("No token matches <%s>!\n", UriPart(session.uri, slotAndToken).c_str());
    return -1;
  }
  if (matches > 1) {
    std::printf("%zu tokens match <%s>: add token= or serial= to the URI!\n", matches,
                UriPart(session.uri, P11_KIT_URI_FOR_TOKEN).c_str());
    return -1;
  }
  return 0;
}

}  // namespace

int OpenTokenSession(CK_FLAGS flags, TokenSession& session) {
  if (LoadModules(session.uri, session.modules) != 0 || ChooseToken(session) != 0) {
    return -1;
  }
  const CK_RV rv = session.module->C_OpenSession(session.slot, flags, nullptr, nullptr, &session.handle);
  if (rv != CKR_OK) {
    std::printf("Cannot open a session with token <%s>: %s!\n", session.tokenLabel.c_str(), ErrorText(rv));
    return -1;
  }
  session.open = true;
  return 0;
}

int LogIn(TokenSession& session, CK_USER_TYPE user, bool always, TokenPin& pin) {
  // Read for every login: a PIN pad is asked the second time as the first.
  CK_TOKEN_INFO info{};
  if (session.module->C_GetTokenInfo(session.slot, &info) != CKR_OK) {
    info.flags = 0;
  }
  if (user == CKU_USER && !always && (info.flags & CKF_LOGIN_REQUIRED) == 0) {
    return 0;
  }
  // A token with its own PIN pad takes no PIN from us.
  const bool pinPad = (info.flags & CKF_PROTECTED_AUTHENTICATION_PATH) != 0;
  if (!pin.known && !pinPad && FindPin(session.uri, session.tokenLabel, pin) != 0) {
    return -1;
  }
  auto* value = pin.known ? reinterpret_cast<CK_UTF8CHAR*>(pin.text.data()) : nullptr;
  const CK_RV rv =
      session.module->C_Login(session.handle, user, value, pin.known ? std::strlen(pin.text.data()) : 0);
  if (rv == CKR_OK || (rv == CKR_USER_ALREADY_LOGGED_IN && user == CKU_USER)) {
    session.loggedIn = session.loggedIn || user == CKU_USER;
    return 0;
  }
  if (rv == CKR_PIN_INCORRECT) {
    std::printf("Wrong PIN for token <%s>!\n", session.tokenLabel.c_str());
  } else if (rv == CKR_PIN_LOCKED) {
    std::printf("The PIN of token <%s> is locked!\n", session.tokenLabel.c_str());
  } else {
    std::printf("Login to token <%s> failed: %s!\n", session.tokenLabel.c_str(), ErrorText(rv));
  }
  return -1;
}

void CloseTokenSession(TokenSession& session) {
  if (session.loggedIn) {
    static_cast<void>(session.module->C_Logout(session.handle));
  }
  if (session.open) {
    static_cast<void>(session.module->C_CloseSession(session.handle));
  }
  ReleaseModules(session.modules);
  if (session.uri != nullptr) {
    p11_kit_uri_free(session.uri);
  }
  session.loggedIn = false;
  session.open = false;
  session.uri = nullptr;
}

std::vector<std::uint8_t> Attribute(TokenSession& session, CK_OBJECT_HANDLE object, CK_ATTRIBUTE_TYPE type) {
  CK_ATTRIBUTE attribute{type, nullptr, 0};
  if (session.module->C_GetAttributeValue(session.handle, object, &attribute, 1) != CKR_OK ||
      attribute.ulValueLen == CK_UNAVAILABLE_INFORMATION) {
    return {};
  }
  std::vector<std::uint8_t> value(attribute.ulValueLen);
  attribute.pValue = value.data();
  if (session.module->C_GetAttributeValue(session.handle, object, &attribute, 1) != CKR_OK) {
    return {};
  }
  value.resize(attribute.ulValueLen);
  return value;
}

CK_RV FindObjects(TokenSession& session, std::span<const CK_ATTRIBUTE> search, std::size_t most,
                  std::vector<CK_OBJECT_HANDLE>& found) {
  std::vector<CK_ATTRIBUTE> wanted(search.begin(), search.end());
  found.assign(most, CK_INVALID_HANDLE);
  CK_ULONG got = 0;
  CK_RV rv = session.module->C_FindObjectsInit(session.handle, wanted.data(), wanted.size());
  if (rv == CKR_OK) {
    rv = session.module->C_FindObjects(session.handle, found.data(), found.size(), &got);
    static_cast<void>(session.module->C_FindObjectsFinal(session.handle));
  }
  found.resize(rv == CKR_OK ? got : 0);
  return rv;
}

std::string UriPart(P11KitUri* uri, P11KitUriType part) {
  char* formatted = nullptr;
  std::string text = "pkcs11:";
  if (p11_kit_uri_format(uri, part, &formatted) == P11_KIT_URI_OK && formatted != nullptr) {
    text = PrintableUri(formatted);
  }
  std::free(formatted);  // NOLINT(cppcoreguidelines-no-malloc): p11-kit's allocation
  return text;
}

const char* ErrorText(CK_RV rv) {
  return p11_kit_strerror(rv);
}
