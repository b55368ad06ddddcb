// SPDX-License-Identifier: Apache-2.0
#include "tools/verify/verify_json.h"

#include <array>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <span>
#include <string>

#include "core/hex_digit.h"
#include "infoblock/device_check_lines.h"

namespace {

using Json = nlohmann::ordered_json;

// The texts go out as UTF-8; a byte that is not part of valid UTF-8 becomes
// U+FFFD, never an error (the tools throw no exceptions) and never dropped.
constexpr auto kInvalidUtf8 = Json::error_handler_t::replace;

Json Word(std::uint32_t value) {
  std::array<char, 11> text{};
  static_cast<void>(std::snprintf(text.data(), text.size(), "0x%08X", value));
  return text.data();
}

Json Word(std::optional<std::uint32_t> value) {
  return value ? Word(*value) : Json(nullptr);
}

Json Hex(std::span<const std::uint8_t> bytes) {
  std::string text(2 * bytes.size() + 1, '\0');
  FormatHex(bytes, text, kLowerHexDigits);
  text.pop_back();
  return text;
}

// A name as given: when it is not valid UTF-8, the text shows U+FFFD for the
// bytes that are not, and "<key>_bytes" holds every byte, as hex.
void PutName(Json& object, const char* key, std::string_view name) {
  object[key] = name;
  const Json alone = name;
  if (alone.dump(-1, ' ', false, Json::error_handler_t::ignore) != alone.dump(-1, ' ', false, kInvalidUtf8)) {
    object[std::string(key) + "_bytes"] =
        Hex(std::span(reinterpret_cast<const std::uint8_t*>(name.data()), name.size()));
  }
}

const char* VerdictName(CheckVerdict verdict) {
  switch (verdict) {
    case CheckVerdict::Ok:
      return "ok";
    case CheckVerdict::Failed:
      return "failed";
    default:
      return "not_run";
  }
}

Json Reason(const std::string& reason) {
  return reason.empty() ? Json(nullptr) : Json(reason);
}

// The values a check saw, null where it saw none.
void PutCheckValues(Json& check, const DeviceChecks& checks, std::size_t index) {
  const bool ran = DeviceCheckVerdict(checks, index) != CheckVerdict::NotRun;
  switch (index) {
    case 0: {
      const HeaderWordsCheck& c = checks.header;
      const bool seen = ran && c.present;
      check["address"] = ran ? Word(c.at) : Json(nullptr);
      check["magic"] = seen ? Word(c.magic) : Json(nullptr);
      check["info_addr"] = seen ? Word(c.infoAddr) : Json(nullptr);
      check["zero_word"] = seen ? Word(c.zero) : Json(nullptr);
      check["check_word"] = seen ? Word(c.checkWord) : Json(nullptr);
      break;
    }
    case 1: {
      const InfoBlockCheck& c = checks.block;
      const bool seen = ran && c.present;
      check["address"] = ran ? Word(c.infoAddr) : Json(nullptr);
      check["format_word"] = seen ? Json(c.format) : Json(nullptr);
      check["image_desc_size"] = seen ? Json(c.imageDescSize) : Json(nullptr);
      check["digest_desc_size"] = seen ? Json(c.digestDescSize) : Json(nullptr);
      check["code_exe_addr"] = seen ? Word(c.exeAddr) : Json(nullptr);
      check["image_length"] = seen ? Json(c.length) : Json(nullptr);
      break;
    }
    case 2: {
      const ImageDigestCheck& c = checks.image;
      check["computed"] = ran && c.hashed ? Hex(c.computed) : Json(nullptr);
      check["stored"] = ran && checks.block.present ? Hex(c.stored) : Json(nullptr);
      break;
    }
    default: {
      const SignatureCheck& c = checks.signature;
      check["info_digest"] = ran && c.hashed ? Hex(c.infoDigest) : Json(nullptr);
      break;
    }
  }
}

Json Checks(const DeviceChecks& checks) {
  const std::array<const std::string*, kDeviceCheckCount> reasons = {
      &checks.header.reason, &checks.block.reason, &checks.image.reason, &checks.signature.reason};
  Json list = Json::array();
  for (std::size_t i = 0; i < kDeviceCheckCount; ++i) {
    const CheckVerdict verdict = DeviceCheckVerdict(checks, i);
    Json check;
    check["number"] = i + 1;
    check["name"] = DeviceCheckName(i);
    check["result"] = VerdictName(verdict);
    check["message"] = verdict == CheckVerdict::NotRun ? Json(nullptr) : Json(DeviceCheckLine(checks, i));
    check["reason"] = Reason(*reasons.at(i));
    PutCheckValues(check, checks, i);
    list.push_back(std::move(check));
  }
  return list;
}

// Why the image is not accepted, in the console's words: the line of the
// first check that failed, or the diagnostic of the step that stopped the run.
Json RefusalReason(const VerifyJsonInput& input) {
  const VerifyReport& report = *input.report;
  if (report.status == 0) {
    return nullptr;
  }
  for (std::size_t i = 0; i < kDeviceCheckCount && report.status == 1; ++i) {
    if (DeviceCheckVerdict(report.checks, i) == CheckVerdict::Failed) {
      return DeviceCheckLine(report.checks, i);
    }
  }
  const char* path = report.failedStep == VerifyStep::ReadHexFile ? input.hexPath : input.infoPath;
  const std::string_view diagnostic = StepDiagnostic(input.stepOutput, path);
  return diagnostic.empty() ? Json("the console could not be read back") : Json(diagnostic);
}

// The run's exit status in a word: 0 verified, 1 refused, anything else an error.
const char* VerdictName(int status) {
  switch (status) {
    case 0:
      return "verified";
    case 1:
      return "refused";
    default:
      return "error";
  }
}

}  // namespace

