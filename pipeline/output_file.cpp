// SPDX-License-Identifier: Apache-2.0
#include "pipeline/output_file.h"

#include "platform/platform.h"

std::FILE* CreateOutputFile(const char* path, std::initializer_list<const char*> inputs) {
  // "wb+" truncates at once: an input given again as the output, under any
  // name or link, would be lost before a byte is written.
  for (const char* input : inputs) {
    if (input != nullptr && SameFile(path, input)) {
      std::printf("Output file <%s> is an input file!\n", path);
      return nullptr;
    }
  }
  std::FILE* file = std::fopen(path, "wb+");
  if (file == nullptr) {
    std::printf("Cannot create output file <%s>!\n", path);
  }
  return file;
}

int CloseOutputFile(std::FILE* file, const char* path, bool written) {
  written = std::fflush(file) == 0 && written;
  if (std::fclose(file) == 0 && written) {
    return 0;
  }
  static_cast<void>(std::remove(path));
  std::printf("Cannot write output file <%s>!\n", path);
  return -1;
}

int WriteOutputFile(const char* path, std::initializer_list<const char*> inputs, const void* data,
                    std::size_t size) {
  std::FILE* file = CreateOutputFile(path, inputs);
  if (file == nullptr) {
    return -1;
  }
  return CloseOutputFile(file, path, std::fwrite(data, 1, size, file) == size);
}
