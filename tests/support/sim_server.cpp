#include "tests/support/sim_server.h"

#include "key/key_exception.h"
#include "sim/wire.h"

#include <sstream>

// The server records every report (keysim serve --record), and hands them over as hex lines.
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

std::string SimServer::sample_config() {
  const std::string json = read_file(SAMPLE_CONFIG);
  EXPECT_FALSE(json.empty()) << SAMPLE_CONFIG;
  return json;
}

std::string SimServer::command(const std::string& line) {
  const keysim::wire::Socket fd = keysim::wire::connect_to(keysim::wire::socket_path());
  std::string reply;
  EXPECT_TRUE(fd != keysim::wire::invalid_socket && keysim::wire::request(fd, line, reply)) << line;
  keysim::wire::close_socket(fd);
  return reply;
}

std::shared_ptr<U2FUsbKey> first_key_found() {
  for (FoundKey& found : HID().find_device(orvalin_vendor_id))
    if (found.key) return found.key;
  ADD_FAILURE() << "discovery found no key";
  return nullptr;
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
