// SPDX-License-Identifier: Apache-2.0
// The Windows API as the platform files include it: without the min and max
// macros that break std::min, and without the rarely used parts.
#pragma once

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif
