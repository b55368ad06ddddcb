// SPDX-License-Identifier: Apache-2.0
// The console and the output files are a contract that build scripts parse,
// so they are kept as data: every folder under tests/cases is one case, its
// input files and a CASE file of steps (run a tool, then what its status,
// console and files must be). Independent tools judge every signed image.
// The same cases run against the Windows executables under wine.
//
// RAVEL_UPDATE_GOLDEN=1 writes the expected console and files anew instead of
// comparing them; review the difference before committing it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Bytes;
using Words = std::vector<std::string>;

const fs::path kCases = fs::path(RAVEL_SOURCE_DIR) / "tests" / "cases";
const fs::path kSchema = fs::path(RAVEL_SOURCE_DIR) / "share" / "ravelsign" / "ravelverify.schema.json";
// OpenSC's PKCS#11 spy: logs every call to the module PKCS11SPY names. It
// lives in the architecture's library folder (i386-linux-gnu on 32-bit x86).
constexpr const char* kSpyModule = RAVEL_PKCS11_SPY_PATH;

std::string ToolPath(const std::string& tool) {
  static const std::map<std::string, std::pair<const char*, const char*>> kTools = {
      {"Ravelsign", {"RAVELSIGN", RAVELSIGN_PATH}},
      {"Ravelverify", {"RAVELVERIFY", RAVELVERIFY_PATH}},
      {"Ravelhsm", {"RAVELHSM", RAVELHSM_PATH}},
      {"Ravelinfo", {"RAVELINFO", RAVELINFO_PATH}},
  };
  const auto& [variable, built] = kTools.at(tool);
  const char* chosen = std::getenv(variable);
  return chosen != nullptr && *chosen != '\0' ? chosen : built;
}

bool OnWindows() {
  return ToolPath("Ravelsign").ends_with(".exe");
}

// Splits a CASE line into words; "..." is one word with C escapes.
Words SplitWords(const std::string& line) {
  std::vector<std::string> words;
  for (std::size_t at = 0; at < line.size();) {
    if (line[at] == ' ') {
      ++at;
    } else if (line[at] == '"') {
      std::string word;
      for (++at; at < line.size() && line[at] != '"'; ++at) {
        if (line[at] != '\\' || at + 1 >= line.size()) {
          word += line[at];
          continue;
        }
        const char c = line[++at];
        if (c == 'x') {
          word += static_cast<char>(std::stoi(line.substr(at + 1, 2), nullptr, 16));
          at += 2;
        } else {
          word += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c == '0' ? '\0' : c;
        }
      }
      words.push_back(word);
      ++at;
    } else {
      const std::size_t end = line.find(' ', at);
      words.push_back(line.substr(at, end - at));
      at = end == std::string::npos ? line.size() : end;
    }
  }
  return words;
}

std::uint32_t Number(const std::string& word) {
  return static_cast<std::uint32_t>(std::stoull(word, nullptr, 0));
}

std::string Text(const Bytes& bytes) {
  return {bytes.begin(), bytes.end()};
}

// One case being run: its folder, its scratch directory and the last run.
struct CaseRun {
  fs::path source;
  testsupport::TempDir dir{};
  std::map<std::string, std::optional<std::string>> env{};  // nullopt: unset
  testsupport::CommandResult last{-1, {}};
  bool update = std::getenv("RAVEL_UPDATE_GOLDEN") != nullptr;
  std::string limit{};                   // a file-size limit for the next run
  std::string reader{};                  // a FIFO's reader for the next run
  std::string mount{};                   // a file mounted on another's name for the next run
  std::string umask{};                   // the umask of every later run
  std::string user{};                    // the unprivileged user of every later run
  std::string skipped{};                 // why the rest of the case does not apply here
  std::vector<std::string> jsonFiles{};  // Ravelverify --json objects, for the schema
  nlohmann::json lastJson{};             // the last --json run's object

  std::string At(const std::string& name) const { return dir.File(name); }

