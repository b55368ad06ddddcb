// SPDX-License-Identifier: Apache-2.0
#include "tools/sign/run_sign.h"

#include <cstdio>

#include "infoblock/info_image.h"
#include "pipeline/pipeline.h"

namespace {

constexpr char kUsage[] =
    "Usage:\n\r  Ravelsign <info file> <boot file>\r\n"
    "  <info file>     secure boot information file\r\n"
    "  <boot file>     secure boot image\r\n";

}  // namespace

int RunSign(int argc, const char* const* argv) {
  if (argc < 3) {
    std::printf("%s", kUsage);
    return -1;
  }
  const char* infoPath = argv[1];
  const char* bootPath = argv[2];
  OutputName outputName{};
  if (PrepareSecureBootImage(infoPath, bootPath, SecretEcho::Shown, &outputName) != 0) {
    return -1;
  }
  if (MakeInfoImage() != 0) {
    std::printf("Make info image failed!\n");
    return -1;
  }
  return WriteSecureBootImage(outputName, {infoPath, bootPath});
}
