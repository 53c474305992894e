// Every fault of the simulated key ends in the documented exception or result, in time.
#include "tests/key/key_on_sim.h"

#include <hidapi.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

class KeyFaults : public KeyOnSim {
 protected:
  void SetUp() override {
    key = first_key();
    ASSERT_TRUE(key);
  }
  void arm(const std::string& fault) { ASSERT_EQ(sim.command("FAULT key0 " + fault).rfind("OK", 0), 0u) << fault; }

  // The outcome of op_get_active, and how long it took.
  std::pair<std::string, milliseconds> get_active() {
    const auto start = Clock::now();
    ByteBuffer serial;
    const std::string result = outcome([&] { key->op_get_active(serial); });
    return {result, std::chrono::duration_cast<milliseconds>(Clock::now() - start)};
  }

  std::shared_ptr<U2FUsbKey> key;
};

TEST_F(KeyFaults, WrongOrShortInitReplyFailsTheChannelAndSendsNothingMore) {
  for (const char* fault : {"bad-nonce", "short-init"}) {
    sim.clear_reports();
    arm(fault);
    EXPECT_EQ(get_active().first, "KeyException: Error in AllocateChannel") << fault;
    EXPECT_EQ(sim.reports("key0", true).size(), 1u) << "only the INIT went out";
  }
  const std::string text = log.read_log();
  EXPECT_NE(text.find(" ERROR [default] [Error detail]: Allocate channel\n"), std::string::npos);
  EXPECT_NE(text.find(" ERROR [default] 00 ff ff ff ff 86 00 08 "), std::string::npos);
  EXPECT_NE(text.find("Key Exception (Error in AllocateChannel) occurs at key/u2f_usbkey.cpp:"), std::string::npos);
  EXPECT_EQ(get_active().first, "ok");
}

TEST_F(KeyFaults, SilentKeyFailsAfterTwoSeconds) {
  arm("silent");
  const auto [result, took] = get_active();
  EXPECT_EQ(result, "KeyAccessException: U2F usb key sending command");
  EXPECT_GE(took, milliseconds(2000));
  EXPECT_LT(took, milliseconds(4000));
  EXPECT_EQ(get_active().first, "ok");
}

TEST_F(KeyFaults, LengthByteTooSmallOrTooLargeIsMalformed) {
  arm("bad-length");
  EXPECT_EQ(get_active().first, "KeyException: resp_code exception: Malformed response");
  arm("bad-length 0xFF");
  const auto [result, took] = get_active();
  EXPECT_EQ(result, "KeyException: resp_code exception: Malformed response");
  EXPECT_LT(took, milliseconds(4000));
}

TEST_F(KeyFaults, AnswerCutOffAfterItsFirstPacketIsRefusedNotHandedOn) {
  for (int i = 0; i < 4; ++i) key->op_personlization(2, 1, 6, text("k"), text("A-LONG-SERIAL-NUMBER-" + std::to_string(i)));
  arm("truncate");
  std::vector<User> users;
  const auto start = Clock::now();
  EXPECT_EQ(outcome([&] { key->op_get_user_info(users); }), "KeyException: resp_code exception: Malformed response");
  EXPECT_GE(Clock::now() - start, milliseconds(2000));
  EXPECT_TRUE(users.empty());
  EXPECT_EQ(outcome([&] { key->op_get_user_info(users); }), "ok");
  EXPECT_EQ(users.size(), 5u);
}

TEST_F(KeyFaults, RemovalMidExchangeIsAnAccessFailure) {
  arm("remove");
  EXPECT_EQ(get_active().first, "KeyAccessException: U2F usb key sending command");
  EXPECT_FALSE(key->is_alive());
  EXPECT_EQ(get_active().first, "KeyAccessException: U2F usb key sending command");
}

TEST_F(KeyFaults, LatencyOnlySlowsTheAnswer) {
  arm("latency 40");
  EXPECT_EQ(get_active().first, "ok");
  arm("latency 0");
}

TEST_F(KeyFaults, AnotherProgramsTrafficNeverCorruptsAnAnswer) {
  arm("foreign-report");
  EXPECT_EQ(get_active().first, "ok");

  // A second program really using the key: PINGs on its own channel, all the while.
  hid_device* other = hid_open_path("keysim:key0:0");
  ASSERT_NE(other, nullptr);
  unsigned char report[65] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x86, 0x00, 0x08, 9, 9, 9, 9, 9, 9, 9, 9};
  unsigned char in[256];
  ASSERT_EQ(hid_write(other, report, sizeof report), 65);
  // Skip our own traffic until the answer to this INIT arrives.
  int got = 0;
  do {
    got = hid_read_timeout(other, in, sizeof in, 2000);
  } while (got > 0 && !(in[4] == 0x86 && in[7] == 9 && in[8] == 9));
  ASSERT_EQ(got, 64);
  const unsigned char cid[4] = {in[15], in[16], in[17], in[18]};
  std::atomic<bool> stop{false};
  std::thread pinger([&] {
    unsigned char ping[65] = {0x00, cid[0], cid[1], cid[2], cid[3], 0x81, 0x00, 0x04, 'p', 'i', 'n', 'g'};
    unsigned char reply[256];
    while (!stop) {
      if (hid_write(other, ping, sizeof ping) < 0) break;
      hid_read_timeout(other, reply, sizeof reply, 100);
    }
  });
  for (int i = 0; i < 20; ++i) {
    ByteBuffer serial;
    EXPECT_EQ(outcome([&] { key->op_get_active(serial); }), "ok");
    EXPECT_EQ(serial, text("OT000001"));
    std::vector<User> users;
    EXPECT_EQ(outcome([&] { key->op_get_user_info(users); }), "ok");
    EXPECT_EQ(users.size(), 1u);
  }
  stop = true;
  pinger.join();
  hid_close(other);
}

TEST_F(KeyFaults, ClosedKeyFailsWithoutTouchingTheHandle) {
  EXPECT_TRUE(key->is_alive());
  key->close();
  key->close();
  EXPECT_FALSE(key->is_alive());
  sim.clear_reports();
  EXPECT_EQ(get_active().first, "KeyAccessException: U2F usb key is closed");
  int digits = 0;
  EXPECT_EQ(outcome([&] { key->op_get_otp(text("OT000001"), digits); }), "KeyAccessException: U2F usb key is closed");
  EXPECT_EQ(requests("key0"), 0u);
}

TEST_F(KeyFaults, LivenessProbeIsOneFullZeroReport) {
  sim.clear_reports();
  EXPECT_TRUE(key->is_alive());
  EXPECT_EQ(get_active().first, "ok") << "whatever the probe caused is flushed";
  const auto out = sim.reports("key0", true);
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out[0], keysim::Bytes(64, 0));
  EXPECT_EQ(sim.command("UNPLUG key0"), "OK key0 unplugged");
  EXPECT_FALSE(key->is_alive());
}

}  // namespace
