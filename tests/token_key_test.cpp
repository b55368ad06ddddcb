// SPDX-License-Identifier: Apache-2.0
// Keys that Ravelhsm generate makes, inspected through p11-kit as any other
// program on the machine sees them: the private key's flags are as asked
// and its value cannot be read. A token that cannot make the pair (no EC
// key generation, full, read-only, one that changes a flag it was given)
// ends the run with 255 and keeps no object.
#include <gtest/gtest.h>
#include <p11-kit/p11-kit.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace {

using testsupport::Bytes;

constexpr const char* kTokenLabel = "keys";
constexpr const char* kPin = "1234";
constexpr const char* kNewKey = "pkcs11:token=keys;object=made;id=%07?pin-value=1234";
const Bytes kP256Params = {0x06, 0x08, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07};

// A SoftHSM token of the test's own, shown to this process and its children.
struct Token {
  Token() {
    const std::string conf = testsupport::MakeSoftHsmToken(dir.path.string(), kTokenLabel, kPin);
    setenv("SOFTHSM2_CONF", conf.c_str(), 1);
  }
  testsupport::TempDir dir;
};

testsupport::CommandResult Generate(const std::string& uri, const std::string& prefix = "") {
  return testsupport::RunCommand(prefix + testsupport::ToolCommandLine(RAVELHSM_PATH, {"generate", uri}) +
                                 " 2>&1");
}

