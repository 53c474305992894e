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

TEST(Applet, PressModeWantsAPressInTheLastTenSeconds) {
  keysim::AppletState state;
  state.credentials.push_back({"S1", 2, keysim::Hash::sha1, 6, {'k'}, 0});
  state.active = "S1";
  auto now = std::chrono::steady_clock::time_point() + std::chrono::hours(1);
  keysim::Applet applet(state, [&] { return now; });
  bool selected = false;
  applet.process({0x00, 0xA4, 0x04, 0x00, 0x09, 0xD1, 0x56, 0x00, 0x01, 0x32, 0x83, 0x26, 0x01, 0x01}, selected);
  const Bytes get_active = {0x00, 0xE6, 0x00, 0x00, 0x00}, not_object = {0x69, 0x84};
  EXPECT_EQ(applet.process({0x80, 0xE1, 0x05, 0x02, 0x01, 0x01}, selected), (Bytes{0x90, 0x00}));
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
  for (const auto& [json, message] : cases) {
    std::vector<keysim::KeyConfig> keys;
    std::string error;
    EXPECT_FALSE(keysim::parse_config(json, keys, error)) << json;
    EXPECT_EQ(error.substr(0, message.size()), message) << json;
  }
}

TEST(Server, ControlToolSaysWhatItDidAndExitsByOutcome) {
  auto sim = std::make_unique<SimServer>();
  const std::pair<std::string, std::pair<int, std::string>> cases[] = {
      {"list", {0, "key0         plugged    press mode off          0 handles open\n"}},
      {"press key0", {0, "key0 pressed\n"}},
      {"fault key0 keepalive 3 2", {0, "key0: fault keepalive 3 2 armed\n"}},
      {"unplug nokey", {1, "keysim: unknown key: nokey\n"}},
      {"fault key0 stale -1", {1, "keysim: fault stale needs a count, 0 to 1000\n"}},
  };
  for (const auto& [arguments, expected] : cases) EXPECT_EQ(keysim_tool(arguments), expected) << arguments;
  EXPECT_EQ(keysim_tool("frobnicate").first, 2);
  EXPECT_EQ(keysim_tool("serve /nonexistent.json").first, 2);
  sim.reset();
  EXPECT_EQ(keysim_tool("list"), std::make_pair(2, "keysim: no server at " + std::string(std::getenv("KEYSIM_SOCKET")) +
                                                        "; start one with keysim serve CONFIG\n"));
}

TEST(Server, SocketIsPrivateReplacesAStaleOneAndSurvivesGarbage) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("keysim.sock").toStdString();
  const int stale = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);  // bound, then dead without unlinking
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
  ASSERT_EQ(::bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(stale);

  keysim::Server server({}, path);
  std::string error;
  ASSERT_TRUE(server.listen(error)) << error;
  std::thread thread([&] { server.run(); });
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  for (const std::string& junk : {std::string("OPEN"), std::string(3000, 'Z'), std::string("\x00\x01", 2),
                                  std::string("FAULT key0"), std::string("LIST")}) {
    const int fd = keysim::wire::connect_to(path);
    std::string reply;
    EXPECT_TRUE(keysim::wire::request(fd, junk, reply)) << junk;
    EXPECT_EQ(reply.substr(0, 2), junk == "LIST" ? "OK" : "ER") << junk;
    ::close(fd);
  }
  server.stop();
  thread.join();
}

// Windows programs reach keysim over loopback TCP, where each message carries its length.
TEST(Server, TcpFramesArriveWholeWhateverTheirPiecesAndTestsRemoteControlIt) {
  TempLog log;
  log.setup_quiet();
  QTemporaryDir dir;
  keysim::Server server({}, dir.filePath("keysim.sock").toStdString());
  std::string error;
  ASSERT_TRUE(server.listen(error) && server.listen_tcp(0, error)) << error;
  server.set_recording(true);
  std::thread thread([&] { server.run(); });
  const std::string address = "tcp:127.0.0.1:" + std::to_string(server.tcp_port());
  const auto frame = [](const std::string& message) {
    std::uint8_t header[4];
    keysim::wire::frame_header(message.size(), header);
    return std::string(header, header + 4) + message;
  };
  const auto reply_to = [&](keysim::wire::Socket fd) {
    char buffer[512];
    const long n = keysim::wire::receive_message(fd, buffer, sizeof buffer, 5000);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : "failed: " + std::to_string(n);
  };

  const keysim::wire::Socket fd = keysim::wire::connect_to(address);
  ASSERT_NE(fd, keysim::wire::invalid_socket);
  const std::string two = frame("KEYS") + frame("LIST"), half = frame("RESET " + SimServer::sample_config());
  ASSERT_EQ(::send(static_cast<int>(fd), two.data(), two.size(), 0), static_cast<ssize_t>(two.size()));
  EXPECT_EQ(reply_to(fd), "OK\n");
  EXPECT_EQ(reply_to(fd), "OK\n");
  ASSERT_EQ(::send(static_cast<int>(fd), half.data(), 40, 0), 40);
  char nothing[8];
  EXPECT_EQ(keysim::wire::receive_message(fd, nothing, sizeof nothing, 100), 0) << "no answer to half a frame";
  ASSERT_EQ(::send(static_cast<int>(fd), half.data() + 40, half.size() - 40, 0), static_cast<ssize_t>(half.size() - 40));
  EXPECT_EQ(reply_to(fd), "OK reset");

  // The key layer over TCP, and the reports it left, as a test in another process reads them.
  ::setenv("KEYSIM_SOCKET", address.c_str(), 1);
  ByteBuffer serial;
  EXPECT_EQ(outcome([&] { first_key_found()->op_get_active(serial); }), "ok");
  std::string reply;
  ASSERT_TRUE(keysim::wire::request(fd, "REPORTS key0 out", reply));
  EXPECT_EQ(std::count(reply.begin(), reply.end(), '\n'), 1 + 3) << reply;
  EXPECT_EQ(reply.substr(3, 14), "ffffffff860008") << "INIT first";
  ASSERT_TRUE(keysim::wire::request(fd, "FORGET", reply) && keysim::wire::request(fd, "REPORTS key0 in", reply));
  EXPECT_EQ(reply, "OK\n");

  const std::string too_long = std::string("\xff\xff\xff\xff", 4);
  ASSERT_EQ(::send(static_cast<int>(fd), too_long.data(), too_long.size(), 0), 4);
  EXPECT_EQ(keysim::wire::receive_message(fd, nothing, sizeof nothing, 5000), -1) << "a frame over the limit ends the connection";
  keysim::wire::close_socket(fd);
  server.stop();
  thread.join();
}

}  // namespace
