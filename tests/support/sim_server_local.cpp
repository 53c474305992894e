// The keysim server inside the test process, on its own thread.
#include "tests/support/sim_server.h"

#include "sim/config.h"
#include "sim/server.h"

#include <QTemporaryDir>

#include <cstdlib>
#include <mutex>
#include <thread>

struct SimServer::Impl {
  struct Record {
    std::string key;
    bool from_host;
    keysim::Bytes report;
  };
  QTemporaryDir dir;
  std::unique_ptr<keysim::Server> server;
  std::thread thread;
  std::mutex mutex;
  std::vector<Record> records;
};

SimServer::SimServer(const std::string& config_json) : impl_(std::make_unique<Impl>()) {
  std::vector<keysim::KeyConfig> keys;
  std::string error;
  EXPECT_TRUE(keysim::parse_config(config_json, keys, error)) << error;
  const std::string socket_path = impl_->dir.filePath("keysim.sock").toStdString();
  ::setenv("KEYSIM_SOCKET", socket_path.c_str(), 1);
  impl_->server = std::make_unique<keysim::Server>(std::move(keys), socket_path);
  impl_->server->set_tap([impl = impl_.get()](const std::string& key, bool from_host, const keysim::Bytes& report) {
    std::lock_guard<std::mutex> lock(impl->mutex);
    impl->records.push_back({key, from_host, report});
  });
  EXPECT_TRUE(impl_->server->listen(error)) << error;
  impl_->thread = std::thread([impl = impl_.get()] { impl->server->run(); });
}

SimServer::~SimServer() {
  impl_->server->stop();
  impl_->thread.join();
}

std::vector<keysim::Bytes> SimServer::reports(const std::string& key_id, bool from_host) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  std::vector<keysim::Bytes> out;
  for (const Impl::Record& r : impl_->records)
    if (r.key == key_id && r.from_host == from_host) out.push_back(r.report);
  return out;
}

void SimServer::clear_reports() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->records.clear();
}
