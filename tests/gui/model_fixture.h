#pragma once

#include "gui/gui.h"
#include "key/hid.h"
#include "key/key_exception.h"

#include "tests/support/first_key.h"
#include "tests/support/signal_counter.h"
#include "tests/support/sim_server.h"
#include "tests/support/temp_log.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

inline std::int64_t calendar_now() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// A model in a real Qt event loop, on a key of a keysim server running on its own thread.
class ModelOnSim : public ::testing::Test {
 protected:
  explicit ModelOnSim(const std::string& config = SimServer::sample_config()) : sim(config) { log.setup_quiet(); }

  std::unique_ptr<OtpStatus> make_model() {
    auto model = std::make_unique<OtpStatus>(first_key_found());
    model->set_clock([this] { return now; });
    return model;
  }

  void arm(const std::string& fault) { ASSERT_EQ(sim.command("FAULT key0 " + fault).rfind("OK", 0), 0u) << fault; }

  // Ticks as the page's timer does (faster) until counter has seen n signals. A tick that
  // finds the last worker still finishing starts nothing, so one tick is not always enough.
  static bool tick_until(OtpStatus& model, SignalCounter& counter, int n, int timeout_ms = 10000) {
    for (int waited = 0; waited < timeout_ms; waited += 50) {
      model.response_time_changed();
      if (counter.wait_for(n, 50)) return true;
    }
    return false;
  }

  void read_serial(OtpStatus& model) {
    SignalCounter serial(&model, &OtpStatus::serial_num_changed);
    ASSERT_TRUE(tick_until(model, serial, 1));
  }

  TempLog log;
  SimServer sim;
  std::int64_t now = calendar_now();
};
