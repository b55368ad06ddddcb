// SPDX-License-Identifier: Apache-2.0
#include "pipeline/run_tool.h"

#include <cstdio>
#include <new>

#include "platform/console.h"

int RunTool(int (*run)(int argc, const char* const* argv), int argc, char** argv) {
  static_cast<void>(UseBinaryStandardOutput());
  try {
    return run(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fflush(stdout);
    std::printf("Out of memory!\n");
    return -1;
  }
}
