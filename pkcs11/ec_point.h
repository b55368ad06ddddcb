// SPDX-License-Identifier: Apache-2.0
// P-256 as PKCS#11 tokens name it (CKA_EC_PARAMS) and give its points
// (CKA_EC_POINT). Pure byte work, the same on every system.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "core/info_layout.h"

// The DER of P-256's object identifier, the CKA_EC_PARAMS of its keys.
inline constexpr std::array<std::uint8_t, 10> kP256Params = {0x06, 0x08, 0x2A, 0x86, 0x48,
                                                             0xCE, 0x3D, 0x03, 0x01, 0x07};

// The name of the other named curve whose CKA_EC_PARAMS `params` is, or
// nullptr when it is none we know.
const char* OtherCurveName(std::span<const std::uint8_t> params);

// The uncompressed P-256 point of a CKA_EC_POINT: a DER OCTET STRING holding
// 04 ‖ X ‖ Y, as PKCS#11 asks, or those 65 bytes bare, as some tokens give
// them. Returns false for anything else.
bool DecodeEcPoint(std::span<const std::uint8_t> value, PublicKeyBytes& publicKey);
