// SPDX-License-Identifier: Apache-2.0
// What several tests share: temporary directories, files, running the real
// binaries, and the independent tools (srec_cat, objcopy, openssl) that judge
// their output.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

// A fresh directory under the system's temporary directory, removed with its
// content when the guard goes.
struct TempDir {
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  [[nodiscard]] std::string File(const std::string& name) const { return (path / name).string(); }
  std::filesystem::path path;
};

void WriteBytes(const std::string& path, const Bytes& content);
Bytes ReadBytes(const std::string& path);

struct CommandResult {
  int status;          // exit status (0-255), or -1 when the command did not exit normally
  std::string output;  // standard output
};

// Runs a shell command line and collects its standard output.
CommandResult RunCommand(const std::string& commandLine);

// Quotes one argument for the shell.
std::string Quote(const std::string& argument);

// The shell command line that runs `binary` with the given arguments, each
// quoted. A Windows executable (".exe") is started through wine: the program
// RAVEL_WINE names, else "wine".
std::string ToolCommandLine(const std::string& binary, const std::vector<std::string>& arguments);

std::string ToHex(const Bytes& bytes);
Bytes FromHex(const std::string& hex);

// A random-looking but fixed image of `size` bytes.
Bytes PatternImage(std::size_t size, unsigned seed);

// The image as a signed output must carry it: header words 0x1C-0x2B
// rewritten for `infoAddr` (the image grown to hold them if shorter).
Bytes PatchedImage(Bytes image, std::uint32_t infoAddr);

// The bytes at [start, start + length) of an Intel HEX file as srec_cat
// reads them, or objcopy where the range wraps past 2^32 (srec_cat gives up
// there); holes read as 0xFF.
Bytes ReadHexIndependently(const std::string& hexPath, std::uint32_t start, std::uint32_t length);

// Whether openssl accepts (r, s) as an ECDSA P-256 / SHA-256 signature of
// `message` by the public key in `publicPem`.
bool OpensslVerify(const TempDir& dir, const Bytes& message, const std::string& publicPem, const Bytes& r,
                   const Bytes& s);

// SHA-256 as openssl computes it, lowercase hex.
std::string OpensslSha256(const TempDir& dir, const Bytes& data);

// SoftHSM's module, as tests/softhsm_token.sh names it.
const std::string& SoftHsmModule();

// An empty SoftHSM token labelled `label`, user PIN `pin`, in `folder`,
// made by tests/softhsm_token.sh. Returns the SOFTHSM2_CONF that shows it;
// throws when it cannot be made.
std::string MakeSoftHsmToken(const std::string& folder, const std::string& label, const std::string& pin);

}  // namespace testsupport
