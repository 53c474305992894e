#include "sim/server.h"

#include "sim/wire.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace keysim {

namespace {

constexpr std::uint16_t fido_usage_page = 0xF1D0;
constexpr std::uint16_t fido_usage = 0x01;
constexpr std::uint16_t keyboard_usage_page = 0x01;
constexpr std::uint16_t keyboard_usage = 0x06;

std::string hex4(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", value & 0xFFFF);
  return text;
}

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

}  // namespace

Server::Server(std::vector<KeyConfig> keys, std::string socket_path) : path_(std::move(socket_path)) {
  load(std::move(keys));
}

void Server::load(std::vector<KeyConfig> keys) {
  keys_.clear();
  for (KeyConfig& config : keys) {
    auto key = std::make_unique<Key>();
    key->plugged = config.plugged;
    key->applet = std::make_shared<Applet>(config.applet);
    key->faults = std::make_shared<Faults>();
    for (bool fido : config.interfaces) {
      Interface i;
      i.fido = fido;
      if (fido) i.device = std::make_unique<U2fDevice>(key->applet, key->faults);
      key->interfaces.push_back(std::move(i));
    }
    key->config = std::move(config);
    keys_.push_back(std::move(key));
  }
}

Server::~Server() {
  for (auto& [fd, c] : connections_) ::close(fd);
  if (listen_fd_ >= 0) {
    ::close(listen_fd_);
    ::unlink(path_.c_str());
  }
  if (tcp_fd_ >= 0) ::close(tcp_fd_);
  for (int fd : wake_pipe_)
    if (fd >= 0) ::close(fd);
}

bool Server::listen(std::string& error) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path_.size() >= sizeof address.sun_path) {
    error = "socket path too long: " + path_;
    return false;
  }
  std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);

  const int probe = wire::connect_to(path_);
  if (probe >= 0) {
    ::close(probe);
    error = "a server is already running at " + path_;
    return false;
  }
  ::unlink(path_.c_str());  // a stale socket left by a server that died

  listen_fd_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  const mode_t old_mask = ::umask(0177);
  const bool bound = listen_fd_ >= 0 && ::bind(listen_fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::umask(old_mask);
  if (!bound || ::chmod(path_.c_str(), 0600) != 0 || ::listen(listen_fd_, 64) != 0) {
    error = "cannot listen at " + path_ + ": " + std::strerror(errno);
    return false;
  }
  if (::pipe2(wake_pipe_, O_NONBLOCK | O_CLOEXEC) != 0) {
    error = std::string("cannot make a pipe: ") + std::strerror(errno);
    return false;
  }
  return true;
}

