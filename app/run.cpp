#include "app/run.h"

#include <cstdio>

#include "app/boot_image.h"
#include "app/output_name.h"
#include "app/program_state.h"
#include "hexout/hex_writer.h"
#include "infofile/info_file.h"
#include "secureinfo/secure_info.h"

namespace {

constexpr char kUsage[] =
    "Usage:\n\r  Ravelsign <info file> <boot file>\r\n"
    "  <info file>     secure boot information file\r\n"
    "  <boot file>     secure boot image\r\n";

// Creates the output file and writes the image, the INFO block and the
// end-of-file record. Any failed write or close removes the partial file.
int WriteOutputFile(const char* name) {
  std::FILE* file = std::fopen(name, "wb+");
  if (file == nullptr) {
    std::printf("Cannot create output file <%s>!\n", name);
    return -1;
  }
  const bool written = WriteHexRecords(file, CodeExeAddr(), BootImage.bytes, BootImage.length) == 0 &&
                       WriteHexRecords(file, InfoSettings.INFO_ADDR, InfoBlock,
                                       static_cast<std::int32_t>(InfoBlock.size())) == 0 &&
                       WriteHexEndOfFile(file) == 0 && std::fflush(file) == 0;
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    static_cast<void>(std::remove(name));
    std::printf("Cannot write output file <%s>!\n", name);
    return -1;
  }
  return 0;
}

}  // namespace

int RunSign(int argc, const char* const* argv) {
  if (argc < 3) {
    std::printf("%s", kUsage);
    return -1;
  }
  const char* infoPath = argv[1];
  const char* bootPath = argv[2];

  InfoBlock.fill(0);
  ResetInfoSettings();

  if (ReadBootImage(bootPath) != 0) {
    std::printf("Read boot image file failed!\n");
    return -1;
  }
  OutputName outputName{};
  if (MakeOutputName(bootPath, outputName) != 0) {
    std::printf("Output file name is too long for <%s>!\n", bootPath);
    return -1;
  }
  if (ParseInfoFile(infoPath) != 0) {
    std::printf("Parse information file failed!\n");
    return -1;
  }
  WriteImageHeaderWords();
  if (MakeInfoImage() != 0) {
    std::printf("Make info image failed!\n");
    return -1;
  }
  if (WriteOutputFile(outputName.data()) != 0) {
    return -1;
  }
  std::printf("Output secure boot image: %s\n", outputName.data());
  return 0;
}
