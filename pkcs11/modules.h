// SPDX-License-Identifier: Apache-2.0
// The PKCS#11 modules a URI lets a run walk: the one its module-path loads,
// the one registered as its module-name, or every module p11-kit has
// registered. Whatever is loaded is finalized and released by ReleaseModules.
#pragma once

#include <p11-kit/p11-kit.h>
#include <p11-kit/uri.h>

#include <array>

struct ModuleSet {
  CK_FUNCTION_LIST* loaded = nullptr;       // a module loaded from module-path
  CK_FUNCTION_LIST** registered = nullptr;  // the registered modules, loaded by p11-kit
  bool allInitialized = false;              // every registered module was initialized
  CK_FUNCTION_LIST* named = nullptr;        // the one initialized for module-name
  CK_FUNCTION_LIST** walked = nullptr;      // the modules walked: registered, or {one, nullptr}
  std::array<CK_FUNCTION_LIST*, 2> single{};
};

// Loads and initializes the modules the URI names. Returns 0, or -1 after
// saying why. With module-name and no such module, `walked` is empty.
int LoadModules(P11KitUri* uri, ModuleSet& modules);

// Whether the module is the one module-name names (any, without it).
bool HasWantedName(P11KitUri* uri, CK_FUNCTION_LIST* module);

void ReleaseModules(ModuleSet& modules);
