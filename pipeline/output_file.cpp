// SPDX-License-Identifier: Apache-2.0
#include "pipeline/output_file.h"

#include <cerrno>
#include <cstring>

#include "platform/file_identity.h"

namespace {

void ReportFailure(const char* what, const char* path, int error, FailureReason reason) {
  if (reason == FailureReason::Given && error != 0) {
    std::printf("Cannot %s output file <%s>: %s!\n", what, path, std::strerror(error));
  } else {
    std::printf("Cannot %s output file <%s>!\n", what, path);
  }
}

}  // namespace

int CreateOutputFile(const char* path, std::initializer_list<const char*> inputs, OutputLanding landing,
                     FailureReason reason, OutputFile& output) {
  output = OutputFile{{nullptr, landing, {}, {}}, path, reason};
  // The output replaces its name: an input given again as the output, under
  // any name or link, would be lost.
  for (const char* input : inputs) {
    if (input != nullptr && SameFile(path, input)) {
      std::printf("Output file <%s> is an input file!\n", path);
      return -1;
    }
  }
  errno = 0;
  if (OpenOutputStage(path, landing, output.stage) != 0) {
    ReportFailure("create", path, errno, reason);
    return -1;
  }
  return 0;
}

int CloseOutputFile(OutputFile& output, bool written) {
  // The first failure's reason: the caller's write, or the commit's.
  const int writeError = written ? 0 : errno;
  errno = 0;
  if (written && CommitOutputStage(output.stage) == 0) {
    return 0;
  }
  const int error = written ? errno : writeError;
  DiscardOutputStage(output.stage);
  ReportFailure("write", output.path, error, output.reason);
  return -1;
}

int WriteOutputFile(const char* path, std::initializer_list<const char*> inputs, const void* data,
                    std::size_t size) {
  OutputFile output{};
  if (CreateOutputFile(path, inputs, OutputLanding::AtomicReplace, FailureReason::Given, output) != 0) {
    return -1;
  }
  return CloseOutputFile(output, std::fwrite(data, 1, size, output.stage.stream) == size);
}