  std::string Expand(std::string word) const {
    for (const auto& [name, value] :
         std::map<std::string, std::string>{{"${DIR}", dir.path.string()},
                                            {"${SOFTHSM}", testsupport::SoftHsmModule()},
                                            {"${SPY}", kSpyModule},
                                            {"${NO_TMPFILE}", RAVEL_NO_TMPFILE_PATH},
                                            {"${FAULTY_TOKEN}", RAVEL_FAULTY_MODULE}}) {
      for (std::size_t at = word.find(name); at != std::string::npos; at = word.find(name)) {
        word.replace(at, name.size(), value);
      }
    }
    return word;
  }

  // Compares `actual` with the golden file `name`, or writes it in update mode.
  void Golden(const std::string& name, const std::string& actual, const std::string& what) const {
    if (update) {
      testsupport::WriteBytes((source / name).string(), Bytes(actual.begin(), actual.end()));
      return;
    }
    EXPECT_EQ(actual, Text(testsupport::ReadBytes((source / name).string())))
        << what << " differs from " << name;
  }

  testsupport::CommandResult Shell(const std::string& command) const {
    std::string prefix = "cd " + testsupport::Quote(dir.path.string()) + " && ";
    for (const auto& [name, value] : env) {
      prefix += !value ? "unset " + name + "; " : "export " + name + "=" + testsupport::Quote(*value) + "; ";
    }
    return testsupport::RunCommand(prefix + command + " </dev/null");
  }

  void Run(const Words& words) {
    std::vector<std::string> arguments;
    for (std::size_t i = 2; i < words.size(); ++i) {
      arguments.push_back(Expand(words[i]));
    }
    const std::string tool = mount + user + testsupport::ToolCommandLine(ToolPath(words[1]), arguments);
    // A FIFO's reader runs beside the tool: the shell holds the FIFO open
    // for writing from the moment the reader is there until the tool ended,
    // so that nothing the tool writes is lost before the reader comes.
    last = Shell(limit + umask +
                 (reader.empty() ? "exec " + tool : reader + tool + " 3>&-; s=$?; exec 3>&-; wait; exit $s"));
    const bool verify = words[1] == "Ravelverify";
    const bool json = verify && !arguments.empty() && arguments[0] == "--json";
    if (json && arguments.size() == 3) {
      KeepJson(last.output);
    } else if (verify && !json && reader.empty()) {
      JsonTwin(arguments);
    }
    limit.clear();
    reader.clear();
    mount.clear();
  }

  // A --json object, parsed (not matched by pattern), kept for the schema.
  void KeepJson(const std::string& text) {
    lastJson = nlohmann::json::parse(text, nullptr, false);
    EXPECT_FALSE(lastJson.is_discarded()) << "not JSON:\n" << text;
    const std::string name = "verify-" + std::to_string(jsonFiles.size() + 1) + ".json";
    testsupport::WriteBytes(At(name), Bytes(text.begin(), text.end()));
    jsonFiles.push_back(name);
  }

  // Every Ravelverify run is made again with --json: the object gives the
  // same status and holds the same console, every check with the verdict and
  // the line the console shows (not run where the console shows none), and
  // as reason the first failed check's line or the stopped step's words.
  // Standard error is the same with and without --json.
  void JsonTwin(const std::vector<std::string>& arguments) {
    const testsupport::CommandResult plain = last;
    std::vector<std::string> twinArguments{"--json"};
    twinArguments.insert(twinArguments.end(), arguments.begin(), arguments.end());
    const bool compareErrors = !OnWindows();  // wine adds its own remarks
    const auto twin = Shell(limit + umask + "exec " + user +
                            testsupport::ToolCommandLine(ToolPath("Ravelverify"), twinArguments) +
                            (compareErrors ? " 2>json.err" : ""));
    if (arguments.size() != 2) {  // a usage error is one with or without --json
      EXPECT_EQ(twin.status, plain.status);
      EXPECT_EQ(twin.output, plain.output);
      return;
    }
    if (compareErrors) {
      Shell(limit + umask + "exec " + user +
            testsupport::ToolCommandLine(ToolPath("Ravelverify"), arguments) + " 2>plain.err >/dev/null");
      EXPECT_TRUE(testsupport::ReadBytes(At("json.err")) == testsupport::ReadBytes(At("plain.err")))
          << "standard error differs with --json";
    }
    KeepJson(twin.output);
    if (!lastJson.is_discarded()) {
      EXPECT_EQ(twin.status, plain.status) << twin.output;
      JsonAgrees(lastJson, plain);
    }
  }

