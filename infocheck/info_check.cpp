// SPDX-License-Identifier: Apache-2.0
#include "infocheck/info_check.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string_view>
#include <utility>

#include "core/file_guard.h"
#include "core/hex_digit.h"
#include "core/program_state.h"
#include "core/scope_guard.h"
#include "crypto/key_texts.h"
#include "infofile/info_file.h"
#include "platform/file_identity.h"
#include "platform/wipe.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::size_t KeyIndex(InfoKey key) {
  return static_cast<std::size_t>(key);
}

std::string Describe(char c) {
  if (c == ' ') {
    return "a space";
  }
  if (c == '\t') {
    return "a tab";
  }
  if (std::isprint(static_cast<unsigned char>(c)) != 0) {
    return std::string("'") + c + "'";
  }
  std::array<char, 16> text{};
  std::snprintf(text.data(), text.size(), "byte 0x%02X",
                static_cast<unsigned>(static_cast<unsigned char>(c)));
  return text.data();
}

// A character of a line that may hold a secret (see SecretLine): a hex digit
// is never shown, since it may be a digit of the key or the nonce.
std::string DescribeInSecret(char c) {
  return HexDigitValue(c) >= 0 ? "a hex digit" : Describe(c);
}

std::string Hex32(std::uint32_t value) {
  std::array<char, 16> text{};
  std::snprintf(text.data(), text.size(), "0x%X", value);
  return text.data();
}

bool IsWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

std::string Upper(std::string_view text) {
  std::string upper(text);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
  return upper;
}

// Edit distance, to tell a misspelt key (PUBLIC_KEY_3, PRIVAT_KEY) from prose.
std::size_t Distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j < row.size(); ++j) {
    row[j] = j;
  }
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

bool IsSecretKey(InfoKey key) {
  return key == InfoKey::PrivateKey || key == InfoKey::RandomK;
}

// A line whose first word, after indentation and comment marks and in any
// case, begins with PRIV or RAND: findings about it quote none of its text,
// so that no digit of a key or a nonce reaches a build log.
bool SecretLine(std::string_view text) {
  const std::size_t start = text.find_first_not_of(" \t#;");
  if (start == std::string_view::npos) {
    return false;
  }
  const std::string head = Upper(text.substr(start, 4));
  return head == "PRIV" || head == "RAND";
}

// The key a text begins with, followed by nothing, a space, a tab or '='.
InfoKey KeyAtStart(std::string_view text) {
  for (std::size_t k = 0; k < kInfoKeyCount; ++k) {
    const std::string_view name = InfoKeyName(static_cast<InfoKey>(k));
    if (text.starts_with(name) && (text.size() == name.size() || !IsWordChar(text[name.size()]))) {
      return static_cast<InfoKey>(k);
    }
  }
  return InfoKey::None;
}

struct Finding {
  std::size_t line;  // 0: the file as a whole
  std::string text;
};

// The findings about lines that are kept, and the lines of a key that are
// listed: a file of many repeated lines must not make the report huge.
constexpr std::size_t kMaxLineFindings = 100;
constexpr std::size_t kMaxListedLines = 10;

// The lines a key is given on: the first few, the count and the last.
struct Occurrences {
  std::vector<std::size_t> first;
  std::size_t count;
  std::size_t last;
};

struct CheckState {
  std::vector<Finding> findings;
  std::size_t line;  // the line, as an editor counts them, of the piece being reported
  bool afterCr;
  bool firstPiece;
  std::array<Occurrences, kInfoKeyCount> occurrences;
  std::array<std::size_t, kInfoKeyCount> inEffect;  // the line whose value is in effect, 0 for none
  bool reading;                                     // line findings are counted against the limit
  std::size_t omitted;                              // line findings past the limit
  std::size_t fingerprintLine;                      // the last fingerprint comment, 0 for none
  std::string fingerprint;                          // its text after the lead
};

void Add(CheckState& state, std::size_t line, std::string text) {
  if (state.reading && state.findings.size() >= kMaxLineFindings) {
    ++state.omitted;
    return;
  }
  state.findings.push_back({line, std::move(text)});
}

