// SPDX-License-Identifier: Apache-2.0
// A PKCS#11 module whose C_Initialize never returns, as a TPM token's does
// when its daemon is down. Registered with p11-kit by a test, it must not
// hang a run whose URI names another module.
#include <p11-kit/pkcs11.h>
#include <unistd.h>

namespace {

CK_RV Initialize(void* /*args*/) {
  for (;;) {
    pause();
  }
}

CK_FUNCTION_LIST functions = [] {
  CK_FUNCTION_LIST list{};
  list.version = {2, 40};
  list.C_Initialize = Initialize;
  return list;
}();

}  // namespace

extern "C" CK_RV C_GetFunctionList(CK_FUNCTION_LIST_PTR_PTR list) {
  *list = &functions;
  return CKR_OK;
}
