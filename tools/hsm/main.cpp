// SPDX-License-Identifier: Apache-2.0
#include "platform/platform.h"
#include "tools/hsm/run_hsm.h"

int main(int argc, char** argv) {
  // The console lines are the same bytes on every system.
  static_cast<void>(UseBinaryStandardOutput());
  return RunHsm(argc, argv);
}
