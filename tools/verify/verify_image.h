// SPDX-License-Identifier: Apache-2.0
// One verification of a signed secure boot image: the information file and
// the HEX file read, the device's checks made, and what the run found kept
// for every form of report (the console, JSON).
#pragma once

#include <cstdint>
#include <optional>

#include "core/info_layout.h"
#include "infoblock/device_checks.h"

// The step that stopped a run before the checks, in the order they run
// (--json holds the console back first); or memory that ran out anywhere.
enum class VerifyStep : std::uint8_t { None, CaptureConsole, ParseInfoFile, ReadHexFile, OutOfMemory };

struct VerifyReport {
  int status;                             // 0 every check passed, 1 one failed, -1 an input unread
  VerifyStep failedStep;                  // the step that made the status -1
  std::uint32_t codeExeAddr;              // CODE_EXE_ADDR of the information file
  std::optional<std::uint32_t> infoAddr;  // INFO_ADDR, when the information file gives it
  std::optional<InfoBlockData> block;     // the INFO block where the header points
  DeviceChecks checks;
};

// Reads both files and makes the checks, printing what each step prints
// (the settings read, a step's diagnostic, the checks' lines); the driver
// prints the summary. Fills `report` and returns its status.
int VerifySignedImage(const char* infoPath, const char* hexPath, VerifyReport& report);
