// The wire on POSIX sockets: the keysim server, and the Linux clients.
#include "sim/wire_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace keysim::wire {

std::string socket_path() {
  if (const char* explicit_path = std::getenv("KEYSIM_SOCKET"); explicit_path && *explicit_path)
    return explicit_path;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
    return std::string(runtime) + "/umbrata-keysim.sock";
  return "/tmp/umbrata-keysim-" + std::to_string(::getuid()) + ".sock";
}

namespace socket {

namespace {

int fd_of(Socket s) { return static_cast<int>(s); }

}  // namespace

Socket connect_local(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return invalid_socket;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd < 0) return invalid_socket;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return invalid_socket;
  }
  return fd;
}

Socket connect_tcp(const std::string& host, int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) return invalid_socket;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return invalid_socket;
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return invalid_socket;
  }
  return fd;
}

void close(Socket s) {
  if (s != invalid_socket) ::close(fd_of(s));
}

bool is_stream(Socket s) {
  int type = 0;
  socklen_t length = sizeof type;
  return ::getsockopt(fd_of(s), SOL_SOCKET, SO_TYPE, &type, &length) == 0 && type == SOCK_STREAM;
}

int wait_readable(Socket s, int timeout_ms, bool interruptible) {
  pollfd p{fd_of(s), POLLIN, 0};
  int ready;
  do {
    ready = ::poll(&p, 1, timeout_ms);
  } while (ready < 0 && errno == EINTR && !interruptible);
  if (ready < 0) return errno == EINTR ? static_cast<int>(interrupted) : -1;
  return ready > 0 ? 1 : 0;
}

bool at_end(Socket s) {
  char byte;
  return wait_readable(s, 0) == 1 && ::recv(fd_of(s), &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
}

Sent send_datagram(Socket s, const void* data, std::size_t size) {
  ssize_t sent;
  do {
    sent = ::send(fd_of(s), data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
  } while (sent < 0 && errno == EINTR);
  if (sent == static_cast<ssize_t>(size)) return Sent::whole;
  return sent < 0 && errno == EAGAIN ? Sent::lost : Sent::peer_gone;
}

long receive_datagram(Socket s, void* buffer, std::size_t capacity) {
  ssize_t n;
  do {
    n = ::recv(fd_of(s), buffer, capacity, MSG_DONTWAIT);
  } while (n < 0 && errno == EINTR);
  if (n < 0 && errno == EAGAIN) return 0;
  return n <= 0 ? -1 : static_cast<long>(n);
}

long send_some(Socket s, const void* data, std::size_t size) {
  ssize_t sent;
  do {
    sent = ::send(fd_of(s), data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
  } while (sent < 0 && errno == EINTR);
  if (sent < 0) return errno == EAGAIN ? 0 : -1;
  return sent;
}

long receive_some(Socket s, void* data, std::size_t size) {
  ssize_t n;
  do {
    n = ::recv(fd_of(s), data, size, MSG_DONTWAIT);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return errno == EAGAIN ? 0 : -1;
  return n == 0 ? -1 : n;
}

bool wait_writable(Socket s, int timeout_ms) {
  pollfd p{fd_of(s), POLLOUT, 0};
  return ::poll(&p, 1, timeout_ms) > 0;
}

void shut_down(Socket s) { ::shutdown(fd_of(s), SHUT_RDWR); }

}  // namespace socket
}  // namespace keysim::wire
