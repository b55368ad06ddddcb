// SPDX-License-Identifier: Apache-2.0
// Helpers shared by the tests: temporary directories, files, running the real
// binaries, and independent tools (srec_cat, openssl) to judge their output.
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

void WriteFile(const std::string& path, const std::string& content);
void WriteBytes(const std::string& path, const Bytes& content);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);

struct CommandResult {
  int status;          // exit status (0-255), or -1 when the command did not exit normally
  std::string output;  // standard output
};

// Runs a shell command line and collects its standard output.
CommandResult RunCommand(const std::string& commandLine);

// Quotes one argument for the shell.
std::string Quote(const std::string& argument);

// The binary under test: the one the environment variable `variable` names
// (the Windows build, say), else the one built beside the tests.
std::string ToolPath(const char* variable, const char* builtPath);

// The shell command line that runs `binary` with the given arguments, each
// quoted. A Windows executable (".exe") is started through wine: the program
// RAVEL_WINE names, else "wine".
std::string ToolCommandLine(const std::string& binary, const std::vector<std::string>& arguments);

// Runs the tool under test with the given arguments.
CommandResult RunTool(const std::string& binary, const std::vector<std::string>& arguments);

// Hex text of bytes, uppercase, no separators; and back.
std::string ToHex(const Bytes& bytes);
Bytes FromHex(const std::string& hex);

// Reads an Intel HEX file with srec_cat (not our code) and returns the bytes
// in [start, start + length), holes filled with 0xFF.
Bytes ReadHexWithSrecCat(const std::string& hexPath, std::uint32_t start, std::uint32_t length);

// Reads the bytes at [start, start + length) with objcopy (not our code), for
// a range that wraps past the top of the address space, where srec_cat gives up.
Bytes ReadHexWithObjcopy(const std::string& hexPath, std::uint32_t start, std::uint32_t length);

// Verifies an ECDSA P-256 / SHA-256 signature (r, s big-endian 32 bytes) over
// `message` with openssl, the public key given as X and Y. Returns true when
// openssl accepts it.
bool OpensslVerify(const TempDir& dir, const Bytes& message, const std::string& publicX,
                   const std::string& publicY, const Bytes& r, const Bytes& s);

// SHA-256 of a file as computed by openssl, lowercase hex.
std::string OpensslSha256(const std::string& path);

// The published P-256 test key pair used throughout the tests (never for production).
inline constexpr const char* kTestPrivateKey =
    "C9AFA9D845BA75166B5C215767B1D6934E50C3DB36E89B127B8A622B120F6721";
inline constexpr const char* kTestPublicX =
    "60FED4BA255A9D31C961EB74C6356D68C049B8923B61FA6CE669622E60F29FB6";
inline constexpr const char* kTestPublicY =
    "7903FE1008B8BC99A41AE9E95628BC64F2F1B20C2D7E9F5177A3C294D4462299";

// A fixed nonce (the first published vector's k) for reproducible signatures.
inline constexpr const char* kTestRandomK =
    "A6E3C57DD01ABE90086538398355DD4C3B17AA873382B0F24D6129493D8AAD60";

// The information file's key lines for the test key pair, one per line:
// PRIVATE_KEY, PUBLIC_KEY_1 (X, or `publicX` in its place) and PUBLIC_KEY_2.
std::string TestKeyLines(const std::string& publicX = kTestPublicX);

// The image as a signed output must carry it: header words 0x1C-0x2B
// rewritten for `infoAddr` (the image grown to hold them if shorter).
Bytes PatchedImage(Bytes image, std::uint32_t infoAddr);

// A random-looking but fixed image of `size` bytes.
Bytes PatternImage(std::size_t size, unsigned seed = 1);

}  // namespace testsupport
