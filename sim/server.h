#pragma once

#include "sim/config.h"
#include "sim/device.h"

#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace keysim {

// Hosts simulated keys on a Unix-domain socket, and on loopback TCP when asked. One thread, one
// poll loop: no client can block another, and a client that does not read loses reports as it
// would with a full hidraw queue.
class Server {
 public:
  Server(std::vector<KeyConfig> keys, std::string socket_path);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Binds the socket (mode 0600, replacing a stale one). Returns false, with the reason, when
  // the path is taken by a running server or cannot be bound.
  bool listen(std::string& error);
  // Also listens on 127.0.0.1:port (0: a free port), for Windows clients under Wine. Call after
  // listen(). Returns false, with the reason, when the port cannot be bound.
  bool listen_tcp(int port, std::string& error);
  int tcp_port() const { return tcp_port_; }
  // Keeps every report of every key as it crosses the wire, for the REPORTS command, and accepts
  // RESET: for test fixtures, in this process or another. Set it before run().
  void set_recording(bool on) { recording_ = on; }
  // Serves until stop() is called (from any thread or a signal handler).
  void run();
  void stop();


 private:
  using TimePoint = std::chrono::steady_clock::time_point;
  struct Outgoing {
    TimePoint due;
    Bytes report;
  };
  struct Interface {
    bool fido = true;
    std::unique_ptr<U2fDevice> device;
    std::vector<int> handles;
    std::deque<Outgoing> outbox;
  };
  struct Key {
    KeyConfig config;
    bool plugged = true;
    std::shared_ptr<Applet> applet;
    std::shared_ptr<Faults> faults;
    std::vector<Interface> interfaces;
  };
  enum class Role { command, handle, subscriber };
  struct Connection {
    Role role = Role::command;
    Key* key = nullptr;
    std::size_t interface = 0;
    bool stream = false;
    std::string inbox;  // a stream's bytes that do not make a whole frame yet
  };
  struct Record {
    std::string key;
    bool from_host;
    Bytes report;
  };

  void load(std::vector<KeyConfig> keys);
  void accept_client(int listener, bool stream);
  void on_message(int fd, const std::uint8_t* data, std::size_t size);
  void read_stream(int fd);
  void record(const std::string& key_id, bool from_host, const Bytes& report);
  std::string recorded(const std::string& key_id, bool from_host) const;
  void reset(const std::string& config_json, std::string& reply);
  void on_readable(int fd);
  void on_command(int fd, const std::string& line);
  void on_report(Connection& c, const Bytes& report);
  void deliver(Key& key, std::size_t interface, DeviceOutput out);
  void queue_stale_reports(Key& key);
  void flush_due();
  void run_timers();
  int poll_timeout() const;
  void drop(int fd);
  void plug(Key& key);
  void unplug(Key& key);
  void announce(const std::string& event);
  Key* find(const std::string& id);
  std::string describe_keys() const;
  std::string list_devices() const;

  std::vector<std::unique_ptr<Key>> keys_;
  std::string path_;
  int listen_fd_ = -1;
  int tcp_fd_ = -1;
  int tcp_port_ = 0;
  bool recording_ = false;
  std::vector<Record> records_;
  int wake_pipe_[2] = {-1, -1};
  std::map<int, Connection> connections_;
};

}  // namespace keysim
