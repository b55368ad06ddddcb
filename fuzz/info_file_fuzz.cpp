// SPDX-License-Identifier: Apache-2.0
// Arbitrary bytes as the information file.
#include <cstdio>
#include <cstring>
#include <string>

#include "app/program_state.h"
#include "fuzz/fuzz_support.h"
#include "infofile/info_file.h"

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  fuzzsupport::SilenceStdout();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = fuzzsupport::ScratchDir() + "/info.txt";
  fuzzsupport::WriteScratchFile(path, data, size);
  InfoBlock.fill(0);
  ResetInfoSettings();
  if (ParseInfoFile(path.c_str()) != 0) {
    std::abort();  // a readable file never fails
  }
  // Every text stays terminated within its 64 characters.
  for (const KeyText* text : {&InfoSettings.RANDOM_K, &InfoSettings.PRIVATE_KEY, &InfoSettings.PUBLIC_KEY_1,
                              &InfoSettings.PUBLIC_KEY_2}) {
    if (strnlen(text->data(), text->size()) > kKeyTextMaxChars) {
      std::abort();
    }
  }
  // The number conversion gives what glibc's "%x" stores, for any text.
  const std::string text(reinterpret_cast<const char*>(data),
                         strnlen(reinterpret_cast<const char*>(data), size));
  unsigned int glibc = 0x5EED5EED;
  // NOLINTNEXTLINE(cert-err34-c): the reference the conversion must match
  static_cast<void>(std::sscanf(text.c_str(), "%x", &glibc));
  if (ReadHexNumber(text, 0x5EED5EED) != glibc) {
    std::abort();
  }
  return 0;
}
