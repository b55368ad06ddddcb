// SPDX-License-Identifier: Apache-2.0
#include "tools/verify/verify_image.h"

#include <span>
#include <vector>

#include "core/program_state.h"
#include "hexin/hex_reader.h"
#include "infoblock/device_check_lines.h"
#include "infofile/info_file.h"
#include "platform/wipe.h"

namespace {

template <typename Bytes>
std::optional<Bytes> ReadWhole(const HexMemory& memory, std::uint32_t address) {
  Bytes bytes{};
  if (ReadHexRange(memory, address, bytes) != bytes.size()) {
    return std::nullopt;
  }
  return bytes;
}

// The `length` image bytes at `codeExeAddr`, hashed where they lie in
// memory; only an image split across runs (or wrapping past 2^32) is
// gathered into a copy first. Returns whether all of them are in the file.
bool FindImage(const HexMemory& memory, std::uint32_t codeExeAddr, std::uint32_t length,
               std::vector<std::uint8_t>& gathered, std::span<const std::uint8_t>& image) {
  if (length >= kBootImageCapacity) {
    return false;
  }
  image = HexBytesInPlace(memory, codeExeAddr, length);
  if (image.size() == length) {
    return true;
  }
  gathered.resize(length);
  image = gathered;
  return ReadHexRange(memory, codeExeAddr, gathered) == gathered.size();
}

}  // namespace

int VerifySignedImage(const char* infoPath, const char* hexPath, VerifyReport& report) {
  report.status = -1;
  report.failedStep = VerifyStep::None;
  report.codeExeAddr = 0;
  report.infoAddr = std::nullopt;
  report.block = std::nullopt;
  ResetDeviceChecks(report.checks);

  ResetProgramState();
  const int parsed = ParseInfoFile(infoPath, SecretEcho::Hidden);
  WipeSigningSecrets();  // the verifier needs no secret
  if (parsed != 0) {
    report.failedStep = VerifyStep::ParseInfoFile;
    return report.status;
  }
  report.codeExeAddr = CodeExeAddr();
  report.infoAddr = InfoSettings.infoAddrGiven ? std::optional(InfoSettings.INFO_ADDR) : std::nullopt;
  const char* publicX = InfoSettings.PUBLIC_KEY_1.data();
  const char* publicY = InfoSettings.PUBLIC_KEY_2.data();
  HexMemory memory;
  if (ReadHexFile(hexPath, memory) != 0) {
    report.failedStep = VerifyStep::ReadHexFile;
    return report.status;
  }

  DeviceChecks& checks = report.checks;
  const auto header =
      ReadWhole<HeaderWords>(memory, static_cast<std::uint32_t>(report.codeExeAddr + kHeaderMagicOffset));
  CheckHeaderWords(header, report.codeExeAddr, report.infoAddr, checks.header);

  // The INFO block is where the header points; without a header, where the
  // information file says.
  const std::optional<std::uint32_t> infoAddr =
      header ? std::optional(GetLe32(*header, kHeaderInfoAddrOffset - kHeaderMagicOffset)) : report.infoAddr;
  report.block = infoAddr ? ReadWhole<InfoBlockData>(memory, *infoAddr) : std::nullopt;
  CheckInfoBlockWords(report.block, infoAddr, report.codeExeAddr, checks.block);

  std::vector<std::uint8_t> gathered;
  std::span<const std::uint8_t> image;
  const bool imagePresent =
      report.block &&
      FindImage(memory, report.codeExeAddr, GetLe32(*report.block, kInfoImageLengthOffset), gathered, image);
  CheckImageDigest(report.block, image, imagePresent, checks.image);
  CheckInfoSignature(report.block, publicX, publicY, checks.signature);

  PrintDeviceChecks(checks);
  report.status = DeviceChecksPassed(checks) ? 0 : 1;
  return report.status;
}