  static bool ValidUtf8(const std::string& text) {
    const nlohmann::json alone = text;
    return alone.dump(-1, ' ', false, nlohmann::json::error_handler_t::ignore) ==
           alone.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  }

  static void JsonAgrees(const nlohmann::json& doc, const testsupport::CommandResult& plain) {
    EXPECT_EQ(doc.value("exit_status", -1), plain.status);
    if (ValidUtf8(plain.output)) {
      EXPECT_EQ(doc.value("console", ""), plain.output);
    }
    std::array<std::string, 4> lines{};  // the console's line of each check
    std::istringstream console(plain.output);
    std::string firstFailed;
    for (std::string line; std::getline(console, line);) {
      const bool failed = line.ends_with(": FAILED");
      if (line.size() > 3 && line[0] >= '1' && line[0] <= '4' && line[1] == '.' &&
          (failed || line.ends_with(": OK"))) {
        lines.at(static_cast<std::size_t>(line[0] - '1')) = line;
        firstFailed = failed && firstFailed.empty() ? line : firstFailed;
      }
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const nlohmann::json& check = doc.at("checks").at(i);
      const char* result = lines[i].empty() ? "not_run" : lines[i].ends_with(": OK") ? "ok" : "failed";
      EXPECT_EQ(check.value("result", ""), result) << "check " << i + 1 << " of\n" << plain.output;
      EXPECT_EQ(check.at("message").is_null() ? "" : check.value("message", ""), lines[i]);
    }
    if (plain.status == 0) {
      EXPECT_TRUE(doc.at("reason").is_null());
    } else if (plain.status == 1) {
      EXPECT_EQ(doc.value("reason", ""), firstFailed);
    } else if (ValidUtf8(plain.output)) {
      const std::string reason = doc.value("reason", "");
      EXPECT_FALSE(reason.empty());
      EXPECT_NE(plain.output.find(reason + "\n"), std::string::npos) << reason;
    }
  }

  // The --json objects of the case against the installed schema, by a JSON
  // Schema validator of its own (python3-jsonschema).
  void ValidateJson() const {
    if (jsonFiles.empty()) {
      return;
    }
    std::string command =
        "python3 " +
        testsupport::Quote((fs::path(RAVEL_SOURCE_DIR) / "tests" / "validate_json.py").string()) + " " +
        testsupport::Quote(kSchema.string());
    for (const std::string& name : jsonFiles) {
      command += " " + name;
    }
    Tool(command);
  }

  void Tool(const std::string& command) const {
    const auto result = Shell(command + " 2>&1");
    ASSERT_EQ(result.status, 0) << command << "\n" << result.output;
  }

  // Signed image checks by tools we did not write: the image as it must
  // appear (header words patched, rounded up with zeros, the INFO block's
  // records last where they overlap), the digest, the signature.
  void Signed(const std::string& hex, const std::string& imageName, std::uint32_t code, std::uint32_t info,
              const std::string& pem) const {
    const Bytes image = testsupport::ReadBytes(At(imageName));
    const Bytes block = testsupport::ReadHexIndependently(At(hex), info, 272);
    Bytes patched = testsupport::PatchedImage(image, info);
    const std::size_t rounded = (image.size() + 15) / 16 * 16;
    patched.resize(rounded, 0);
    for (std::size_t i = 0; i < rounded; ++i) {
      const std::uint32_t offset = code + static_cast<std::uint32_t>(i) - info;
      if (offset < 272) {
        patched[i] = block[offset];
      }
    }
    if (rounded != 0) {
      EXPECT_TRUE(testsupport::ReadHexIndependently(At(hex), code, static_cast<std::uint32_t>(rounded)) ==
                  patched)
          << hex << ": the image bytes differ";
    }
    // The digest covers the image's own length, header words patched.
    const Bytes signedImage = testsupport::PatchedImage(image, info);
    const Bytes digest = testsupport::FromHex(testsupport::OpensslSha256(
        dir, Bytes(signedImage.begin(), signedImage.begin() + static_cast<std::ptrdiff_t>(image.size()))));
    EXPECT_TRUE(digest == Bytes(block.begin() + 0x70, block.begin() + 0x90))
        << hex << ": the stored image digest is not openssl's";
    EXPECT_TRUE(testsupport::OpensslVerify(dir, Bytes(block.begin(), block.begin() + 0x90), At(pem),
                                           Bytes(block.begin() + 0x90, block.begin() + 0xB0),
                                           Bytes(block.begin() + 0xB0, block.begin() + 0xD0)))
        << hex << ": openssl refuses the signature";
  }

