// SPDX-License-Identifier: Apache-2.0
#include "pipeline/output_file.h"

#include "platform/platform.h"

int CreateOutputFile(const char* path, std::initializer_list<const char*> inputs, OutputFile& output) {
  output = OutputFile{nullptr, {}};
  // The output replaces its name: an input given again as the output, under
  // any name or link, would be lost.
  for (const char* input : inputs) {
    if (input != nullptr && SameFile(path, input)) {
      std::printf("Output file <%s> is an input file!\n", path);
      return -1;
    }
  }
  output.stream = MayReplace(path) ? CreateTemporaryBeside(path, output.temporary, false) : nullptr;
  if (output.stream == nullptr) {
    output.temporary.fill('\0');
    std::printf("Cannot create output file <%s>!\n", path);
    return -1;
  }
  return 0;
}

int CloseOutputFile(OutputFile& output, const char* path, bool written) {
  const bool inPlace = output.temporary[0] == '\0';
  const char* file = inPlace ? path : output.temporary.data();
  written = SyncFile(output.stream) == 0 && written;
  written = std::fclose(output.stream) == 0 && written;
  output.stream = nullptr;
  if (written && (inPlace || PublishFile(file, path, true) == 0)) {
    return 0;
  }
  static_cast<void>(std::remove(file));
  std::printf("Cannot write output file <%s>!\n", path);
  return -1;
}

int WriteOutputFile(const char* path, std::initializer_list<const char*> inputs, const void* data,
                    std::size_t size) {
  OutputFile output{};
  if (CreateOutputFile(path, inputs, output) != 0) {
    return -1;
  }
  return CloseOutputFile(output, path, std::fwrite(data, 1, size, output.stream) == size);
}