// `stored` is the setting itself, a NUL-terminated text: no copy to wipe.
void CheckKeyText(CheckState& state, InfoKey key, const char* stored, std::size_t line) {
  const std::string_view text(stored);
  const std::string name(InfoKeyName(key));
  const char* consequence = key == InfoKey::PrivateKey ? "signing will fail" : "verification will fail";
  if (text.empty()) {
    Add(state, line, name + " is empty: " + consequence);
    return;
  }
  KeyNumber number = ReadKeyNumber(stored);
  const ScopeGuard wipe([&] { WipeSecret(number.hex); });
  if (!number.whole) {
    // The library reads from the last character back to the first that is
    // not a hex digit, and keeps the value of the digits after it.
    std::size_t bad = text.size() - 1;
    while (HexDigitValue(text[bad]) >= 0) {
      --bad;
    }
    if (bad == text.size() - 1) {
      Add(state, line,
          name + " ends in " + Describe(text[bad]) + ", not in a hex digit: it reads as 0, so " +
              consequence + " (keep comments and spaces off key lines)");
    } else if (IsSecretKey(key)) {
      Add(state, line,
          name + " has " + Describe(text[bad]) + " at character " + std::to_string(bad + 1) +
              ", which is not a hex digit: it reads as the " + std::to_string(text.size() - bad - 1) +
              " digits after it, so signing uses a wrong key and verification fails");
    } else {
      Add(state, line,
          name + " has " + Describe(text[bad]) + " at character " + std::to_string(bad + 1) +
              ", which is not a hex digit: it reads as 0x" + number.hex.data() +
              " (the digits after it), so " + consequence);
    }
    return;
  }
  if (number.negative) {
    Add(state, line, name + " begins with '-': it reads as a negative number, so " + consequence);
    return;
  }
  if (text.size() != 2 * kP256NumberSize) {
    Add(state, line,
        name + " has " + std::to_string(text.size()) + " hex digits, not 64: make sure no digit is missing");
  }
}

void CheckNonceText(CheckState& state, const char* stored, std::size_t line) {
  const std::string_view text(stored);
  if (text.empty()) {
    return;  // a fresh nonce for every run, as it should be
  }
  Add(state, line,
      "RANDOM_K fixes the nonce: never sign two different images with it, two signatures with one nonce "
      "give the private key away");
  const std::size_t bad = std::string_view(text).find_first_not_of("0123456789abcdefABCDEF");
  if (bad != std::string_view::npos) {
    Add(state, line,
        "RANDOM_K has " + Describe(text[bad]) + " at character " + std::to_string(bad + 1) +
            ", which is not a hex digit: its character code is used as the digit's value");
  }
  if (text.size() != 2 * kP256NumberSize) {
    Add(state, line,
        "RANDOM_K has " + std::to_string(text.size()) +
            " characters, not 64: the nonce is completed with random bytes, so the signature is not "
            "reproducible either");
  } else if (bad == std::string_view::npos && !FixedNonceUsable(stored)) {
    Add(state, line, "RANDOM_K is 0 or not below the order of P-256: a random nonce is used instead");
  }
}

void CheckKeyLine(CheckState& state, const InfoLineReport& report, std::size_t line) {
  const std::size_t k = KeyIndex(report.key);
  const std::string name(InfoKeyName(report.key));
  Occurrences& seen = state.occurrences[k];
  if (seen.first.size() < kMaxListedLines) {
    seen.first.push_back(line);
  }
  ++seen.count;
  seen.last = line;

  // A word that begins with a key is read as that key: INFO_ADDRESS is INFO_ADDR.
  const std::string_view text = report.text.substr(0, report.text.find('\0'));
  const std::size_t after = text.find_first_not_of(' ') + name.size();
  if (after < text.size() && IsWordChar(text[after]) && IsSecretKey(report.key)) {
    Add(state, line,
        "a word begins with " + name + " (character " + std::to_string(after + 1) + " is " +
            DescribeInSecret(text[after]) + ", not a space or '='): the line is read as " + name +
            " with the rest of the word in its value");
  } else if (after < text.size() && IsWordChar(text[after])) {
    Add(state, line,
        "the word " +
            std::string(
                text.substr(after - name.size(), text.find_first_of(" =\t", after) - (after - name.size()))) +
            " begins with " + name + ": the line is read as " + name + " with the value '" +
            std::string(report.value) + "'");
  }

  if (IsNumberKey(report.key)) {
    const HexNumber number = ScanHexNumber(report.value);
    if (!number.read) {
      Add(state, line,
          name + " has no hex number in '" + std::string(report.value) + "': " + name + " keeps " +
              Hex32(report.number));
      return;
    }
    state.inEffect[k] = line;
    if (number.wide) {
      Add(state, line,
          name + " '" + std::string(report.value.substr(0, report.value.find_first_of(" \t;#"))) +
              "' does not fit in an unsigned 32-bit word: " + Hex32(number.value) + " is used");
    }
    return;
  }
  state.inEffect[k] = line;
  if (report.value.size() > kKeyTextMaxChars && IsSecretKey(report.key)) {
    Add(state, line,
        name + " is cut at 64 characters: its value has " + std::to_string(report.value.size()) +
            " characters, " + std::to_string(report.value.size() - kKeyTextMaxChars) + " past the 64 read");
  } else if (report.value.size() > kKeyTextMaxChars) {
    Add(state, line,
        name + " is cut at 64 characters: '" + std::string(report.value.substr(kKeyTextMaxChars)) +
            "' is not read");
  }
  if (report.key == InfoKey::RandomK) {
    CheckNonceText(state, InfoSettings.RANDOM_K.data(), line);
  } else {
    CheckKeyText(state, report.key, InfoSettingText(report.key), line);
  }
}

