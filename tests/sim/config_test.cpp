#include "sim/config.h"

#include <gtest/gtest.h>

namespace {

std::string error_of(const std::string& json) {
  std::vector<keysim::KeyConfig> keys;
  std::string error;
  EXPECT_FALSE(keysim::parse_config(json, keys, error)) << json;
  return error;
}

std::string key_with(const std::string& fields) {
  return R"({"keys": [{"id": "k1", "product_id": 2136, )" + fields + "}]}";
}

TEST(Config, SampleConfigLoads) {
  std::vector<keysim::KeyConfig> keys;
  std::string error;
  ASSERT_TRUE(keysim::load_config(SAMPLE_CONFIG, keys, error)) << error;
  ASSERT_EQ(keys.size(), 1u);
  const keysim::KeyConfig& key = keys[0];
  EXPECT_EQ(key.id, "key0");
  EXPECT_EQ(key.vendor_id, 0x096E);
  EXPECT_EQ(key.product_id, 2136);
  EXPECT_EQ(key.interfaces, std::vector<bool>{true});
  EXPECT_TRUE(key.plugged);
  EXPECT_TRUE(key.applet.press_mode_supported);
  EXPECT_FALSE(key.applet.press_mode);
  EXPECT_EQ(key.applet.active, "OT000001");
  ASSERT_EQ(key.applet.credentials.size(), 1u);
  EXPECT_EQ(key.applet.credentials[0].secret, keysim::Bytes(std::begin("12345678901234567890"),
                                                             std::end("12345678901234567890") - 1));
}

TEST(Config, InterfaceKindsAndDefaults) {
  std::vector<keysim::KeyConfig> keys;
  std::string error;
  ASSERT_TRUE(keysim::parse_config(key_with(R"("vendor_id": 4660, "interfaces": ["keyboard", "fido"])"), keys, error))
      << error;
  EXPECT_EQ(keys[0].vendor_id, 0x1234);
  EXPECT_EQ(keys[0].interfaces, (std::vector<bool>{false, true}));
  EXPECT_TRUE(keys[0].applet.credentials.empty());
  EXPECT_FALSE(keys[0].applet.press_mode_supported);
}

TEST(Config, ErrorsNameTheKeyAndTheField) {
  EXPECT_NE(error_of("{").find("not JSON"), std::string::npos);
  EXPECT_NE(error_of(R"({"keys": 3})").find("\"keys\""), std::string::npos);
  EXPECT_EQ(error_of(R"({"keys": [{"product_id": 1}]})"), "key #1: field id: must be a non-empty string");
  EXPECT_EQ(error_of(R"({"keys": [{"id": "k1"}]})"), "key k1: field product_id: missing");
  EXPECT_EQ(error_of(key_with(R"("interfaces": 0)")), "key k1: field interfaces: must be a whole number from 1 to 8");
  EXPECT_EQ(error_of(key_with(R"("interfaces": ["mouse"])")),
            "key k1: field interfaces: kinds are \"fido\" or \"keyboard\"");
  EXPECT_EQ(error_of(key_with(R"("press_mode": true)")),
            "key k1: field press_mode: is on for a key without press_mode_supported");
  EXPECT_EQ(error_of(key_with(R"("active": "X")")), "key k1: field active: names no credential of this key");
  EXPECT_EQ(error_of(key_with(R"("credentials": [{"serial": "S", "algorithm": 2, "hash": 1, "secret": "1!"}])")),
            "key k1: credentials[0]: field secret: must be base32 (RFC 4648)");
  EXPECT_EQ(error_of(key_with(R"("credentials": [{"serial": "S", "algorithm": 3, "hash": 1, "secret": "ME"}])")),
            "key k1: credentials[0]: field algorithm: must be a whole number from 1 to 2");
  EXPECT_EQ(error_of(key_with(R"("product_id": 70000)")).rfind("key k1: field product_id", 0), 0u);
  EXPECT_EQ(error_of(R"({"keys": [{"id": "a", "product_id": 1}, {"id": "a", "product_id": 2}]})"),
            "key a: field id: appears twice");
}

}  // namespace
