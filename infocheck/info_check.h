// SPDX-License-Identifier: Apache-2.0
// Explains an information file as Ravelsign reads it: every line that is
// not read although it looks meant to be, every value that does not read as
// written, every key that will make signing or verification fail. The file
// is seen through the information file reader itself (its observer), never
// through a second parser.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Reads `infoPath` into InfoSettings (and looks at `bootPath` when it is not
// null) and collects the findings, each "<path>:<line>: <what happens>" or
// "<path>: <what happens>" for the file as a whole. The first 100 findings
// about lines are kept, then one line says how many more there are; `count`
// is the number of findings in all. The settings hold what the reader
// stored, but for PRIVATE_KEY and RANDOM_K, which are wiped. Returns 0, or
// -1 when a file cannot be read (after printing why).
int CheckInfoFile(const char* infoPath, const char* bootPath, std::vector<std::string>& findings,
                  std::size_t& count);