// A skipped line whose first word is a key misspelt or in lower case.
// Returns whether it said so.
bool CheckMisspeltKey(CheckState& state, std::string_view text, std::string_view rest, std::size_t line) {
  std::size_t wordEnd = 0;
  while (wordEnd < rest.size() && IsWordChar(rest[wordEnd])) {
    ++wordEnd;
  }
  // No key is longer than 13 characters: a word of more than 15 is none of
  // them misspelt.
  if (wordEnd >= 4 && wordEnd <= 15) {
    std::string word(rest.substr(0, wordEnd));
    std::string upper = Upper(word);
    const ScopeGuard wipe([&] {
      WipeBytes(word.data(), word.size());
      WipeBytes(upper.data(), upper.size());
    });
    std::string closest;
    std::size_t best = 3;  // more than two edits apart is another word
    for (std::size_t k = 0; k < kInfoKeyCount; ++k) {
      const std::string_view name = InfoKeyName(static_cast<InfoKey>(k));
      const std::size_t distance = Distance(upper, name);
      if (distance < best) {
        best = distance;
        closest = name;
      } else if (distance == best) {
        closest += " or " + std::string(name);
      }
    }
    // A line that may hold a secret is described by the key it resembles.
    const std::string shown = SecretLine(text) ? "the first word" : "'" + word + "'";
    if (best == 0) {
      Add(state, line,
          shown + " is not a key, keys are upper case: the line is not read (write " + closest + ")");
      return true;
    }
    if (!closest.empty()) {
      Add(state, line, shown + " is not a key (" + closest + "?): the line is not read");
      return true;
    }
  }
  return false;
}

// A line the reader skipped: worth a word only when it looks meant as a key line.
void CheckSkippedLine(CheckState& state, const InfoLineReport& report, std::size_t line) {
  const std::string_view text = report.text.substr(0, report.text.find('\0'));
  if (report.fate == InfoLineFate::Comment) {
    if (text.starts_with(kFingerprintCommentLead)) {
      // The key's fingerprint, as the key-line printers write it: checked
      // against the key once the whole file is read.
      state.fingerprintLine = line;
      state.fingerprint = text.substr(std::string_view(kFingerprintCommentLead).size());
      return;
    }
    const std::size_t start = text.find_first_not_of("#; \t");
    const InfoKey key = start == std::string_view::npos ? InfoKey::None : KeyAtStart(text.substr(start));
    if (key != InfoKey::None) {
      Add(state, line, "commented out: " + std::string(InfoKeyName(key)) + " on this line is not read");
    }
    return;
  }
  const std::size_t start = text.find_first_not_of(" \t");
  if (start == std::string_view::npos) {
    return;  // a blank line
  }
  const std::string_view rest = text.substr(start);
  if (text.substr(0, start).find('\t') != std::string_view::npos && KeyAtStart(rest) != InfoKey::None) {
    Add(state, line,
        "a tab before " + std::string(InfoKeyName(KeyAtStart(rest))) +
            ": only spaces may indent a key, so the line is not read");
    return;
  }
  if (CheckMisspeltKey(state, text, rest, line)) {
    return;
  }
  if (rest.find('=') != std::string_view::npos) {
    Add(state, line, "the line is not read: it does not begin with a key");
  }
}

