#include "tests/key/key_on_sim.h"

#include "sim/wire.h"

#include <hidapi.h>

#include <atomic>
#include <functional>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

namespace {

using keysim::Bytes;
using Clock = std::chrono::steady_clock;

class U2FKey : public KeyOnSim {};

Bytes padded(Bytes b) {
  b.resize(64, 0);
  return b;
}

TEST_F(U2FKey, EveryRequestIsInitSelectThenTheCommandOnTheNewChannel) {
  auto key = first_key();
  ASSERT_TRUE(key);
  ByteBuffer serial;
  key->op_get_active(serial);
  EXPECT_EQ(serial, text("OT000001"));

  const auto out = sim.reports("key0", true);
  const auto in = sim.reports("key0", false);
  ASSERT_EQ(out.size(), 3u);
  ASSERT_EQ(in.size(), 3u);
  for (const Bytes& r : out) EXPECT_EQ(r.size(), 64u) << "every write is a full report";

  // INIT on the broadcast channel with an 8-byte nonce, which comes back.
  EXPECT_EQ(Bytes(out[0].begin(), out[0].begin() + 7), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x86, 0x00, 0x08}));
  EXPECT_EQ(Bytes(out[0].begin() + 15, out[0].end()), Bytes(49, 0));
  EXPECT_EQ(Bytes(in[0].begin() + 7, in[0].begin() + 15), Bytes(out[0].begin() + 7, out[0].begin() + 15));
  const Bytes cid(in[0].begin() + 15, in[0].begin() + 19);

  Bytes select = cid;
  select.insert(select.end(), {0x83, 0x00, 0x0E, 0x00, 0xA4, 0x04, 0x00, 0x09, 0xD1, 0x56, 0x00, 0x01, 0x32, 0x83,
                               0x26, 0x01, 0x01});
  EXPECT_EQ(out[1], padded(select));
  Bytes command = cid;
  command.insert(command.end(), {0x83, 0x00, 0x05, 0x00, 0xE6, 0x00, 0x00, 0x00});
  EXPECT_EQ(out[2], padded(command));

  const std::string text_log = log.read_log();
  for (const char* line : {"Allocate Channel", "Successfully allocate channel", "has header",
                           "-> Request package hex is ", "The whole U2F response package length is: 20",
                           "-> Parsed response:", "52 09 21 4f 54 30 30 30 30 30 31 ", "-> Response code:",
                           "90 00 ", "Instruction Succesfully", "[Done] get active"}) {
    EXPECT_NE(text_log.find(std::string(" INFO [default] ") + line + "\n"), std::string::npos) << line;
  }
}

TEST_F(U2FKey, EachOperationSendsItsBodyInOneFrame) {
  auto key = first_key();
  ASSERT_TRUE(key);
  ByteBuffer serial;
  std::vector<User> users;
  int digits = 0;
  const std::vector<std::pair<std::function<void()>, Bytes>> cases = {
      {[&] { key->op_get_user_info(users); }, {0x00, 0x17, 0x00, 0x00, 0x00}},
      {[&] { key->set_activate(text("OT000001")); },
       {0x00, 0xE5, 0x00, 0x00, 0x0A, 0x51, 0x08, 'O', 'T', '0', '0', '0', '0', '0', '1'}},
      {[&] { key->op_personlization(2, 1, 6, text("k"), text("S2")); },
       {0x00, 0x09, 0x00, 0x00, 0x0A, 0x53, 0x03, 0x02, 0x01, 0x06, 'k', 0x51, 0x02, 'S', '2'}},
      {[&] { key->op_get_otp(text("S2"), digits); }, {}},
  };
  for (const auto& [call, body] : cases) {
    sim.clear_reports();
    call();
    const auto out = sim.reports("key0", true);
    const auto in = sim.reports("key0", false);
    ASSERT_EQ(out.size(), 3u);
    const Bytes cid(in[0].begin() + 15, in[0].begin() + 19);
    EXPECT_EQ(Bytes(out[1].begin(), out[1].begin() + 4), cid);
    EXPECT_EQ(Bytes(out[2].begin(), out[2].begin() + 4), cid);
    EXPECT_EQ(out[2][4], 0x83);
    if (body.empty()) {
      EXPECT_EQ(Bytes(out[2].begin() + 5, out[2].begin() + 13), (Bytes{0x00, 0x13, 0x00, 0xA2, 0x01, 0x00, 0x0E, 0x54}));
      continue;
    }
    Bytes frame = {0x00, static_cast<std::uint8_t>(body.size())};
    frame.insert(frame.end(), body.begin(), body.end());
    EXPECT_EQ(Bytes(out[2].begin() + 5, out[2].begin() + 5 + static_cast<long>(frame.size())), frame);
  }
  EXPECT_EQ(digits, 6);
}

