// SPDX-License-Identifier: Apache-2.0
#include "pkcs11/token.h"

#include <p11-kit/p11-kit.h>
#include <p11-kit/pin.h>
#include <p11-kit/uri.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/scope_guard.h"
#include "platform/secret_prompt.h"
#include "platform/wipe.h"

namespace {

constexpr std::size_t kMaxPinChars = 255;
using PinText = std::array<char, kMaxPinChars + 2>;

// DER of the named curves a token may report in CKA_EC_PARAMS.
constexpr std::array<std::uint8_t, 10> kP256Oid = {0x06, 0x08, 0x2A, 0x86, 0x48,
                                                   0xCE, 0x3D, 0x03, 0x01, 0x07};
struct NamedCurve {
  std::array<std::uint8_t, 7> oid;
  const char* name;
};
constexpr std::array<NamedCurve, 3> kOtherCurves = {{
    {{0x06, 0x05, 0x2B, 0x81, 0x04, 0x00, 0x22}, "P-384"},
    {{0x06, 0x05, 0x2B, 0x81, 0x04, 0x00, 0x23}, "P-521"},
    {{0x06, 0x05, 0x2B, 0x81, 0x04, 0x00, 0x0A}, "secp256k1"},
}};

// Everything one command opens, released in reverse order by CloseAll. It
// is never copied: `modules` may point into its own `single`.
struct TokenRun {
  TokenRun() = default;
  TokenRun(const TokenRun&) = delete;
  TokenRun& operator=(const TokenRun&) = delete;
  TokenRun(TokenRun&&) = delete;
  TokenRun& operator=(TokenRun&&) = delete;
  ~TokenRun() = default;

