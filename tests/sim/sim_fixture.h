#pragma once

#include "sim/device.h"
#include "tests/sim/u2f_host.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

// One simulated key interface with a hand-driven clock.
class SimKeyTest : public ::testing::Test {
 protected:
  using Clock = std::chrono::steady_clock;

  explicit SimKeyTest(keysim::AppletState state = sample_state()) {
    applet = std::make_shared<keysim::Applet>(std::move(state), [this] { return now; });
    faults = std::make_shared<keysim::Faults>();
    device = std::make_unique<keysim::U2fDevice>(applet, faults, [this] { return now; });
  }

  static keysim::Credential credential(const std::string& serial, std::uint8_t algorithm, keysim::Hash hash,
                                       const std::string& secret, std::uint8_t digits = 6) {
    keysim::Credential c;
    c.serial = serial;
    c.algorithm = algorithm;
    c.hash = hash;
    c.digits = digits;
    c.secret.assign(secret.begin(), secret.end());
    return c;
  }

  static keysim::AppletState sample_state() {
    keysim::AppletState s;
    s.credentials.push_back(credential("OT000001", 2, keysim::Hash::sha1, "12345678901234567890"));
    s.active = "OT000001";
    s.press_mode_supported = true;
    return s;
  }

  keysim::DeviceOutput feed(const std::vector<host::Bytes>& reports) {
    keysim::DeviceOutput all;
    for (const auto& r : reports) {
      keysim::DeviceOutput out = device->handle(r);
      all.reports.insert(all.reports.end(), out.reports.begin(), out.reports.end());
      all.removed = all.removed || out.removed;
    }
    return all;
  }

  host::Message exchange(std::uint32_t cid, std::uint8_t cmd, const host::Bytes& payload) {
    return host::collect(feed(host::frame(cid, cmd, payload)).reports);
  }

  std::uint32_t open_channel() {
    const host::Bytes nonce = {1, 2, 3, 4, 5, 6, 7, 8};
    const host::Message m = exchange(host::broadcast, 0x86, nonce);
    EXPECT_EQ(m.cmd, 0x86);
    EXPECT_EQ(m.payload.size(), 17u);
    return host::cid_of(m.payload, 8);
  }

  // A channel with the application selected.
  std::uint32_t selected_channel() {
    const std::uint32_t cid = open_channel();
    EXPECT_EQ(exchange(cid, 0x83, host::select_apdu()).payload, (host::Bytes{0x90, 0x00}));
    return cid;
  }

  host::Bytes apdu(std::uint32_t cid, const host::Bytes& command) { return exchange(cid, 0x83, command).payload; }

  Clock::time_point now = Clock::time_point() + std::chrono::hours(1);
  std::shared_ptr<keysim::Applet> applet;
  std::shared_ptr<keysim::Faults> faults;
  std::unique_ptr<keysim::U2fDevice> device;
};