  // One Intel HEX record line, its checksum computed.
  static std::string Record(std::uint8_t type, std::uint16_t offset, const Bytes& data) {
    Bytes bytes(4 + data.size() + 1);
    bytes[0] = static_cast<std::uint8_t>(data.size());
    bytes[1] = static_cast<std::uint8_t>(offset >> 8U);
    bytes[2] = static_cast<std::uint8_t>(offset);
    bytes[3] = type;
    std::copy(data.begin(), data.end(), bytes.begin() + 4);
    unsigned sum = 0;
    for (const auto byte : bytes) {
      sum += byte;
    }
    bytes.back() = static_cast<std::uint8_t>(0x100U - (sum & 0xFFU));
    return ":" + testsupport::ToHex(bytes) + "\r\n";
  }

  // Replaces the one 16-byte data record at `address` (a 64 KiB offset that
  // no other record has) by a 32-byte record of the same memory starting 8
  // bytes earlier, in its place: the bytes overlap both neighbours.
  void Rerecord(const std::string& hex, std::uint32_t address, const std::string& out) const {
    const Bytes data = testsupport::ReadHexIndependently(At(hex), address - 8, 32);
    std::string text = Text(testsupport::ReadBytes(At(hex)));
    const std::string prefix = Record(0x00, static_cast<std::uint16_t>(address), Bytes(16)).substr(0, 9);
    const std::size_t at = text.find(prefix);
    ASSERT_NE(at, std::string::npos) << "no record at " << std::hex << address;
    ASSERT_EQ(text.find(prefix, at + 1), std::string::npos) << "two records at " << std::hex << address;
    text.replace(at, text.find('\n', at) + 1 - at,
                 Record(0x00, static_cast<std::uint16_t>(address - 8), data));
    testsupport::WriteBytes(At(out), Bytes(text.begin(), text.end()));
  }

  // Overrides the byte at `address` with records placed before the
  // end-of-file record: the later record wins, as a programmer would write it.
  void Tamper(const std::string& hex, std::uint32_t address, const std::string& out) const {
    const std::uint8_t original = testsupport::ReadHexIndependently(At(hex), address, 1)[0];
    std::string text = Text(testsupport::ReadBytes(At(hex)));
    text.insert(
        text.size() - 13,
        Record(0x04, 0,
               {static_cast<std::uint8_t>(address >> 24U), static_cast<std::uint8_t>(address >> 16U)}) +
            Record(0x00, static_cast<std::uint16_t>(address), {static_cast<std::uint8_t>(original ^ 0x01U)}));
    testsupport::WriteBytes(At(out), Bytes(text.begin(), text.end()));
  }

  // One step; returns false when the rest of the case does not apply here.
  bool Step(Words words, int lineNumber);
};

// Two signed images of the same inputs: equal but for r and s.
void SameExceptSignature(CaseRun& r, const Words& w) {
  const std::uint32_t info = Number(w[3]);
  for (const auto& [start, length] : std::vector<std::pair<std::uint32_t, std::uint32_t>>{
           {Number(w[4]), Number(w[5])}, {info, 0x90}, {info + 0xD0, 0x40}}) {
    EXPECT_TRUE(testsupport::ReadHexIndependently(r.At(w[1]), start, length) ==
                testsupport::ReadHexIndependently(r.At(w[2]), start, length))
        << w[1] << " and " << w[2] << " differ at 0x" << std::hex << start;
  }
}

// A key on the case's token: DER files written to it, or a pair made on it.
void TokenKey(CaseRun& r, const Words& w) {
  const std::string tool = "pkcs11-tool --module " + testsupport::SoftHsmModule() + " --token-label " + w[1] +
                           " --login --pin " + w[2] + " --id " + w[3] + " --label " + w[4];
  if (w[5].ends_with(".der")) {
    r.Tool(tool + " --write-object " + w[5] + " --type privkey");
    r.Tool(tool + " --write-object " + w[6] + " --type pubkey");
  } else {
    r.Tool(tool + " --keypairgen --key-type " + w[5] + (w.size() > 6 ? " " + w[6] : ""));
  }
}

