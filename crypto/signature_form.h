// SPDX-License-Identifier: Apache-2.0
// The two forms in which external signers hand over an ECDSA P-256
// signature: DER ECDSA-Sig-Value (openssl, most key services) and 64 raw
// bytes r ‖ s (PKCS#11 tokens, pkcs11-tool).
#pragma once

#include <cstdint>
#include <span>

#include "core/info_layout.h"

// Reads a signature in either form into r ‖ s. DER must be strict (minimal
// lengths and integers, nothing after the sequence) with r and s each at
// most 32 bytes; anything that is not such DER must be exactly 64 bytes.
// Returns 0, or -1 when `bytes` is neither.
int DecodeSignature(std::span<const std::uint8_t> bytes, RawSignature& signature);
