// The key layer against the simulated key, over real U2F HID framing and a real socket.
#include "tests/support/sim_server.h"

#include "key/key_exception.h"

namespace {

using keysim::Bytes;

const char* const many_credentials = R"({"keys": [{"id": "key0", "product_id": 2136, "press_mode_supported": true,
  "active": "OT000001", "credentials": [
  {"serial": "OT000001", "algorithm": 2, "hash": 1, "secret": "GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ"},
  {"serial": "SHA1-8", "algorithm": 2, "hash": 1, "digits": 8, "secret": "GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ"},
  {"serial": "SHA256-8", "algorithm": 2, "hash": 2, "digits": 8,
   "secret": "GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQGEZA"},
  {"serial": "A-SERIAL-FOR-A-TWO-PACKET-LIST", "algorithm": 2, "hash": 1, "secret": "ME"}]}]})";

class Key : public OnSim {
 protected:
  Key() : OnSim(many_credentials) {}
  void SetUp() override {
    key = first_key_found();
    ASSERT_TRUE(key);
  }
  std::shared_ptr<U2FUsbKey> key;
};

// Every request is INIT on the broadcast channel, SELECT of the key's application on the new
// channel, then the command's body there, each in one full report. The key takes each: S2 is
// made active once personalized, and its code computed.
TEST_F(Key, EachOperationSendsItsBodyOnAFreshChannel) {
  ByteBuffer hcode, serial;
  const std::vector<std::pair<std::function<void()>, Bytes>> cases = {
      {[&] { key->op_get_active(serial); }, {0x00, 0xE6, 0x00, 0x00, 0x00}},
      {[&] { key->op_personlization(1, 2, 8, text("k"), text("S2")); },
       {0x00, 0x09, 0x00, 0x00, 0x0A, 0x53, 0x03, 0x01, 0x02, 0x08, 'k', 0x51, 0x02, 'S', '2'}},
      {[&] { key->set_activate(text("S2")); }, {0x00, 0xE5, 0x00, 0x00, 0x04, 0x51, 0x02, 'S', '2'}},
      {[&] { key->cal_hcode(text("S2"), hcode, 1111111109); },
       {0x00, 0xA2, 0x01, 0x00, 0x0E, 0x54, 0x08, 0, 0, 0, 0, 0x02, 0x35, 0x23, 0xEC, 0x51, 0x02, 'S', '2'}},
      {[&] { key->switch_press_mode(true); }, {0x80, 0xE1, 0x05, 0x02, 0x01, 0x01}},
      {[&] { key->switch_press_mode(false); }, {0x80, 0xE1, 0x05, 0x02, 0x01, 0x00}},
  };
  for (const auto& [call, body] : cases) {
    sim.clear_reports();
    call();
    const auto out = sim.reports("key0", true), in = sim.reports("key0", false);
    ASSERT_EQ(out.size(), 3u);
    for (const Bytes& r : out) EXPECT_EQ(r.size(), 64u) << "every write is a full report";
    EXPECT_EQ(Bytes(out[0].begin(), out[0].begin() + 7), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x86, 0x00, 0x08}));
    EXPECT_EQ(Bytes(in[0].begin() + 7, in[0].begin() + 15), Bytes(out[0].begin() + 7, out[0].begin() + 15)) << "nonce";
    Bytes select(in[0].begin() + 15, in[0].begin() + 19), command = select;
    select.insert(select.end(), {0x83, 0x00, 0x0E, 0x00, 0xA4, 0x04, 0x00, 0x09, 0xD1, 0x56, 0x00, 0x01, 0x32, 0x83, 0x26, 0x01, 0x01});
    command.insert(command.end(), {0x83, 0x00, static_cast<std::uint8_t>(body.size())});
    command.insert(command.end(), body.begin(), body.end());
    select.resize(64);
    command.resize(64);
    EXPECT_EQ(out[1], select);
    EXPECT_EQ(out[2], command);
  }
  EXPECT_NE(log.read_log().find(" INFO [default] 52 09 21 4f 54 30 30 30 30 30 31 "), std::string::npos);
  sim.clear_reports();
  EXPECT_EQ(outcome([&] { key->set_activate(ByteBuffer(51, 's')); }),
            "KeyException: Request body of 58 bytes does not fit one report");
  EXPECT_EQ(requests("key0"), 0u);

  // The liveness probe is one all-zero report, and a closed key sends nothing at all.
  sim.clear_reports();
  EXPECT_TRUE(key->is_alive());
  EXPECT_EQ(outcome([&] { key->op_get_active(serial); }), "ok");
  EXPECT_EQ(sim.reports("key0", true).at(0), Bytes(64, 0));
  key->close();
  key->close();
  EXPECT_FALSE(key->is_alive());
  EXPECT_EQ(outcome([&] { key->op_get_active(serial); }), "KeyAccessException: U2F usb key is closed");
  EXPECT_EQ(requests("key0"), 3u);
}

