// SPDX-License-Identifier: Apache-2.0
#include "platform/console.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>

#include <cstdio>

int UseBinaryStandardOutput() {
  return _setmode(_fileno(stdout), _O_BINARY) == -1 ? -1 : 0;
}

#else

int UseBinaryStandardOutput() {
  return 0;
}

#endif
