// SPDX-License-Identifier: Apache-2.0
// SoftHSM as tokens that fail at making a key pair: every call goes to the
// module RAVEL_WRAPPED_MODULE names, except where RAVEL_TOKEN_FAULT says
//   no-ec-keygen     the token has no CKM_EC_KEY_PAIR_GEN;
//   full             the pair is made, then the token reports that it is
//                    full, leaving both halves behind;
//   derive           the pair is made, but the private key can derive.
// A golden case names this module ${FAULTY_TOKEN}, with module-path= in the URI.
#include <dlfcn.h>
#include <p11-kit/pkcs11.h>

#include <cstdlib>
#include <string_view>

namespace {

CK_FUNCTION_LIST* wrapped = nullptr;
CK_FUNCTION_LIST functions{};

std::string_view Fault() {
  const char* fault = std::getenv("RAVEL_TOKEN_FAULT");
  return fault != nullptr ? fault : "";
}

CK_RV GetMechanismInfo(CK_SLOT_ID slot, CK_MECHANISM_TYPE type, CK_MECHANISM_INFO_PTR info) {
  if (Fault() == "no-ec-keygen" && type == CKM_EC_KEY_PAIR_GEN) {
    return CKR_MECHANISM_INVALID;
  }
  return wrapped->C_GetMechanismInfo(slot, type, info);
}

CK_RV GenerateKeyPair(CK_SESSION_HANDLE session, CK_MECHANISM_PTR mechanism, CK_ATTRIBUTE_PTR publicTemplate,
                      CK_ULONG publicCount, CK_ATTRIBUTE_PTR privateTemplate, CK_ULONG privateCount,
                      CK_OBJECT_HANDLE_PTR publicKey, CK_OBJECT_HANDLE_PTR privateKey) {
  CK_RV rv = wrapped->C_GenerateKeyPair(session, mechanism, publicTemplate, publicCount, privateTemplate,
                                        privateCount, publicKey, privateKey);
  if (rv == CKR_OK && Fault() == "full") {
    *publicKey = CK_INVALID_HANDLE;
    *privateKey = CK_INVALID_HANDLE;
    rv = CKR_DEVICE_MEMORY;
  } else if (rv == CKR_OK && Fault() == "derive") {
    CK_BBOOL yes = CK_TRUE;
    CK_ATTRIBUTE derive{CKA_DERIVE, &yes, sizeof(yes)};
    rv = wrapped->C_SetAttributeValue(session, *privateKey, &derive, 1);
  }
  return rv;
}

}  // namespace

extern "C" CK_RV C_GetFunctionList(CK_FUNCTION_LIST_PTR_PTR list) {
  if (wrapped == nullptr) {
    const char* path = std::getenv("RAVEL_WRAPPED_MODULE");
    void* library = path != nullptr ? dlopen(path, RTLD_NOW | RTLD_LOCAL) : nullptr;
    auto* get = library != nullptr
                    ? reinterpret_cast<CK_C_GetFunctionList>(dlsym(library, "C_GetFunctionList"))
                    : nullptr;
    if (get == nullptr || get(&wrapped) != CKR_OK) {
      return CKR_GENERAL_ERROR;
    }
    functions = *wrapped;
    functions.C_GetMechanismInfo = GetMechanismInfo;
    functions.C_GenerateKeyPair = GenerateKeyPair;
  }
  *list = &functions;
  return CKR_OK;
}
