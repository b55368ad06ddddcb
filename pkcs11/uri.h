// SPDX-License-Identifier: Apache-2.0
// Checks on a PKCS#11 URI's text before p11-kit reads it: pure, so that
// every spelling can be tried in a table.
#pragma once

#include <string>
#include <string_view>

// The URI as it may be printed: any pin-value, in any letter case, is replaced.
std::string PrintableUri(std::string_view uri);

// An attribute the URI gives twice (p11-kit would silently keep the last,
// and the wrong key might sign), or "" when there is none.
std::string RepeatedUriAttribute(std::string_view uri);
