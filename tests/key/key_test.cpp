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

// Limits no exchange of a test reaches: a key layer that waited where it should refuse at once
// would run into the test's time-out.
const ExchangeLimits never{std::chrono::seconds(600), std::chrono::seconds(600)};

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
// made active once personalized, and its code computed. A body too long for one report, and a
// key whose OTP application refuses SELECT, are not asked the command at all.
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
    EXPECT_EQ(Bytes(out[0].begin(), out[0].begin() + 7), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x86, 0x00, 0x08}));
    // The full report that carries message on the channel that INIT allocated.
    const auto on_channel = [&](Bytes message) {
      message.insert(message.begin(), {in[0][15], in[0][16], in[0][17], in[0][18], 0x83, 0x00, static_cast<std::uint8_t>(message.size())});
      message.resize(64);
      return message;
    };
    EXPECT_EQ(out[1], on_channel({0x00, 0xA4, 0x04, 0x00, 0x09, 0xD1, 0x56, 0x00, 0x01, 0x32, 0x83, 0x26, 0x01, 0x01}));
    EXPECT_EQ(out[2], on_channel(body));
  }
  EXPECT_NE(log.read_log().find(" INFO [default] 52 09 21 4f 54 30 30 30 30 30 31 "), std::string::npos);
  sim.clear_reports();
  EXPECT_EQ(outcome([&] { key->set_activate(ByteBuffer(51, 's')); }),
            "KeyException: Request body of 58 bytes does not fit one report");
  EXPECT_EQ(requests("key0"), 0u);
  for (const char* sw : {"6A82", "9001"}) {
    arm(std::string("select-status ") + sw);
    sim.clear_reports();
    EXPECT_EQ(outcome([&] { key->op_get_active(serial); }),
              "KeyException: The key's OTP application did not answer SELECT (status word " + std::string(sw) + ")");
    EXPECT_EQ(requests("key0"), 2u) << "INIT and SELECT only";
  }

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

// RFC 6238 appendix B, 8 digits, SHA-1 and SHA-256.
TEST_F(Key, CodesEqualTheReferenceVectors) {
  const std::tuple<std::uint64_t, std::uint32_t, std::uint32_t> vectors[] = {
      {59, 94287082, 46119246}, {1111111109, 7081804, 68084774}, {1234567890, 89005924, 91819424},
      {2000000000, 69279037, 90698825}, {20000000000, 65353130, 77737706}};
  for (const auto& [time, sha1, sha256] : vectors) {
    int digits = 0;
    EXPECT_EQ(key->op_get_otp(text("SHA1-8"), digits, time), sha1) << time;
    EXPECT_EQ(key->op_get_otp(text("SHA256-8"), digits, time), sha256) << time;
  }
}

// What the key layer makes of whatever a key answers, and of every fault of a key; the key
// answers again afterwards. Status words: 6A80 stands twice in the table (the first row wins),
// 62 xx and 63 xx are ISO 7816 warnings, logged as such. The fixture's list takes two packets, so
// the faults on continuation packets apply to it.
TEST_F(Key, EveryAnswerAndFaultEndsInItsOutcomeAndTheKeyAnswersAgain) {
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
  struct Case {
    std::string fault;
    std::function<std::string()> read;
    std::string expected;
    ExchangeLimits limits = never;
  };
  const ExchangeLimits quick{std::chrono::milliseconds(300), std::chrono::seconds(30)};
  const std::string whole_list = "OT000001/21 SHA1-8/21 SHA256-8/22 A-SERIAL-FOR-A-TWO-PACKET-LIST/21 ";
  const std::string word = "KeyException: resp_code exception: ", malformed = word + "Malformed response";
  const std::string no_channel = "KeyException: Error in AllocateChannel", no_answer = "KeyAccessException: U2F usb key sending command";
  const Case cases[] = {
      {"status 9000", active, ""}, {"status 6283", active, ""}, {"status 6310", active, ""},
      {"status 6A80", active, word + "Wrong syntax"}, {"status 6984", active, "KeyNoObjectException: No such object"},
      {"status 6110", active, word + "More data available"}, {"status 6F00", active, word + "Unknown status word 6F00"},
      {"status 64A1", active, word + "Unknown status word 64A1"}, {"status 0000", active, word + "Unknown status word 0000"},
      {"status 9001", active, word + "Unknown status word 9001"}, {"status 7FFF", active, word + "Unknown status word 7FFF"},
      {"status A000", active, word + "Unknown status word A000"},
      {"answer 52052141424344", active, "ABCD"}, {"answer 5205", active, ""}, {"answer 414243", active, "ABC"},
      {"answer 5203213132520112", list, "12/21 /12 "},
      {"answer 4103217879", list, ""},             // not a record
      {"answer 52022161520021", list, "a/21 "},    // L = 0
      {"answer 5202216152092162", list, "a/21 "},  // past the end
      {"answer 520221615202", list, "a/21 "},      // header cut short
      {"answer 00000612345678", code, "419896/6"}, {"answer 00000812345678", code, "5419896/8"},
      {"answer 0000060112345678", code, "419896/6"}, {"answer 000006", code, "0/6"}, {"answer 000000FFFF", code, "0/0"},
      {"answer 000009FFFFFFFF", code, "294967295/9"},
      {"answer 00000A12", code, "KeyException: otp's hcode is wrong"}, {"answer 0006", code, "KeyException: otp's hcode is wrong"},
      {"bad-nonce", list, no_channel}, {"short-init", list, no_channel}, {"init-error 06", list, no_channel},
      {"silent", list, no_answer, quick}, {"bad-length", list, malformed}, {"bad-length 0xFF", list, malformed, quick},
      {"bad-length 7610", list, "KeyException: U2F response of 7610 bytes is longer than any U2F HID message"},
      {"truncate", list, malformed, quick},
      {"out-of-sequence", list, "KeyException: U2F continuation packet out of sequence: expected 0, got 1"},
      {"error 06", list, "KeyException: U2F HID error packet 0x06 (channel busy)"},
      {"error 06 7", list, "KeyException: U2F HID error packet without a code"},
      {"foreign-report", list, whole_list}, {"stale 5", list, whole_list}, {"keepalive 2 2", list, whole_list},
      {"keepalive 15", list, whole_list, {std::chrono::milliseconds(1000), std::chrono::seconds(30)}},
      // Keep-alives without end: the whole exchange is bounded, not only each wait.
      {"endless-keepalive", list, "KeyAccessException: U2F usb key kept the exchange waiting too long",
       {std::chrono::milliseconds(2000), std::chrono::milliseconds(500)}},
      {"empty-continuation", list, "KeyException: U2F continuation packet of 5 bytes carries no data"},
      {"remove", list, no_answer},
  };
  for (const Case& c : cases) {
    arm(c.fault);
    key->set_limits(c.limits);
    std::string got;
    const std::string result = outcome([&] { got = c.read(); });
    EXPECT_EQ(result == "ok" ? got : result, c.expected) << c.fault;
    if (c.fault == "remove") break;
    key->set_limits(never);
    EXPECT_EQ(outcome([&] { list(); }), "ok") << "after " << c.fault;
  }
  EXPECT_FALSE(key->is_alive());
  const std::string logged = log.read_log();
  EXPECT_NE(logged.find(" WARNING [default] The key answered with the warning status word 6310\n"), std::string::npos);
  EXPECT_NE(logged.find(" WARNING [default] Malformed credential list at offset 4"), std::string::npos);
  EXPECT_EQ(occurrences(logged, " INFO [default] The key is waiting for a touch\n"), 1u);
  EXPECT_NE(logged.find("Key Exception (Error in AllocateChannel) occurs at key/u2f_usbkey.cpp:"), std::string::npos);
}

