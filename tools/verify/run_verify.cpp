// SPDX-License-Identifier: Apache-2.0
#include "tools/verify/run_verify.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "core/program_state.h"
#include "hexin/hex_reader.h"
#include "infoblock/device_checks.h"
#include "infofile/info_file.h"
#include "platform/wipe.h"

namespace {

constexpr char kUsage[] =
    "Usage:\n  Ravelverify <info file> <signed hex file>\n"
    "  <info file>        secure boot information file (CODE_EXE_ADDR, INFO_ADDR, public key)\n"
    "  <signed hex file>  signed secure boot image in Intel HEX\n";

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

int RunVerify(int argc, const char* const* argv) {
  if (argc != 3) {
    std::printf("%s", kUsage);
    return -1;
  }
  const char* infoPath = argv[1];
  const char* hexPath = argv[2];

  ResetProgramState();
  const int parsed = ParseInfoFile(infoPath, SecretEcho::Hidden);
  WipeSigningSecrets();  // the verifier needs no secret
  if (parsed != 0) {
    std::printf("Parse information file failed!\n");
    return -1;
  }
  HexMemory memory;
  if (ReadHexFile(hexPath, memory) != 0) {
    std::printf("Read HEX file failed!\n");
    return -1;
  }

  const std::uint32_t codeExeAddr = CodeExeAddr();
  const std::optional<std::uint32_t> givenInfoAddr =
      InfoSettings.infoAddrGiven ? std::optional(InfoSettings.INFO_ADDR) : std::nullopt;
  const auto header =
      ReadWhole<HeaderWords>(memory, static_cast<std::uint32_t>(codeExeAddr + kHeaderMagicOffset));
  bool ok = CheckHeaderWords(header, codeExeAddr, givenInfoAddr);

  // The INFO block is where the header points; without a header, where the
  // information file says.
  const std::optional<std::uint32_t> infoAddr =
      header ? std::optional(GetLe32(*header, kHeaderInfoAddrOffset - kHeaderMagicOffset)) : givenInfoAddr;
  const std::optional<InfoBlockData> block =
      infoAddr ? ReadWhole<InfoBlockData>(memory, *infoAddr) : std::nullopt;
  ok = CheckInfoBlockWords(block, infoAddr, codeExeAddr) && ok;

  std::vector<std::uint8_t> gathered;
  std::span<const std::uint8_t> image;
  const bool imagePresent =
      block && FindImage(memory, codeExeAddr, GetLe32(*block, kInfoImageLengthOffset), gathered, image);
  ok = CheckImageDigest(block, image, imagePresent) && ok;
  ok = CheckInfoSignature(block, InfoSettings.PUBLIC_KEY_1.data(), InfoSettings.PUBLIC_KEY_2.data()) && ok;

  std::printf(ok ? "Secure boot image verified OK.\n" : "Secure boot image verification FAILED.\n");
  return ok ? 0 : 1;
}
