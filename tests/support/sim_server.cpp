#include "tests/support/sim_server.h"

#include "key/key_exception.h"
#include "sim/config.h"
#include "sim/wire.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

std::string SimServer::sample_config() {
  std::ifstream in(SAMPLE_CONFIG);
  EXPECT_TRUE(in.good()) << SAMPLE_CONFIG;
  std::ostringstream json;
  json << in.rdbuf();
  return json.str();
}

SimServer::SimServer(const std::string& config_json) {
  std::vector<keysim::KeyConfig> keys;
  std::string error;
  EXPECT_TRUE(keysim::parse_config(config_json, keys, error)) << error;
  ::setenv("KEYSIM_SOCKET", socket_path().c_str(), 1);
  server_ = std::make_unique<keysim::Server>(std::move(keys), socket_path());
  server_->set_tap([this](const std::string& key, bool from_host, const keysim::Bytes& report) {
    std::lock_guard<std::mutex> lock(mutex_);
    records_.push_back({key, from_host, report});
  });
  EXPECT_TRUE(server_->listen(error)) << error;
  thread_ = std::thread([this] { server_->run(); });
}

SimServer::~SimServer() {
  server_->stop();
  thread_.join();
}

std::string SimServer::socket_path() const { return dir_.filePath("keysim.sock").toStdString(); }

std::string SimServer::command(const std::string& line) {
  const int fd = keysim::wire::connect_to(socket_path());
  std::string reply;
  EXPECT_TRUE(fd >= 0 && keysim::wire::request(fd, line, reply)) << line;
  if (fd >= 0) ::close(fd);
  return reply;
}

std::vector<keysim::Bytes> SimServer::reports(const std::string& key_id, bool from_host) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<keysim::Bytes> out;
  for (const Record& r : records_)
    if (r.key == key_id && r.from_host == from_host) out.push_back(r.report);
  return out;
}

void SimServer::clear_reports() {
  std::lock_guard<std::mutex> lock(mutex_);
  records_.clear();
}

std::shared_ptr<U2FUsbKey> first_key_found() {
  std::vector<std::shared_ptr<OTPUsbKey>> otp;
  std::vector<std::shared_ptr<U2FUsbKey>> keys;
  HID().find_device(orvalin_vendor_id, otp, keys);
  EXPECT_FALSE(keys.empty()) << "discovery found no key";
  return keys.empty() ? nullptr : keys.front();
}

std::string outcome(const std::function<void()>& call) {
  try {
    call();
  } catch (const KeyException& e) {
    const char* kind = dynamic_cast<const KeyNoObjectException*>(&e) ? "KeyNoObjectException: "
                       : dynamic_cast<const KeyAccessException*>(&e) ? "KeyAccessException: "
                                                                      : "KeyException: ";
    return kind + std::string(e.what());
  }
  return "ok";
}
