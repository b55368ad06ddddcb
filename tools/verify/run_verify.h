// SPDX-License-Identifier: Apache-2.0
// The verifier's driver: checks a signed secure boot image as the device will.
#pragma once

// Runs `Ravelverify <info file> <signed hex file>`. Returns 0 when every check
// passed, 1 when any failed, -1 when an input could not be read or parsed.
int RunVerify(int argc, const char* const* argv);