// A session with the token, logged in, as the test's own: it sees what
// Ravelhsm left on the token.
struct Session {
  Session() {
    module = p11_kit_module_load(testsupport::SoftHsmModule().c_str(), 0);
    if (module == nullptr || p11_kit_module_initialize(module) != CKR_OK) {
      throw std::runtime_error("SoftHSM cannot be loaded");
    }
    CK_SLOT_ID slots[8];
    CK_ULONG count = 8;
    if (module->C_GetSlotList(CK_TRUE, slots, &count) != CKR_OK) {
      throw std::runtime_error("no slots");
    }
    for (CK_ULONG i = 0; i < count; ++i) {
      CK_TOKEN_INFO info{};
      if (module->C_GetTokenInfo(slots[i], &info) == CKR_OK &&
          std::string(reinterpret_cast<char*>(info.label), sizeof(info.label)).starts_with(kTokenLabel)) {
        auto* pin = reinterpret_cast<CK_UTF8CHAR*>(const_cast<char*>(kPin));
        if (module->C_OpenSession(slots[i], CKF_SERIAL_SESSION, nullptr, nullptr, &handle) != CKR_OK ||
            module->C_Login(handle, CKU_USER, pin, 4) != CKR_OK) {
          throw std::runtime_error("no login");
        }
        return;
      }
    }
    throw std::runtime_error("no token");
  }
  ~Session() {
    static_cast<void>(module->C_Logout(handle));
    static_cast<void>(module->C_CloseSession(handle));
    static_cast<void>(p11_kit_module_finalize(module));
    p11_kit_module_release(module);
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  std::vector<CK_OBJECT_HANDLE> Find(std::vector<CK_ATTRIBUTE> search) const {
    std::vector<CK_OBJECT_HANDLE> found(16);
    CK_ULONG got = 0;
    if (module->C_FindObjectsInit(handle, search.data(), search.size()) != CKR_OK ||
        module->C_FindObjects(handle, found.data(), found.size(), &got) != CKR_OK) {
      throw std::runtime_error("search failed");
    }
    static_cast<void>(module->C_FindObjectsFinal(handle));
    found.resize(got);
    return found;
  }

  CK_RV Get(CK_OBJECT_HANDLE object, CK_ATTRIBUTE_TYPE type, Bytes& value) const {
    value.assign(256, 0);
    CK_ATTRIBUTE attribute{type, value.data(), value.size()};
    const CK_RV rv = module->C_GetAttributeValue(handle, object, &attribute, 1);
    value.resize(rv == CKR_OK ? attribute.ulValueLen : 0);
    return rv;
  }

  CK_FUNCTION_LIST* module = nullptr;
  CK_SESSION_HANDLE handle = 0;
};

std::size_t ObjectCount() {
  return Session().Find({}).size();
}

TEST(TokenKey, TheGeneratedPrivateKeySignsAndNeverLeavesTheToken) {
  const Token token;
  const testsupport::CommandResult run = Generate(kNewKey);
  ASSERT_EQ(run.status, 0) << run.output;
  const Session session;
  CK_OBJECT_CLASS privateClass = CKO_PRIVATE_KEY;
  const auto found = session.Find({{CKA_CLASS, &privateClass, sizeof(privateClass)}});
  ASSERT_EQ(found.size(), 1U);
  const struct {
    CK_ATTRIBUTE_TYPE type;
    const char* name;
    Bytes value;
  } kExpected[] = {
      {CKA_TOKEN, "CKA_TOKEN", {CK_TRUE}},
      {CKA_PRIVATE, "CKA_PRIVATE", {CK_TRUE}},
      {CKA_SENSITIVE, "CKA_SENSITIVE", {CK_TRUE}},
      {CKA_SIGN, "CKA_SIGN", {CK_TRUE}},
      {CKA_EXTRACTABLE, "CKA_EXTRACTABLE", {CK_FALSE}},
      {CKA_DERIVE, "CKA_DERIVE", {CK_FALSE}},
      {CKA_DECRYPT, "CKA_DECRYPT", {CK_FALSE}},
      {CKA_UNWRAP, "CKA_UNWRAP", {CK_FALSE}},
      // The token's own record: made inside it, never out of it.
      {CKA_LOCAL, "CKA_LOCAL", {CK_TRUE}},
      {CKA_ALWAYS_SENSITIVE, "CKA_ALWAYS_SENSITIVE", {CK_TRUE}},
      {CKA_NEVER_EXTRACTABLE, "CKA_NEVER_EXTRACTABLE", {CK_TRUE}},
      {CKA_LABEL, "CKA_LABEL", {'m', 'a', 'd', 'e'}},
      {CKA_ID, "CKA_ID", {0x07}},
      {CKA_EC_PARAMS, "CKA_EC_PARAMS", kP256Params},
  };
  for (const auto& expected : kExpected) {
    Bytes value;
    EXPECT_EQ(session.Get(found[0], expected.type, value), CKR_OK) << expected.name;
    EXPECT_EQ(value, expected.value) << expected.name;
  }
  Bytes value;
  EXPECT_EQ(session.Get(found[0], CKA_VALUE, value), CKR_ATTRIBUTE_SENSITIVE);
}

// Each row: a token that fails at making the pair, and what Ravelhsm says.
TEST(TokenKey, ATokenThatCannotMakeThePairKeepsNothing) {
  const struct {
    const char* fault;
    const char* said;
  } kCases[] = {
      {"no-ec-keygen", "Token <keys> cannot generate EC key pairs (no CKM_EC_KEY_PAIR_GEN)!\n"},
      {"full", "Token <keys> could not generate the key pair: "},
      {"derive", "Token <keys> did not give the new key CKA_DERIVE as asked: the pair is destroyed!\n"},
  };
  setenv("RAVEL_WRAPPED_MODULE", testsupport::SoftHsmModule().c_str(), 1);
  for (const auto& c : kCases) {
    const Token token;
    setenv("RAVEL_TOKEN_FAULT", c.fault, 1);
    const testsupport::CommandResult run =
        Generate(std::string(kNewKey) + "&module-path=" + RAVEL_FAULTY_MODULE);
    EXPECT_EQ(run.status, 255) << c.fault;
    EXPECT_NE(run.output.find(c.said), std::string::npos) << c.fault << ": " << run.output;
    EXPECT_EQ(ObjectCount(), 0U) << c.fault;
  }
  unsetenv("RAVEL_TOKEN_FAULT");
  unsetenv("RAVEL_WRAPPED_MODULE");
}

// A token whose files cannot be written; root, who could write them anyway,
// runs Ravelhsm as nobody.
TEST(TokenKey, AReadOnlyTokenKeepsNothing) {
  const Token token;
  const std::string dir = testsupport::Quote(token.dir.path.string());
  const bool root = geteuid() == 0;
  ASSERT_EQ(testsupport::RunCommand((root ? "chown -R nobody " + dir + " && " : std::string()) +
                                    "chmod -R a-w " + testsupport::Quote(token.dir.File("tokens")))
                .status,
            0);
  const testsupport::CommandResult run =
      Generate(kNewKey, root ? "setpriv --reuid=nobody --regid=nogroup --clear-groups " : "");
  EXPECT_EQ(run.status, 255);
  EXPECT_NE(run.output.find("Token <keys> could not generate the key pair: "), std::string::npos)
      << run.output;
  EXPECT_EQ(ObjectCount(), 0U);
  testsupport::RunCommand("chmod -R u+w " + dir);
}

}  // namespace
