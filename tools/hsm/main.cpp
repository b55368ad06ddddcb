// SPDX-License-Identifier: Apache-2.0
#include "pipeline/run_tool.h"
#include "tools/hsm/run_hsm.h"

int main(int argc, char** argv) {
  return RunTool(RunHsm, argc, argv);
}
