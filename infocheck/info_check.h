// SPDX-License-Identifier: Apache-2.0
// Explains an information file as Ravelsign reads it: every line that is
// not read although it looks meant to be, every value that does not read as
// written, every key that will make signing or verification fail. The file
// is seen through the information file reader itself (its observer), never
// through a second parser.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/program_state.h"

// The settings as the reader left them, taken from its reports: they must
// always equal what ParseInfoFile stores.
struct InfoFileModel {
  std::uint32_t codeExeAddr;
  std::uint32_t infoAddr;
  std::array<KeyText, 4> texts;  // RANDOM_K, PRIVATE_KEY, PUBLIC_KEY_1, PUBLIC_KEY_2
};

// Reads `infoPath` (and looks at `bootPath` when it is not null) and collects
// the findings, each "<path>:<line>: <what happens>" or "<path>: <what
// happens>" for the file as a whole. Returns 0, or -1 when a file cannot be
// read (after printing why). The caller wipes the model's texts.
int CheckInfoFile(const char* infoPath, const char* bootPath, std::vector<std::string>& findings,
                  InfoFileModel& model);
