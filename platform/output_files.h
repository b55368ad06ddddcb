// SPDX-License-Identifier: Apache-2.0
// How an output file takes its name. The way is chosen once, when the output
// is opened, from what its name is at that moment:
//  - NewPrivateFile: a new file readable by its owner alone, which never
//    takes the place of an existing file (it holds a new key);
//  - AtomicReplace: the data goes to an unnamed file (O_TMPFILE), or where
//    the file system has none to a new ".<name>.XXXXXX", in the folder of the
//    file that the name leads to (through any symbolic links); complete and
//    on the disk, it takes that file's name at once. A killed run leaves the
//    earlier file as it was, and an unnamed file leaves nothing (but for the
//    instant in which it is linked to a fresh name and renamed). The
//    new file keeps the mode and ACL of the file it replaces, and its owner and group
//    where the process may set them; a file new to the name gets the mode
//    any new file gets there (the umask's, or the folder's default ACL's);
//  - InPlace: written through the file itself, as "wb+" does, where there is
//    nothing to replace: a device, a FIFO, a terminal, an open file named
//    through /dev/stdout or /dev/fd/N, a file that has other hard links
//    (which must see the new data too), a file mounted on its name (a
//    container's bind mount), and an existing writable file in a folder
//    where we may not create or rename files.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>

enum class OutputLanding : std::uint8_t {
  NewPrivateFile,
  AtomicReplace,
  InPlace,
};

// Room for any path the system takes (PATH_MAX), a link's target resolved.
inline constexpr std::size_t kLandingPathSize = 4096;
using LandingPath = std::array<char, kLandingPathSize>;

struct OutputStage {
  std::FILE* stream;  // open for binary writing
  OutputLanding landing;
  LandingPath target;  // the name the output takes: a symbolic link's target
  LandingPath staged;  // the staged file's name while it has one ("" when unnamed)
};

// Opens the output for `path`. `wanted` is NewPrivateFile or AtomicReplace;
// the latter turns into InPlace where `path` names no file that could be
// replaced (see above). Returns 0, or -1 with errno saying why (EEXIST for
// a new private file whose name is taken).
int OpenOutputStage(const char* path, OutputLanding wanted, OutputStage& stage);

// Flushes the output to the disk and gives it its name. Returns 0, or -1
// with errno from the first step that failed; the staged data is then gone
// and any earlier file of the name is as it was.
int CommitOutputStage(OutputStage& stage);

// Drops what was written: closes the stream and removes the staged file.
// A file written in place stays as far as it was written. Keeps errno.
void DiscardOutputStage(OutputStage& stage);
