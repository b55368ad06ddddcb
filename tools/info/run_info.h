// SPDX-License-Identifier: Apache-2.0
// The Ravelinfo driver: makes, converts and checks information files.
#pragma once

// Runs `Ravelinfo <command> ...`. Returns 0 on success, 1 when `check` has
// findings, -1 when the run stopped.
int RunInfo(int argc, const char* const* argv);
