// SPDX-License-Identifier: Apache-2.0
// Creating a tool's output file: never over one of the run's inputs, and
// never left half-written. The data goes to a temporary file beside the
// output (".<name>.XXXXXX"), which takes the output's name only once it is
// complete and on the disk, so a run that fails or is killed leaves any
// earlier file of that name as it was.
#pragma once

#include <array>
#include <cstddef>
#include <cstdio>
#include <initializer_list>

#include "pipeline/output_name.h"

struct OutputFile {
  std::FILE* stream;
  // The temporary file being written; empty for a file created under its
  // final name (a new information file, which never replaces one).
  std::array<char, kOutputNameSize + 16> temporary;
  // The companions add the system's reason to their messages ("No space
  // left on device"); Ravelsign's messages are the ones it has always had.
  bool giveReason;
};

// Opens a temporary file for `path` unless `path` names the same file as
// one of `inputs` (null entries are skipped). Prints "Output file <path> is
// an input file!" or "Cannot create output file <path>!" (before the "!",
// ": <reason>" when `giveReason`) and returns -1 on failure.
int CreateOutputFile(const char* path, std::initializer_list<const char*> inputs, OutputFile& output,
                     bool giveReason = false);

// Completes an output file: flushes it to the disk and gives it its name.
// When `written` is false or any of that fails, removes what was written and
// prints "Cannot write output file <path>!". Returns 0 or -1.
int CloseOutputFile(OutputFile& output, const char* path, bool written);

// Writes `size` bytes as the whole of a companion's output file (see above,
// the reason given). Returns 0 or -1.
int WriteOutputFile(const char* path, std::initializer_list<const char*> inputs, const void* data,
                    std::size_t size);