TEST_F(U2FKey, OperationsChangeTheKey) {
  auto key = first_key();
  ASSERT_TRUE(key);
  key->op_personlization(1, 2, 8, text("secret"), text("HOTP-2"));
  std::vector<User> users;
  key->op_get_user_info(users);
  ASSERT_EQ(users.size(), 2u);
  EXPECT_EQ(users[1].serial_number, text("HOTP-2"));
  EXPECT_EQ(users[1].algorithm, 1u);
  EXPECT_EQ(users[1].type, 2u);

  key->set_activate(text("HOTP-2"));
  ByteBuffer serial;
  key->op_get_active(serial);
  EXPECT_EQ(serial, text("HOTP-2"));
  EXPECT_EQ(outcome([&] { key->set_activate(text("NOPE")); }), "KeyException: resp_code exception: Wrong syntax");

  sim.clear_reports();
  key->switch_press_mode(true);
  key->switch_press_mode(false);
  const auto out = sim.reports("key0", true);
  ASSERT_EQ(out.size(), 6u);
  EXPECT_EQ(Bytes(out[2].begin() + 4, out[2].begin() + 14),
            (Bytes{0x83, 0x00, 0x06, 0x80, 0xE1, 0x05, 0x02, 0x01, 0x01, 0x00}));
  EXPECT_EQ(Bytes(out[5].begin() + 4, out[5].begin() + 14),
            (Bytes{0x83, 0x00, 0x06, 0x80, 0xE1, 0x05, 0x02, 0x01, 0x00, 0x00}));

  key->switch_press_mode(true);
  EXPECT_EQ(outcome([&] { key->op_get_active(serial); }), "KeyNoObjectException: No such object");
  EXPECT_EQ(sim.command("PRESS key0"), "OK key0 pressed");
  EXPECT_EQ(outcome([&] { key->op_get_active(serial); }), "ok");
}

TEST_F(U2FKey, CodesEqualOathtool) {
  auto key = first_key();
  ASSERT_TRUE(key);
  const bool have_oathtool = std::system("command -v oathtool >/dev/null 2>&1") == 0;
  for (std::uint64_t time : {59ull, 1111111109ull, 1234567890ull, 1700000015ull, 2000000000ull}) {
    ByteBuffer hcode;
    key->cal_hcode(text("OT000001"), hcode, time);
    int digits = 0;
    const std::uint32_t code = key->get_otp(hcode, digits);
    EXPECT_EQ(digits, 6);
    char shown[16];
    std::snprintf(shown, sizeof shown, "%06u", code);
    if (!have_oathtool) continue;
    const std::string command =
        "oathtool --totp -b -d 6 --now @" + std::to_string(time) + " GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    char expected[32] = {};
    ASSERT_TRUE(std::fgets(expected, sizeof expected, pipe.get()));
    EXPECT_EQ(std::string(shown) + "\n", expected) << time;
  }
  if (!have_oathtool) GTEST_SKIP() << "oathtool is not installed (scripts/install-deps installs it)";
  // The counter bytes on the wire for 1111111109: 00 00 00 00 02 35 23 EC.
  const auto out = sim.reports("key0", true);
  EXPECT_EQ(Bytes(out[5].begin() + 7, out[5].begin() + 22),
            (Bytes{0x00, 0xA2, 0x01, 0x00, 0x14, 0x54, 0x08, 0x00, 0x00, 0x00, 0x00, 0x02, 0x35, 0x23, 0xEC}));
}

