// SPDX-License-Identifier: Apache-2.0
// The console's byte mode.
#pragma once

// Puts standard output in binary mode, so that every console byte is the same
// on both systems (Windows' text mode would turn "\n" into "\r\n"). Returns 0
// or -1. Nothing to do on Linux.
int UseBinaryStandardOutput();
