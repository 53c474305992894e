#include "sim/wire.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
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

int connect_to(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return -1;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool send_message(int fd, const void* data, std::size_t size) {
  ssize_t sent;
  do {
    sent = ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
  } while (sent < 0 && errno == EINTR);
  return sent == static_cast<ssize_t>(size);
}

bool request(int fd, const std::string& command, std::string& reply, int timeout_ms) {
  if (!send_message(fd, command.data(), command.size())) return false;
  pollfd p{fd, POLLIN, 0};
  int ready;
  do {
    ready = ::poll(&p, 1, timeout_ms);
  } while (ready < 0 && errno == EINTR);
  if (ready <= 0) return false;
  char buffer[16384];
  const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
  if (n <= 0) return false;
  reply.assign(buffer, static_cast<std::size_t>(n));
  return true;
}

}  // namespace keysim::wire