void OnLine(void* context, const InfoLineReport& report) {
  auto& state = *static_cast<CheckState*>(context);
  const std::size_t line = state.line;
  const std::string_view text = report.text;
  const bool first = state.firstPiece;
  state.firstPiece = false;

  if (first && text.starts_with(kByteOrderMark)) {
    const std::string_view after = text.substr(kByteOrderMark.size());
    const InfoKey key = KeyAtStart(after.substr(std::min(after.size(), after.find_first_not_of(' '))));
    Add(state, line,
        std::string("a UTF-8 byte-order mark begins the file: the first line is not read") +
            (key != InfoKey::None ? " (it holds " + std::string(InfoKeyName(key)) + ")" : "") +
            "; save the file without it");
  } else if (report.fate == InfoLineFate::Unterminated) {
    const bool blank = text.find_first_not_of(" \t") == std::string_view::npos;
    if (!blank && (report.key != InfoKey::None || text.find('=') != std::string_view::npos)) {
      Add(state, line, "the last line has no line end, so it is not read: end it with a line end");
    }
  } else if (report.fate == InfoLineFate::Key) {
    CheckKeyLine(state, report, line);
  } else {
    CheckSkippedLine(state, report, line);
  }
  if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos) {
    Add(state, line,
        "a NUL byte at character " + std::to_string(nul + 1) + " ends the line: the rest is not read");
  }

  // Lines as an editor counts them: CR LF ends one line (the reader sees a
  // line and an empty one), and a line of over 255 characters goes on.
  if (report.split && report.ender != '\n' && report.ender != '\r') {
    Add(state, line,
        "the line is longer than 255 characters: character 256 (" +
            (SecretLine(text) ? DescribeInSecret(static_cast<char>(report.ender))
                              : Describe(static_cast<char>(report.ender))) +
            ") is lost and the rest is read as a line of its own");
  } else if (report.ender == '\r' || (report.ender == '\n' && !(state.afterCr && text.empty()))) {
    ++state.line;
  }
  state.afterCr = report.ender == '\r';
}

std::string LineList(const Occurrences& lines) {
  std::string list;
  for (const std::size_t line : lines.first) {
    list += (list.empty() ? "" : ", ") + std::to_string(line);
  }
  if (lines.count > lines.first.size()) {
    list += ", ... (" + std::to_string(lines.count) + " lines, the last " + std::to_string(lines.last) + ")";
  }
  return list;
}

// What the keys and addresses mean together, once every line is read.
void CheckWholeFile(CheckState& state) {
  for (std::size_t k = 0; k < kInfoKeyCount; ++k) {
    const Occurrences& lines = state.occurrences[k];
    if (lines.count > 1) {
      const std::string name(InfoKeyName(static_cast<InfoKey>(k)));
      Add(state, state.inEffect[k] != 0 ? state.inEffect[k] : lines.last,
          name + " is given on lines " + LineList(lines) +
              (state.inEffect[k] != 0
                   ? ": the value of line " + std::to_string(state.inEffect[k]) + " is used"
                   : ": none of them is read"));
    }
  }
  const auto line = [&](InfoKey key) { return state.inEffect[KeyIndex(key)]; };
  const char* privateKey = InfoSettings.PRIVATE_KEY.data();
  const char* x = InfoSettings.PUBLIC_KEY_1.data();
  const char* y = InfoSettings.PUBLIC_KEY_2.data();
  KeyNumber privateNumber = ReadKeyNumber(privateKey);
  const ScopeGuard wipe([&] { WipeSecret(privateNumber.hex); });
  // A text that does not read whole has its finding already.
  const bool privateUsable = privateKey[0] != '\0' && privateNumber.whole && !privateNumber.negative;
  if (line(InfoKey::PrivateKey) == 0) {
    Add(state, 0, "no PRIVATE_KEY line: Ravelsign's signing will fail (Ravelhsm needs none)");
  } else if (privateUsable && !PrivateKeyInRange(privateKey)) {
    Add(state, line(InfoKey::PrivateKey),
        "PRIVATE_KEY is not between 1 and n - 1 (n the order of P-256): signing will fail");
  }
  if (line(InfoKey::PublicKey1) == 0 || line(InfoKey::PublicKey2) == 0) {
    const char* missing = "PUBLIC_KEY_2 line";
    if (line(InfoKey::PublicKey1) == 0) {
      missing = line(InfoKey::PublicKey2) == 0 ? "PUBLIC_KEY_1 and PUBLIC_KEY_2 lines" : "PUBLIC_KEY_1 line";
    }
    Add(state, 0,
        std::string("no ") + missing +
            ": the signature cannot be checked, and Ravelverify cannot verify the image");
  } else if (x[0] != '\0' && y[0] != '\0') {
    if (!PublicKeyOnCurve(x, y)) {
      Add(state, line(InfoKey::PublicKey1),
          "PUBLIC_KEY_1 and PUBLIC_KEY_2 are not a point on P-256: verification will fail");
    } else if (privateUsable && PrivateKeyInRange(privateKey) && !KeyPairMatches(privateKey, x, y)) {
      Add(state, line(InfoKey::PublicKey1),
          "PUBLIC_KEY_1 and PUBLIC_KEY_2 are not the public key of PRIVATE_KEY: verification will fail");
    }
    KeyFingerprint fingerprint{};
    if (state.fingerprintLine != 0 && PublicTextsFingerprint(x, y, fingerprint) &&
        state.fingerprint != fingerprint.data()) {
      Add(state, state.fingerprintLine,
          "the fingerprint comment is not that of PUBLIC_KEY_1 and PUBLIC_KEY_2 (" +
              std::string(fingerprint.data()) + "): the key lines were changed after it was written");
    }
  }
  if (line(InfoKey::InfoAddr) == 0) {
    Add(state, 0,
        "no INFO_ADDR: the INFO block goes to 0xFFFFFFFF and wraps past the top of the address space");
  }
}

