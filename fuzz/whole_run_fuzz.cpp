// SPDX-License-Identifier: Apache-2.0
// A whole run of Ravelsign's driver, signing included: an arbitrary
// information file and a boot image of up to 256 KiB. Any exit status is
// fine; a crash, a hang or a sanitizer report is not, and neither is a failed
// run that leaves an output file.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "tools/sign/run_sign.h"

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

  const std::array<const char*, 3> argv = {"Ravelsign", info.c_str(), boot.c_str()};
  const int status = RunSign(static_cast<int>(argv.size()), argv.data());
  std::fflush(stdout);
  if ((status == 0) != std::filesystem::exists(output)) {
    std::abort();
  }
  return 0;
}