TEST_F(Key, CodesEqualTheReferenceVectors) {
  // RFC 6238 appendix B, 8 digits, SHA-1 and SHA-256.
  const std::tuple<std::uint64_t, std::uint32_t, std::uint32_t> vectors[] = {
      {59, 94287082, 46119246}, {1111111109, 7081804, 68084774}, {1234567890, 89005924, 91819424},
      {2000000000, 69279037, 90698825}, {20000000000, 65353130, 77737706}};
  int digits = 0;
  for (const auto& [time, sha1, sha256] : vectors) {
    ByteBuffer hcode;
    key->cal_hcode(text("SHA1-8"), hcode, time);
    EXPECT_EQ(key->get_otp(hcode, digits), sha1) << time;
    EXPECT_EQ(digits, 8);
    key->cal_hcode(text("SHA256-8"), hcode, time);
    EXPECT_EQ(key->get_otp(hcode, digits), sha256) << time;
  }
}

TEST_F(Key, StatusWordsFromTheKey) {
  const std::string error = "KeyException: resp_code exception: ";
  // A word of the table (6A80 twice there: the first row wins), the one that asks for a touch, those outside it.
  const std::pair<const char*, std::string> cases[] = {
      {"9000", "ok"}, {"6A80", error + "Wrong syntax"}, {"6984", "KeyNoObjectException: No such object"},
      {"6110", error + "More data available"}, {"6F00", error + "Unknown status word 6F00"},
      {"64A1", error + "Unknown status word 64A1"}, {"0000", error + "Unknown status word 0000"},
      {"9001", error + "Unknown status word 9001"}, {"7FFF", error + "Unknown status word 7FFF"},
      {"A000", error + "Unknown status word A000"},
      {"6283", "ok"}, {"6310", "ok"},  // ISO 7816 warnings, logged as such
  };
  for (const auto& [sw, expected] : cases) {
    arm(std::string("status ") + sw);
    ByteBuffer serial;
    EXPECT_EQ(outcome([&] { key->op_get_active(serial); }), expected) << sw;
  }
  EXPECT_NE(log.read_log().find(" WARNING [default] The key answered with the warning status word 6310\n"), std::string::npos);

  // A key whose OTP application refuses SELECT is not asked the command at all.
  for (const char* sw : {"6A82", "9001"}) {
    arm(std::string("select-status ") + sw);
    sim.clear_reports();
    ByteBuffer serial;
    EXPECT_EQ(outcome([&] { key->op_get_active(serial); }),
              "KeyException: The key's OTP application did not answer SELECT (status word " + std::string(sw) + ")");
    EXPECT_EQ(sim.reports("key0", true).size(), 2u) << "INIT and SELECT only";
  }
}

