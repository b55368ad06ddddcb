// SPDX-License-Identifier: Apache-2.0
// Cost of writing a whole 256 KiB image and the INFO block as Intel HEX.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "hexout/hex_writer.h"

namespace {

void BM_WriteHexRecords256KiB(benchmark::State& state) {
  std::vector<std::uint8_t> image(0x40000);
  for (std::size_t i = 0; i < image.size(); ++i) {
    image[i] = static_cast<std::uint8_t>(i * 131U + 7U);
  }
  const std::vector<std::uint8_t> block(272, 0x5A);
  std::FILE* sink = std::fopen("/dev/null", "wb");
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        WriteHexRecords(sink, 0x10000000, image, static_cast<std::int32_t>(image.size())));
    benchmark::DoNotOptimize(WriteHexRecords(sink, 0xFFFFFFFF, block, 272));
  }
  std::fclose(sink);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(image.size()));
}
BENCHMARK(BM_WriteHexRecords256KiB);

}  // namespace

BENCHMARK_MAIN();
