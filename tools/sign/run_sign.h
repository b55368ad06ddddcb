// SPDX-License-Identifier: Apache-2.0
// The run driver: one build of a signed secure boot image.
#pragma once

// Runs the steps in order for `Ravelsign <info file> <boot file>`. Returns 0
// when the output file was written, -1 when the run stopped early.
int RunSign(int argc, const char* const* argv);
