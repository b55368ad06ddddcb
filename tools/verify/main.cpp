// SPDX-License-Identifier: Apache-2.0
#include "pipeline/run_tool.h"
#include "tools/verify/run_verify.h"

int main(int argc, char** argv) {
  return RunTool(RunVerify, argc, argv);
}
