#pragma once

#include "key/hid.h"
#include "key/key_exception.h"

#include "tests/support/first_key.h"
#include "tests/support/sim_server.h"
#include "tests/support/temp_log.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

// The key layer against a simulated key, through libhidapi-keysim and a real server.
class KeyOnSim : public ::testing::Test {
 protected:
  explicit KeyOnSim(const std::string& config = SimServer::sample_config()) : sim(config) { log.setup_quiet(); }

  static std::shared_ptr<U2FUsbKey> first_key() { return first_key_found(); }

  // Runs call and returns what it threw: the message, prefixed with the class's name.
  static std::string outcome(const std::function<void()>& call) {
    try {
      call();
    } catch (const KeyNoObjectException& e) {
      return std::string("KeyNoObjectException: ") + e.what();
    } catch (const KeyAccessException& e) {
      return std::string("KeyAccessException: ") + e.what();
    } catch (const KeyException& e) {
      return std::string("KeyException: ") + e.what();
    }
    return "ok";
  }

  static ByteBuffer text(const std::string& s) { return ByteBuffer(s.begin(), s.end()); }

  // Output reports of key_id other than liveness probes, which nothing waits for and which may
  // reach the server after a clear_reports that follows them.
  std::size_t requests(const std::string& key_id) {
    std::size_t n = 0;
    for (const auto& r : sim.reports(key_id, true)) n += r != keysim::Bytes(64, 0);
    return n;
  }

  TempLog log;
  SimServer sim;
};
