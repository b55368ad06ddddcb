// SPDX-License-Identifier: Apache-2.0
// A key pair made inside the token: the private key can sign and can never
// be read out, whatever the token's defaults. Either the whole pair is made,
// with the attributes asked for, or nothing is left on the token.
#include <array>
#include <cstdio>
#include <span>

#include "core/scope_guard.h"
#include "pkcs11/ec_point.h"
#include "pkcs11/pin.h"
#include "pkcs11/session.h"
#include "pkcs11/token.h"
#include "pkcs11/uri.h"

namespace {

struct Flag {
  CK_ATTRIBUTE_TYPE type;
  CK_BBOOL value;
  const char* name;
};

// The private key: kept in the token, usable only after a login, never
// revealed, and for signing alone.
constexpr std::array<Flag, 8> kPrivateKeyFlags = {{
    {CKA_TOKEN, CK_TRUE, "CKA_TOKEN"},
    {CKA_PRIVATE, CK_TRUE, "CKA_PRIVATE"},
    {CKA_SENSITIVE, CK_TRUE, "CKA_SENSITIVE"},
    {CKA_SIGN, CK_TRUE, "CKA_SIGN"},
    {CKA_EXTRACTABLE, CK_FALSE, "CKA_EXTRACTABLE"},
    {CKA_DERIVE, CK_FALSE, "CKA_DERIVE"},
    {CKA_DECRYPT, CK_FALSE, "CKA_DECRYPT"},
    {CKA_UNWRAP, CK_FALSE, "CKA_UNWRAP"},
}};

// The public key: kept in the token, readable without a login, for
// verifying alone.
constexpr std::array<Flag, 5> kPublicKeyFlags = {{
    {CKA_TOKEN, CK_TRUE, "CKA_TOKEN"},
    {CKA_PRIVATE, CK_FALSE, "CKA_PRIVATE"},
    {CKA_VERIFY, CK_TRUE, "CKA_VERIFY"},
    {CKA_ENCRYPT, CK_FALSE, "CKA_ENCRYPT"},
    {CKA_WRAP, CK_FALSE, "CKA_WRAP"},
}};

// The most objects with one label or ID that a failed generation is
// expected to leave behind.
constexpr std::size_t kMaxLeftovers = 8;

// The label and the ID the URI gives the new pair; -1 when either is missing.
int NewKeyNames(TokenSession& session, CK_ATTRIBUTE& label, CK_ATTRIBUTE& id) {
  const CK_ATTRIBUTE* givenLabel = p11_kit_uri_get_attribute(session.uri, CKA_LABEL);
  const CK_ATTRIBUTE* givenId = p11_kit_uri_get_attribute(session.uri, CKA_ID);
  if (givenLabel == nullptr || givenLabel->ulValueLen == 0 || givenId == nullptr ||
      givenId->ulValueLen == 0) {
    std::printf("PKCS#11 URI <%s> must name the new key with object= and id=!\n",
                PrintableUri(session.text).c_str());
    return -1;
  }
  label = *givenLabel;
  id = *givenId;
  return 0;
}

// Refuses a token that cannot make and keep an EC key pair.
int CheckTokenCanGenerate(TokenSession& session) {
  CK_MECHANISM_INFO mechanism{};
  if (session.module->C_GetMechanismInfo(session.slot, CKM_EC_KEY_PAIR_GEN, &mechanism) != CKR_OK ||
      (mechanism.flags & CKF_GENERATE_KEY_PAIR) == 0) {
    std::printf("Token <%s> cannot generate EC key pairs (no CKM_EC_KEY_PAIR_GEN)!\n",
                session.tokenLabel.c_str());
    return -1;
  }
  return 0;
}

// Refuses when any object, of any class, already has the label or the ID:
// two keys that one URI matches are how a signer picks the wrong key.
int CheckNamesFree(TokenSession& session, const CK_ATTRIBUTE& label, const CK_ATTRIBUTE& id) {
  for (const CK_ATTRIBUTE& name : {label, id}) {
    std::vector<CK_OBJECT_HANDLE> found;
    const CK_RV rv = FindObjects(session, std::span(&name, 1), 1, found);
    const char* what = name.type == CKA_LABEL ? "label" : "ID";
    if (rv != CKR_OK) {
      std::printf("Cannot search token <%s> for objects with the new key's %s: %s!\n",
                  session.tokenLabel.c_str(), what, ErrorText(rv));
      return -1;
    }
    if (!found.empty()) {
      std::printf(
          "Token <%s> already holds an object with the %s that <%s> gives: a new key needs its own!\n",
          session.tokenLabel.c_str(), what, UriPart(session.uri, P11_KIT_URI_FOR_OBJECT).c_str());
      return -1;
    }
  }
  return 0;
}

// The two halves of the pair being made.
struct NewPair {
  CK_OBJECT_HANDLE publicKey;
  CK_OBJECT_HANDLE privateKey;
};

// Destroys what a failed generation made: the pair's halves, and any object
// with the new label or ID (none had them before).
void DestroyNewObjects(TokenSession& session, const NewPair& made, const CK_ATTRIBUTE& label,
                       const CK_ATTRIBUTE& id) {
  for (const CK_OBJECT_HANDLE object : {made.publicKey, made.privateKey}) {
    if (object != CK_INVALID_HANDLE) {
      static_cast<void>(session.module->C_DestroyObject(session.handle, object));
    }
  }
  for (const CK_ATTRIBUTE& name : {label, id}) {
    std::vector<CK_OBJECT_HANDLE> left;
    static_cast<void>(FindObjects(session, std::span(&name, 1), kMaxLeftovers, left));
    for (const CK_OBJECT_HANDLE object : left) {
      static_cast<void>(session.module->C_DestroyObject(session.handle, object));
    }
  }
}

// The name of the first flag the token did not keep as asked, or nullptr.
template <std::size_t N>
const char* FlagNotKept(TokenSession& session, CK_OBJECT_HANDLE object, const std::array<Flag, N>& flags) {
  for (const Flag& flag : flags) {
    const std::vector<std::uint8_t> value = Attribute(session, object, flag.type);
    if (value.size() != sizeof(CK_BBOOL) || (value[0] != CK_FALSE) != (flag.value != CK_FALSE)) {
      return flag.name;
    }
  }
  return nullptr;
}

template <std::size_t N>
void AddFlags(std::vector<CK_ATTRIBUTE>& attributes, const std::array<Flag, N>& flags) {
  for (const Flag& flag : flags) {
    // The token reads the value and does not change it.
    attributes.push_back(
        {flag.type, const_cast<CK_BBOOL*>(&flag.value),  // NOLINT(cppcoreguidelines-pro-type-const-cast)
         sizeof(flag.value)});
  }
}

int GeneratePair(TokenSession& session, const CK_ATTRIBUTE& label, const CK_ATTRIBUTE& id,
                 PublicKeyBytes& publicKey) {
  std::array<std::uint8_t, kP256Params.size()> params = kP256Params;
  std::vector<CK_ATTRIBUTE> publicTemplate = {{CKA_EC_PARAMS, params.data(), params.size()}, label, id};
  AddFlags(publicTemplate, kPublicKeyFlags);
  std::vector<CK_ATTRIBUTE> privateTemplate = {label, id};
  AddFlags(privateTemplate, kPrivateKeyFlags);
  CK_MECHANISM mechanism{CKM_EC_KEY_PAIR_GEN, nullptr, 0};
  NewPair made{CK_INVALID_HANDLE, CK_INVALID_HANDLE};
  bool kept = false;
  const ScopeGuard discard([&] {
    if (!kept) {
      DestroyNewObjects(session, made, label, id);
    }
  });
  const CK_RV rv = session.module->C_GenerateKeyPair(
      session.handle, &mechanism, publicTemplate.data(), publicTemplate.size(), privateTemplate.data(),
      privateTemplate.size(), &made.publicKey, &made.privateKey);
  if (rv != CKR_OK) {
    std::printf("Token <%s> could not generate the key pair: %s!\n", session.tokenLabel.c_str(),
                ErrorText(rv));
    return -1;
  }
  const char* notKept = FlagNotKept(session, made.privateKey, kPrivateKeyFlags);
  if (notKept == nullptr) {
    notKept = FlagNotKept(session, made.publicKey, kPublicKeyFlags);
  }
  if (notKept != nullptr) {
    std::printf("Token <%s> did not give the new key %s as asked: the pair is destroyed!\n",
                session.tokenLabel.c_str(), notKept);
    return -1;
  }
  if (!DecodeEcPoint(Attribute(session, made.publicKey, CKA_EC_POINT), publicKey)) {
    std::printf("Token <%s> gives no usable CKA_EC_POINT for the new key: the pair is destroyed!\n",
                session.tokenLabel.c_str());
    return -1;
  }
  kept = true;
  return 0;
}

}  // namespace

int GenerateTokenKey(const char* uri, PublicKeyBytes& publicKey) {
  TokenSession session;
  TokenPin pin{};
  const ScopeGuard close([&] {
    CloseTokenSession(session);
    WipePin(pin);
  });
  CK_ATTRIBUTE label{};
  CK_ATTRIBUTE id{};
  if (ReadTokenUri(uri, session) != 0 || NewKeyNames(session, label, id) != 0 ||
      OpenTokenSession(CKF_SERIAL_SESSION | CKF_RW_SESSION, session) != 0 ||
      CheckTokenCanGenerate(session) != 0 || LogIn(session, CKU_USER, true, pin) != 0) {
    return -1;
  }
  WipePin(pin);  // the only login is behind us
  // Searched after the login, which shows the private objects too.
  return CheckNamesFree(session, label, id) != 0 ? -1 : GeneratePair(session, label, id, publicKey);
}
