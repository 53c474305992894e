#include "tests/sim/sim_fixture.h"

namespace {

using host::Bytes;

class Faults : public SimKeyTest {
 protected:
  void arm(const std::string& name, const std::string& argument = "") {
    std::string error;
    ASSERT_TRUE(faults->arm(name, argument, error)) << error;
  }
  static const Bytes get_active;
};

const Bytes Faults::get_active = {0x00, 0xE6, 0x00, 0x00, 0x00};

TEST_F(Faults, BadNonceAndShortInitHitTheNextInitOnly) {
  const Bytes nonce = {8, 7, 6, 5, 4, 3, 2, 1};
  arm("bad-nonce");
  host::Message m = exchange(host::broadcast, 0x86, nonce);
  EXPECT_NE(Bytes(m.payload.begin(), m.payload.begin() + 8), nonce);
  m = exchange(host::broadcast, 0x86, nonce);
  EXPECT_EQ(Bytes(m.payload.begin(), m.payload.begin() + 8), nonce);

  arm("short-init");
  const auto reports = feed(host::frame(host::broadcast, 0x86, nonce)).reports;
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].size(), 16u);
  EXPECT_EQ(feed(host::frame(host::broadcast, 0x86, nonce)).reports[0].size(), 64u);
}

TEST_F(Faults, SilentAndRemoveSwallowTheNextExchange) {
  const std::uint32_t cid = selected_channel();
  arm("silent");
  EXPECT_TRUE(feed(host::frame(cid, 0x83, get_active)).reports.empty());
  EXPECT_EQ(apdu(cid, get_active).size(), 13u);

  arm("remove");
  const keysim::DeviceOutput out = feed(host::frame(cid, 0x83, get_active));
  EXPECT_TRUE(out.removed);
  EXPECT_TRUE(out.reports.empty());
  EXPECT_FALSE(feed(host::frame(host::broadcast, 0x86, Bytes(8, 1))).removed);
}

TEST_F(Faults, StatusAndBadLengthSkipSelectAndHitTheNextCommand) {
  arm("status", "6984");
  const std::uint32_t cid = selected_channel();  // the SELECT still answers 90 00
  EXPECT_EQ(apdu(cid, get_active), (Bytes{0x69, 0x84}));
  EXPECT_EQ(apdu(cid, get_active).size(), 13u);

  arm("bad-length");
  const std::uint32_t other = selected_channel();
  const auto reports = feed(host::frame(other, 0x83, get_active)).reports;
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0][6], 0x01);
  arm("bad-length", "0xFF");
  EXPECT_EQ(feed(host::frame(other, 0x83, get_active)).reports[0][6], 0xFF);
}

TEST_F(Faults, TruncateCutsTheNextLongResponseAfterItsFirstPacket) {
  const std::uint32_t cid = selected_channel();
  for (int i = 0; i < 6; ++i) {
    const std::string serial = "LONG-SERIAL-" + std::to_string(i);
    Bytes perso = {0x00, 0x09, 0x00, 0x00, static_cast<std::uint8_t>(serial.size() + 8), 0x53, 0x03, 2, 1, 6, 'k',
                   0x51, static_cast<std::uint8_t>(serial.size())};
    perso.insert(perso.end(), serial.begin(), serial.end());
    ASSERT_EQ(apdu(cid, perso), (Bytes{0x90, 0x00}));
  }
  arm("truncate");
  EXPECT_EQ(apdu(cid, get_active).size(), 13u) << "a one-packet answer is left whole";
  const auto reports = feed(host::frame(cid, 0x83, {0x00, 0x17, 0x00, 0x00, 0x00})).reports;
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_GT((reports[0][5] << 8) | reports[0][6], 57);
  EXPECT_EQ(feed(host::frame(cid, 0x83, {0x00, 0x17, 0x00, 0x00, 0x00})).reports.size(), 2u) << "115 bytes: 57 + 58";
}

TEST_F(Faults, ForeignReportComesFirstOnAnotherChannel) {
  const std::uint32_t cid = selected_channel();
  arm("foreign-report");
  const auto reports = feed(host::frame(cid, 0x83, get_active)).reports;
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_NE(host::cid_of(reports[0]), cid);
  EXPECT_EQ(host::cid_of(reports[1]), cid);
  EXPECT_EQ(host::collect({reports[1]}).payload.size(), 13u);
}

TEST_F(Faults, BadNamesAndArgumentsAreRefused) {
  std::string error;
  EXPECT_FALSE(faults->arm("melt", "", error));
  EXPECT_NE(error.find("unknown fault: melt"), std::string::npos);
  EXPECT_FALSE(faults->arm("status", "69", error));
  EXPECT_FALSE(faults->arm("status", "zzzz", error));
  EXPECT_FALSE(faults->arm("latency", "-3", error));
  EXPECT_FALSE(faults->arm("bad-length", "256", error));
  EXPECT_FALSE(faults->arm("silent", "1", error));
  EXPECT_TRUE(faults->arm("latency", "25", error));
  EXPECT_EQ(faults->latency, std::chrono::milliseconds(25));
}

}  // namespace
