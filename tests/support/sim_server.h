#pragma once

#include "sim/server.h"

#include <QTemporaryDir>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A keysim server on its own thread, on a private socket that KEYSIM_SOCKET points to, so the
// key layer reaches it through libhidapi-keysim. Records every report that crosses the wire.
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
  // The reports of key_id so far: output reports (from_host) or input reports.
  std::vector<keysim::Bytes> reports(const std::string& key_id, bool from_host);
  void clear_reports();

 private:
  struct Record {
    std::string key;
    bool from_host;
    keysim::Bytes report;
  };
  QTemporaryDir dir_;
  std::unique_ptr<keysim::Server> server_;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<Record> records_;
};
