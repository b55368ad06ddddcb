// SPDX-License-Identifier: Apache-2.0
// Arbitrary bytes as the information file: the reader never fails on a
// readable file and keeps every text within 64 characters; the number
// conversion gives glibc's "%x" results; and Ravelinfo check, which sees the
// file through the reader's reports, reads it as the reader alone does and
// leaves no secret behind.
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
  ResetProgramState();
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
  std::size_t count = 0;
  if (CheckInfoFile(path.c_str(), nullptr, findings, count) != 0 || findings.size() > count + 1 ||
      CodeExeAddr() != codeExeAddr || InfoSettings.INFO_ADDR != stored.INFO_ADDR ||
      std::strcmp(InfoSettings.PUBLIC_KEY_1.data(), stored.PUBLIC_KEY_1.data()) != 0 ||
      std::strcmp(InfoSettings.PUBLIC_KEY_2.data(), stored.PUBLIC_KEY_2.data()) != 0 ||
      InfoSettings.PRIVATE_KEY[0] != '\0' || InfoSettings.RANDOM_K[0] != '\0') {
    std::abort();
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
