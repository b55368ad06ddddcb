// SPDX-License-Identifier: Apache-2.0
#include "pipeline/pipeline.h"

#include <cstdio>

#include "core/program_state.h"
#include "hexout/hex_writer.h"
#include "infoblock/header_words.h"
#include "infoblock/make_info_image.h"
#include "pipeline/boot_image.h"
#include "pipeline/output_file.h"
#include "platform/wipe.h"

const char* BuildStepSummary(BuildStep step) {
  switch (step) {
    case BuildStep::ReadBootImage:
      return "Read boot image file failed!\n";
    case BuildStep::MakeOutputName:
      return "";
    case BuildStep::ParseInfoFile:
      return "Parse information file failed!\n";
    case BuildStep::MakeInfoImage:
      return "Make info image failed!\n";
  }
  return "";
}

int PrepareSecureBootImage(const char* infoPath, const char* bootPath, SecretEcho secrets,
                           OutputName* outputName, BuildStep& failed) {
  ResetProgramState();
  if (ReadBootImage(bootPath) != 0) {
    failed = BuildStep::ReadBootImage;
    return -1;
  }
  if (outputName != nullptr && MakeOutputName(bootPath, *outputName) != 0) {
    std::printf("Output file name is too long for <%s>!\n", bootPath);
    failed = BuildStep::MakeOutputName;
    return -1;
  }
  const int parsed = ParseInfoFile(infoPath, secrets);
  if (parsed != 0 || secrets != SecretEcho::Shown) {
    WipeSigningSecrets();
  }
  if (parsed != 0) {
    failed = BuildStep::ParseInfoFile;
    return -1;
  }
  WriteImageHeaderWords();
  return 0;
}

int PrepareInfoDigest(const char* infoPath, const char* bootPath, OutputName* outputName,
                      Sha256Digest& infoDigest, BuildStep& failed) {
  if (PrepareSecureBootImage(infoPath, bootPath, SecretEcho::Hidden, outputName, failed) != 0) {
    return -1;
  }
  if (HashInfoBlock(infoDigest) != 0) {
    failed = BuildStep::MakeInfoImage;
    return -1;
  }
  return 0;
}

int WriteSecureBootImage(const OutputName& outputName, std::initializer_list<const char*> inputs,
                         FailureReason reason) {
  const char* name = outputName.data();
  OutputFile output{};
  if (CreateOutputFile(name, inputs, OutputLanding::AtomicReplace, reason, output) != 0) {
    return -1;
  }
  std::FILE* file = output.stage.stream;
  const bool written = WriteHexRecords(file, CodeExeAddr(), BootImage.bytes, BootImage.length) == 0 &&
                       WriteHexRecords(file, InfoSettings.INFO_ADDR, InfoBlock,
                                       static_cast<std::int32_t>(InfoBlock.size())) == 0 &&
                       WriteHexEndOfFile(file) == 0;
  if (CloseOutputFile(output, written) != 0) {
    return -1;
  }
  std::printf("Output secure boot image: %s\n", name);
  return 0;
}