// Discovery opens every FIDO interface of the vendor, in order, and names those that do not open.
// Each listN key has a keyboard interface before its FIDO one, and a list whose payload (records
// of 3 + serial bytes, then the status word) lands on the packet boundaries: 57, 58, 116, 117
// bytes, and one of ten packets.
TEST(Discovery, OpensEveryFidoInterfaceOfTheVendorInOrderAndItsListsArriveWholeAtEveryPacketBoundary) {
  const std::vector<std::vector<int>> lists = {{29, 20}, {29, 21}, {25, 25, 26, 26}, {25, 26, 26, 26}, std::vector<int>(16, 32)};
  std::string json = R"({"keys": [{"id": "foreign", "vendor_id": 4660, "product_id": 1}, {"id": "twofido", "product_id": 2137,
    "interfaces": 2}, {"id": "gone", "product_id": 2138, "plugged": false}, {"id": "locked", "product_id": 2139, "openable": false})";
  std::string expected = "keysim:twofido:0 2137 twofido ok\nkeysim:twofido:1 2137 twofido ok\nkeysim:locked:0 2139 locked no\n";
  for (std::size_t k = 0; k < lists.size(); ++k) {
    json += R"(, {"id": "list)" + std::to_string(k) + R"(", "product_id": 2136, "interfaces": ["keyboard", "fido"], "credentials": [)";
    for (std::size_t n = 0; n < lists[k].size(); ++n)
      json += std::string(n ? "," : "") + R"({"serial": ")" + std::string(lists[k][n], char('a' + n)) +
              R"(", "algorithm": 2, "hash": 1, "secret": "ME"})";
    json += "]}";
    expected += "keysim:list" + std::to_string(k) + ":1 2136 list" + std::to_string(k) + " ok\n";
  }
  TempLog log;
  log.setup_quiet();
  SimServer sim(json + "]}");
  const std::vector<FoundKey> found = HID().find_device(orvalin_vendor_id);
  std::string interfaces;
  for (const auto& [i, key] : found)
    interfaces += i.path + " " + std::to_string(i.product_id) + " " + std::string(i.usb_serial.begin(), i.usb_serial.end()) +
                  (i.access == KeyAccess::opened && key ? " ok\n" : " no\n");
  EXPECT_EQ(interfaces, expected);
  ASSERT_EQ(found.size(), 3u + lists.size());
  for (std::size_t k = 0; k < lists.size(); ++k) {
    std::vector<User> users;
    found[3 + k].key->op_get_user_info(users);
    ASSERT_EQ(users.size(), lists[k].size()) << k;
    for (std::size_t n = 0; n < users.size(); ++n) EXPECT_EQ(users[n].serial_number, text(std::string(lists[k][n], char('a' + n))));
  }
  EXPECT_EQ(sim.reports("list4", false).size(), 2u + 10u) << "INIT, SELECT, then ten packets";
}

}  // namespace
