#pragma once

#include "key/hid.h"
#include "tests/support/temp_log.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace keysim {
using Bytes = std::vector<std::uint8_t>;
}

// A keysim server with the keys of config_json, which the key layer reaches through
// libhidapi-keysim, recording every report that crosses the wire. On Linux it runs on its own
// thread, on a private socket that KEYSIM_SOCKET points to. A Windows test, under Wine, reaches
// the Linux keysim that KEYSIM_SOCKET names (keysim serve --tcp --record), whose keys it resets.
class SimServer {
 public:
  // The config of the demo's key, sim/keys.sample.json.
  static std::string sample_config();

  explicit SimServer(const std::string& config_json = sample_config());
  ~SimServer();
  SimServer(const SimServer&) = delete;
  SimServer& operator=(const SimServer&) = delete;

  // Sends a control command (as keysim's tool does) and returns the server's reply.
  std::string command(const std::string& line);
  // The reports of key_id so far, as they arrived: output reports (from_host) or input reports.
  std::vector<keysim::Bytes> reports(const std::string& key_id, bool from_host);
  void clear_reports();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The first key that discovery finds, as the controller takes it; a test failure when none.
std::shared_ptr<U2FUsbKey> first_key_found();
// What call threw, as "<class>: <message>", or "ok".
std::string outcome(const std::function<void()>& call);
inline ByteBuffer text(const std::string& s) { return ByteBuffer(s.begin(), s.end()); }

// How long a test waits for the key's answer at most: long enough for a loaded machine.
constexpr int patience_ms = 30000;

// Tests against a simulated key, with a private log.
class OnSim : public ::testing::Test {
 protected:
  explicit OnSim(const std::string& config = SimServer::sample_config()) : sim(config) { log.setup_quiet(); }

  void arm(const std::string& fault, const std::string& key = "key0") {
    ASSERT_EQ(sim.command("FAULT " + key + " " + fault).rfind("OK", 0), 0u) << fault;
  }
  // Output reports of key_id but liveness probes, which may reach the server late.
  std::size_t requests(const std::string& key_id) {
    std::size_t n = 0;
    for (const auto& r : sim.reports(key_id, true)) n += r != keysim::Bytes(64, 0);
    return n;
  }

  TempLog log;
  SimServer sim;
};
