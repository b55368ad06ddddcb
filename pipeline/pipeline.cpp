// SPDX-License-Identifier: Apache-2.0
#include "pipeline/pipeline.h"

#include <cstdio>

#include "core/program_state.h"
#include "hexout/hex_writer.h"
#include "pipeline/boot_image.h"
#include "pipeline/output_file.h"
#include "pipeline/output_name.h"
#include "platform/wipe.h"

namespace {

// Creates the output file and writes the image, the INFO block and the
// end-of-file record. Any failed write or close removes the partial file.
int WriteSecureBootImage(const char* name, const ImageRequest& request) {
  std::FILE* file = CreateOutputFile(name, {request.infoPath, request.bootPath, request.otherInput});
  if (file == nullptr) {
    return -1;
  }
  const bool written = WriteHexRecords(file, CodeExeAddr(), BootImage.bytes, BootImage.length) == 0 &&
                       WriteHexRecords(file, InfoSettings.INFO_ADDR, InfoBlock,
                                       static_cast<std::int32_t>(InfoBlock.size())) == 0 &&
                       WriteHexEndOfFile(file) == 0;
  return CloseOutputFile(file, name, written);
}

}  // namespace

int BuildSecureBootImage(const ImageRequest& request) {
  InfoBlock.fill(0);
  ResetInfoSettings();

  if (ReadBootImage(request.bootPath) != 0) {
    std::printf("Read boot image file failed!\n");
    return -1;
  }
  OutputName outputName{};
  if (request.writeImage && MakeOutputName(request.bootPath, outputName) != 0) {
    std::printf("Output file name is too long for <%s>!\n", request.bootPath);
    return -1;
  }
  const int parsed = ParseInfoFile(request.infoPath, request.secrets);
  if (request.secrets != SecretEcho::Shown) {
    // A tool that signs elsewhere needs no secret: drop whatever the file held.
    WipeSecret(InfoSettings.PRIVATE_KEY);
    WipeSecret(InfoSettings.RANDOM_K);
  }
  if (parsed != 0) {
    std::printf("Parse information file failed!\n");
    return -1;
  }
  WriteImageHeaderWords();
  if (MakeInfoImage(request.signer) != 0) {
    std::printf("%s", request.signFailure);
    return -1;
  }
  if (!request.writeImage) {
    return 0;
  }
  if (WriteSecureBootImage(outputName.data(), request) != 0) {
    return -1;
  }
  std::printf("Output secure boot image: %s\n", outputName.data());
  return 0;
}
