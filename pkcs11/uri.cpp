// SPDX-License-Identifier: Apache-2.0
#include "pkcs11/uri.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
  return lower;
}

}  // namespace

std::string PrintableUri(std::string_view uri) {
  constexpr std::string_view kPinValue = "pin-value=";
  std::string text(uri);
  for (std::size_t at = Lower(text).find(kPinValue); at != std::string::npos;
       at = Lower(text).find(kPinValue, at + 1)) {
    const std::size_t start = at + kPinValue.size();
    const std::size_t end = text.find_first_of("&;", start);
    text.replace(start, (end == std::string::npos ? text.size() : end) - start, "***");
  }
  return text;
}

std::string RepeatedUriAttribute(std::string_view uri) {
  if (Lower(uri.substr(0, 7)) == "pkcs11:") {
    uri.remove_prefix(7);
  }
  std::vector<std::string> names;
  while (!uri.empty()) {
    const std::size_t end = uri.find_first_of(";?&");
    const std::string_view attribute = uri.substr(0, end);
    std::string name = Lower(attribute.substr(0, attribute.find('=')));
    if (!name.empty() && std::find(names.begin(), names.end(), name) != names.end()) {
      return name;
    }
    names.push_back(std::move(name));
    uri.remove_prefix(end == std::string_view::npos ? uri.size() : end + 1);
  }
  return "";
}
