// The keysim server inside the test process, on its own thread.
#include "tests/support/sim_server.h"

#include "sim/config.h"
#include "sim/server.h"

#include <QTemporaryDir>

#include <cstdlib>
#include <thread>

struct SimServer::Impl {
  QTemporaryDir dir;
  std::unique_ptr<keysim::Server> server;
  std::thread thread;
};

SimServer::SimServer(const std::string& config_json) : impl_(std::make_unique<Impl>()) {
  std::vector<keysim::KeyConfig> keys;
  std::string error;
  EXPECT_TRUE(keysim::parse_config(config_json, keys, error)) << error;
  const std::string socket_path = impl_->dir.filePath("keysim.sock").toStdString();
  ::setenv("KEYSIM_SOCKET", socket_path.c_str(), 1);
  impl_->server = std::make_unique<keysim::Server>(std::move(keys), socket_path);
  impl_->server->set_recording(true);
  EXPECT_TRUE(impl_->server->listen(error)) << error;
  impl_->thread = std::thread([impl = impl_.get()] { impl->server->run(); });
}

SimServer::~SimServer() {
  impl_->server->stop();
  impl_->thread.join();
}
