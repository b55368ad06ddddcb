// SPDX-License-Identifier: Apache-2.0
#include "tools/sign/run_sign.h"

#include <cstdio>

#include "infoblock/make_info_image.h"
#include "pipeline/pipeline.h"

namespace {

// "\n\r" after "Usage:" (not "\r\n") is deliberate: the usage text is part of
// the console contract, byte for byte (golden file sign-failures/usage.out).
constexpr char kUsage[] =
    "Usage:\n\r  Ravelsign <info file> <boot file>\r\n"
    "  <info file>     secure boot information file\r\n"
    "  <boot file>     secure boot image\r\n";

// Ends the run after `step` printed why: the run's summary line.
int StopAfter(BuildStep step) {
  std::printf("%s", BuildStepSummary(step));
  return -1;
}

}  // namespace

int RunSign(int argc, const char* const* argv) {
  if (argc < 3) {
    std::printf("%s", kUsage);
    return -1;
  }
  const char* infoPath = argv[1];
  const char* bootPath = argv[2];
  OutputName outputName{};
  BuildStep failed{};
  if (PrepareSecureBootImage(infoPath, bootPath, SecretEcho::Shown, &outputName, failed) != 0) {
    return StopAfter(failed);
  }
  if (MakeInfoImage() != 0) {
    return StopAfter(BuildStep::MakeInfoImage);
  }
  return WriteSecureBootImage(outputName, {infoPath, bootPath});
}
