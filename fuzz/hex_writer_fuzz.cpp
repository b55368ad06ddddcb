// SPDX-License-Identifier: Apache-2.0
// Arbitrary base, length and bytes for the HEX writer; every record written
// must be well formed, carry a correct checksum, and the data records must
// cover exactly the rounded-up length.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "hexout/hex_writer.h"

namespace {

unsigned HexValue(char c) {
  if (c >= '0' && c <= '9') {
    return static_cast<unsigned>(c - '0');
  }
  if (c >= 'A' && c <= 'F') {
    return static_cast<unsigned>(c - 'A' + 10);
  }
  std::abort();  // lowercase or not a digit
}

void CheckRecords(std::string_view text, std::size_t expectedDataRecords) {
  std::size_t dataRecords = 0;
  while (!text.empty()) {
    const std::size_t end = text.find("\r\n");
    if (end == std::string_view::npos || text[0] != ':' || end % 2 == 0) {
      std::abort();
    }
    unsigned sum = 0;
    for (std::size_t i = 1; i < end; i += 2) {
      sum += HexValue(text[i]) * 16 + HexValue(text[i + 1]);
    }
    if ((sum & 0xFFU) != 0) {
      std::abort();
    }
    const std::string_view type = text.substr(7, 2);
    if (type == "00") {
      if (end != 43) {
        std::abort();
      }
      ++dataRecords;
    } else if (type != "04" || end != 15) {
      std::abort();
    }
    text.remove_prefix(end + 2);
  }
  if (dataRecords != expectedDataRecords) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  const auto base = provider.ConsumeIntegral<std::uint32_t>();
  const auto length = provider.ConsumeIntegralInRange<std::int32_t>(-64, 4096);
  const std::vector<std::uint8_t> buffer = provider.ConsumeRemainingBytes<std::uint8_t>();

  char* text = nullptr;
  std::size_t textSize = 0;
  std::FILE* stream = open_memstream(&text, &textSize);
  if (stream == nullptr) {
    std::abort();
  }
  const int result = WriteHexRecords(stream, base, buffer, length);
  if (std::fclose(stream) != 0 || result != 0) {
    std::abort();
  }
  const std::size_t covered =
      length <= 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(length), buffer.size());
  CheckRecords(std::string_view(text, textSize), (covered + 15) / 16);
  std::free(text);
  return 0;
}
