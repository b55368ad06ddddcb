// SPDX-License-Identifier: Apache-2.0
// One HEX write of a 256 KiB image and the INFO block, for instruction counts
// under callgrind (bench/run.sh).
#include <cstdio>
#include <vector>

#include "hexout/hex_writer.h"

int main() {
  std::vector<std::uint8_t> image(0x40000);
  for (std::size_t i = 0; i < image.size(); ++i) {
    image[i] = static_cast<std::uint8_t>(i * 131U + 7U);
  }
  const std::vector<std::uint8_t> block(272, 0x5A);
  std::FILE* sink = std::fopen("/dev/null", "wb");
  if (sink == nullptr) {
    return 1;
  }
  const int result = WriteHexRecords(sink, 0x10000000, image, static_cast<std::int32_t>(image.size())) |
                     WriteHexRecords(sink, 0xFFFFFFFF, block, 272);
  return (std::fclose(sink) == 0 && result == 0) ? 0 : 1;
}
