#include "tests/sim/sim_fixture.h"

namespace {

using host::Bytes;

class Applet : public SimKeyTest {
 protected:
  static Bytes compute(const std::string& serial, std::uint64_t counter) {
    Bytes c = {0x00, 0xA2, 0x01, 0x00, static_cast<std::uint8_t>(serial.size() + 12), 0x54, 0x08};
    for (int shift = 56; shift >= 0; shift -= 8) c.push_back(static_cast<std::uint8_t>(counter >> shift));
    c.push_back(0x51);
    c.push_back(static_cast<std::uint8_t>(serial.size()));
    c.insert(c.end(), serial.begin(), serial.end());
    return c;
  }
  static Bytes with_serial(Bytes header, const std::string& serial) {
    header.push_back(static_cast<std::uint8_t>(serial.size() + 2));
    header.push_back(0x51);
    header.push_back(static_cast<std::uint8_t>(serial.size()));
    header.insert(header.end(), serial.begin(), serial.end());
    return header;
  }
  static Bytes personalize(std::uint8_t alg, std::uint8_t hash, std::uint8_t digits, const std::string& secret,
                           const std::string& serial) {
    Bytes b = {0x00, 0x09, 0x00, 0x00, static_cast<std::uint8_t>(serial.size() + 7 + secret.size()), 0x53,
               static_cast<std::uint8_t>(secret.size() + 2), alg, hash, digits};
    b.insert(b.end(), secret.begin(), secret.end());
    b.push_back(0x51);
    b.push_back(static_cast<std::uint8_t>(serial.size()));
    b.insert(b.end(), serial.begin(), serial.end());
    return b;
  }
  static Bytes record(const std::string& serial, std::uint8_t alg_hash) {
    Bytes r = {0x52, static_cast<std::uint8_t>(serial.size() + 1), alg_hash};
    r.insert(r.end(), serial.begin(), serial.end());
    return r;
  }
  static Bytes ok(Bytes data = {}) {
    data.push_back(0x90);
    data.push_back(0x00);
    return data;
  }
  static const Bytes get_active, list_users, press_on, press_off;
  static const Bytes not_object;
};

const Bytes Applet::get_active = {0x00, 0xE6, 0x00, 0x00, 0x00};
const Bytes Applet::list_users = {0x00, 0x17, 0x00, 0x00, 0x00};
const Bytes Applet::press_on = {0x80, 0xE1, 0x05, 0x02, 0x01, 0x01};
const Bytes Applet::press_off = {0x80, 0xE1, 0x05, 0x02, 0x01, 0x00};
const Bytes Applet::not_object = {0x69, 0x84};

TEST_F(Applet, CommandsNeedTheApplicationSelectedOnTheirChannel) {
  const std::uint32_t cid = open_channel();
  EXPECT_EQ(apdu(cid, get_active), (Bytes{0x69, 0x85}));
  Bytes wrong_aid = host::select_apdu();
  wrong_aid.back() = 0x02;
  EXPECT_EQ(apdu(cid, wrong_aid), (Bytes{0x6A, 0x82}));
  EXPECT_EQ(apdu(cid, host::select_apdu()), ok());
  EXPECT_EQ(apdu(cid, get_active), ok(record("OT000001", 0x21)));
  // A new channel starts unselected.
  EXPECT_EQ(apdu(open_channel(), get_active), (Bytes{0x69, 0x85}));
}

TEST_F(Applet, AnswersEveryCommand) {
  const std::uint32_t cid = selected_channel();
  EXPECT_EQ(apdu(cid, list_users), ok(record("OT000001", 0x21)));
  EXPECT_EQ(apdu(cid, personalize(1, 2, 8, "secret-two", "HOTP-02")), ok());
  Bytes both = record("OT000001", 0x21);
  const Bytes second = record("HOTP-02", 0x12);
  both.insert(both.end(), second.begin(), second.end());
  EXPECT_EQ(apdu(cid, list_users), ok(both));

  EXPECT_EQ(apdu(cid, with_serial({0x00, 0xE5, 0x00, 0x00}, "HOTP-02")), ok());
  EXPECT_EQ(apdu(cid, get_active), ok(second));
  EXPECT_EQ(apdu(cid, with_serial({0x00, 0xE5, 0x00, 0x00}, "NOPE")), (Bytes{0x6A, 0x80}));
  EXPECT_EQ(apdu(cid, get_active), ok(second));

  // Replacing a serial keeps the count; bad fields are wrong data.
  EXPECT_EQ(apdu(cid, personalize(2, 1, 6, "other", "HOTP-02")), ok());
  EXPECT_EQ(apdu(cid, list_users).size(), both.size() + 2);
  EXPECT_EQ(apdu(cid, personalize(3, 1, 6, "s", "X")), (Bytes{0x6A, 0x80}));
  EXPECT_EQ(apdu(cid, personalize(2, 1, 9, "s", "X")), (Bytes{0x6A, 0x80}));
  EXPECT_EQ(apdu(cid, personalize(2, 1, 6, "", "X")), (Bytes{0x6A, 0x80}));

  EXPECT_EQ(apdu(cid, compute("UNKNOWN", 1)), (Bytes{0x6A, 0x80}));
  Bytes p1_zero = compute("OT000001", 1);
  p1_zero[2] = 0x00;
  EXPECT_EQ(apdu(cid, p1_zero), (Bytes{0x6A, 0x86}));
  EXPECT_EQ(apdu(cid, {0x00, 0x42, 0x00, 0x00, 0x00}), (Bytes{0x6D, 0x00}));
  EXPECT_EQ(apdu(cid, {0x10, 0xE6, 0x00, 0x00, 0x00}), (Bytes{0x6E, 0x00}));
  EXPECT_EQ(apdu(cid, {0x00, 0xE6, 0x00, 0x00, 0x03, 0x01}), (Bytes{0x67, 0x00}));
  EXPECT_EQ(apdu(cid, {0x00, 0xE6}), (Bytes{0x67, 0x00}));
}

TEST_F(Applet, StorageFullIsNoSpace) {
  const std::uint32_t cid = selected_channel();
  for (std::size_t i = 1; i < keysim::Applet::max_credentials; ++i)
    ASSERT_EQ(apdu(cid, personalize(2, 1, 6, "s", "C" + std::to_string(i))), ok());
  EXPECT_EQ(apdu(cid, personalize(2, 1, 6, "s", "ONE-TOO-MANY")), (Bytes{0x6A, 0x84}));
}

TEST_F(Applet, PressModeWantsAPressInTheLastTenSeconds) {
  const std::uint32_t cid = selected_channel();
  EXPECT_EQ(apdu(cid, press_on), ok());
  for (const Bytes& guarded : {get_active, list_users, compute("OT000001", 1)}) EXPECT_EQ(apdu(cid, guarded), not_object);
  EXPECT_EQ(apdu(cid, with_serial({0x00, 0xE5, 0x00, 0x00}, "OT000001")), ok()) << "set activate is not guarded";

  applet->press();
  now += std::chrono::seconds(10);
  EXPECT_EQ(apdu(cid, get_active), ok(record("OT000001", 0x21)));
  EXPECT_EQ(apdu(cid, compute("OT000001", 1)).size(), 9u);
  now += std::chrono::milliseconds(1);
  EXPECT_EQ(apdu(cid, get_active), not_object);

  EXPECT_EQ(apdu(cid, press_off), ok());
  EXPECT_EQ(apdu(cid, get_active), ok(record("OT000001", 0x21)));
  EXPECT_EQ(apdu(cid, {0x80, 0xE1, 0x05, 0x02, 0x01, 0x02}), (Bytes{0x6A, 0x80}));
  EXPECT_EQ(apdu(cid, {0x80, 0xE1, 0x05, 0x03, 0x01, 0x01}), (Bytes{0x6A, 0x86}));
}

class AppletWithoutPressMode : public SimKeyTest {
 protected:
  AppletWithoutPressMode() : SimKeyTest(without_press()) {}
  static keysim::AppletState without_press() {
    keysim::AppletState s = sample_state();
    s.press_mode_supported = false;
    return s;
  }
};

TEST_F(AppletWithoutPressMode, RefusesThePressModeCommand) {
  const std::uint32_t cid = selected_channel();
  EXPECT_EQ(apdu(cid, {0x80, 0xE1, 0x05, 0x02, 0x01, 0x01}), (Bytes{0x6D, 0x00}));
  EXPECT_EQ(apdu(cid, {0x80, 0xE1, 0x05, 0x02, 0x01, 0x00}), (Bytes{0x6D, 0x00}));
  EXPECT_FALSE(applet->state().press_mode);
}

class EmptyApplet : public SimKeyTest {
 protected:
  EmptyApplet() : SimKeyTest(keysim::AppletState{}) {}
};

TEST_F(EmptyApplet, HasNoActiveCredentialUntilOneIsStored) {
  const std::uint32_t cid = selected_channel();
  EXPECT_EQ(apdu(cid, {0x00, 0xE6, 0x00, 0x00, 0x00}), (Bytes{0x6A, 0x82}));
  EXPECT_EQ(apdu(cid, {0x00, 0x17, 0x00, 0x00, 0x00}), (Bytes{0x90, 0x00}));
  Bytes perso = {0x00, 0x09, 0x00, 0x00, 0x0A, 0x53, 0x03, 0x02, 0x01, 0x06, 'k', 0x51, 0x02, 'S', '1'};
  EXPECT_EQ(apdu(cid, perso), (Bytes{0x90, 0x00}));
  EXPECT_EQ(apdu(cid, {0x00, 0xE6, 0x00, 0x00, 0x00}), (Bytes{0x52, 0x03, 0x21, 'S', '1', 0x90, 0x00}));
}

}  // namespace