  const char* text = nullptr;  // the URI as given, only ever printed without its PIN
  P11KitUri* uri = nullptr;
  CK_FUNCTION_LIST* loaded = nullptr;       // a module loaded from module-path
  CK_FUNCTION_LIST** registered = nullptr;  // the registered modules, loaded by p11-kit
  bool allInitialized = false;              // every registered module was initialized
  CK_FUNCTION_LIST* named = nullptr;        // the one initialized for module-name
  CK_FUNCTION_LIST** modules = nullptr;     // the modules walked: registered, or {one, nullptr}
  std::array<CK_FUNCTION_LIST*, 2> single{};
  CK_FUNCTION_LIST* module = nullptr;  // the module of the token chosen
  CK_SLOT_ID slot = 0;
  std::string tokenLabel;
  CK_SESSION_HANDLE session = 0;
  bool sessionOpen = false;
  bool loggedIn = false;
  PinText pin{};
  bool pinKnown = false;
};

void CloseAll(TokenRun& run) {
  if (run.loggedIn) {
    static_cast<void>(run.module->C_Logout(run.session));
  }
  if (run.sessionOpen) {
    static_cast<void>(run.module->C_CloseSession(run.session));
  }
  if (run.loaded != nullptr) {
    static_cast<void>(p11_kit_module_finalize(run.loaded));
    p11_kit_module_release(run.loaded);
  }
  if (run.named != nullptr) {
    static_cast<void>(p11_kit_module_finalize(run.named));
  }
  if (run.registered != nullptr && run.allInitialized) {
    p11_kit_modules_finalize_and_release(run.registered);
  } else if (run.registered != nullptr) {
    p11_kit_modules_release(run.registered);
  }
  if (run.uri != nullptr) {
    p11_kit_uri_free(run.uri);
  }
  WipeSecret(run.pin);
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
  return lower;
}

// The URI as it may be printed: any pin-value, in any letter case, is replaced.
std::string Printable(std::string_view uri) {
  constexpr std::string_view kPinValue = "pin-value=";
  std::string text(uri);
  for (std::size_t at = Lower(text).find(kPinValue); at != std::string::npos;
       at = Lower(text).find(kPinValue, at + 1)) {
    const std::size_t start = at + kPinValue.size();
    const std::size_t end = text.find_first_of("&;", start);
    text.replace(start, (end == std::string::npos ? text.size() : end) - start, "***");
  }
  return text;
}

// An attribute the URI gives twice (p11-kit would silently keep the last,
// and the wrong key might sign), or "" when there is none.
std::string RepeatedAttribute(std::string_view uri) {
  if (Lower(uri.substr(0, 7)) == "pkcs11:") {
    uri.remove_prefix(7);
  }
  std::vector<std::string> names;
  while (!uri.empty()) {
    const std::size_t end = uri.find_first_of(";?&");
    const std::string_view attribute = uri.substr(0, end);
    std::string name = Lower(attribute.substr(0, attribute.find('=')));
    if (!name.empty() && std::find(names.begin(), names.end(), name) != names.end()) {
      return name;
    }
    names.push_back(std::move(name));
    uri.remove_prefix(end == std::string_view::npos ? uri.size() : end + 1);
  }
  return "";
}

// One part of the URI (the token or the object attributes), for messages.
std::string UriPart(P11KitUri* uri, P11KitUriType part) {
  char* formatted = nullptr;
  std::string text = "pkcs11:";
  if (p11_kit_uri_format(uri, part, &formatted) == P11_KIT_URI_OK && formatted != nullptr) {
    text = Printable(formatted);
  }
  std::free(formatted);  // NOLINT(cppcoreguidelines-no-malloc): p11-kit's allocation
  return text;
}

std::string SpacePadded(const unsigned char* text, std::size_t size) {
  return {reinterpret_cast<const char*>(text), p11_kit_space_strlen(text, size)};
}

const char* ErrorText(CK_RV rv) {
  return p11_kit_strerror(rv);
}

int ParseUri(TokenRun& run) {
  run.uri = p11_kit_uri_new();
  const int parsed = p11_kit_uri_parse(run.text, P11_KIT_URI_FOR_ANY, run.uri);
  if (parsed != P11_KIT_URI_OK) {
    std::printf("Malformed PKCS#11 URI <%s>: %s!\n", Printable(run.text).c_str(),
                p11_kit_uri_message(parsed));
    return -1;
  }
  if (p11_kit_uri_any_unrecognized(run.uri) != 0) {
    std::printf("PKCS#11 URI <%s> has an attribute that is not understood!\n", Printable(run.text).c_str());
    return -1;
  }
  if (const std::string repeated = RepeatedAttribute(run.text); !repeated.empty()) {
    std::printf("PKCS#11 URI <%s> gives %s more than once!\n", Printable(run.text).c_str(), repeated.c_str());
    return -1;
  }
  return 0;
}

// Whether the module is the one module-name names (any, without it).
bool HasWantedName(TokenRun& run, CK_FUNCTION_LIST* module) {
  const char* wanted = p11_kit_uri_get_module_name(run.uri);
  if (wanted == nullptr) {
    return true;
  }
  char* name = p11_kit_module_get_name(module);
  const bool same = name != nullptr && std::strcmp(name, wanted) == 0;
  std::free(name);  // NOLINT(cppcoreguidelines-no-malloc): p11-kit's allocation
  return same;
}

int LoadModules(TokenRun& run) {
  if (const char* path = p11_kit_uri_get_module_path(run.uri)) {
    run.loaded = p11_kit_module_load(path, 0);
    if (run.loaded == nullptr) {
      std::printf("Cannot load PKCS#11 module <%s>: %s!\n", path, p11_kit_message());
      return -1;
    }
    if (const CK_RV rv = p11_kit_module_initialize(run.loaded); rv != CKR_OK) {
      p11_kit_module_release(run.loaded);
      run.loaded = nullptr;
      std::printf("Cannot initialize PKCS#11 module <%s>: %s!\n", path, ErrorText(rv));
      return -1;
    }
    run.single = {run.loaded, nullptr};
    run.modules = run.single.data();
    return 0;
  }
  // With module-name, only that module is started: another registered module
  // whose C_Initialize hangs (a TPM token whose daemon is down) must not hang
  // the run, nor print its errors.
  const char* name = p11_kit_uri_get_module_name(run.uri);
  run.registered =
      name != nullptr ? p11_kit_modules_load(nullptr, 0) : p11_kit_modules_load_and_initialize(0);
  if (run.registered == nullptr) {
    std::printf("Cannot load the registered PKCS#11 modules: %s!\n", p11_kit_message());
    return -1;
  }
  run.allInitialized = name == nullptr;
  run.modules = run.registered;
  if (name == nullptr) {
    return 0;
  }
  for (CK_FUNCTION_LIST** module = run.registered; *module != nullptr; ++module) {
    if (HasWantedName(run, *module)) {
      if (const CK_RV rv = p11_kit_module_initialize(*module); rv != CKR_OK) {
        std::printf("Cannot initialize PKCS#11 module <%s>: %s!\n", name, ErrorText(rv));
        return -1;
      }
      run.named = *module;
      break;
    }
  }
  run.single = {run.named, nullptr};
  run.modules = run.single.data();  // none: ChooseToken says that no module matches
  return 0;
}

bool ModuleMatches(TokenRun& run, CK_FUNCTION_LIST* module) {
  if (!HasWantedName(run, module)) {
    return false;
  }
  CK_INFO info{};
  return module->C_GetInfo(&info) == CKR_OK && p11_kit_uri_match_module_info(run.uri, &info) != 0;
}

// Counts the initialised tokens of `module` that the URI selects, keeping
// the first one found in the run.
void MatchTokens(TokenRun& run, CK_FUNCTION_LIST* module, std::size_t& matches) {
  CK_ULONG count = 0;
  if (module->C_GetSlotList(CK_TRUE, nullptr, &count) != CKR_OK) {
    return;
  }
  std::vector<CK_SLOT_ID> slots(count);
  if (module->C_GetSlotList(CK_TRUE, slots.data(), &count) != CKR_OK) {
    return;
  }
  slots.resize(count);
  const CK_SLOT_ID wantedSlot = p11_kit_uri_get_slot_id(run.uri);
  for (const CK_SLOT_ID slot : slots) {
    CK_SLOT_INFO slotInfo{};
    CK_TOKEN_INFO tokenInfo{};
    // A token that was never initialized holds no key (SoftHSM always offers one).
    if (module->C_GetSlotInfo(slot, &slotInfo) != CKR_OK ||
        module->C_GetTokenInfo(slot, &tokenInfo) != CKR_OK ||
        (tokenInfo.flags & CKF_TOKEN_INITIALIZED) == 0 ||
        p11_kit_uri_match_slot_info(run.uri, &slotInfo) == 0 ||
        p11_kit_uri_match_token_info(run.uri, &tokenInfo) == 0 ||
        (wantedSlot != static_cast<CK_SLOT_ID>(-1) && wantedSlot != slot)) {
      continue;
    }
    if (++matches == 1) {
      run.module = module;
      run.slot = slot;
      run.tokenLabel = SpacePadded(tokenInfo.label, sizeof(tokenInfo.label));
    }
  }
}

// Walks every slot with a token of every module and keeps the one token the
// URI selects.
int ChooseToken(TokenRun& run) {
  std::size_t matches = 0;
  bool anyModule = false;
  for (CK_FUNCTION_LIST** module = run.modules; *module != nullptr; ++module) {
    if (ModuleMatches(run, *module)) {
      anyModule = true;
      MatchTokens(run, *module, matches);
    }
  }
  if (!anyModule) {
    const char* name = p11_kit_uri_get_module_name(run.uri);
    std::printf("No PKCS#11 module matches <%s>%s%s!\n", UriPart(run.uri, P11_KIT_URI_FOR_MODULE).c_str(),
                name != nullptr ? ": none is registered as " : "", name != nullptr ? name : "");
    return -1;
  }
  if (matches == 0) {
    std::printf(
        "No token matches <%s>!\n",
        UriPart(run.uri, static_cast<P11KitUriType>(P11_KIT_URI_FOR_SLOT | P11_KIT_URI_FOR_TOKEN)).c_str());
    return -1;
  }
  if (matches > 1) {
    std::printf("%zu tokens match <%s>: add token= or serial= to the URI!\n", matches,
                UriPart(run.uri, P11_KIT_URI_FOR_TOKEN).c_str());
    return -1;
  }
  const CK_RV rv = run.module->C_OpenSession(run.slot, CKF_SERIAL_SESSION, nullptr, nullptr, &run.session);
  if (rv != CKR_OK) {
    std::printf("Cannot open a session with token <%s>: %s!\n", run.tokenLabel.c_str(), ErrorText(rv));
    return -1;
  }
  run.sessionOpen = true;
  return 0;
}

// Copies a PIN into the run, refusing one that does not fit.
int KeepPin(TokenRun& run, const unsigned char* value, std::size_t length) {
  if (length > kMaxPinChars) {
    std::printf("The PIN for token <%s> is longer than %zu characters!\n", run.tokenLabel.c_str(),
                kMaxPinChars);
    return -1;
  }
  std::copy_n(value, length, reinterpret_cast<unsigned char*>(run.pin.data()));
  run.pin[length] = '\0';
  run.pinKnown = true;
  return 0;
}

// The PIN from a pin file, without the one line end (LF or CR LF) that
// `echo 1234 > pin` writes. Returns 0 with `run.pinKnown` set when the file
// gives a PIN, 0 without it when the file is empty, or -1.
int ReadPinSource(TokenRun& run, const char* source) {
  // p11-kit reads a pin-source that names a file, by its path; RFC 7512
  // writes it as a file: URI.
  std::string_view path(source);
  if (path.starts_with("file://")) {
    path.remove_prefix(std::string_view("file://").size());
  } else if (path.starts_with("file:")) {
    path.remove_prefix(std::string_view("file:").size());
  }
  const std::string file(path);
  static_cast<void>(
      p11_kit_pin_register_callback(P11_KIT_PIN_FALLBACK, p11_kit_pin_file_callback, nullptr, nullptr));
  P11KitPin* pin =
      p11_kit_pin_request(file.c_str(), run.uri, run.tokenLabel.c_str(), P11_KIT_PIN_FLAGS_USER_LOGIN);
  p11_kit_pin_unregister_callback(P11_KIT_PIN_FALLBACK, p11_kit_pin_file_callback, nullptr);
  if (pin == nullptr) {
    std::printf("Cannot read the PIN for token <%s> from <%s>!\n", run.tokenLabel.c_str(), source);
    return -1;
  }
  std::size_t length = 0;
  const unsigned char* value = p11_kit_pin_get_value(pin, &length);
  std::size_t used = length;
  if (used > 0 && value[used - 1] == '\n') {
    --used;
    used -= used > 0 && value[used - 1] == '\r' ? 1 : 0;
  }
  const int kept = used == 0 ? 0 : KeepPin(run, value, used);
  // The PIN's buffer is p11-kit's, but nothing else reads it again.
  WipeBytes(const_cast<unsigned char*>(value), length);  // NOLINT(cppcoreguidelines-pro-type-const-cast)
  p11_kit_pin_unref(pin);
  return kept;
}

// The PIN: from the URI's pin-value or pin-source, else RAVELHSM_PIN, else
// typed at the terminal. An empty PIN is no PIN: a login with it would only
// use up one of the token's retries (an unset CI secret is often empty).
// Without any PIN, an error, never a wait.
int FindPin(TokenRun& run) {
  if (const char* value = p11_kit_uri_get_pin_value(run.uri); value != nullptr && *value != '\0') {
    return KeepPin(run, reinterpret_cast<const unsigned char*>(value), std::strlen(value));
  }
  if (const char* source = p11_kit_uri_get_pin_source(run.uri)) {
    if (ReadPinSource(run, source) != 0) {
      return -1;
    }
    if (run.pinKnown) {
      return 0;
    }
  }
  if (const char* value = std::getenv("RAVELHSM_PIN"); value != nullptr && *value != '\0') {
    return KeepPin(run, reinterpret_cast<const unsigned char*>(value), std::strlen(value));
  }
  if (StandardInputIsTerminal()) {
    const std::string prompt = "PIN for token <" + run.tokenLabel + ">: ";
    if (ReadSecretLine(prompt.c_str(), run.pin) <= 0) {
      std::printf("No PIN was read for token <%s>!\n", run.tokenLabel.c_str());
      return -1;
    }
    run.pinKnown = true;
    return 0;
  }
  std::printf("No PIN for token <%s>: give pin-value or pin-source in the URI, or set RAVELHSM_PIN!\n",
              run.tokenLabel.c_str());
  return -1;
}

int Login(TokenRun& run, CK_USER_TYPE user) {
  // Read for every login: a PIN pad is asked the second time as the first.
  CK_TOKEN_INFO info{};
  if (run.module->C_GetTokenInfo(run.slot, &info) != CKR_OK) {
    info.flags = 0;
  }
  if (user == CKU_USER && (info.flags & CKF_LOGIN_REQUIRED) == 0) {
    return 0;
  }
  // A token with its own PIN pad takes no PIN from us.
  const bool pinPad = (info.flags & CKF_PROTECTED_AUTHENTICATION_PATH) != 0;
  if (!run.pinKnown && !pinPad && FindPin(run) != 0) {
    return -1;
  }
  auto* pin = run.pinKnown ? reinterpret_cast<CK_UTF8CHAR*>(run.pin.data()) : nullptr;
  const CK_RV rv =
      run.module->C_Login(run.session, user, pin, run.pinKnown ? std::strlen(run.pin.data()) : 0);
  if (rv == CKR_OK || (rv == CKR_USER_ALREADY_LOGGED_IN && user == CKU_USER)) {
    run.loggedIn = run.loggedIn || user == CKU_USER;
    return 0;
  }
  if (rv == CKR_PIN_INCORRECT) {
    std::printf("Wrong PIN for token <%s>!\n", run.tokenLabel.c_str());
  } else if (rv == CKR_PIN_LOCKED) {
    std::printf("The PIN of token <%s> is locked!\n", run.tokenLabel.c_str());
  } else {
    std::printf("Login to token <%s> failed: %s!\n", run.tokenLabel.c_str(), ErrorText(rv));
  }
  return -1;
}

// One attribute's value; empty when the object has none.
std::vector<std::uint8_t> Attribute(TokenRun& run, CK_OBJECT_HANDLE object, CK_ATTRIBUTE_TYPE type) {
  CK_ATTRIBUTE attribute{type, nullptr, 0};
  if (run.module->C_GetAttributeValue(run.session, object, &attribute, 1) != CKR_OK ||
      attribute.ulValueLen == CK_UNAVAILABLE_INFORMATION) {
    return {};
  }
  std::vector<std::uint8_t> value(attribute.ulValueLen);
  attribute.pValue = value.data();
  if (run.module->C_GetAttributeValue(run.session, object, &attribute, 1) != CKR_OK) {
    return {};
  }
  value.resize(attribute.ulValueLen);
  return value;
}

// The objects of class `wanted` that match the URI's object attributes, or
// only `other` when it is given. At most two are looked for: one is all we take.
std::vector<CK_OBJECT_HANDLE> FindObjects(TokenRun& run, CK_OBJECT_CLASS wanted, const CK_ATTRIBUTE* other) {
  std::vector<CK_ATTRIBUTE> search;
  CK_OBJECT_CLASS objectClass = wanted;
  search.push_back({CKA_CLASS, &objectClass, sizeof(objectClass)});
  if (other != nullptr) {
    search.push_back(*other);
  } else {
    CK_ULONG count = 0;
    const CK_ATTRIBUTE* given = p11_kit_uri_get_attributes(run.uri, &count);
    for (CK_ULONG i = 0; i < count; ++i) {
      if (given[i].type != CKA_CLASS) {
        search.push_back(given[i]);
      }
    }
  }
  std::vector<CK_OBJECT_HANDLE> found(2);
  CK_ULONG got = 0;
  if (run.module->C_FindObjectsInit(run.session, search.data(), search.size()) != CKR_OK) {
    return {};
  }
  if (run.module->C_FindObjects(run.session, found.data(), found.size(), &got) != CKR_OK) {
    got = 0;
  }
  static_cast<void>(run.module->C_FindObjectsFinal(run.session));
  found.resize(got);
  return found;
}

// The one key of class `wanted` the URI names, or -1 after saying why not.
int FindKey(TokenRun& run, CK_OBJECT_CLASS wanted, CK_OBJECT_HANDLE& key) {
  const char* kind = wanted == CKO_PRIVATE_KEY ? "private" : "public";
  if (const CK_ATTRIBUTE* given = p11_kit_uri_get_attribute(run.uri, CKA_CLASS)) {
    CK_OBJECT_CLASS named = 0;
    std::memcpy(&named, given->pValue, std::min<std::size_t>(given->ulValueLen, sizeof(named)));
    if (named != CKO_PRIVATE_KEY && named != CKO_PUBLIC_KEY) {
      std::printf("PKCS#11 URI <%s> names no key: leave type= out, or give type=%s!\n",
                  UriPart(run.uri, P11_KIT_URI_FOR_OBJECT).c_str(), kind);
      return -1;
    }
  }
  const std::vector<CK_OBJECT_HANDLE> found = FindObjects(run, wanted, nullptr);
  if (found.size() != 1) {
    std::printf(found.empty()
                    ? "No %s key matches <%s> on token <%s>!\n"
                    : "More than one %s key matches <%s> on token <%s>: add object= or id= to the URI!\n",
                kind, UriPart(run.uri, P11_KIT_URI_FOR_OBJECT).c_str(), run.tokenLabel.c_str());
    return -1;
  }
  key = found[0];
  return 0;
}

// Refuses any key but an EC key on P-256, naming what it is.
int CheckKeyType(TokenRun& run, CK_OBJECT_HANDLE key) {
  const std::string label = [&] {
    const std::vector<std::uint8_t> value = Attribute(run, key, CKA_LABEL);
    return std::string(value.begin(), value.end());
  }();
  const std::vector<std::uint8_t> type = Attribute(run, key, CKA_KEY_TYPE);
  auto keyType = static_cast<CK_KEY_TYPE>(-1);
  if (type.size() == sizeof(keyType)) {
    std::memcpy(&keyType, type.data(), sizeof(keyType));
  }
  const char* what = nullptr;
  if (keyType == CKK_RSA) {
    what = "an RSA key";
  } else if (keyType == CKK_EC_EDWARDS) {
    what = "an EdDSA key";
  } else if (keyType == CKK_DSA) {
    what = "a DSA key";
  } else if (keyType != CKK_EC) {
    what = "not an EC key";
  } else {
    const std::vector<std::uint8_t> params = Attribute(run, key, CKA_EC_PARAMS);
    if (std::equal(params.begin(), params.end(), kP256Oid.begin(), kP256Oid.end())) {
      return 0;
    }
    what = "an EC key on a curve other than P-256";
    for (const NamedCurve& curve : kOtherCurves) {
      if (std::equal(params.begin(), params.end(), curve.oid.begin(), curve.oid.end())) {
        std::printf("Key <%s> on token <%s> is an EC key on %s: only P-256 keys sign secure boot images!\n",
                    label.c_str(), run.tokenLabel.c_str(), curve.name);
        return -1;
      }
    }
  }
  std::printf("Key <%s> on token <%s> is %s: only EC P-256 keys sign secure boot images!\n", label.c_str(),
              run.tokenLabel.c_str(), what);
  return -1;
}

// CKA_EC_POINT as PKCS#11 has it (a DER OCTET STRING around the point) or as
// some tokens give it (the bare uncompressed point): X and Y.
// The public key that belongs to `privateKey`: the public key object with
// the same CKA_ID, else CKA_EC_POINT of the private key object itself.
TokenPublicKey FindPublicKey(TokenRun& run, CK_OBJECT_HANDLE privateKey) {
  TokenPublicKey found{false, {}};
  std::vector<std::uint8_t> id = Attribute(run, privateKey, CKA_ID);
  if (!id.empty()) {
    const CK_ATTRIBUTE sameId{CKA_ID, id.data(), id.size()};
    const std::vector<CK_OBJECT_HANDLE> objects = FindObjects(run, CKO_PUBLIC_KEY, &sameId);
    if (objects.size() == 1 && DecodeEcPoint(Attribute(run, objects[0], CKA_EC_POINT), found.key)) {
      found.present = true;
      return found;
    }
  }
  found.present = DecodeEcPoint(Attribute(run, privateKey, CKA_EC_POINT), found.key);
  return found;
}

int Sign(TokenRun& run, CK_OBJECT_HANDLE key, const Sha256Digest& digest, RawSignature& signature) {
  const std::vector<std::uint8_t> always = Attribute(run, key, CKA_ALWAYS_AUTHENTICATE);
  CK_MECHANISM mechanism{CKM_ECDSA, nullptr, 0};
  CK_RV rv = run.module->C_SignInit(run.session, &mechanism, key);
  // A smart card's signing key wants the PIN again for every signature.
  if (rv == CKR_OK && !always.empty() && always[0] != CK_FALSE && Login(run, CKU_CONTEXT_SPECIFIC) != 0) {
    return -1;
  }
  WipeSecret(run.pin);  // the last login is behind us
  CK_ULONG length = signature.size();
  if (rv == CKR_OK) {
    auto* data = const_cast<CK_BYTE*>(digest.data());  // NOLINT(cppcoreguidelines-pro-type-const-cast): C API
    rv = run.module->C_Sign(run.session, data, digest.size(), signature.data(), &length);
  }
  if (rv != CKR_OK) {
    std::printf("Signing with token <%s> failed: %s!\n", run.tokenLabel.c_str(), ErrorText(rv));
    return -1;
  }
  if (length != signature.size()) {
    std::printf("Token <%s> gave a signature of %lu bytes, not the 64 of r and s!\n", run.tokenLabel.c_str(),
                static_cast<unsigned long>(length));
    return -1;
  }
  return 0;
}

}  // namespace

