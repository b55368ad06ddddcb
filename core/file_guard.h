// SPDX-License-Identifier: Apache-2.0
// Closes a stdio stream when it goes out of scope, so that every path out of
// a step closes what the step opened. Streams whose close must be checked
// (the output file) are released and closed by hand.
#pragma once

#include <cstdio>
#include <memory>

struct FileCloser {
  void operator()(std::FILE* file) const noexcept { static_cast<void>(std::fclose(file)); }
};

using FileGuard = std::unique_ptr<std::FILE, FileCloser>;
