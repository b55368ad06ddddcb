// SPDX-License-Identifier: Apache-2.0
// A whole run, signing included, through the steps Ravelsign's driver calls:
// an arbitrary information file and an image of up to 256 KiB. Any exit status is fine; a crash, a hang or a
// sanitizer report is not, and neither is a failed run that leaves an output file.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/program_state.h"
#include "fuzz/fuzz_support.h"
#include "infoblock/make_info_image.h"
#include "pipeline/pipeline.h"

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  fuzzsupport::SilenceStdout();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string info = fuzzsupport::ScratchDir() + "/keys.txt";
  static const std::string boot = fuzzsupport::ScratchDir() + "/app.bin";
  static const std::string output = fuzzsupport::ScratchDir() + "/app_SBoot.hex";
  FuzzedDataProvider provider(data, size);
  const std::string infoText = provider.ConsumeRandomLengthString(4096);
  const std::vector<std::uint8_t> image = provider.ConsumeBytes<std::uint8_t>(0x40000);
  fuzzsupport::WriteScratchFile(info, reinterpret_cast<const std::uint8_t*>(infoText.data()),
                                infoText.size());
  fuzzsupport::WriteScratchFile(boot, image.data(), image.size());
  std::remove(output.c_str());

  OutputName outputName{};
  BuildStep failed{};
  const int status =
      PrepareSecureBootImage(info.c_str(), boot.c_str(), SecretEcho::Shown, &outputName, failed) == 0 &&
              MakeInfoImage() == 0
          ? WriteSecureBootImage(outputName, {info.c_str(), boot.c_str()})
          : -1;
  std::fflush(stdout);
  if ((status == 0) != std::filesystem::exists(output)) {
    std::abort();
  }
  return 0;
}
