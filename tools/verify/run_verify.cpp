// SPDX-License-Identifier: Apache-2.0
#include "tools/verify/run_verify.h"

#include <cstdio>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "core/program_state.h"
#include "crypto/key_fingerprint.h"
#include "crypto/key_texts.h"
#include "platform/console_capture.h"
#include "tools/verify/verify_image.h"
#include "tools/verify/verify_json.h"

namespace {

constexpr char kUsage[] =
    "Usage:\n  Ravelverify [--json] <info file> <signed hex file>\n"
    "  <info file>        secure boot information file (CODE_EXE_ADDR, INFO_ADDR, public key)\n"
    "  <signed hex file>  signed secure boot image in Intel HEX\n"
    "  --json             print the verdict as one JSON object\n";

// As the driver tells it when it catches what runs out of memory.
constexpr char kOutOfMemory[] = "Out of memory!\n";

// The one-line summary of a run, printed last.
const char* Summary(const VerifyReport& report) {
  switch (report.failedStep) {
    case VerifyStep::ParseInfoFile:
      return "Parse information file failed!\n";
    case VerifyStep::ReadHexFile:
      return "Read HEX file failed!\n";
    default:
      return report.status == 0 ? "Secure boot image verified OK.\n"
                                : "Secure boot image verification FAILED.\n";
  }
}

// A run stopped without a verdict: by a console that could not be held back
// or not read back whole, or by memory running out. The object says error,
// no check run, and why, with the console that could be kept; never a
// verdict whose exit status is not the run's.
int StoppedRunJson(VerifyJsonInput& input, VerifyReport& report, VerifyStep step, const char* why) {
  report = VerifyReport{-1, step, 0, std::nullopt, std::nullopt, {}};
  ResetDeviceChecks(report.checks);
  input.fingerprint = std::nullopt;
  input.stepOutput = why;
  static_cast<void>(WriteVerifyJson(input));
  return -1;
}

// The console is held back and goes into the JSON object, where the step
// that stopped a run is told by its diagnostic, printed just before the
// summary.
int RunVerifyJson(const char* infoPath, const char* hexPath) {
  VerifyReport report{};
  std::string console;
  VerifyJsonInput input{&report, infoPath, hexPath, std::nullopt, {}, {}};
  ConsoleCapture capture{};
  if (StartConsoleCapture(capture) != 0) {
    return StoppedRunJson(
        input, report, VerifyStep::CaptureConsole,
        "Cannot hold the console back for --json: no temporary file or no file descriptor!");
  }
  // Memory that runs out (a huge HEX file) is caught here, not by the
  // driver: standard output must be given back before anything is told.
  int status = -1;
  bool outOfMemory = false;
  try {
    status = VerifySignedImage(infoPath, hexPath, report);
  } catch (const std::bad_alloc&) {
    outOfMemory = true;
  }
  const char* summaryLine = outOfMemory ? kOutOfMemory : Summary(report);
  std::fputs(summaryLine, stdout);
  const std::string_view summary = summaryLine;
  if (EndConsoleCapture(capture, console) != 0) {
    return StoppedRunJson(
        input, report, VerifyStep::CaptureConsole,
        "Cannot read the console back for --json: its temporary file could not be written or read!");
  }
  input.console = console;
  if (outOfMemory) {
    return StoppedRunJson(input, report, VerifyStep::OutOfMemory, kOutOfMemory);
  }

  input.console = console;
  if (report.failedStep == VerifyStep::None || report.failedStep == VerifyStep::ReadHexFile) {
    if (KeyFingerprint fingerprint{}; PublicTextsFingerprint(InfoSettings.PUBLIC_KEY_1.data(),
                                                             InfoSettings.PUBLIC_KEY_2.data(), fingerprint)) {
      input.fingerprint = fingerprint;
    }
  }
  if (report.failedStep != VerifyStep::None && console.ends_with(summary)) {
    input.stepOutput = std::string_view(console).substr(0, console.size() - summary.size());
  }
  if (WriteVerifyJson(input) != 0) {
    return -1;
  }
  return status;
}

}  // namespace

int RunVerify(int argc, const char* const* argv) {
  // A first argument "--json" is always the option (an information file of
  // that name is ./--json).
  const bool json = argc > 1 && std::string_view(argv[1]) == "--json";
  if (json && argc == 4) {
    return RunVerifyJson(argv[2], argv[3]);
  }
  if (json || argc != 3) {
    std::printf("%s", kUsage);
    return -1;
  }
  VerifyReport report{};
  const int status = VerifySignedImage(argv[1], argv[2], report);
  std::fputs(Summary(report), stdout);
  return status;
}