// Every fault of a key ends in its outcome, and the key answers again afterwards. The list of
// credentials takes two packets, so the faults on continuation packets apply.
TEST_F(Key, FaultsEndInTheirOutcomeAndTheKeyRecovers) {
  struct Case {
    const char* fault;
    std::string expected;
    ExchangeLimits limits;
  };
  const ExchangeLimits quick{std::chrono::milliseconds(300), std::chrono::seconds(30)};
  // Refused at once, so a key layer that waited would run into the test's time-out.
  const ExchangeLimits never{std::chrono::seconds(600), std::chrono::seconds(600)};
  const std::string malformed = "KeyException: resp_code exception: Malformed response";
  const std::string no_channel = "KeyException: Error in AllocateChannel", no_answer = "KeyAccessException: U2F usb key sending command";
  const Case cases[] = {
      {"bad-nonce", no_channel, never}, {"short-init", no_channel, never}, {"init-error 06", no_channel, never},
      {"silent", no_answer, quick}, {"bad-length", malformed, never}, {"bad-length 0xFF", malformed, quick},
      {"bad-length 7610", "KeyException: U2F response of 7610 bytes is longer than any U2F HID message", never},
      {"truncate", malformed, quick},
      {"out-of-sequence", "KeyException: U2F continuation packet out of sequence: expected 0, got 1", never},
      {"error 06", "KeyException: U2F HID error packet 0x06 (channel busy)", never},
      {"error 06 7", "KeyException: U2F HID error packet without a code", never},
      {"foreign-report", "ok", never}, {"stale 5", "ok", never},
      {"keepalive 15", "ok", {std::chrono::milliseconds(1000), std::chrono::seconds(30)}}, {"keepalive 2 2", "ok", never},
      {"keepalive 20", "KeyAccessException: U2F usb key kept the exchange waiting too long",
       {std::chrono::milliseconds(2000), std::chrono::milliseconds(1000)}},
      // Answers that never end: the whole exchange is bounded, not only each wait.
      {"endless-keepalive", "KeyAccessException: U2F usb key kept the exchange waiting too long",
       {std::chrono::milliseconds(2000), std::chrono::milliseconds(500)}},
      {"empty-continuation", "KeyException: U2F continuation packet of 5 bytes carries no data", never},
      {"remove", no_answer, never},
  };
  for (const Case& c : cases) {
    arm(c.fault);
    key->set_limits(c.limits);
    std::vector<User> users;
    EXPECT_EQ(outcome([&] { key->op_get_user_info(users); }), c.expected) << c.fault;
    EXPECT_EQ(users.size(), c.expected == "ok" ? 4u : 0u) << c.fault;
    if (std::string(c.fault) == "remove") break;
    users.clear();
    key->set_limits(never);
    EXPECT_EQ(outcome([&] { key->op_get_user_info(users); }), "ok") << "after " << c.fault;
  }
  EXPECT_FALSE(key->is_alive());
  const std::string text = log.read_log();
  EXPECT_EQ(occurrences(text, " INFO [default] The key is waiting for a touch\n"), 1u);
  EXPECT_NE(text.find(" ERROR [default] [Error detail]: Allocate channel\n"), std::string::npos);
  EXPECT_NE(text.find("Key Exception (Error in AllocateChannel) occurs at key/u2f_usbkey.cpp:"), std::string::npos);
}

// What the command layer makes of what a key may answer: records, digit counts, bad values.
TEST_F(Key, AnswersAreReadWithinTheirData) {
  const auto active = [&] {
    ByteBuffer serial;
    key->op_get_active(serial);
    return std::string(serial.begin(), serial.end());
  };
  const auto list = [&] {
    std::vector<User> users;
    key->op_get_user_info(users);
    std::string all;
    for (const User& u : users) all += std::string(u.serial_number.begin(), u.serial_number.end()) + "/" +
                                       std::to_string(u.algorithm) + std::to_string(u.type) + " ";
    return all;
  };
  const auto code = [&] {
    int digits = -1;
    const std::uint32_t value = key->op_get_otp(text("OT000001"), digits);
    return std::to_string(value) + "/" + std::to_string(digits);
  };
  const std::tuple<const char*, std::function<std::string()>, std::string> cases[] = {
      {"52052141424344", active, "ABCD"}, {"5205", active, ""}, {"414243", active, "ABC"},
      {"5203213132520112", list, "12/21 /12 "},
      {"4103217879", list, ""},                // not a record
      {"52022161520021", list, "a/21 "},       // L = 0
      {"5202216152092162", list, "a/21 "},     // past the end
      {"520221615202", list, "a/21 "},         // header cut short
      {"00000612345678", code, "419896/6"}, {"00000812345678", code, "5419896/8"},
      {"0000060112345678", code, "419896/6"}, {"000006", code, "0/6"}, {"000000FFFF", code, "0/0"},
      {"000009FFFFFFFF", code, "294967295/9"},
      {"00000A12", code, "KeyException: otp's hcode is wrong"}, {"0006", code, "KeyException: otp's hcode is wrong"},
  };
  for (const auto& [answer, read, expected] : cases) {
    arm(std::string("answer ") + answer);
    std::string got;
    const std::string result = outcome([&, &read = read] { got = read(); });
    EXPECT_EQ(result == "ok" ? got : result, expected) << answer;
  }
  EXPECT_NE(log.read_log().find("WARNING [default] Malformed credential list at offset 4"), std::string::npos);
}

