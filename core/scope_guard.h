// SPDX-License-Identifier: Apache-2.0
// Runs a clean-up (free a library context, log out of a token, wipe a
// secret) when the scope ends, on every path out of a step.
#pragma once

#include <utility>

template <typename CleanUp>
class ScopeGuard {
 public:
  explicit ScopeGuard(CleanUp cleanUp) : cleanUp_(std::move(cleanUp)) {}
  ~ScopeGuard() { cleanUp_(); }
  ScopeGuard(const ScopeGuard&) = delete;
  ScopeGuard& operator=(const ScopeGuard&) = delete;
  ScopeGuard(ScopeGuard&&) = delete;
  ScopeGuard& operator=(ScopeGuard&&) = delete;

 private:
  CleanUp cleanUp_;
};
