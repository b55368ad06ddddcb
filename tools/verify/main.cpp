// SPDX-License-Identifier: Apache-2.0
#include "platform/platform.h"
#include "tools/verify/run_verify.h"

int main(int argc, char** argv) {
  // The console lines are the same bytes on every system; should the switch
  // fail, the run still verifies, only with Windows line ends on the console.
  static_cast<void>(UseBinaryStandardOutput());
  return RunVerify(argc, argv);
}
