// SPDX-License-Identifier: Apache-2.0
// The process around a tool's run function, the same for every tool.
#pragma once

// Puts standard output in binary mode, so that the console lines are the
// same bytes on every system (should that fail, the run goes on, only with
// Windows line ends), and runs `run`. A run that runs out of memory ends
// like any other failure: "Out of memory!" and -1, not an abort.
int RunTool(int (*run)(int argc, const char* const* argv), int argc, char** argv);
