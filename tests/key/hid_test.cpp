// Discovery over libhidapi-keysim: what it opens, what it skips, and what it logs.
#include "tests/key/key_on_sim.h"

#include <cstdlib>

namespace {

const char* const mixed_config = R"({"keys": [
  {"id": "foreign", "vendor_id": 4660, "product_id": 1},
  {"id": "withkbd", "product_id": 2136, "interfaces": ["keyboard", "fido"]},
  {"id": "twofido", "product_id": 2137, "interfaces": 2},
  {"id": "gone", "product_id": 2138, "plugged": false},
  {"id": "locked", "product_id": 2139, "openable": false}]})";

class Discovery : public KeyOnSim {
 protected:
  Discovery() : KeyOnSim(mixed_config) {}
};

TEST_F(Discovery, OpensEveryFidoInterfaceOfTheVendorInOrderAndAppends) {
  auto existing_otp = std::make_shared<OTPUsbKey>();
  std::vector<std::shared_ptr<OTPUsbKey>> otp = {existing_otp};
  std::vector<std::shared_ptr<U2FUsbKey>> keys = {nullptr};
  HID().find_device(orvalin_vendor_id, otp, keys);
  ASSERT_EQ(otp.size(), 1u);
  EXPECT_EQ(otp[0], existing_otp);
  ASSERT_EQ(keys.size(), 4u) << "one existing entry, then three FIDO interfaces";
  EXPECT_EQ(keys[0], nullptr);
  for (std::size_t i = 1; i < keys.size(); ++i) EXPECT_TRUE(keys[i]->is_alive());

  // Each key has its own handle: the interfaces answer on their own.
  sim.clear_reports();
  for (std::size_t i = 1; i < keys.size(); ++i) {
    std::vector<User> users;
    EXPECT_EQ(outcome([&] { keys[i]->op_get_user_info(users); }), "ok");
  }
  EXPECT_EQ(requests("withkbd"), 3u);
  EXPECT_EQ(requests("twofido"), 6u);

  const std::string text = log.read_log();
  EXPECT_NE(text.find(" INFO [default] Device Found\nvendor id: 1234   product id: 1\npath: keysim:foreign:0\n"),
            std::string::npos);
  EXPECT_NE(text.find(" INFO [default] Device Found\nvendor id: 96e   product id: 858\npath: keysim:withkbd:0\n"),
            std::string::npos);
  EXPECT_NE(text.find("path: keysim:twofido:1\n"), std::string::npos);
  EXPECT_EQ(text.find("keysim:gone"), std::string::npos);
  EXPECT_EQ(occurrences(text, "Opening Orvalin handle"), 3u);
}

TEST_F(Discovery, AnotherVendorAloneGivesNoKey) {
  std::vector<std::shared_ptr<OTPUsbKey>> otp;
  std::vector<std::shared_ptr<U2FUsbKey>> keys;
  HID().find_device(0x4321, otp, keys);
  EXPECT_TRUE(keys.empty());
  EXPECT_EQ(log.read_log().find("Orvalin handle"), std::string::npos);
}

TEST_F(Discovery, AKeyThatWillNotOpenIsLoggedAndSkipped) {
  EXPECT_EQ(sim.command("UNPLUG withkbd"), "OK withkbd unplugged");
  EXPECT_EQ(sim.command("UNPLUG twofido"), "OK twofido unplugged");
  std::vector<std::shared_ptr<OTPUsbKey>> otp;
  std::vector<std::shared_ptr<U2FUsbKey>> keys;
  HID().find_device(orvalin_vendor_id, otp, keys);
  EXPECT_TRUE(keys.empty());
  EXPECT_NE(log.read_log().find("path: keysim:locked:0\n" ), std::string::npos);
  EXPECT_NE(log.read_log().find(" INFO [default] Failed to open Orvalin handle\n"), std::string::npos);
}

TEST(DiscoveryWithoutServer, LeavesTheListsAlone) {
  TempLog log;
  log.setup_quiet();
  ::setenv("KEYSIM_SOCKET", "/nonexistent/keysim.sock", 1);
  std::vector<std::shared_ptr<OTPUsbKey>> otp;
  std::vector<std::shared_ptr<U2FUsbKey>> keys = {nullptr};
  HID().find_device(orvalin_vendor_id, otp, keys);
  EXPECT_EQ(keys.size(), 1u);
  EXPECT_TRUE(otp.empty());
  EXPECT_EQ(log.read_log().find("Device Found"), std::string::npos);
}

}  // namespace
