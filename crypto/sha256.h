// SPDX-License-Identifier: Apache-2.0
// SHA-256, of the image and of the INFO block's signed part.
#pragma once

#include <cstdint>
#include <span>

#include "core/info_layout.h"

// SHA-256 of `data`. Returns 0, or -1 on a library failure.
int Sha256(std::span<const std::uint8_t> data, Sha256Digest& digest);
