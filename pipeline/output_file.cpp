// SPDX-License-Identifier: Apache-2.0
#include "pipeline/output_file.h"

#include <cerrno>
#include <cstring>

#include "platform/platform.h"

namespace {

void ReportFailure(const char* what, const char* path, int error, bool giveReason) {
  if (giveReason && error != 0) {
    std::printf("Cannot %s output file <%s>: %s!\n", what, path, std::strerror(error));
  } else {
    std::printf("Cannot %s output file <%s>!\n", what, path);
  }
}

}  // namespace

int CreateOutputFile(const char* path, std::initializer_list<const char*> inputs, OutputFile& output,
                     bool giveReason) {
  output = OutputFile{nullptr, {}, giveReason};
  // The output replaces its name: an input given again as the output, under
  // any name or link, would be lost.
  for (const char* input : inputs) {
    if (input != nullptr && SameFile(path, input)) {
      std::printf("Output file <%s> is an input file!\n", path);
      return -1;
    }
  }
  errno = 0;
  output.stream = MayReplace(path) ? CreateTemporaryBeside(path, output.temporary) : nullptr;
  if (output.stream == nullptr) {
    const int error = errno;
    output.temporary.fill('\0');
    ReportFailure("create", path, error, giveReason);
    return -1;
  }
  return 0;
}

int CloseOutputFile(OutputFile& output, const char* path, bool written) {
  const bool inPlace = output.temporary[0] == '\0';
  const char* file = inPlace ? path : output.temporary.data();
  // The first failure's reason: the caller's write, the flush, the close or the rename.
  int error = written ? 0 : errno;
  const auto step = [&](bool ok) {
    error = ok || error != 0 ? error : errno;
    written = written && ok;
  };
  errno = 0;
  step(SyncFile(output.stream) == 0);
  step(std::fclose(output.stream) == 0);
  output.stream = nullptr;
  if (written) {
    step(inPlace || PublishFile(file, path, true) == 0);
  }
  if (written) {
    return 0;
  }
  static_cast<void>(std::remove(file));
  ReportFailure("write", path, error, output.giveReason);
  return -1;
}

int WriteOutputFile(const char* path, std::initializer_list<const char*> inputs, const void* data,
                    std::size_t size) {
  OutputFile output{};
  if (CreateOutputFile(path, inputs, output, true) != 0) {
    return -1;
  }
  return CloseOutputFile(output, path, std::fwrite(data, 1, size, output.stream) == size);
}
