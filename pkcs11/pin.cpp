// SPDX-License-Identifier: Apache-2.0
#include "pkcs11/pin.h"

#include <p11-kit/pin.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/secret_prompt.h"
#include "platform/wipe.h"

namespace {

// Copies a PIN into `pin`, refusing one that does not fit.
int KeepPin(const std::string& tokenLabel, const unsigned char* value, std::size_t length, TokenPin& pin) {
  if (length > kMaxPinChars) {
    std::printf("The PIN for token <%s> is longer than %zu characters!\n", tokenLabel.c_str(), kMaxPinChars);
    return -1;
  }
  std::copy_n(value, length, reinterpret_cast<unsigned char*>(pin.text.data()));
  pin.text[length] = '\0';
  pin.known = true;
  return 0;
}

// The PIN from a pin file, without the one line end (LF or CR LF) that
// `echo 1234 > pin` writes. Returns 0 with `pin.known` set when the file
// gives a PIN, 0 without it when the file is empty, or -1.
int ReadPinSource(P11KitUri* uri, const std::string& tokenLabel, const char* source, TokenPin& pin) {
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
  P11KitPin* read = p11_kit_pin_request(file.c_str(), uri, tokenLabel.c_str(), P11_KIT_PIN_FLAGS_USER_LOGIN);
  p11_kit_pin_unregister_callback(P11_KIT_PIN_FALLBACK, p11_kit_pin_file_callback, nullptr);
  if (read == nullptr) {
    std::printf("Cannot read the PIN for token <%s> from <%s>!\n", tokenLabel.c_str(), source);
    return -1;
  }
  std::size_t length = 0;
  const unsigned char* value = p11_kit_pin_get_value(read, &length);
  std::size_t used = length;
  if (used > 0 && value[used - 1] == '\n') {
    --used;
    used -= used > 0 && value[used - 1] == '\r' ? 1 : 0;
  }
  const int kept = used == 0 ? 0 : KeepPin(tokenLabel, value, used, pin);
  // The PIN's buffer is p11-kit's, but nothing else reads it again.
  WipeBytes(const_cast<unsigned char*>(value), length);  // NOLINT(cppcoreguidelines-pro-type-const-cast)
  p11_kit_pin_unref(read);
  return kept;
}

}  // namespace

int FindPin(P11KitUri* uri, const std::string& tokenLabel, TokenPin& pin) {
  if (const char* value = p11_kit_uri_get_pin_value(uri); value != nullptr && *value != '\0') {
    return KeepPin(tokenLabel, reinterpret_cast<const unsigned char*>(value), std::strlen(value), pin);
  }
  if (const char* source = p11_kit_uri_get_pin_source(uri)) {
    if (ReadPinSource(uri, tokenLabel, source, pin) != 0) {
      return -1;
    }
    if (pin.known) {
      return 0;
    }
  }
  if (const char* value = std::getenv("RAVELHSM_PIN"); value != nullptr && *value != '\0') {
    return KeepPin(tokenLabel, reinterpret_cast<const unsigned char*>(value), std::strlen(value), pin);
  }
  if (StandardInputIsTerminal()) {
    const std::string prompt = "PIN for token <" + tokenLabel + ">: ";
    if (ReadSecretLine(prompt.c_str(), pin.text) <= 0) {
      std::printf("No PIN was read for token <%s>!\n", tokenLabel.c_str());
      return -1;
    }
    pin.known = true;
    return 0;
  }
  std::printf("No PIN for token <%s>: give pin-value or pin-source in the URI, or set RAVELHSM_PIN!\n",
              tokenLabel.c_str());
  return -1;
}

void WipePin(TokenPin& pin) {
  WipeSecret(pin.text);
  pin.known = false;
}
