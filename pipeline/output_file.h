// SPDX-License-Identifier: Apache-2.0
// A tool's output file: never over one of the run's inputs, and never left
// half-written where it replaces a file. How it lands under its name is the
// platform's OutputLanding, chosen once when it is opened; it ends with one
// commit (CloseOutputFile with the data written) or one discard (without).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>

#include "platform/output_files.h"

// Whether the failure messages add the system's reason ("No space left on
// device"). Ravelsign's console is a contract that build scripts parse, so
// its messages are the bare ones that the sign-failures golden case pins;
// the companions give the reason.
enum class FailureReason : std::uint8_t { Withheld, Given };

struct OutputFile {
  OutputStage stage;
  const char* path;  // as the user named it, for the messages
  FailureReason reason;
};

// Opens the output `path`, to land as `landing` says, unless it names the
// same file as one of `inputs` (null entries are skipped). Prints "Output
// file <path> is an input file!" or "Cannot create output file <path>!" and
// returns -1 on failure.
int CreateOutputFile(const char* path, std::initializer_list<const char*> inputs, OutputLanding landing,
                     FailureReason reason, OutputFile& output);

// Commits the output when `written`: flushes it to the disk and gives it its
// name. When `written` is false or the commit fails, discards what was
// written and prints "Cannot write output file <path>!". Returns 0 or -1.
int CloseOutputFile(OutputFile& output, bool written);

// Writes `size` bytes as the whole of a companion's output file, replacing
// any earlier one atomically, reason given. Returns 0 or -1.
int WriteOutputFile(const char* path, std::initializer_list<const char*> inputs, const void* data,
                    std::size_t size);
