// The keysim server in another process: the Linux keysim that a Windows test reaches over
// loopback TCP (keysim serve CONFIG --tcp PORT --record), named by KEYSIM_SOCKET.
#include "tests/support/sim_server.h"

struct SimServer::Impl {};

SimServer::SimServer(const std::string& config_json) : impl_(std::make_unique<Impl>()) {
  EXPECT_EQ(command("RESET " + config_json), "OK reset") << "keysim must run with --record at KEYSIM_SOCKET";
}

SimServer::~SimServer() = default;