int SignWithToken(const char* uri, const Sha256Digest& digest, RawSignature& signature,
                  TokenPublicKey& publicKey) {
  TokenRun run;
  run.text = uri;
  const ScopeGuard close([&] { CloseAll(run); });
  CK_OBJECT_HANDLE key = 0;
  if (ParseUri(run) != 0 || LoadModules(run) != 0 || ChooseToken(run) != 0 || Login(run, CKU_USER) != 0 ||
      FindKey(run, CKO_PRIVATE_KEY, key) != 0 || CheckKeyType(run, key) != 0) {
    return -1;
  }
  publicKey = FindPublicKey(run, key);
  if (Sign(run, key, digest, signature) != 0) {
    return -1;
  }
  std::printf("Signed with token <%s>.\n", run.tokenLabel.c_str());
  return 0;
}

int ReadTokenPublicKey(const char* uri, PublicKeyBytes& publicKey) {
  TokenRun run;
  run.text = uri;
  const ScopeGuard close([&] { CloseAll(run); });
  CK_OBJECT_HANDLE key = 0;
  if (ParseUri(run) != 0 || LoadModules(run) != 0 || ChooseToken(run) != 0 ||
      FindKey(run, CKO_PUBLIC_KEY, key) != 0 || CheckKeyType(run, key) != 0) {
    return -1;
  }
  if (!DecodeEcPoint(Attribute(run, key, CKA_EC_POINT), publicKey)) {
    std::printf("Token <%s> gives no usable CKA_EC_POINT for the public key!\n", run.tokenLabel.c_str());
    return -1;
  }
  return 0;
}

bool DecodeEcPoint(std::span<const std::uint8_t> value, PublicKeyBytes& publicKey) {
  constexpr std::size_t kPointSize = 1 + 2 * kP256NumberSize;
  std::span<const std::uint8_t> point = value;
  if (point.size() == kPointSize + 2 && point[0] == 0x04 && point[1] == kPointSize) {
    point = point.subspan(2);
  }
  if (point.size() != kPointSize || point[0] != 0x04) {
    return false;
  }
  std::copy(point.begin() + 1, point.end(), publicKey.begin());
  return true;
}
