// SPDX-License-Identifier: Apache-2.0
// The public key's fingerprint: one short, fixed text by which a person or a
// release pipeline tells keys apart without comparing 128 hex digits.
#pragma once

#include <array>

#include "core/info_layout.h"

// SHA-256 of the 65-byte uncompressed point (0x04 || X || Y), as 64
// lower-case hex digits and a NUL.
using KeyFingerprint = std::array<char, 2 * kSha256Size + 1>;

// Returns 0, or -1 on a library failure (`fingerprint` is then empty).
int PublicKeyFingerprint(const PublicKeyBytes& publicKey, KeyFingerprint& fingerprint);

// The comment line that carries a fingerprint among the key lines, up to the
// digits. The information file's reader skips it, as it skips every line
// starting with '#', and `Ravelinfo check` knows it for what it is.
inline constexpr char kFingerprintCommentLead[] = "# PUBLIC_KEY_FINGERPRINT SHA-256: ";