// Lists whose payload (records of 3 + serial bytes, then the status word) lands on the packet
// boundaries: 57, 58, 116, 117 bytes, and one of ten packets.
TEST(KeyLists, MultiPacketAnswersAtTheBoundariesArriveWhole) {
  const std::vector<std::vector<int>> lists = {{29, 20}, {29, 21}, {25, 25, 26, 26}, {25, 26, 26, 26}, std::vector<int>(16, 32)};
  std::string json = R"({"keys": [)";
  for (std::size_t k = 0; k < lists.size(); ++k) {
    json += std::string(k ? "," : "") + R"({"id": "list)" + std::to_string(k) + R"(", "product_id": 2136, "credentials": [)";
    for (std::size_t n = 0; n < lists[k].size(); ++n)
      json += std::string(n ? "," : "") + R"({"serial": ")" + std::string(lists[k][n], char('a' + n)) +
              R"(", "algorithm": 2, "hash": 1, "secret": "ME"})";
    json += "]}";
  }
  TempLog log;
  log.setup_quiet();
  SimServer sim(json + "]}");
  std::vector<std::shared_ptr<OTPUsbKey>> otp;
  std::vector<std::shared_ptr<U2FUsbKey>> keys;
  HID().find_device(orvalin_vendor_id, otp, keys);
  ASSERT_EQ(keys.size(), lists.size());
  for (std::size_t k = 0; k < keys.size(); ++k) {
    std::vector<User> users;
    keys[k]->op_get_user_info(users);
    ASSERT_EQ(users.size(), lists[k].size()) << k;
    for (std::size_t n = 0; n < users.size(); ++n) EXPECT_EQ(users[n].serial_number, text(std::string(lists[k][n], char('a' + n))));
  }
  EXPECT_EQ(sim.reports("list4", false).size(), 2u + 10u) << "INIT, SELECT, then ten packets";
}

TEST(Discovery, OpensEveryFidoInterfaceOfTheVendorInOrderAndNamesTheOthers) {
  TempLog log;
  log.setup_quiet();
  SimServer sim(R"({"keys": [{"id": "foreign", "vendor_id": 4660, "product_id": 1},
    {"id": "withkbd", "product_id": 2136, "interfaces": ["keyboard", "fido"]}, {"id": "twofido", "product_id": 2137, "interfaces": 2},
    {"id": "gone", "product_id": 2138, "plugged": false}, {"id": "locked", "product_id": 2139, "openable": false}]})");
  std::vector<std::shared_ptr<OTPUsbKey>> otp;
  std::vector<std::shared_ptr<U2FUsbKey>> keys = {nullptr};
  std::vector<KeyInterface> seen;
  HID().find_device(orvalin_vendor_id, otp, keys, &seen);
  std::string interfaces;
  for (const KeyInterface& i : seen) interfaces += i.path + " " + std::to_string(i.product_id) + (i.opened ? " ok\n" : " no\n");
  EXPECT_EQ(interfaces, "keysim:withkbd:1 2136 ok\nkeysim:twofido:0 2137 ok\nkeysim:twofido:1 2137 ok\nkeysim:locked:0 2139 no\n");
  ASSERT_EQ(keys.size(), 4u) << "appended to what was there";
  std::vector<User> users;
  EXPECT_EQ(outcome([&] { keys[1]->op_get_user_info(users); }), "ok");
}

}  // namespace
