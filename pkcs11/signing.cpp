// SPDX-License-Identifier: Apache-2.0
// Signing with the token's key, and reading its public key: the key the URI
// names is found, checked to be P-256 and used.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/scope_guard.h"
#include "pkcs11/ec_point.h"
#include "pkcs11/pin.h"
#include "pkcs11/session.h"
#include "pkcs11/token.h"

namespace {

// The objects of class `wanted` that match the URI's object attributes, or
// only `other` when it is given. At most two are looked for: one is all we take.
std::vector<CK_OBJECT_HANDLE> FindKeys(TokenSession& session, CK_OBJECT_CLASS wanted,
                                       const CK_ATTRIBUTE* other) {
  std::vector<CK_ATTRIBUTE> search;
  CK_OBJECT_CLASS objectClass = wanted;
  search.push_back({CKA_CLASS, &objectClass, sizeof(objectClass)});
  if (other != nullptr) {
    search.push_back(*other);
  } else {
    CK_ULONG count = 0;
    const CK_ATTRIBUTE* given = p11_kit_uri_get_attributes(session.uri, &count);
    for (CK_ULONG i = 0; i < count; ++i) {
      if (given[i].type != CKA_CLASS) {
        search.push_back(given[i]);
      }
    }
  }
  std::vector<CK_OBJECT_HANDLE> found;
  static_cast<void>(FindObjects(session, search, 2, found));  // a failed search finds no key
  return found;
}

// The one key of class `wanted` the URI names, or -1 after saying why not.
int FindKey(TokenSession& session, CK_OBJECT_CLASS wanted, CK_OBJECT_HANDLE& key) {
  const char* kind = wanted == CKO_PRIVATE_KEY ? "private" : "public";
  if (const CK_ATTRIBUTE* given = p11_kit_uri_get_attribute(session.uri, CKA_CLASS)) {
    CK_OBJECT_CLASS named = 0;
    std::memcpy(&named, given->pValue, std::min<std::size_t>(given->ulValueLen, sizeof(named)));
    if (named != CKO_PRIVATE_KEY && named != CKO_PUBLIC_KEY) {
      std::printf("PKCS#11 URI <%s> names no key: leave type= out, or give type=%s!\n",
                  UriPart(session.uri, P11_KIT_URI_FOR_OBJECT).c_str(), kind);
      return -1;
    }
  }
  const std::vector<CK_OBJECT_HANDLE> found = FindKeys(session, wanted, nullptr);
  if (found.size() != 1) {
    std::printf(found.empty()
                    ? "No %s key matches <%s> on token <%s>!\n"
                    : "More than one %s key matches <%s> on token <%s>: add object= or id= to the URI!\n",
                kind, UriPart(session.uri, P11_KIT_URI_FOR_OBJECT).c_str(), session.tokenLabel.c_str());
    return -1;
  }
  key = found[0];
  return 0;
}

// Refuses any key but an EC key on P-256, naming what it is.
int CheckKeyType(TokenSession& session, CK_OBJECT_HANDLE key) {
  const std::vector<std::uint8_t> labelBytes = Attribute(session, key, CKA_LABEL);
  const std::string label(labelBytes.begin(), labelBytes.end());
  const std::vector<std::uint8_t> type = Attribute(session, key, CKA_KEY_TYPE);
  auto keyType = static_cast<CK_KEY_TYPE>(-1);
  if (type.size() == sizeof(keyType)) {
    std::memcpy(&keyType, type.data(), sizeof(keyType));
  }
  const char* what = nullptr;
  if (keyType == CKK_RSA) {
    what = "an RSA key";
  } else if (keyType == CKK_EC_EDWARDS) {
    what = "an EdDSA key";
  } else if (keyType == CKK_DSA) {
    what = "a DSA key";
  } else if (keyType != CKK_EC) {
    what = "not an EC key";
  } else {
    const std::vector<std::uint8_t> params = Attribute(session, key, CKA_EC_PARAMS);
    if (std::equal(params.begin(), params.end(), kP256Params.begin(), kP256Params.end())) {
      return 0;
    }
    what = "an EC key on a curve other than P-256";
    if (const char* curve = OtherCurveName(params)) {
      std::printf("Key <%s> on token <%s> is an EC key on %s: only P-256 keys sign secure boot images!\n",
                  label.c_str(), session.tokenLabel.c_str(), curve);
      return -1;
    }
  }
  std::printf("Key <%s> on token <%s> is %s: only EC P-256 keys sign secure boot images!\n", label.c_str(),
              session.tokenLabel.c_str(), what);
  return -1;
}

// The public key that belongs to `privateKey`: the public key object with
// the same CKA_ID, else CKA_EC_POINT of the private key object itself.
TokenPublicKey FindPublicKey(TokenSession& session, CK_OBJECT_HANDLE privateKey) {
  TokenPublicKey found{false, {}};
  std::vector<std::uint8_t> id = Attribute(session, privateKey, CKA_ID);
  if (!id.empty()) {
    const CK_ATTRIBUTE sameId{CKA_ID, id.data(), id.size()};
    const std::vector<CK_OBJECT_HANDLE> objects = FindKeys(session, CKO_PUBLIC_KEY, &sameId);
    if (objects.size() == 1 && DecodeEcPoint(Attribute(session, objects[0], CKA_EC_POINT), found.key)) {
      found.present = true;
      return found;
    }
  }
  found.present = DecodeEcPoint(Attribute(session, privateKey, CKA_EC_POINT), found.key);
  return found;
}

int Sign(TokenSession& session, CK_OBJECT_HANDLE key, const Sha256Digest& digest, TokenPin& pin,
         RawSignature& signature) {
  const std::vector<std::uint8_t> always = Attribute(session, key, CKA_ALWAYS_AUTHENTICATE);
  CK_MECHANISM mechanism{CKM_ECDSA, nullptr, 0};
  CK_RV rv = session.module->C_SignInit(session.handle, &mechanism, key);
  // A smart card's signing key wants the PIN again for every signature.
  if (rv == CKR_OK && !always.empty() && always[0] != CK_FALSE &&
      LogIn(session, CKU_CONTEXT_SPECIFIC, false, pin) != 0) {
    return -1;
  }
  WipePin(pin);  // the last login is behind us
  CK_ULONG length = signature.size();
  if (rv == CKR_OK) {
    auto* data = const_cast<CK_BYTE*>(digest.data());  // NOLINT(cppcoreguidelines-pro-type-const-cast): C API
    rv = session.module->C_Sign(session.handle, data, digest.size(), signature.data(), &length);
  }
  if (rv != CKR_OK) {
    std::printf("Signing with token <%s> failed: %s!\n", session.tokenLabel.c_str(), ErrorText(rv));
    return -1;
  }
  if (length != signature.size()) {
    std::printf("Token <%s> gave a signature of %lu bytes, not the 64 of r and s!\n",
                session.tokenLabel.c_str(), static_cast<unsigned long>(length));
    return -1;
  }
  return 0;
}

}  // namespace

