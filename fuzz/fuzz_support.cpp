// SPDX-License-Identifier: Apache-2.0
#include "fuzz/fuzz_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace fuzzsupport {

const std::string& ScratchDir() {
  static const std::string dir = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "ravel-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      std::abort();
    }
    return pattern;
  }();
  return dir;
}

void WriteScratchFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr || (size != 0 && std::fwrite(data, 1, size, file) != size) || std::fclose(file) != 0) {
    std::abort();
  }
}

void SilenceStdout() {
  std::fflush(stdout);
  const int null = open("/dev/null", O_WRONLY);
  if (null < 0 || dup2(null, STDOUT_FILENO) < 0) {
    std::abort();
  }
  close(null);
}

}  // namespace fuzzsupport