TEST_F(U2FKey, TodaysCodeComesFromTheCurrentStep) {
  auto key = first_key();
  ASSERT_TRUE(key);
  int digits = 0;
  const auto before = std::chrono::system_clock::now();
  const std::uint32_t code = key->op_get_otp(text("OT000001"), digits);
  ByteBuffer hcode;
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(before.time_since_epoch()).count();
  key->cal_hcode(text("OT000001"), hcode, seconds);
  int same_digits = 0;
  const std::uint32_t expected = key->get_otp(hcode, same_digits);
  if (seconds / 30 == std::chrono::duration_cast<std::chrono::seconds>(
                          std::chrono::system_clock::now().time_since_epoch()).count() / 30) {
    EXPECT_EQ(code, expected);
  }
  EXPECT_EQ(digits, 6);
}

TEST_F(U2FKey, StatusWordsFromTheKey) {
  auto key = first_key();
  ASSERT_TRUE(key);
  const std::pair<const char*, const char*> cases[] = {
      {"6984", "KeyNoObjectException: No such object"},
      {"6A80", "KeyException: resp_code exception: Wrong syntax"},
      {"6110", "KeyException: resp_code exception: More data available"},
      {"6F00", "ok"},
      {"9000", "ok"},
  };
  for (const auto& [sw, expected] : cases) {
    ASSERT_EQ(sim.command(std::string("FAULT key0 status ") + sw).rfind("OK", 0), 0u);
    ByteBuffer serial = {1};
    EXPECT_EQ(outcome([&] { key->op_get_active(serial); }), expected) << sw;
  }
}

// One key per answer length: credential lists whose payload (records of 3 + serial bytes, then
// the status word) lands on the packet boundaries, and one far past 255 bytes.
const std::vector<std::vector<int>> list_cases = {
    {29, 20}, {29, 21}, {25, 25, 26, 26}, {25, 26, 26, 26}, std::vector<int>(16, 32)};

std::string serial_of(std::size_t key, std::size_t n, int length) {
  std::string s = "k" + std::to_string(key) + "c" + std::to_string(n) + "-";
  s.resize(static_cast<std::size_t>(length), 'x');
  return s;
}

std::string long_lists_config() {
  std::string json = R"({"keys": [)";
  for (std::size_t k = 0; k < list_cases.size(); ++k) {
    json += std::string(k ? "," : "") + R"({"id": "list)" + std::to_string(k) + R"(", "product_id": 2136, "credentials": [)";
    for (std::size_t n = 0; n < list_cases[k].size(); ++n) {
      json += std::string(n ? "," : "") + R"({"serial": ")" + serial_of(k, n, list_cases[k][n]) +
              R"(", "algorithm": 2, "hash": 1, "secret": "ME"})";
    }
    json += "]}";
  }
  return json + "]}";
}

class LongLists : public KeyOnSim {
 protected:
  LongLists() : KeyOnSim(long_lists_config()) {}
};

TEST_F(LongLists, MultiPacketAnswersAtTheBoundariesArriveWhole) {
  std::vector<std::shared_ptr<OTPUsbKey>> otp;
  std::vector<std::shared_ptr<U2FUsbKey>> keys;
  HID().find_device(orvalin_vendor_id, otp, keys);
  ASSERT_EQ(keys.size(), list_cases.size());
  const std::size_t payloads[] = {57, 58, 116, 117, 16 * 35 + 2};
  const std::size_t reports[] = {1, 2, 2, 3, 10};
  for (std::size_t k = 0; k < keys.size(); ++k) {
    sim.clear_reports();
    std::vector<User> users;
    keys[k]->op_get_user_info(users);
    ASSERT_EQ(users.size(), list_cases[k].size()) << k;
    for (std::size_t n = 0; n < users.size(); ++n) {
      const std::string serial = serial_of(k, n, list_cases[k][n]);
      EXPECT_EQ(users[n].serial_number, text(serial)) << k << " " << n;
      EXPECT_EQ(users[n].algorithm, 2u);
    }
    const auto in = sim.reports("list" + std::to_string(k), false);
    ASSERT_EQ(in.size(), 2 + reports[k]) << "INIT, SELECT, then the list";
    EXPECT_EQ((std::size_t{in[2][5]} << 8) | in[2][6], payloads[k]);
  }
}

}  // namespace
