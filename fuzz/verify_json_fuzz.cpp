// SPDX-License-Identifier: Apache-2.0
// Arbitrary bytes as the file names and the console of a Ravelverify --json
// run. Whatever they hold, the object is valid JSON (nlohmann parses it
// strictly, as UTF-8), and no byte of a name is lost: a name that is valid
// UTF-8 comes back as it is, any other comes back whole from its hex.
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "core/hex_digit.h"
#include "tools/verify/verify_json.h"

namespace {

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(HexDigitValue(hex[i]) * 16 + HexDigitValue(hex[i + 1]));
  }
  return bytes;
}

// The name given, read back from the object.
std::string NameBack(const nlohmann::json& object, const std::string& key) {
  return object.contains(key + "_bytes") ? FromHex(object.at(key + "_bytes").get<std::string>())
                                         : object.at(key).get<std::string>();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Three texts, separated by a NUL (a file name cannot hold one).
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t first = input.find('\0');
  const std::size_t second = first == std::string_view::npos ? first : input.find('\0', first + 1);
  if (second == std::string_view::npos) {
    return 0;
  }
  const std::string infoPath(input.substr(0, first));
  const std::string hexPath(input.substr(first + 1, second - first - 1));
  const std::string_view console = input.substr(second + 1);

  VerifyReport report{};
  report.status = -1;
  report.failedStep = (size % 2) != 0 ? VerifyStep::ReadHexFile : VerifyStep::ParseInfoFile;
  ResetDeviceChecks(report.checks);
  const VerifyJsonInput json{&report, infoPath.c_str(), hexPath.c_str(), std::nullopt, console, console};
  const nlohmann::json object = nlohmann::json::parse(VerifyJsonText(json), nullptr, false);
  if (object.is_discarded() || !object.is_object()) {
    std::abort();
  }
  if (NameBack(object, "info_file") != infoPath || NameBack(object, "hex_file") != hexPath) {
    std::abort();
  }
  if (object.contains("info_file_bytes") == (object.at("info_file").get<std::string>() == infoPath)) {
    std::abort();  // the bytes are given exactly when the text alone lost some
  }
  if (!object.at("reason").is_string()) {
    std::abort();
  }
  return 0;
}