int SignWithToken(const char* uri, const Sha256Digest& digest, RawSignature& signature,
                  TokenPublicKey& publicKey) {
  TokenSession session;
  TokenPin pin{};
  const ScopeGuard close([&] {
    CloseTokenSession(session);
    WipePin(pin);
  });
  CK_OBJECT_HANDLE key = 0;
  if (ReadTokenUri(uri, session) != 0 || OpenTokenSession(CKF_SERIAL_SESSION, session) != 0 ||
      LogIn(session, CKU_USER, false, pin) != 0 || FindKey(session, CKO_PRIVATE_KEY, key) != 0 ||
      CheckKeyType(session, key) != 0) {
    return -1;
  }
  publicKey = FindPublicKey(session, key);
  if (Sign(session, key, digest, pin, signature) != 0) {
    return -1;
  }
  std::printf("Signed with token <%s>.\n", session.tokenLabel.c_str());
  return 0;
}

int ReadTokenPublicKey(const char* uri, PublicKeyBytes& publicKey) {
  TokenSession session;
  const ScopeGuard close([&] { CloseTokenSession(session); });
  CK_OBJECT_HANDLE key = 0;
  if (ReadTokenUri(uri, session) != 0 || OpenTokenSession(CKF_SERIAL_SESSION, session) != 0 ||
      FindKey(session, CKO_PUBLIC_KEY, key) != 0 || CheckKeyType(session, key) != 0) {
    return -1;
  }
  if (!DecodeEcPoint(Attribute(session, key, CKA_EC_POINT), publicKey)) {
    std::printf("Token <%s> gives no usable CKA_EC_POINT for the public key!\n", session.tokenLabel.c_str());
    return -1;
  }
  return 0;
}
