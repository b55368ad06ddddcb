// SPDX-License-Identifier: Apache-2.0
// Creating a tool's output file: never over one of the run's inputs, and
// never left half-written.
#pragma once

#include <cstdio>
#include <initializer_list>

// Opens `path` with mode "wb+" unless it names the same file as one of
// `inputs` (null entries are skipped). Prints "Output file <path> is an input
// file!" or "Cannot create output file <path>!" and returns nullptr on failure.
std::FILE* CreateOutputFile(const char* path, std::initializer_list<const char*> inputs);

// Closes an output file. When `written` is false or the close fails, removes
// the file and prints "Cannot write output file <path>!". Returns 0 or -1.
int CloseOutputFile(std::FILE* file, const char* path, bool written);

// Writes `size` bytes as the whole of a new output file (see above). Returns 0 or -1.
int WriteOutputFile(const char* path, std::initializer_list<const char*> inputs, const void* data,
                    std::size_t size);
