// SPDX-License-Identifier: Apache-2.0
#include "pkcs11/modules.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

bool HasWantedName(P11KitUri* uri, CK_FUNCTION_LIST* module) {
  const char* wanted = p11_kit_uri_get_module_name(uri);
  if (wanted == nullptr) {
    return true;
  }
  char* name = p11_kit_module_get_name(module);
  const bool same = name != nullptr && std::strcmp(name, wanted) == 0;
  std::free(name);  // NOLINT(cppcoreguidelines-no-malloc): p11-kit's allocation
  return same;
}

int LoadModules(P11KitUri* uri, ModuleSet& modules) {
  if (const char* path = p11_kit_uri_get_module_path(uri)) {
    modules.loaded = p11_kit_module_load(path, 0);
    if (modules.loaded == nullptr) {
      std::printf("Cannot load PKCS#11 module <%s>: %s!\n", path, p11_kit_message());
      return -1;
    }
    if (const CK_RV rv = p11_kit_module_initialize(modules.loaded); rv != CKR_OK) {
      p11_kit_module_release(modules.loaded);
      modules.loaded = nullptr;
      std::printf("Cannot initialize PKCS#11 module <%s>: %s!\n", path, p11_kit_strerror(rv));
      return -1;
    }
    modules.single = {modules.loaded, nullptr};
    modules.walked = modules.single.data();
    return 0;
  }
  // With module-name, only that module is started: another registered module
  // whose C_Initialize hangs (a TPM token whose daemon is down) must not hang
  // the run, nor print its errors.
  const char* name = p11_kit_uri_get_module_name(uri);
  modules.registered =
      name != nullptr ? p11_kit_modules_load(nullptr, 0) : p11_kit_modules_load_and_initialize(0);
  if (modules.registered == nullptr) {
    std::printf("Cannot load the registered PKCS#11 modules: %s!\n", p11_kit_message());
    return -1;
  }
  modules.allInitialized = name == nullptr;
  modules.walked = modules.registered;
  if (name == nullptr) {
    return 0;
  }
  for (CK_FUNCTION_LIST** module = modules.registered; *module != nullptr; ++module) {
    if (HasWantedName(uri, *module)) {
      if (const CK_RV rv = p11_kit_module_initialize(*module); rv != CKR_OK) {
        std::printf("Cannot initialize PKCS#11 module <%s>: %s!\n", name, p11_kit_strerror(rv));
        return -1;
      }
      modules.named = *module;
      break;
    }
  }
  modules.single = {modules.named, nullptr};
  modules.walked = modules.single.data();  // none: the token walk says that no module matches
  return 0;
}

void ReleaseModules(ModuleSet& modules) {
  if (modules.loaded != nullptr) {
    static_cast<void>(p11_kit_module_finalize(modules.loaded));
    p11_kit_module_release(modules.loaded);
  }
  if (modules.named != nullptr) {
    static_cast<void>(p11_kit_module_finalize(modules.named));
  }
  if (modules.registered != nullptr && modules.allInitialized) {
    p11_kit_modules_finalize_and_release(modules.registered);
  } else if (modules.registered != nullptr) {
    p11_kit_modules_release(modules.registered);
  }
  modules = ModuleSet{};
}
