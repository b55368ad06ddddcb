// SPDX-License-Identifier: Apache-2.0
#include "pipeline/run_tool.h"
#include "tools/info/run_info.h"

int main(int argc, char** argv) {
  return RunTool(RunInfo, argc, argv);
}
