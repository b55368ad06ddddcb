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

// Runs the tool under test with the given arguments (each quoted).
CommandResult RunTool(const std::string& binary, const std::vector<std::string>& arguments);

// Hex text of bytes, uppercase, no separators; and back.
std::string ToHex(const Bytes& bytes);
Bytes FromHex(const std::string& hex);

// Reads an Intel HEX file with srec_cat (not our code) and returns the bytes
// in [start, start + length), holes filled with 0xFF.
Bytes ReadHexWithSrecCat(const std::string& hexPath, std::uint32_t start, std::uint32_t length);

// Verifies an ECDSA P-256 / SHA-256 signature (r, s big-endian 32 bytes) over
// `message` with openssl, the public key given as X and Y. Returns true when
// openssl accepts it.
bool OpensslVerify(const TempDir& dir, const Bytes& message, const std::string& publicX,
                   const std::string& publicY, const Bytes& r, const Bytes& s);

// SHA-256 of a file as computed by openssl, lowercase hex.
std::string OpensslSha256(const std::string& path);

// A random-looking but fixed image of `size` bytes.
Bytes PatternImage(std::size_t size, unsigned seed = 1);

}  // namespace testsupport
