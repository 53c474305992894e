// The simulated key through the real server, the real socket and the hidapi-compatible library.
#include "sim/wire.h"
#include "tests/sim/u2f_host.h"

#include <hidapi.h>

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <future>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using host::Bytes;

const char* const config_text = R"({"keys": [
  {"id": "key0", "product_id": 2136, "press_mode_supported": true, "active": "OT000001",
   "credentials": [{"serial": "OT000001", "algorithm": 2, "hash": 1, "secret": "GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ"}]},
  {"id": "kbd", "product_id": 2137, "interfaces": ["keyboard", "fido"]},
  {"id": "other", "vendor_id": 4660, "product_id": 1}]})";

struct Result {
  int status = -1;
  std::string output;
};

Result run(const std::string& arguments) {
  Result r;
  FILE* pipe = ::popen((std::string(KEYSIM_BIN) + " " + arguments + " 2>&1").c_str(), "r");
  char buffer[256];
  while (pipe && std::fgets(buffer, sizeof buffer, pipe)) r.output += buffer;
  const int status = pipe ? ::pclose(pipe) : -1;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

class Bus : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    socket_path = dir.filePath("keysim.sock").toStdString();
    config_path = dir.filePath("keys.json").toStdString();
    ::setenv("KEYSIM_SOCKET", socket_path.c_str(), 1);
    std::ofstream(config_path) << config_text;
    start_server();
  }

  void TearDown() override { stop_server(); }

  void start_server() {
    server = ::fork();
    if (server == 0) {
      std::freopen("/dev/null", "w", stdout);
      ::execl(KEYSIM_BIN, KEYSIM_BIN, "serve", config_path.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    for (int i = 0; i < 500; ++i) {
      const int fd = keysim::wire::connect_to(socket_path);
      if (fd >= 0) {
        ::close(fd);
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    FAIL() << "keysim serve did not start";
  }

  void stop_server() {
    if (server <= 0) return;
    ::kill(server, SIGTERM);
    int status = 0;
    ::waitpid(server, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the server crashed or failed: " << status;
    server = -1;
  }

  static hid_device* open_key(const char* path = "keysim:key0:0") {
    hid_device* dev = hid_open_path(path);
    EXPECT_NE(dev, nullptr) << path;
    return dev;
  }

  static int write_packet(hid_device* dev, const Bytes& packet) {
    Bytes report = {0x00};
    report.insert(report.end(), packet.begin(), packet.end());
    return hid_write(dev, report.data(), report.size());
  }

  static Bytes read_report(hid_device* dev, int timeout_ms = 2000) {
    unsigned char buffer[256];
    const int n = hid_read_timeout(dev, buffer, sizeof buffer, timeout_ms);
    return n > 0 ? Bytes(buffer, buffer + n) : Bytes{};
  }

  static const Bytes nonce;
  static Bytes init_request() { return host::frame(host::broadcast, 0x86, nonce)[0]; }

  QTemporaryDir dir;
  std::string socket_path, config_path;
  pid_t server = -1;
};

const Bytes Bus::nonce = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE};

TEST_F(Bus, EnumeratesEveryInterfaceWithItsUsage) {
  hid_device_info* devs = hid_enumerate(0x096E, 0);
  std::vector<std::tuple<std::string, int, int, int, int>> seen;
  for (hid_device_info* d = devs; d; d = d->next) {
    EXPECT_EQ(d->vendor_id, 0x096E);
    seen.emplace_back(d->path, d->product_id, d->usage_page, d->usage, d->interface_number);
  }
  hid_free_enumeration(devs);
  const decltype(seen) expected = {{"keysim:key0:0", 2136, 0xF1D0, 1, 0},
                                   {"keysim:kbd:0", 2137, 0x0001, 6, 0},
                                   {"keysim:kbd:1", 2137, 0xF1D0, 1, 1}};
  EXPECT_EQ(seen, expected);

  devs = hid_enumerate(0, 0);
  int count = 0;
  for (hid_device_info* d = devs; d; d = d->next) ++count;
  hid_free_enumeration(devs);
  EXPECT_EQ(count, 4);

  devs = hid_enumerate(0x096E, 2137);
  ASSERT_NE(devs, nullptr);
  EXPECT_STREQ(devs->path, "keysim:kbd:0");
  hid_free_enumeration(devs);
}

TEST_F(Bus, InitRoundTripWithPaddedShortWrite) {
  hid_device* dev = open_key();
  ASSERT_NE(dev, nullptr);
  Bytes short_write = {0x00};
  const Bytes request = init_request();
  short_write.insert(short_write.end(), request.begin(), request.begin() + 15);  // 16 bytes with the report id
  EXPECT_EQ(hid_write(dev, short_write.data(), short_write.size()), 16);
  const Bytes reply = read_report(dev);
  ASSERT_EQ(reply.size(), 64u);
  EXPECT_EQ(host::cid_of(reply), host::broadcast);
  EXPECT_EQ(Bytes(reply.begin() + 7, reply.begin() + 15), nonce);

  unsigned char nothing = 0;
  EXPECT_EQ(hid_write(dev, &nothing, 0), -1) << "a zero-length write is refused, as by hidraw";
  EXPECT_NE(hid_error(dev), nullptr);
  Bytes too_long(66, 0);
  EXPECT_EQ(hid_write(dev, too_long.data(), too_long.size()), -1);
  hid_close(dev);
}

TEST_F(Bus, ReadsTimeOutAndNonBlockingReadsReturnAtOnce) {
  hid_device* dev = open_key();
  ASSERT_NE(dev, nullptr);
  unsigned char buffer[64];
  EXPECT_EQ(hid_read_timeout(dev, buffer, sizeof buffer, 50), 0);
  EXPECT_EQ(hid_set_nonblocking(dev, 1), 0);
  EXPECT_EQ(hid_read(dev, buffer, sizeof buffer), 0);
  hid_close(dev);

  hid_device* keyboard = open_key("keysim:kbd:0");
  ASSERT_NE(keyboard, nullptr);
  EXPECT_EQ(write_packet(keyboard, init_request()), 65);
  EXPECT_EQ(hid_read_timeout(keyboard, buffer, sizeof buffer, 200), 0) << "a keyboard interface never answers";
  hid_close(keyboard);

  EXPECT_EQ(hid_open_path("keysim:key0:1"), nullptr);
  EXPECT_EQ(hid_open_path("keysim:nokey:0"), nullptr);
  EXPECT_EQ(hid_open_path("/dev/hidraw0"), nullptr);
}

TEST_F(Bus, TwoHandlesOnOneKeyBothReceiveEveryReport) {
  hid_device* a = open_key();
  hid_device* b = open_key();
  ASSERT_TRUE(a && b);
  EXPECT_EQ(run("list").output.find("1 handle"), std::string::npos);
  EXPECT_NE(run("list").output.find("2 handles open"), std::string::npos);
  ASSERT_EQ(write_packet(a, init_request()), 65);
  const Bytes to_a = read_report(a);
  const Bytes to_b = read_report(b);
  ASSERT_EQ(to_a.size(), 64u);
  EXPECT_EQ(to_a, to_b);
  hid_close(a);
  hid_close(b);
}

TEST_F(Bus, UnplugFailsABlockingReadAndEveryLaterCall) {
  hid_device* dev = open_key();
  ASSERT_NE(dev, nullptr);
  auto blocked = std::async(std::launch::async, [dev] {
    unsigned char buffer[64];
    return hid_read(dev, buffer, sizeof buffer);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const Result unplug = run("unplug key0");
  EXPECT_EQ(unplug.status, 0);
  EXPECT_EQ(unplug.output, "key0 unplugged\n");
  ASSERT_EQ(blocked.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_EQ(blocked.get(), -1);
  EXPECT_EQ(write_packet(dev, init_request()), -1);
  EXPECT_EQ(read_report(dev, 10), Bytes{});
  hid_close(dev);

  EXPECT_EQ(hid_open_path("keysim:key0:0"), nullptr);
  hid_device_info* devs = hid_enumerate(0x096E, 2136);
  EXPECT_EQ(devs, nullptr);
  hid_free_enumeration(devs);
  EXPECT_NE(run("list").output.find("key0         unplugged"), std::string::npos);

  EXPECT_EQ(run("plug key0").output, "key0 plugged\n");
  dev = open_key();
  ASSERT_NE(dev, nullptr);
  ASSERT_EQ(write_packet(dev, init_request()), 65);
  EXPECT_EQ(read_report(dev).size(), 64u);
  hid_close(dev);
}

TEST_F(Bus, RemoveFaultPullsTheKeyMidExchange) {
  hid_device* dev = open_key();
  ASSERT_NE(dev, nullptr);
  EXPECT_EQ(run("fault key0 remove").status, 0);
  ASSERT_EQ(write_packet(dev, init_request()), 65);
  unsigned char buffer[64];
  EXPECT_EQ(hid_read_timeout(dev, buffer, sizeof buffer, 2000), -1);
  hid_close(dev);
  EXPECT_NE(run("list").output.find("unplugged"), std::string::npos);
}

TEST_F(Bus, LatencyDelaysEveryInputReport) {
  EXPECT_EQ(run("fault key0 latency 300").output, "key0: fault latency 300 armed\n");
  hid_device* dev = open_key();
  ASSERT_NE(dev, nullptr);
  ASSERT_EQ(write_packet(dev, init_request()), 65);
  unsigned char buffer[64];
  EXPECT_EQ(hid_read_timeout(dev, buffer, sizeof buffer, 100), 0);
  EXPECT_EQ(read_report(dev, 2000).size(), 64u);
  hid_close(dev);
}

TEST_F(Bus, SubscribersHearPlugAndUnplug) {
  const int fd = keysim::wire::connect_to(socket_path);
  ASSERT_GE(fd, 0);
  std::string reply;
  ASSERT_TRUE(keysim::wire::request(fd, "SUBSCRIBE", reply));
  EXPECT_EQ(reply, "OK subscribed");
  run("unplug key0");
  run("unplug key0");  // no second event for a key already out
  run("plug key0");
  char buffer[128];
  ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
  EXPECT_EQ(std::string(buffer, n > 0 ? n : 0), "UNPLUG key0 096E 0858");
  n = ::recv(fd, buffer, sizeof buffer, 0);
  EXPECT_EQ(std::string(buffer, n > 0 ? n : 0), "PLUG key0 096E 0858");
  ::close(fd);
}

TEST_F(Bus, ControlToolSaysWhatItDidAndExitsByOutcome) {
  Result r = run("list");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output,
            "key0         plugged    press mode off          0 handles open\n"
            "kbd          plugged    press mode unsupported  0 handles open\n"
            "other        plugged    press mode unsupported  0 handles open\n");
  r = run("press key0");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output, "key0 pressed\n");
  r = run("fault key0 status 6984");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output, "key0: fault status 6984 armed\n");
  r = run("unplug nokey");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output, "keysim: unknown key: nokey\n");
  r = run("fault key0 melt");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output.rfind("keysim: unknown fault: melt", 0), 0u);
  EXPECT_EQ(run("frobnicate").status, 2);
  EXPECT_EQ(run("").status, 2);

  stop_server();
  r = run("list");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.output, "keysim: no server at " + socket_path + "; start one with keysim serve CONFIG\n");
  EXPECT_EQ(hid_enumerate(0, 0), nullptr);
  EXPECT_EQ(hid_open_path("keysim:key0:0"), nullptr);
}

