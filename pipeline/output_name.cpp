// SPDX-License-Identifier: Apache-2.0
#include "pipeline/output_name.h"

#include <string_view>

int MakeOutputName(const char* bootPath, OutputName& name) {
  const std::string_view path(bootPath);
  std::size_t stem = path.size();
  for (std::size_t i = path.size(); i-- > 1;) {
    if (path[i] == '/' || path[i] == '\\') {
      break;
    }
    if (path[i] == '.') {
      stem = i;
      break;
    }
  }
  constexpr std::string_view suffix(kOutputSuffix);
  name.fill('\0');
  if (stem + suffix.size() >= name.size()) {
    return -1;
  }
  path.copy(name.data(), stem);
  suffix.copy(name.data() + stem, suffix.size());
  return 0;
}
