// SPDX-License-Identifier: Apache-2.0
// The device checks as Ravelverify's console shows them: one line each,
// numbered, ending in "OK" or "FAILED". Build scripts parse these lines.
#pragma once

#include <cstddef>
#include <string>

#include "infoblock/device_checks.h"

// The console line of the check at `index` (0 to 3), without its line end;
// empty for a check that did not run.
std::string DeviceCheckLine(const DeviceChecks& checks, std::size_t index);

// Prints the line of every check that ran, in order.
void PrintDeviceChecks(const DeviceChecks& checks);
