// SPDX-License-Identifier: Apache-2.0
// Arbitrary stores into HexMemory, in any order, overlapping and wrapping,
// against a plain byte map: every byte the map holds must read back, and
// nothing else may be present.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <map>
#include <vector>

#include "hexin/hex_memory.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  // Addresses near one another (and near the top), so that stores meet.
  const auto window = provider.ConsumeIntegral<std::uint32_t>() & 0xFFFFFF00U;
  HexMemory memory;
  std::map<std::uint32_t, std::uint8_t> model;
  while (provider.remaining_bytes() > 2) {
    const auto address = window + provider.ConsumeIntegralInRange<std::uint32_t>(0, 600);
    const std::vector<std::uint8_t> bytes =
        provider.ConsumeBytes<std::uint8_t>(provider.ConsumeIntegralInRange<std::size_t>(0, 300));
    StoreHexBytes(memory, address, bytes);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      model[static_cast<std::uint32_t>(address + i)] = bytes[i];
    }
  }
  if (HexByteCount(memory) != model.size()) {
    std::abort();
  }
  std::vector<std::uint8_t> out(1200);
  const std::size_t present = ReadHexRange(memory, window, out);
  std::size_t expected = 0;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto found = model.find(static_cast<std::uint32_t>(window + i));
    expected += found != model.end() ? 1 : 0;
    if (out[i] != (found != model.end() ? found->second : 0xFF)) {
      std::abort();
    }
  }
  if (present != expected) {
    std::abort();
  }
  // Runs stay sorted, apart and below 2^32.
  std::uint64_t end = 0;
  for (const auto& [start, run] : memory.runs) {
    if (start < end || run.size == 0 || start + std::uint64_t{run.size} > (std::uint64_t{1} << 32U)) {
      std::abort();
    }
    end = start + std::uint64_t{run.size};
  }
  return 0;
}
