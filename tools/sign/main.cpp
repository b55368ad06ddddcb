// SPDX-License-Identifier: Apache-2.0
#include "pipeline/run_tool.h"
#include "tools/sign/run_sign.h"

int main(int argc, char** argv) {
  return RunTool(RunSign, argc, argv);
}
