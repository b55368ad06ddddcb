// SPDX-License-Identifier: Apache-2.0
#include "pkcs11/uri.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>
#include <vector>

#include "core/hex_digit.h"

namespace {

// The characters p11-kit drops wherever they appear in a name or a value.
constexpr std::string_view kDropped = " \n\r\v";

constexpr std::string_view kScheme = "pkcs11:";

// The names p11-kit also accepts for an attribute, and the one it means.
constexpr std::array<std::pair<std::string_view, std::string_view>, 2> kOlderNames = {{
    {"object-type", "type"},
    {"pinfile", "pin-source"},
}};

// p11-kit compares attribute names in ASCII, whatever the locale.
char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The attribute's name as p11-kit compares it, in lower case.
std::string NameOf(std::string_view attribute) {
  std::string name;
  for (const char c : attribute.substr(0, attribute.find('='))) {
    if (kDropped.find(c) == std::string_view::npos) {
      name += Lower(c);
    }
  }
  for (const auto& [older, meant] : kOlderNames) {
    if (name == older) {
      return std::string(meant);
    }
  }
  return name;
}

// Splits `text` at `separator` and appends each attribute's name.
void AddNames(std::string_view text, char separator, std::vector<std::string>& names) {
  while (!text.empty()) {
    const std::size_t end = text.find(separator);
    names.push_back(NameOf(text.substr(0, end)));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
}

// The attributes' names as p11-kit reads them: in the path, split at ';'
// up to the first '?', and in the query, split at '&'.
struct UriNames {
  std::vector<std::string> path;
  std::vector<std::string> query;
};

UriNames NamesOf(std::string_view uri) {
  uri.remove_prefix(std::min(uri.find_first_not_of(kDropped), uri.size()));
  if (uri.size() >= kScheme.size() && NameOf(uri.substr(0, kScheme.size())) == kScheme) {
    uri.remove_prefix(kScheme.size());
  }
  const std::size_t query = uri.find('?');
  UriNames names;
  AddNames(uri.substr(0, query), ';', names.path);
  if (query != std::string_view::npos) {
    AddNames(uri.substr(query + 1), '&', names.query);
  }
  return names;
}

// Where the text at `at` starts with a name that reads as pin-value when
// spaces, '-', '_' and letter case are ignored and %XX decoded: the offset
// just past that name, or npos.
std::size_t PinValueNameEnd(std::string_view text, std::size_t at) {
  constexpr std::string_view kLoose = "pinvalue";
  std::size_t matched = 0;
  while (at < text.size() && matched < kLoose.size()) {
    char c = text[at];
    std::size_t width = 1;
    if (c == '%' && at + 2 < text.size() && HexDigitValue(text[at + 1]) >= 0 &&
        HexDigitValue(text[at + 2]) >= 0) {
      c = static_cast<char>(HexDigitValue(text[at + 1]) * 16 + HexDigitValue(text[at + 2]));
      width = 3;
    }
    if (c == ';' || c == '?' || c == '&' || c == '=') {
      return std::string_view::npos;
    }
    if (std::isspace(static_cast<unsigned char>(c)) == 0 && c != '-' && c != '_') {
      if (Lower(c) != kLoose[matched]) {
        return std::string_view::npos;
      }
      ++matched;
    }
    at += width;
  }
  return matched == kLoose.size() ? at : std::string_view::npos;
}

}  // namespace

std::string PrintableUri(std::string_view uri) {
  constexpr std::string_view kStarts = ":;?&";  // every place an attribute may start, in path or query
  for (std::size_t start = 0;;) {
    if (const std::size_t end = PinValueNameEnd(uri, start); end != std::string_view::npos) {
      return std::string(uri.substr(0, end)) + "=***";
    }
    const std::size_t next = uri.find_first_of(kStarts, start);
    if (next == std::string_view::npos) {
      return std::string(uri);
    }
    start = next + 1;
  }
}

std::string RepeatedUriAttribute(std::string_view uri) {
  const UriNames names = NamesOf(uri);
  std::vector<std::string> all = names.path;
  all.insert(all.end(), names.query.begin(), names.query.end());
  for (auto name = all.begin(); name != all.end(); ++name) {
    if (!name->empty() && std::find(all.begin(), name, *name) != name) {
      return *name;
    }
  }
  return "";
}

std::string AttributeAfterEmpty(std::string_view uri) {
  const std::vector<std::string> path = NamesOf(uri).path;
  const auto empty = std::find(path.begin(), path.end(), "");
  const auto after = std::find_if(empty, path.end(), [](const std::string& name) { return !name.empty(); });
  return after == path.end() ? "" : *after;
}