void Write(CaseRun& r, const Words& w) {
  Bytes content = w[0] == "append" ? testsupport::ReadBytes(r.At(w[1])) : Bytes();
  for (std::uint32_t i = 0, times = w.size() > 3 ? Number(w[3]) : 1; i < times; ++i) {
    content.insert(content.end(), w[2].begin(), w[2].end());
  }
  testsupport::WriteBytes(r.At(w[1]), content);
}

// stdout-has and stdout-lacks: each text appears in the console, or none does.
void StdoutHas(CaseRun& r, const Words& w) {
  const bool has = w[0] == "stdout-has";
  for (std::size_t i = 1; i < w.size(); ++i) {
    EXPECT_EQ(r.last.output.find(w[i]) != std::string::npos, has)
        << w[i] << (has ? " not in:\n" : " in:\n") << r.last.output;
  }
}

// The step verbs of a CASE file (tests/cases/README.md describes each).
using StepFn = void (*)(CaseRun&, const Words&);
const std::map<std::string, StepFn>& Verbs() {
  static const std::map<std::string, StepFn> kVerbs = {
      {"image",
       [](CaseRun& r, const Words& w) {
         testsupport::WriteBytes(r.At(w[1]), testsupport::PatternImage(Number(w[2]), Number(w[3])));
       }},
      {"write", Write},
      {"append", Write},
      {"mkdir", [](CaseRun& r, const Words& w) { fs::create_directories(r.At(w[1])); }},
      {"link", [](CaseRun& r, const Words& w) { fs::create_hard_link(r.At(w[1]), r.At(w[2])); }},
      {"symlink", [](CaseRun& r, const Words& w) { fs::create_symlink(w[1], r.At(w[2])); }},
      {"copy",
       [](CaseRun& r, const Words& w) {
         fs::copy_file(r.At(w[1]), r.At(w[2]), fs::copy_options::overwrite_existing);
       }},
      {"env",
       [](CaseRun& r, const Words& w) {
         r.env[w[1]] = w.size() > 2 ? std::optional(r.Expand(w[2])) : std::nullopt;
       }},
      {"file-size-limit",
       [](CaseRun& r, const Words& w) {
         // With "kill" the signal ends the run at that write, as a kill would.
         const bool kill = w.size() > 2 && w[2] == "kill";
         r.limit = (kill ? "ulimit -c 0; " : "trap '' XFSZ; ") + std::string("ulimit -f ") + w[1] + "; ";
       }},
      {"as",  // the later runs as that user (in the groups given, else in its own),
              // who may enter the scratch folder
       [](CaseRun& r, const Words& w) {
         fs::permissions(r.dir.path, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
         r.user = "setpriv --reuid=" + w[1] + " --regid=$(id -g " + w[1] + ") " +
                  (w.size() > 2 ? "--groups=" + w[2] : std::string("--init-groups")) + " ";
       }},
      {"bind-mount",  // the next run sees the first file mounted on the second's name
       [](CaseRun& r, const Words& w) {
         r.mount = R"(unshare --mount sh -c 'mount --bind "$1" "$2" && shift 2 && exec "$@"' sh )" +
                   testsupport::Quote(w[1]) + " " + testsupport::Quote(w[2]) + " ";
       }},
      {"umask", [](CaseRun& r, const Words& w) { r.umask = "umask " + w[1] + "; "; }},
      {"fifo",
       [](CaseRun& r, const Words& w) {
         ASSERT_EQ(mkfifo(r.At(w[1]).c_str(), 0644), 0);
         const std::string fifo = testsupport::Quote(w[1]);
         r.reader =
             "{ timeout 10 cat " + fifo + " >" + testsupport::Quote(w[2]) + " & }; exec 3>" + fifo + "; ";
       }},
      {"chmod",
       [](CaseRun& r, const Words& w) {
         fs::permissions(r.At(w[1]), static_cast<fs::perms>(std::stoul(w[2], nullptr, 8)));
       }},
      {"chown", [](CaseRun& r, const Words& w) { r.Tool("chown " + w[2] + " " + testsupport::Quote(w[1])); }},
      {"setfacl",  // setfacl with the words given, the last a file in the scratch folder
       [](CaseRun& r, const Words& w) {
         std::string command = "setfacl";
         for (std::size_t i = 1; i < w.size(); ++i) {
           command += " " + testsupport::Quote(w[i]);
         }
         r.Tool(command);
       }},
      {"acl",  // the file's ACL entries, as getfacl lists them, joined by commas
       [](CaseRun& r, const Words& w) {
         const auto result = r.Shell("{ getfacl -cpE " + testsupport::Quote(w[1]) + " | tr '\\n' ,; }");
         EXPECT_EQ(result.output, w[2] + ",,") << w[1];
       }},
      {"owner",
       [](CaseRun& r, const Words& w) {
         const auto result = r.Shell("stat -c %U:%G " + testsupport::Quote(w[1]));
         EXPECT_EQ(result.output, w[2] + "\n");
       }},
      {"kind",
       [](CaseRun& r, const Words& w) {
         const fs::file_status status = fs::symlink_status(r.At(w[1]));
         const std::map<std::string, fs::file_type> kinds = {{"file", fs::file_type::regular},
                                                             {"link", fs::file_type::symlink},
                                                             {"fifo", fs::file_type::fifo}};
         EXPECT_EQ(status.type(), kinds.at(w[2])) << w[1] << " is no " << w[2];
       }},
      {"run", [](CaseRun& r, const Words& w) { r.Run(w); }},
      {"status",
       [](CaseRun& r, const Words& w) { EXPECT_EQ(r.last.status, std::stoi(w[1])) << r.last.output; }},
      {"stdout",  // a golden file's name, or the console itself written out in quotes
       [](CaseRun& r, const Words& w) {
         const bool named = std::all_of(w[1].begin(), w[1].end(), [](char c) {
           return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.' || c == '-' || c == '_';
         });
         if (named) {
           r.Golden(w[1], r.last.output, "the console");
         } else {
           EXPECT_EQ(r.last.output, w[1]);
         }
       }},
      {"stdout-has", StdoutHas},
      {"stdout-lacks", StdoutHas},
      {"json-has",
       [](CaseRun& r, const Words& w) {
         const nlohmann::json::json_pointer pointer(w[1]);
         ASSERT_TRUE(r.lastJson.is_object() && r.lastJson.contains(pointer)) << w[1] << " not in the object";
         const nlohmann::json& value = r.lastJson.at(pointer);
         EXPECT_EQ(value.is_string() ? value.get<std::string>() : value.dump(), w[2]) << w[1];
       }},
      {"save",
       [](CaseRun& r, const Words& w) {
         testsupport::WriteBytes(r.At(w[1]), Bytes(r.last.output.begin(), r.last.output.end()));
       }},
      {"output",
       [](CaseRun& r, const Words& w) { r.Golden(w[2], Text(testsupport::ReadBytes(r.At(w[1]))), w[1]); }},
      {"output-sha256",
       [](CaseRun& r, const Words& w) {
         r.Golden(w[2], testsupport::OpensslSha256(r.dir, testsupport::ReadBytes(r.At(w[1]))) + "\n", w[1]);
       }},
      {"absent",
       [](CaseRun& r, const Words& w) {
         for (std::size_t i = 1; i < w.size(); ++i) {
           if (w[i].ends_with('*')) {  // a name's beginning: no file in its folder begins so
             const fs::path pattern = r.At(w[i].substr(0, w[i].size() - 1));
             const std::string prefix = pattern.filename().string();
             for (const auto& entry : fs::directory_iterator(pattern.parent_path())) {
               EXPECT_FALSE(entry.path().filename().string().starts_with(prefix))
                   << entry.path() << " is left";
             }
           } else {
             EXPECT_FALSE(fs::exists(r.At(w[i]))) << w[i] << " should not exist";
           }
         }
       }},
      {"same",
       [](CaseRun& r, const Words& w) {
         EXPECT_TRUE(testsupport::ReadBytes(r.At(w[1])) == testsupport::ReadBytes(r.At(w[2])))
             << w[1] << " and " << w[2] << " differ";
       }},
      {"mode",
       [](CaseRun& r, const Words& w) {
         EXPECT_EQ(static_cast<unsigned>(fs::status(r.At(w[1])).permissions() & fs::perms::mask),
                   std::stoul(w[2], nullptr, 8));
       }},
      {"signed", [](CaseRun& r, const Words& w) { r.Signed(w[1], w[2], Number(w[3]), Number(w[4]), w[5]); }},
      {"same-except-signature", SameExceptSignature},
      {"tamper", [](CaseRun& r, const Words& w) { r.Tamper(w[1], Number(w[2]), w[3]); }},
      {"rerecord", [](CaseRun& r, const Words& w) { r.Rerecord(w[1], Number(w[2]), w[3]); }},
      {"tool",  // an independent tool (openssl, pkcs11-tool, srec_cat) making or judging files
       [](CaseRun& r, const Words& w) {
         std::string command;
         for (std::size_t i = 1; i < w.size(); ++i) {
           command += " " + testsupport::Quote(r.Expand(w[i]));
         }
         r.Tool(command);
       }},
      {"token",  // a SoftHSM token of the case's own
       [](CaseRun& r, const Words& w) {
         r.env["SOFTHSM2_CONF"] = testsupport::MakeSoftHsmToken(r.dir.path.string(), w[1], w[2]);
       }},
      {"token-key", TokenKey},
  };
  return kVerbs;
}

bool CaseRun::Step(Words words, int lineNumber) {
  const std::string where = source.filename().string() + "/CASE:" + std::to_string(lineNumber);
  if (words[0] == "linux:" || words[0] == "windows:") {
    if ((words[0] == "windows:") != OnWindows()) {
      return true;
    }
    words.erase(words.begin());
  }
  SCOPED_TRACE(where + ": " + words[0]);
  if (words[0] == "linux-only") {
    skipped = "the rest of the case is for Linux";
    return !OnWindows();
  }
  // Owners and other users: only root may give files away or become nobody.
  if (words[0] == "root-only") {
    skipped = where + ": the rest of the case needs root and setpriv";
    return !OnWindows() && geteuid() == 0 && Shell("command -v setpriv").status == 0;
  }
  // A file of `size` bytes of which none is on the disk; the rest of the
  // case does not apply where the file system cannot hold one.
  if (words[0] == "sparse") {
    const std::string path = At(words[1]);
    testsupport::WriteBytes(path, {});
    std::error_code error;
    fs::resize_file(path, std::stoull(words[2]), error);
    struct stat status {};
    if (error || stat(path.c_str(), &status) != 0 || status.st_blocks > 64) {
      fs::remove(path, error);
      skipped = where + ": the file system cannot make a sparse file";
      return false;
    }
    return true;
  }
  const auto verb = Verbs().find(words[0]);
  if (verb == Verbs().end()) {
    ADD_FAILURE() << where << ": unknown step " << words[0];
  } else {
    verb->second(*this, words);
  }
  return true;
}

class GoldenCase : public testing::TestWithParam<std::string> {};

TEST_P(GoldenCase, BehavesAsRecorded) {
  CaseRun run;
  run.source = kCases / GetParam();
  for (const fs::path& folder : {kCases / "shared", run.source}) {
    for (const auto& entry : fs::directory_iterator(folder)) {
      if (entry.path().filename() != "CASE") {
        fs::copy(entry.path(), run.dir.path / entry.path().filename(), fs::copy_options::overwrite_existing);
      }
    }
  }
  std::ifstream steps(run.source / "CASE");
  std::string line;
  bool stopped = false;
  for (int number = 1; !stopped && std::getline(steps, line); ++number) {
    const Words words = SplitWords(line);
    stopped = !words.empty() && !words[0].starts_with("#") && !run.Step(words, number);
  }
  run.ValidateJson();
  if (stopped) {
    GTEST_SKIP() << run.skipped;
  }
}

std::vector<std::string> CaseNames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(kCases)) {
    if (entry.is_directory() && fs::exists(entry.path() / "CASE")) {
      names.push_back(entry.path().filename().string());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenCase, testing::ValuesIn(CaseNames()), [](const auto& testCase) {
  std::string name = testCase.param;
  std::replace_if(
      name.begin(), name.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)) == 0; }, '_');
  return name;
});

}  // namespace
