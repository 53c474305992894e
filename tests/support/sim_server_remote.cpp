// The keysim server in another process: the Linux keysim that a Windows test reaches over
// loopback TCP (keysim serve CONFIG --tcp PORT --record), named by KEYSIM_SOCKET.
#include "tests/support/sim_server.h"

#include <sstream>

struct SimServer::Impl {};

SimServer::SimServer(const std::string& config_json) : impl_(std::make_unique<Impl>()) {
  EXPECT_EQ(command("RESET " + config_json), "OK reset") << "keysim must run with --record at KEYSIM_SOCKET";
}

SimServer::~SimServer() = default;

std::vector<keysim::Bytes> SimServer::reports(const std::string& key_id, bool from_host) {
  const std::string reply = command("REPORTS " + key_id + (from_host ? " out" : " in"));
  EXPECT_EQ(reply.rfind("OK\n", 0), 0u) << reply;
  std::vector<keysim::Bytes> out;
  std::istringstream lines(reply.substr(3));
  for (std::string line; std::getline(lines, line);) {
    keysim::Bytes report;
    for (std::size_t at = 0; at + 1 < line.size(); at += 2)
      report.push_back(static_cast<std::uint8_t>(std::stoi(line.substr(at, 2), nullptr, 16)));
    out.push_back(report);
  }
  return out;
}

void SimServer::clear_reports() { EXPECT_EQ(command("FORGET"), "OK forgotten"); }
