// SPDX-License-Identifier: Apache-2.0
// What a file is: which file a path names, and its kind and size, with
// sizes past 4 GiB on every system.
#pragma once

#include <cstdint>

// Whether both paths name one existing file, however spelt or linked: the
// same device and inode on Linux, the same volume and file index on Windows.
// A path that names no file is not the same as anything.
bool SameFile(const char* path, const char* other);

enum class FileKind : std::uint8_t {
  Regular,
  Folder,
  Other,  // a device, a FIFO, a socket
};

struct FileFacts {
  FileKind kind;
  std::uint64_t size;  // in bytes; meaningful for a regular file only
};

// The kind and size of the file that `path` names, links followed, without
// opening it (a FIFO would wait for a writer). Returns 0, or -1 with errno.
int DescribeFile(const char* path, FileFacts& facts);
