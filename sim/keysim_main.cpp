// keysim: serves simulated keys, and plugs, unplugs, presses and breaks them.
#include "sim/config.h"
#include "sim/server.h"
#include "sim/wire.h"

#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

keysim::Server* running_server = nullptr;

void on_signal(int) {
  if (running_server) running_server->stop();
}

int usage() {
  std::cerr << "usage: keysim serve CONFIG [--tcp PORT] [--record]\n"
               "       keysim list\n"
               "       keysim plug ID | unplug ID | press ID\n"
               "       keysim fault ID NAME [ARG...]   (NAME: "
            << keysim::Faults::names_help() << ")\n";
  return 2;
}

// --tcp PORT: also on 127.0.0.1:PORT (0: a free one, printed), for Windows programs under Wine.
// --record: keeps every report for REPORTS and takes RESET, for test fixtures in other processes.
int serve(const std::string& config_path, int tcp_port, bool recording) {
  std::vector<keysim::KeyConfig> keys;
  std::string error;
  if (!keysim::load_config(config_path, keys, error)) {
    std::cerr << "keysim: " << config_path << ": " << error << "\n";
    return 2;
  }
  const std::string path = keysim::wire::socket_path();
  keysim::Server server(std::move(keys), path);
  if (!server.listen(error) || (tcp_port >= 0 && !server.listen_tcp(tcp_port, error))) {
    std::cerr << "keysim: " << error << "\n";
    return 2;
  }
  server.set_recording(recording);
  running_server = &server;
  struct sigaction action {};
  action.sa_handler = on_signal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::cout << "keysim: serving " << config_path << " at " << path;
  if (tcp_port >= 0) std::cout << " and tcp:127.0.0.1:" << server.tcp_port();
  std::cout << std::endl;
  server.run();
  running_server = nullptr;
  return 0;
}

int command(const std::string& text, bool listing) {
  const std::string path = keysim::wire::socket_path();
  const keysim::wire::Socket fd = keysim::wire::connect_to(path);
  if (fd == keysim::wire::invalid_socket) {
    std::cerr << "keysim: no server at " << path << "; start one with keysim serve CONFIG\n";
    return 2;
  }
  std::string reply;
  const bool answered = keysim::wire::request(fd, text, reply);
  keysim::wire::close_socket(fd);
  if (!answered) {
    std::cerr << "keysim: the server at " << path << " did not answer\n";
    return 2;
  }
  if (reply.rfind("OK", 0) == 0) {
    std::string body = reply.size() > 3 ? reply.substr(3) : "";
    if (listing) {
      std::istringstream lines(body);
      for (std::string id, plugged, press_word, press, handles_word, handles; lines >> id >> plugged >> press_word >>
                                                                              press >> handles_word >> handles;) {
        std::printf("%-12s %-10s press mode %-12s %s handle%s open\n", id.c_str(), plugged.c_str(), press.c_str(),
                    handles.c_str(), handles == "1" ? "" : "s");
      }
    } else {
      std::cout << body << "\n";
    }
    return 0;
  }
  std::cerr << "keysim: " << (reply.rfind("ERR ", 0) == 0 ? reply.substr(4) : reply) << "\n";
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return usage();
  const std::string& verb = args[0];
  if (verb == "serve" && args.size() >= 2) {
    int tcp_port = -1;
    bool recording = false;
    for (std::size_t i = 2; i < args.size(); ++i) {
      if (args[i] == "--record") {
        recording = true;
      } else if (args[i] == "--tcp" && i + 1 < args.size()) {
        char* end = nullptr;
        const long port = std::strtol(args[++i].c_str(), &end, 10);
        if (*end != '\0' || port < 0 || port > 65535) return usage();
        tcp_port = static_cast<int>(port);
      } else {
        return usage();
      }
    }
    return serve(args[1], tcp_port, recording);
  }
  if (verb == "list" && args.size() == 1) return command("KEYS", true);
  if ((verb == "plug" || verb == "unplug" || verb == "press") && args.size() == 2) {
    std::string upper;
    for (char c : verb) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return command(upper + " " + args[1], false);
  }
  if (verb == "fault" && args.size() >= 3 && args.size() <= 5) {
    std::string line = "FAULT";
    for (std::size_t i = 1; i < args.size(); ++i) line += " " + args[i];
    return command(line, false);
  }
  return usage();
}
