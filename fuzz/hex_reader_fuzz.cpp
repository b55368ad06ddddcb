// SPDX-License-Identifier: Apache-2.0
// Arbitrary bytes as an Intel HEX file for the verifier's reader.
#include <array>

#include "fuzz/fuzz_support.h"
#include "hexin/hex_reader.h"

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  fuzzsupport::SilenceStdout();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = fuzzsupport::ScratchDir() + "/in.hex";
  fuzzsupport::WriteScratchFile(path, data, size);
  HexMemory memory;
  if (ReadHexFile(path.c_str(), memory) == 0) {
    std::array<std::uint8_t, 272> block{};
    static_cast<void>(ReadHexRange(memory, 0xFFFFFFF0, block));
  }
  return 0;
}
