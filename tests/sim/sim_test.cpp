// What of the simulated key no key-layer test reaches: the press window, config errors, the
// control tool, the socket itself.
#include "sim/applet.h"
#include "sim/config.h"
#include "sim/server.h"
#include "sim/wire.h"
#include "tests/support/sim_server.h"

#include <cstdio>
#include <cstdlib>
#include <thread>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using keysim::Bytes;

std::pair<int, std::string> keysim_tool(const std::string& arguments) {
  std::string output;
  FILE* pipe = ::popen((std::string(KEYSIM_BIN) + " " + arguments + " 2>&1").c_str(), "r");
  char buffer[256];
  while (pipe && std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
  const int status = pipe ? ::pclose(pipe) : -1;
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

// The press-mode commands over the wire: Key.EachOperationSendsItsBodyOnAFreshChannel; what they
// do to the main page: Model.KeyFailuresBecomeTheirTexts.
TEST(Applet, PressModeWantsAPressInTheLastTenSeconds) {
  auto now = std::chrono::steady_clock::time_point() + std::chrono::hours(1);
  // S1 active, press mode supported and on.
  keysim::Applet applet({{{"S1", 2, keysim::Hash::sha1, 6, {'k'}, 0}}, "S1", true, true}, [&] { return now; });
  bool selected = true;
  const Bytes get_active = {0x00, 0xE6, 0x00, 0x00, 0x00}, not_object = {0x69, 0x84};
  EXPECT_EQ(applet.process(get_active, selected), not_object);
  applet.press();
  now += std::chrono::seconds(10);
  EXPECT_EQ(applet.process(get_active, selected).size(), 7u);
  now += std::chrono::milliseconds(1);
  EXPECT_EQ(applet.process(get_active, selected), not_object);
}

TEST(Config, ErrorsNameTheKeyAndTheField) {
  const auto key_with = [](const std::string& fields) { return R"({"keys": [{"id": "k1", "product_id": 2136, )" + fields + "}]}"; };
  const std::pair<std::string, std::string> cases[] = {
      {"{", "not JSON"},
      {R"({"keys": [{"product_id": 1}]})", "key #1: field id: must be a non-empty string"},
      {R"({"keys": [{"id": "k1"}]})", "key k1: field product_id: missing"},
      {key_with(R"("active": "X")"), "key k1: field active: names no credential of this key"},
      {key_with(R"("credentials": [{"serial": "S", "algorithm": 2, "hash": 1, "secret": "1!"}])"),
       "key k1: credentials[0]: field secret: must be base32 (RFC 4648)"},
  };
  std::vector<keysim::KeyConfig> keys;
  std::string error;
  for (const auto& [json, message] : cases)
    EXPECT_TRUE(!keysim::parse_config(json, keys, error) && error.rfind(message, 0) == 0) << json << "\n" << error;
}

TEST(Server, ControlToolSaysWhatItDidAndExitsByOutcome) {
  auto sim = std::make_unique<SimServer>();
  // list, plug, unplug and press: the end-to-end tests' and cli_test.sh's own use of the tool.
  const std::pair<std::string, std::pair<int, std::string>> cases[] = {
      {"fault key0 keepalive 3 2", {0, "key0: fault keepalive 3 2 armed\n"}},
      {"unplug nokey", {1, "keysim: unknown key: nokey\n"}},
      {"fault key0 stale -1", {1, "keysim: fault stale needs a count, 0 to 1000\n"}},
  };
  for (const auto& [arguments, expected] : cases) EXPECT_EQ(keysim_tool(arguments), expected) << arguments;
  for (const char* usage : {"frobnicate", "serve /nonexistent.json"}) EXPECT_EQ(keysim_tool(usage).first, 2) << usage;
  sim.reset();
  EXPECT_EQ(keysim_tool("list"), std::make_pair(2, "keysim: no server at " + std::string(std::getenv("KEYSIM_SOCKET")) +
                                                        "; start one with keysim serve CONFIG\n"));
}

// Both of keysim's sockets: the Unix one private, a stale one replaced; garbage answered with an
// error on either; over TCP (for Windows programs) each message framed by its length.
TEST(Server, SocketsArePrivateSurviveGarbageAndTcpFramesArriveWhole) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("keysim.sock").toStdString();
  const int stale = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);  // bound, then dead without unlinking
  sockaddr_un address{AF_UNIX, {}};
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
  ASSERT_EQ(::bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(stale);

  keysim::Server server({}, path);
  std::string error;
  ASSERT_TRUE(server.listen(error) && server.listen_tcp(0, error)) << error;
  std::thread thread([&] { server.run(); });
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 01000u, 0600u);
  const std::string tcp = "tcp:127.0.0.1:" + std::to_string(server.tcp_port());
  for (const std::string& at : {path, tcp}) {
    for (const std::string& junk : {std::string("OPEN"), std::string(3000, 'Z'), std::string("\x00\x01", 2),
                                    std::string("FAULT key0"), std::string("RESET {}"), std::string("LIST")}) {
      const keysim::wire::Socket fd = keysim::wire::connect_to(at);
      std::string reply;
      EXPECT_EQ(keysim::wire::request(fd, junk, reply) ? reply.substr(0, 2) : "no reply", junk == "LIST" ? "OK" : "ER") << at << junk;
      keysim::wire::close_socket(fd);
    }
  }

  // A frame in two pieces is answered once whole; a frame over the limit ends the connection.
  const keysim::wire::Socket fd = keysim::wire::connect_to(tcp);
  std::uint8_t header[4];
  keysim::wire::frame_header(4, header);
  const std::string list = std::string(header, header + 4) + "LIST", too_long = "\xff\xff\xff\xff";
  char reply[16];
  ASSERT_EQ(::send(static_cast<int>(fd), list.data(), 6, 0), 6);
  EXPECT_EQ(keysim::wire::receive_message(fd, reply, sizeof reply, 100), 0) << "no answer to half a frame";
  ASSERT_EQ(::send(static_cast<int>(fd), list.data() + 6, 2, 0), 2);
  EXPECT_EQ(keysim::wire::receive_message(fd, reply, sizeof reply, 5000), 3);
  ASSERT_EQ(::send(static_cast<int>(fd), too_long.data(), 4, 0), 4);
  EXPECT_EQ(keysim::wire::receive_message(fd, reply, sizeof reply, 5000), -1);
  keysim::wire::close_socket(fd);
  server.stop();
  thread.join();
}

}  // namespace
