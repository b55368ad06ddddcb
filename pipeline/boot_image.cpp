// SPDX-License-Identifier: Apache-2.0
#include "pipeline/boot_image.h"

#include <cstdio>

#include "core/file_guard.h"
#include "core/program_state.h"

int ReadBootImage(const char* path) {
  const FileGuard file(std::fopen(path, "rb"));
  if (!file) {
    std::printf("Failed to open boot image file <%s>!\n", path);
    return -1;
  }
  BootImage.bytes.fill(0);
  BootImage.length = 0;
  // One request for the whole buffer: a file that fills it without reaching
  // its end is too long, and a failed read (a directory) never reaches it.
  const std::size_t got = std::fread(BootImage.bytes.data(), 1, BootImage.bytes.size(), file.get());
  if (std::feof(file.get()) == 0 || std::ferror(file.get()) != 0) {
    std::printf("Boot image read error!!\n");
    return -1;
  }
  BootImage.length = static_cast<std::int32_t>(got);
  std::printf("Boot image read OK. File length is %d.\n", BootImage.length);
  return 0;
}
