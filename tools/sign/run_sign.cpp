// SPDX-License-Identifier: Apache-2.0
#include "tools/sign/run_sign.h"

#include <cstdio>

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
  const ImageRequest request = {
      argv[1], argv[2], SecretEcho::Shown, kInfoFileKeySigner, "Make info image failed!\n", true, nullptr};
  return BuildSecureBootImage(request);
}
