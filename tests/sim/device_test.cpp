#include "tests/sim/sim_fixture.h"

#include <set>

namespace {

using host::Bytes;

class Device : public SimKeyTest {};

Bytes pattern(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + 1);
  return b;
}

TEST_F(Device, InitEchoesNonceAndGivesAFreshChannelEachTime) {
  const Bytes nonce = {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x07, 0x18};
  std::set<std::uint32_t> seen;
  for (int i = 0; i < 50; ++i) {
    const auto reports = feed(host::frame(host::broadcast, 0x86, nonce)).reports;
    ASSERT_EQ(reports.size(), 1u);
    ASSERT_EQ(reports[0].size(), 64u);
    const host::Message m = host::collect(reports);
    EXPECT_EQ(m.cid, host::broadcast);
    EXPECT_EQ(m.cmd, 0x86);
    ASSERT_EQ(m.payload.size(), 17u);
    EXPECT_EQ(Bytes(m.payload.begin(), m.payload.begin() + 8), nonce);
    const std::uint32_t cid = host::cid_of(m.payload, 8);
    EXPECT_NE(cid, 0u);
    EXPECT_NE(cid, host::broadcast);
    EXPECT_TRUE(seen.insert(cid).second) << "channel given twice";
    EXPECT_EQ(m.payload[12], 2) << "protocol version";
  }
  // INIT on an allocated channel resynchronises it and keeps its id.
  const std::uint32_t cid = *seen.begin();
  const host::Message again = exchange(cid, 0x86, nonce);
  EXPECT_EQ(again.cid, cid);
  EXPECT_EQ(host::cid_of(again.payload, 8), cid);
}

TEST_F(Device, PingEchoesAcrossPacketBoundaries) {
  const std::uint32_t cid = open_channel();
  for (std::size_t n : {0u, 1u, 57u, 58u, 116u, 117u, 300u, 7609u}) {
    const auto reports = feed(host::frame(cid, 0x81, pattern(n))).reports;
    const std::size_t expected_reports = n <= 57 ? 1 : 1 + (n - 57 + 58) / 59;
    EXPECT_EQ(reports.size(), expected_reports) << n;
    const host::Message m = host::collect(reports);
    EXPECT_TRUE(m.complete) << n;
    EXPECT_EQ(m.cid, cid);
    EXPECT_EQ(m.cmd, 0x81);
    EXPECT_EQ(m.payload, pattern(n)) << n;
  }
}

TEST_F(Device, ProtocolErrorsAreErrorPackets) {
  const std::uint32_t cid = open_channel();
  auto error_code = [](const host::Message& m) {
    EXPECT_EQ(m.cmd, 0xBF);
    return m.payload.size() == 1 ? m.payload[0] : -1;
  };
  EXPECT_EQ(error_code(exchange(cid, 0xC5, {})), 0x01) << "unknown command";
  EXPECT_EQ(error_code(exchange(0x12345678, 0x83, host::select_apdu())), 0x0B) << "unallocated channel";
  EXPECT_EQ(error_code(exchange(host::broadcast, 0x83, host::select_apdu())), 0x0B) << "MSG on broadcast";
  EXPECT_EQ(error_code(exchange(0, 0x86, Bytes(8, 1))), 0x0B) << "channel 0";
  EXPECT_EQ(error_code(exchange(host::broadcast, 0x86, Bytes(7, 1))), 0x03) << "INIT nonce of 7 bytes";

  Bytes too_long = host::frame(cid, 0x81, {})[0];
  too_long[5] = 0x1D;  // 7610 bytes: one more than 57 + 128 * 59
  too_long[6] = 0xBA;
  EXPECT_EQ(error_code(host::collect(device->handle(too_long).reports)), 0x03) << "message too long";

  // A wrong sequence number ends the request.
  auto reports = host::frame(cid, 0x81, pattern(200));
  reports[2][4] = 5;
  const auto out = feed(reports).reports;
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(host::cid_of(out[0]), cid);
  EXPECT_EQ(error_code(host::collect(out)), 0x04);
  // The channel still works afterwards.
  EXPECT_EQ(exchange(cid, 0x81, pattern(100)).payload, pattern(100));
}

TEST_F(Device, ChannelsAreIsolatedWhileARequestIsHalfSent) {
  const std::uint32_t a = open_channel();
  const std::uint32_t b = open_channel();
  const auto request = host::frame(a, 0x81, pattern(150));
  EXPECT_TRUE(device->handle(request[0]).reports.empty());

  const auto busy = device->handle(host::frame(b, 0x81, {1})[0]).reports;
  ASSERT_EQ(busy.size(), 1u);
  EXPECT_EQ(host::cid_of(busy[0]), b) << "the busy answer goes to the channel that asked";
  EXPECT_EQ(busy[0][4], 0xBF);
  EXPECT_EQ(busy[0][7], 0x06);

  // Continuation packets on another channel are ignored and do not disturb a's request.
  auto stray = request[1];
  stray[0] ^= 0xFF;
  EXPECT_TRUE(device->handle(stray).reports.empty());
  EXPECT_TRUE(device->handle(request[1]).reports.empty());
  const host::Message m = host::collect(device->handle(request[2]).reports);
  EXPECT_EQ(m.cid, a);
  EXPECT_EQ(m.payload, pattern(150));
}

TEST_F(Device, AHalfSentRequestTimesOut) {
  const std::uint32_t cid = open_channel();
  const auto request = host::frame(cid, 0x81, pattern(100));
  device->handle(request[0]);
  ASSERT_TRUE(device->next_deadline());
  now += std::chrono::milliseconds(2999);
  EXPECT_TRUE(device->tick().reports.empty());
  now += std::chrono::milliseconds(1);
  const host::Message m = host::collect(device->tick().reports);
  EXPECT_EQ(m.cid, cid);
  EXPECT_EQ(m.cmd, 0xBF);
  EXPECT_EQ(m.payload, Bytes{0x05});
  EXPECT_FALSE(device->next_deadline());
  // The late continuation is now spurious.
  EXPECT_TRUE(device->handle(request[1]).reports.empty());
}

TEST_F(Device, ResetForgetsChannels) {
  const std::uint32_t cid = selected_channel();
  device->reset();
  EXPECT_EQ(exchange(cid, 0x83, host::select_apdu()).cmd, 0xBF);
}

TEST_F(Device, ShortOutputReportsArePadded) {
  Bytes init = host::frame(host::broadcast, 0x86, Bytes(8, 9))[0];
  init.resize(15);
  const host::Message m = host::collect(device->handle(init).reports);
  EXPECT_EQ(m.cmd, 0x86);
  EXPECT_EQ(Bytes(m.payload.begin(), m.payload.begin() + 8), Bytes(8, 9));
}

}  // namespace