TEST_F(Bus, SocketIsPrivateAndAStaleOneIsReplaced) {
  struct stat st {};
  ASSERT_EQ(::stat(socket_path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  const Result second = run("serve " + config_path);
  EXPECT_EQ(second.status, 2);
  EXPECT_NE(second.output.find("already running"), std::string::npos);

  ::kill(server, SIGKILL);  // dies without removing its socket
  ::waitpid(server, nullptr, 0);
  server = -1;
  ASSERT_EQ(::stat(socket_path.c_str(), &st), 0) << "the stale socket should still be there";
  start_server();
  EXPECT_EQ(run("list").status, 0);
}

TEST_F(Bus, InvalidConfigIsRefusedWithKeyAndField) {
  const std::string bad = dir.filePath("bad.json").toStdString();
  std::ofstream(bad) << R"({"keys": [{"id": "k9", "product_id": "x"}]})";
  ::setenv("KEYSIM_SOCKET", dir.filePath("bad.sock").toStdString().c_str(), 1);
  const Result r = run("serve " + bad);
  ::setenv("KEYSIM_SOCKET", socket_path.c_str(), 1);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.output.find("key k9: field product_id"), std::string::npos) << r.output;
  EXPECT_FALSE(QFileInfo::exists(dir.filePath("bad.sock")));
}

TEST_F(Bus, GarbageAndHalfMessagesDoNotHurtTheServer) {
  for (const std::string& junk : {std::string("OPEN"), std::string("OPEN key0 x"), std::string(3000, 'Z'),
                                  std::string("\x00\x01", 2), std::string("FAULT key0")}) {
    const int fd = keysim::wire::connect_to(socket_path);
    std::string reply;
    EXPECT_TRUE(keysim::wire::request(fd, junk, reply));
    EXPECT_EQ(reply.rfind("ERR", 0), 0u) << reply;
    ::close(fd);
  }
  // A handle that sends the first packet of a long message and goes away.
  hid_device* quitter = open_key();
  ASSERT_NE(quitter, nullptr);
  write_packet(quitter, init_request());
  const Bytes reply = read_report(quitter);
  ASSERT_EQ(reply.size(), 64u);
  const std::uint32_t cid = host::cid_of(reply, 15);
  write_packet(quitter, host::frame(cid, 0x81, Bytes(200, 1))[0]);
  Bytes oversize(100, 0x55);
  EXPECT_EQ(hid_write(quitter, oversize.data(), oversize.size()), -1);
  hid_close(quitter);

  // Another program on the same key gets "busy" until the half message times out, then service.
  hid_device* dev = open_key();
  ASSERT_NE(dev, nullptr);
  write_packet(dev, init_request());
  const Bytes busy = read_report(dev);
  ASSERT_EQ(busy.size(), 64u);
  EXPECT_EQ(busy[4], 0xBF);
  EXPECT_EQ(busy[7], 0x06);
  const Bytes timeout = read_report(dev, 5000);
  ASSERT_EQ(timeout.size(), 64u);
  EXPECT_EQ(host::cid_of(timeout), cid);
  EXPECT_EQ(timeout[7], 0x05);
  write_packet(dev, init_request());
  const Bytes served = read_report(dev);
  ASSERT_EQ(served.size(), 64u);
  EXPECT_EQ(Bytes(served.begin() + 7, served.begin() + 15), nonce);
  hid_close(dev);
  EXPECT_EQ(run("list").status, 0);
}

}  // namespace