std::string_view StepDiagnostic(std::string_view stepOutput, std::string_view path) {
  std::string_view text = stepOutput;
  while (text.ends_with('\n')) {
    text.remove_suffix(1);
  }
  const std::size_t mention = text.rfind(path);
  const std::size_t lineEnd = text.rfind('\n', mention);
  return lineEnd == std::string_view::npos ? text : text.substr(lineEnd + 1);
}

std::string VerifyJsonText(const VerifyJsonInput& input) {
  const VerifyReport& report = *input.report;
  const std::optional<InfoBlockData>& block = report.block;
  Json object;
  object["verdict"] = VerdictName(report.status);
  object["exit_status"] = report.status & 0xFF;
  PutName(object, "info_file", input.infoPath);
  PutName(object, "hex_file", input.hexPath);
  const bool settingsRead =
      report.failedStep == VerifyStep::None || report.failedStep == VerifyStep::ReadHexFile;
  object["code_exe_addr"] = settingsRead ? Word(report.codeExeAddr) : nullptr;
  object["info_addr"] = Word(report.infoAddr);
  object["image_length"] = block ? Json(GetLe32(*block, kInfoImageLengthOffset)) : Json(nullptr);
  object["image_digest"] =
      block ? Hex(std::span(*block).subspan(kInfoImageDigestOffset, kSha256Size)) : nullptr;
  object["r"] = block ? Hex(std::span(*block).subspan(kInfoSignatureROffset, kInfoNumberSize)) : nullptr;
  object["s"] = block ? Hex(std::span(*block).subspan(kInfoSignatureSOffset, kInfoNumberSize)) : nullptr;
  object["public_key_fingerprint"] =
      input.fingerprint ? Json(std::string(input.fingerprint->data())) : Json(nullptr);
  object["checks"] = Checks(report.checks);
  object["reason"] = RefusalReason(input);
  object["console"] = input.console;

  return object.dump(2, ' ', false, kInvalidUtf8) + '\n';
}

int WriteVerifyJson(const VerifyJsonInput& input) {
  const std::string text = VerifyJsonText(input);
  const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
  return written && std::fflush(stdout) == 0 ? 0 : -1;
}
