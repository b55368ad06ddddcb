// SPDX-License-Identifier: Apache-2.0
#include "tests/test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>

namespace testsupport {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "ravel-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("mkdtemp failed");
  }
  path = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

void WriteBytes(const std::string& path, const Bytes& content) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
}

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

CommandResult RunCommand(const std::string& commandLine) {
  CommandResult result{-1, {}};
  std::FILE* pipe = popen(commandLine.c_str(), "r");
  if (pipe == nullptr) {
    return result;
  }
  std::array<char, 65536> buffer{};
  std::size_t got = 0;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
    result.output.append(buffer.data(), got);
  }
  const int status = pclose(pipe);
  if (status != -1 && WIFEXITED(status)) {
    result.status = WEXITSTATUS(status);
  }
  return result;
}

std::string Quote(const std::string& argument) {
  std::string quoted = "'";
  for (const char c : argument) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}

std::string ToolCommandLine(const std::string& binary, const std::vector<std::string>& arguments) {
  std::string line = Quote(binary);
  if (binary.ends_with(".exe")) {
    const char* wine = std::getenv("RAVEL_WINE");
    line = Quote(wine != nullptr && *wine != '\0' ? wine : "wine") + " " + line;
  }
  for (const auto& argument : arguments) {
    line += " " + Quote(argument);
  }
  return line;
}

std::string ToHex(const Bytes& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (const auto byte : bytes) {
    hex += kDigits[byte >> 4U];
    hex += kDigits[byte & 0x0FU];
  }
  return hex;
}

Bytes FromHex(const std::string& hex) {
  Bytes bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

Bytes PatternImage(std::size_t size, unsigned seed) {
  std::mt19937 generator(seed);
  Bytes bytes(size);
  for (auto& byte : bytes) {
    byte = static_cast<std::uint8_t>(generator());
  }
  return bytes;
}

Bytes PatchedImage(Bytes image, std::uint32_t infoAddr) {
  image.resize(std::max<std::size_t>(image.size(), 0x2C), 0);
  const std::uint32_t magic = 0x786C7154;  // "Tqlx" read little-endian
  const std::array<std::uint32_t, 4> words = {magic, infoAddr, 0, infoAddr - magic};
  for (std::size_t w = 0; w < words.size(); ++w) {
    for (std::size_t b = 0; b < 4; ++b) {
      image[0x1C + 4 * w + b] = static_cast<std::uint8_t>(words[w] >> (8 * b));
    }
  }
  return image;
}

namespace {

Bytes ReadWithSrecCat(const std::string& hexPath, std::uint32_t start, std::uint32_t length) {
  const TempDir dir;
  const std::string out = dir.File("range.bin");
  const std::uint64_t end = std::uint64_t{start} + length;
  std::ostringstream command;
  command << "srec_cat -multiple " << Quote(hexPath) << " -intel -fill 0xFF " << start << " " << end
          << " -crop " << start << " " << end << " -offset " << -static_cast<std::int64_t>(start) << " -o "
          << Quote(out) << " -binary 2>&1";
  const CommandResult result = RunCommand(command.str());
  if (result.status != 0) {
    throw std::runtime_error("srec_cat failed: " + result.output);
  }
  Bytes bytes = ReadBytes(out);
  bytes.resize(length, 0xFF);
  return bytes;
}

// objcopy makes one section per contiguous run of records: follow them from
// `start`, each continuing where the last ended modulo 2^32.
Bytes ReadWithObjcopy(const std::string& hexPath, std::uint32_t start, std::uint32_t length) {
  std::istringstream lines(RunCommand("objdump -h " + Quote(hexPath)).output);
  std::vector<std::pair<std::uint64_t, std::string>> sections;
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string index;
    std::string name;
    std::string size;
    std::string vma;
    if (fields >> index >> name >> size >> vma && name.starts_with(".sec")) {
      sections.emplace_back(std::stoull(vma, nullptr, 16), name);
    }
  }
  const TempDir dir;
  Bytes bytes;
  bool extended = true;
  while (bytes.size() < length && extended) {
    extended = false;
    const auto want = static_cast<std::uint32_t>(start + bytes.size());
    for (const auto& [vma, name] : sections) {
      if (vma == want) {
        const std::string out = dir.File(name.substr(1) + ".bin");
        RunCommand("objcopy -I ihex -O binary -j " + name + " " + Quote(hexPath) + " " + Quote(out));
        const Bytes content = ReadBytes(out);
        bytes.insert(bytes.end(), content.begin(), content.end());
        extended = !content.empty();
        break;
      }
    }
  }
  bytes.resize(length, 0xFF);
  return bytes;
}

}  // namespace

Bytes ReadHexIndependently(const std::string& hexPath, std::uint32_t start, std::uint32_t length) {
  return std::uint64_t{start} + length > 0x100000000ULL ? ReadWithObjcopy(hexPath, start, length)
                                                        : ReadWithSrecCat(hexPath, start, length);
}

bool OpensslVerify(const TempDir& dir, const Bytes& message, const std::string& publicPem, const Bytes& r,
                   const Bytes& s) {
  // openssl itself encodes r and s as the DER signature it checks.
  const std::string conf =
      "asn1=SEQUENCE:sig\n[sig]\nr=INTEGER:0x" + ToHex(r) + "\ns=INTEGER:0x" + ToHex(s) + "\n";
  WriteBytes(dir.File("openssl.cnf"), Bytes(conf.begin(), conf.end()));
  WriteBytes(dir.File("openssl.msg"), message);
  const CommandResult result = RunCommand(
      "openssl asn1parse -noout -genconf " + Quote(dir.File("openssl.cnf")) + " -out " +
      Quote(dir.File("openssl.sig")) + " && openssl dgst -sha256 -verify " + Quote(publicPem) +
      " -signature " + Quote(dir.File("openssl.sig")) + " " + Quote(dir.File("openssl.msg")) + " 2>&1");
  return result.status == 0 && result.output.find("Verified OK") != std::string::npos;
}

std::string OpensslSha256(const TempDir& dir, const Bytes& data) {
  WriteBytes(dir.File("openssl.dat"), data);
  return RunCommand("openssl dgst -sha256 -r " + Quote(dir.File("openssl.dat"))).output.substr(0, 64);
}

namespace {

// A command run with tests/softhsm_token.sh sourced.
CommandResult SoftHsm(const std::string& command) {
  return RunCommand("bash -c " +
                    Quote("source " + Quote(RAVEL_SOURCE_DIR "/tests/softhsm_token.sh") + " && " + command) +
                    " 2>&1");
}

}  // namespace

const std::string& SoftHsmModule() {
  static const std::string kModule = SoftHsm("printf %s \"$softhsm_module\"").output;
  return kModule;
}

std::string MakeSoftHsmToken(const std::string& folder, const std::string& label, const std::string& pin) {
  const CommandResult result =
      SoftHsm("softhsm_empty_token " + Quote(folder) + " " + Quote(label) + " " + Quote(pin));
  if (result.status != 0) {
    throw std::runtime_error("softhsm_empty_token failed: " + result.output);
  }
  return folder + "/softhsm2.conf";
}

}  // namespace testsupport
