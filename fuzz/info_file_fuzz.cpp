// SPDX-License-Identifier: Apache-2.0
// Arbitrary bytes as the information file: the reader never fails on a
// readable file and keeps every text within 64 characters; the number
// conversion gives glibc's "%x" results; and Ravelinfo check, which sees the
// file through the reader's reports, ends with exactly what the reader stores.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/program_state.h"
#include "fuzz/fuzz_support.h"
#include "infocheck/info_check.h"
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
  const InfoSettingsData stored = InfoSettings;
  const std::uint32_t codeExeAddr = CodeExeAddr();
  const std::array<const KeyText*, 4> texts = {&stored.RANDOM_K, &stored.PRIVATE_KEY, &stored.PUBLIC_KEY_1,
                                               &stored.PUBLIC_KEY_2};
  for (const KeyText* text : texts) {
    if (strnlen(text->data(), text->size()) > kKeyTextMaxChars) {
      std::abort();
    }
  }
  std::vector<std::string> findings;
  InfoFileModel model{};
  if (CheckInfoFile(path.c_str(), nullptr, findings, model) != 0 || model.codeExeAddr != codeExeAddr ||
      model.infoAddr != stored.INFO_ADDR) {
    std::abort();
  }
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (std::strcmp(model.texts[i].data(), texts[i]->data()) != 0) {
      std::abort();
    }
  }
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
