// SPDX-License-Identifier: Apache-2.0
// The Ravelhsm driver: the file Ravelsign would write, signed by a key that
// never leaves a PKCS#11 token, or by an external signer or key service.
#pragma once

// Runs `Ravelhsm <command> ...`. Returns 0 on success, -1 when the run stopped.
int RunHsm(int argc, const char* const* argv);