int CheckBootFile(CheckState& state, const char* bootPath) {
  // The size from the file system, in 64 bits: a 3 GiB image is named by its
  // size on every system, and a folder is not mistaken for a huge file.
  FileFacts facts{};
  const bool described = DescribeFile(bootPath, facts) == 0;
  if (described && facts.kind != FileKind::Regular) {
    std::printf("Boot image file <%s> is %s, not a file of bytes to sign!\n", bootPath,
                facts.kind == FileKind::Folder ? "a folder" : "a device, FIFO or socket");
    return -1;
  }
  if (!described || !FileGuard(std::fopen(bootPath, "rb"))) {
    std::printf("Failed to open boot image file <%s>!\n", bootPath);
    return -1;
  }
  const std::uint64_t size = facts.size;
  const std::string where = std::string("boot image <") + bootPath + ">";
  if (size >= kBootImageCapacity) {
    Add(state, 0, where + " is " + std::to_string(size) + " bytes: at most 262143 can be signed");
    return 0;
  }
  if (size < kHeaderEnd) {
    Add(state, 0,
        where + " is " + std::to_string(size) +
            " bytes, shorter than 0x2C: its header words lie past its end and are signed only in part");
  }
  // Both ranges wrap past 2^32 as the HEX file does.
  const std::uint64_t rounded = (size + 15) / 16 * 16;
  const std::uint32_t code = CodeExeAddr();
  const std::uint32_t info = InfoSettings.INFO_ADDR;
  if (rounded != 0 && (static_cast<std::uint32_t>(info - code) < rounded ||
                       static_cast<std::uint32_t>(code - info) < kInfoBlockSize)) {
    Add(state, 0,
        where + " at " + Hex32(code) + " (" + std::to_string(rounded) +
            " bytes in whole records) overlaps the INFO block at " + Hex32(info) +
            ": the INFO block's records overwrite part of the image");
  }
  return 0;
}

}  // namespace

int CheckInfoFile(const char* infoPath, const char* bootPath, std::vector<std::string>& findings,
                  std::size_t& count) {
  CheckState state{{}, 1, false, true, {}, {}, true, 0, 0, {}};
  ResetProgramState();
  const ScopeGuard wipe([] { WipeSigningSecrets(); });
  const InfoReadObserver observer{OnLine, &state};
  if (ParseInfoFile(infoPath, SecretEcho::NoEchoLines, &observer) != 0) {
    return -1;
  }
  state.reading = false;
  CheckWholeFile(state);
  if (bootPath != nullptr && CheckBootFile(state, bootPath) != 0) {
    return -1;
  }
  // In file order; findings about the file as a whole come last.
  std::stable_sort(state.findings.begin(), state.findings.end(), [](const Finding& a, const Finding& b) {
    return (a.line == 0 ? SIZE_MAX : a.line) < (b.line == 0 ? SIZE_MAX : b.line);
  });
  for (const Finding& finding : state.findings) {
    std::string text(infoPath);
    if (finding.line != 0) {
      text.append(":").append(std::to_string(finding.line));
    }
    findings.push_back(text.append(": ").append(finding.text));
  }
  count = findings.size() + state.omitted;
  if (state.omitted != 0) {
    findings.push_back(std::string(infoPath) + ": ... and " + std::to_string(state.omitted) +
                       " more findings about lines, not shown");
  }
  return 0;
}
