// SPDX-License-Identifier: Apache-2.0
// Everything that differs between Linux and Windows, kept in one place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>

// Fills `out` completely from the operating system's cryptographic random
// source: getrandom(2) on Linux, BCryptGenRandom with the system-preferred
// generator on Windows. Returns 0, or -1 when the source failed; the buffer's
// content must then not be used.
int OsRandomBytes(std::span<std::uint8_t> out);

// Puts standard output in binary mode, so that every console byte is the same
// on both systems (Windows' text mode would turn "\n" into "\r\n"). Returns 0
// or -1. Nothing to do on Linux.
int UseBinaryStandardOutput();

// Whether both paths name one existing file, however spelt or linked: the
// same device and inode on Linux, the same volume and file index on Windows.
// A path that names no file is not the same as anything.
bool SameFile(const char* path, const char* other);

// Creates `path` for binary writing only if it does not exist yet, readable
// and writable by its owner alone (mode 0600; Windows has no such mode bits).
// Returns nullptr when the file exists or cannot be created.
std::FILE* CreateNewPrivateFile(const char* path);

// Creates a new file in the folder of `path`, named ".<file name>.XXXXXX"
// with six random characters, and opens it for binary writing; its name goes
// into `temporary`. Its mode is what the umask allows, as for any new file.
// Returns nullptr when it cannot be created or its name does not fit.
std::FILE* CreateTemporaryBeside(const char* path, std::span<char> temporary);

// Whether an output may take the name `path`: nothing has it, or a file we
// may write (not a folder, not a read-only file). When not, errno says why.
bool MayReplace(const char* path);

// Flushes the stream and has the system put its data on the disk (fsync;
// _commit on Windows). Returns 0 or -1.
int SyncFile(std::FILE* file);

// Gives a complete temporary file its final name at once: in place of a
// file of that name when `replace` (rename; MoveFileEx with replace and
// write-through on Windows), else only when there is none (link; MoveFileEx
// without replace). Returns 0, or -1 with the temporary file left as it was.
int PublishFile(const char* temporary, const char* path, bool replace);

// Whether standard input is a terminal that a person can type into.
bool StandardInputIsTerminal();

// Prints `prompt` and reads one line from the terminal without echoing it,
// into `out` (NUL-terminated, line end dropped). Returns the number of
// characters read, or -1 when nothing could be read or the line does not fit.
int ReadSecretLine(const char* prompt, std::span<char> out);