bool Server::listen_tcp(int port, std::string& error) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  tcp_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  const int on = 1;
  socklen_t length = sizeof address;
  if (tcp_fd_ < 0 || ::setsockopt(tcp_fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      ::bind(tcp_fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || ::listen(tcp_fd_, 64) != 0 ||
      ::getsockname(tcp_fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
    return false;
  }
  tcp_port_ = ntohs(address.sin_port);
  return true;
}

void Server::stop() {
  const char byte = 0;
  [[maybe_unused]] const ssize_t ignored = ::write(wake_pipe_[1], &byte, 1);
}

void Server::run() {
  for (;;) {
    std::vector<pollfd> fds = {{wake_pipe_[0], POLLIN, 0}, {listen_fd_, POLLIN, 0}, {tcp_fd_, POLLIN, 0}};
    for (const auto& [fd, c] : connections_) fds.push_back({fd, POLLIN, 0});
    const int ready = ::poll(fds.data(), fds.size(), poll_timeout());
    if (ready < 0 && errno != EINTR) return;
    if (fds[0].revents) return;
    if (fds[1].revents & POLLIN) accept_client(listen_fd_, false);
    if (fds[2].revents & POLLIN) accept_client(tcp_fd_, true);
    for (std::size_t i = 3; i < fds.size(); ++i) {
      if (fds[i].revents && connections_.count(fds[i].fd)) on_readable(fds[i].fd);
    }
    run_timers();
    flush_due();
  }
}

int Server::poll_timeout() const {
  std::optional<TimePoint> next;
  for (const auto& key : keys_) {
    for (const Interface& i : key->interfaces) {
      if (!i.outbox.empty()) next = std::min(next.value_or(i.outbox.front().due), i.outbox.front().due);
      if (i.device) {
        if (auto deadline = i.device->next_deadline()) next = std::min(next.value_or(*deadline), *deadline);
      }
    }
  }
  if (!next) return -1;
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - std::chrono::steady_clock::now()).count();
  return static_cast<int>(std::clamp<long long>(wait, 0, 60000));
}

void Server::accept_client(int listener, bool stream) {
  for (;;) {
    const int fd = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    if (stream) {
      const int on = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    connections_[fd] = Connection{};
    connections_[fd].stream = stream;
  }
}

void Server::on_readable(int fd) {
  if (connections_[fd].stream) return read_stream(fd);
  std::uint8_t buffer[wire::max_datagram];
  const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT | MSG_TRUNC);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
  if (n <= 0) {
    drop(fd);
    return;
  }
  // A truncated message keeps its whole length, so an overlong report is still refused.
  on_message(fd, buffer, static_cast<std::size_t>(n));
}

// Frames come in pieces: what does not make a whole one waits for the next read.
void Server::read_stream(int fd) {
  char buffer[wire::max_datagram];
  const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
  if (n <= 0) {
    drop(fd);
    return;
  }
  std::string& inbox = connections_[fd].inbox;
  inbox.append(buffer, static_cast<std::size_t>(n));
  while (inbox.size() >= 4) {
    const std::size_t size = wire::frame_size(reinterpret_cast<const std::uint8_t*>(inbox.data()));
    if (size == 0 || size > wire::max_message) {
      drop(fd);
      return;
    }
    if (inbox.size() < 4 + size) return;
    const std::string message = inbox.substr(4, size);
    inbox.erase(0, 4 + size);
    on_message(fd, reinterpret_cast<const std::uint8_t*>(message.data()), message.size());
    if (!connections_.count(fd)) return;  // the message unplugged its own key
  }
}

void Server::on_message(int fd, const std::uint8_t* data, std::size_t length) {
  const std::size_t size = std::min(length, wire::max_datagram);
  Connection& c = connections_[fd];
  switch (c.role) {
    case Role::command:
      on_command(fd, std::string(reinterpret_cast<const char*>(data), size));
      break;
    case Role::handle:
      // An output report is at most 64 bytes; a longer write is refused, as hidraw refuses it.
      if (length <= u2fhid::report_size) on_report(c, Bytes(data, data + size));
      break;
    case Role::subscriber:
      break;
  }
}

void Server::on_command(int fd, const std::string& line) {
  const std::vector<std::string> w = words(line);
  auto reply = [fd](const std::string& text) { wire::send_message(fd, text.data(), text.size()); };
  if (w.empty()) return reply("ERR empty command");
  const std::string& verb = w[0];

  if (verb == "LIST" && w.size() == 1) return reply("OK\n" + list_devices());
  if (verb == "KEYS" && w.size() == 1) return reply("OK\n" + describe_keys());
  if (verb == "SUBSCRIBE" && w.size() == 1) {
    connections_[fd].role = Role::subscriber;
    return reply("OK subscribed");
  }
  if (verb == "RESET" && recording_) {
    std::string answer;
    reset(line.substr(verb.size()), answer);
    return reply(answer);
  }
  if (verb == "FORGET" && recording_ && w.size() == 1) {
    records_.clear();
    return reply("OK forgotten");
  }
  if (verb == "REPORTS" && recording_ && w.size() == 3 && (w[2] == "out" || w[2] == "in"))
    return reply("OK\n" + recorded(w[1], w[2] == "out"));
  if (w.size() < 2) return reply("ERR unknown command: " + line);
  Key* key = find(w[1]);
  if (!key) return reply("ERR unknown key: " + w[1]);

  if (verb == "OPEN" && w.size() == 3) {
    char* end = nullptr;
    const unsigned long index = std::strtoul(w[2].c_str(), &end, 10);
    if (!key->plugged || *end != '\0' || index >= key->interfaces.size()) return reply("ERR no such device");
    if (!key->config.openable) return reply("ERR permission denied");
    Connection& c = connections_[fd];
    c.role = Role::handle;
    c.key = key;
    c.interface = index;
    key->interfaces[index].handles.push_back(fd);
    return reply("OK opened");
  }
  if (verb == "PLUG" && w.size() == 2) {
    plug(*key);
    return reply("OK " + key->config.id + " plugged");
  }
  if (verb == "UNPLUG" && w.size() == 2) {
    unplug(*key);
    return reply("OK " + key->config.id + " unplugged");
  }
  if (verb == "PRESS" && w.size() == 2) {
    key->applet->press();
    return reply("OK " + key->config.id + " pressed");
  }
  if (verb == "FAULT" && w.size() >= 3 && w.size() <= 5) {
    const std::string argument = w.size() == 3 ? "" : w.size() == 4 ? w[3] : w[3] + " " + w[4];
    std::string error;
    if (!key->faults->arm(w[2], argument, error)) return reply("ERR " + error);
    queue_stale_reports(*key);
    return reply("OK " + key->config.id + ": fault " + w[2] + (argument.empty() ? "" : " " + argument) + " armed");
  }
  reply("ERR unknown command: " + line);
}

void Server::on_report(Connection& c, const Bytes& report) {
  Interface& i = c.key->interfaces[c.interface];
  record(c.key->config.id, true, report);
  if (!i.device) return;  // a keyboard interface opens, but never answers
  deliver(*c.key, c.interface, i.device->handle(report));
}

void Server::deliver(Key& key, std::size_t interface, DeviceOutput out) {
  if (out.removed) return unplug(key);
  Interface& i = key.interfaces[interface];
  TimePoint due = std::chrono::steady_clock::now();
  if (!i.outbox.empty()) due = std::max(due, i.outbox.back().due);
  for (std::size_t n = 0; n < out.reports.size(); ++n) {
    due += key.faults->latency;
    i.outbox.push_back({due, std::move(out.reports[n])});
    if (n < out.paced) due += out.pace;
  }
}

// Sent before the command is answered, so they are queued by the time the client goes on.
void Server::queue_stale_reports(Key& key) {
  if (!key.faults->stale) return;
  for (std::size_t n = 0; n < key.interfaces.size(); ++n) {
    if (key.interfaces[n].device) deliver(key, n, {key.interfaces[n].device->stale_reports(key.faults->stale)});
  }
  key.faults->stale = 0;
  flush_due();
}

void Server::run_timers() {
  for (auto& key : keys_) {
    for (std::size_t n = 0; n < key->interfaces.size(); ++n) {
      if (key->interfaces[n].device) deliver(*key, n, key->interfaces[n].device->tick());
    }
  }
}

// Every open handle of an interface gets every input report, as with hidraw.
void Server::flush_due() {
  const TimePoint now = std::chrono::steady_clock::now();
  for (auto& key : keys_) {
    for (Interface& i : key->interfaces) {
      while (!i.outbox.empty() && i.outbox.front().due <= now) {
        const Bytes& report = i.outbox.front().report;
        record(key->config.id, false, report);
        for (int fd : i.handles) wire::send_message(fd, report.data(), report.size());
        i.outbox.pop_front();
      }
    }
  }
}

void Server::drop(int fd) {
  auto it = connections_.find(fd);
  if (it == connections_.end()) return;
  if (it->second.role == Role::handle) {
    auto& handles = it->second.key->interfaces[it->second.interface].handles;
    handles.erase(std::remove(handles.begin(), handles.end(), fd), handles.end());
  }
  ::close(fd);
  connections_.erase(it);
}

void Server::plug(Key& key) {
  if (key.plugged) return;
  key.plugged = true;
  announce("PLUG " + key.config.id + " " + hex4(key.config.vendor_id) + " " + hex4(key.config.product_id));
}

// Pulling the key closes every handle at once, so each client's next read or write fails.
void Server::unplug(Key& key) {
  if (!key.plugged) return;
  key.plugged = false;
  for (Interface& i : key.interfaces) {
    const std::vector<int> handles = i.handles;
    for (int fd : handles) drop(fd);
    i.outbox.clear();
    if (i.device) i.device->reset();
  }
  announce("UNPLUG " + key.config.id + " " + hex4(key.config.vendor_id) + " " + hex4(key.config.product_id));
}

void Server::announce(const std::string& event) {
  for (const auto& [fd, c] : connections_) {
    if (c.role == Role::subscriber) wire::send_message(fd, event.data(), event.size());
  }
}

void Server::record(const std::string& key_id, bool from_host, const Bytes& report) {
  if (recording_) records_.push_back({key_id, from_host, report});
}

// One report a line, in hexadecimal, oldest first.
std::string Server::recorded(const std::string& key_id, bool from_host) const {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (const Record& r : records_) {
    if (r.key != key_id || r.from_host != from_host) continue;
    for (std::uint8_t b : r.report) out += {digits[b >> 4], digits[b & 15]};
    out += '\n';
  }
  return out;
}

// New keys for the next test: every open handle is closed as if its key were pulled, without
// announcing anything, and the recorded reports are forgotten.
void Server::reset(const std::string& config_json, std::string& reply) {
  std::vector<KeyConfig> keys;
  std::string error;
  if (!parse_config(config_json, keys, error)) {
    reply = "ERR " + error;
    return;
  }
  std::vector<int> handles;
  for (const auto& [fd, c] : connections_)
    if (c.role == Role::handle) handles.push_back(fd);
  for (int fd : handles) drop(fd);
  load(std::move(keys));
  records_.clear();
  reply = "OK reset";
}

Server::Key* Server::find(const std::string& id) {
  for (auto& key : keys_)
    if (key->config.id == id) return key.get();
  return nullptr;
}

std::string Server::list_devices() const {
  std::string out;
  for (const auto& key : keys_) {
    if (!key->plugged) continue;
    for (std::size_t n = 0; n < key->interfaces.size(); ++n) {
      const bool fido = key->interfaces[n].fido;
      out += "DEVICE " + key->config.id + " " + std::to_string(n) + " " + hex4(key->config.vendor_id) + " " +
             hex4(key->config.product_id) + " " + hex4(fido ? fido_usage_page : keyboard_usage_page) + " " +
             hex4(fido ? fido_usage : keyboard_usage) + "\n";
    }
  }
  return out;
}

std::string Server::describe_keys() const {
  std::string out;
  for (const auto& key : keys_) {
    std::size_t handles = 0;
    for (const Interface& i : key->interfaces) handles += i.handles.size();
    const AppletState& state = key->applet->state();
    out += key->config.id + " " + (key->plugged ? "plugged" : "unplugged") + " press-mode " +
           (!state.press_mode_supported ? "unsupported" : state.press_mode ? "on" : "off") + " handles " +
           std::to_string(handles) + "\n";
  }
  return out;
}

}  // namespace keysim
