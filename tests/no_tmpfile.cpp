// SPDX-License-Identifier: Apache-2.0
// Preloaded into a tool, makes open() refuse unnamed files (O_TMPFILE) with
// EOPNOTSUPP, as a file system without them (vfat, older NFS) or an older
// kernel does, so that the outputs staged under a temporary name are tested
// on the file systems at hand, which all have unnamed files.
//
// Both entry points are defined, so the build's large-file setting, which
// would make open() itself the symbol open64, is undone here.
#undef _FILE_OFFSET_BITS
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/types.h>

#include <cerrno>
#include <cstdarg>

extern "C" int open(const char* path, int flags, ...) {
  mode_t mode = 0;
  if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {
    va_list arguments;
    va_start(arguments, flags);
    mode = static_cast<mode_t>(va_arg(arguments, unsigned));
    va_end(arguments);
  }
  if ((flags & O_TMPFILE) == O_TMPFILE) {
    errno = EOPNOTSUPP;
    return -1;
  }
  // open64 takes files of any size on every system.
  using OpenFn = int (*)(const char*, int, ...);
  const auto real = reinterpret_cast<OpenFn>(dlsym(RTLD_NEXT, "open64"));
  return real(path, flags, mode);
}

// 32-bit builds with large-file support call open64.
extern "C" int open64(const char* path, int flags, ...) __attribute__((alias("open")));
