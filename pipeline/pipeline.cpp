// SPDX-License-Identifier: Apache-2.0
#include "pipeline/pipeline.h"

#include <cstdio>

#include "core/program_state.h"
#include "crypto/ecdsa.h"
#include "hexout/hex_writer.h"
#include "infoblock/info_image.h"
#include "pipeline/boot_image.h"

int PrepareSecureBootImage(const char* infoPath, const char* bootPath, SecretEcho secrets,
                           OutputName* outputName) {
  ResetProgramState();
  if (ReadBootImage(bootPath) != 0) {
    std::printf("Read boot image file failed!\n");
    return -1;
  }
  if (outputName != nullptr && MakeOutputName(bootPath, *outputName) != 0) {
    std::printf("Output file name is too long for <%s>!\n", bootPath);
    return -1;
  }
  const int parsed = ParseInfoFile(infoPath, secrets);
  if (parsed != 0 || secrets != SecretEcho::Shown) {
    WipeSigningSecrets();
  }
  if (parsed != 0) {
    std::printf("Parse information file failed!\n");
    return -1;
  }
  WriteImageHeaderWords();
  return 0;
}

int PrepareInfoDigest(const char* infoPath, const char* bootPath, OutputName* outputName,
                      Sha256Digest& infoDigest) {
  if (PrepareSecureBootImage(infoPath, bootPath, SecretEcho::Hidden, outputName) != 0) {
    return -1;
  }
  if (HashInfoBlock(infoDigest) != 0) {
    std::printf("Make info image failed!\n");
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
