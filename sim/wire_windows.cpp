// The wire on Winsock: Windows programs reach keysim over loopback TCP only (Wine's Winsock has
// no AF_UNIX).
#include "sim/wire_socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdlib>
#include <mutex>

namespace keysim::wire {

std::string socket_path() {
  if (const char* explicit_path = std::getenv("KEYSIM_SOCKET"); explicit_path && *explicit_path)
    return explicit_path;
  return "tcp:127.0.0.1:" + std::to_string(default_tcp_port);
}

namespace socket {

namespace {

constexpr int stream_drain_ms = 2000;

SOCKET handle_of(Socket s) { return static_cast<SOCKET>(s); }

// Winsock is started once per process and left running: clients may use it until exit.
bool winsock_started() {
  static std::once_flag once;
  static bool started = false;
  std::call_once(once, [] {
    WSADATA data;
    started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  });
  return started;
}

}  // namespace

Socket connect_local(const std::string&) { return invalid_socket; }

Socket connect_tcp(const std::string& host, int port) {
  if (!winsock_started()) return invalid_socket;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) return invalid_socket;
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return invalid_socket;
  const BOOL on = TRUE;
  ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  if (::connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::closesocket(s);
    return invalid_socket;
  }
  return static_cast<Socket>(s);
}

void close(Socket s) {
  if (s != invalid_socket) ::closesocket(handle_of(s));
}

bool is_stream(Socket) { return true; }

int wait_readable(Socket s, int timeout_ms, bool) {
  WSAPOLLFD p{handle_of(s), POLLRDNORM, 0};
  const int ready = WSAPoll(&p, 1, timeout_ms);
  return ready < 0 ? -1 : ready > 0 ? 1 : 0;
}

bool at_end(Socket s) {
  char byte;
  return wait_readable(s, 0) == 1 && ::recv(handle_of(s), &byte, 1, MSG_PEEK) == 0;
}

Sent send_datagram(Socket, const void*, std::size_t) { return Sent::peer_gone; }
long receive_datagram(Socket, void*, std::size_t) { return -1; }

Sent send_stream(Socket s, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  std::size_t done = 0;
  while (done < size) {
    const int sent = ::send(handle_of(s), bytes + done, static_cast<int>(size - done), 0);
    if (sent > 0) {
      done += static_cast<std::size_t>(sent);
      continue;
    }
    if (sent == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
      if (done == 0) return Sent::lost;
      WSAPOLLFD p{handle_of(s), POLLWRNORM, 0};
      if (WSAPoll(&p, 1, stream_drain_ms) > 0) continue;
    }
    ::shutdown(handle_of(s), SD_BOTH);
    return Sent::peer_gone;
  }
  return Sent::whole;
}

bool receive_exactly(Socket s, void* data, std::size_t size) {
  auto* bytes = static_cast<char*>(data);
  std::size_t done = 0;
  while (done < size) {
    const int n = ::recv(handle_of(s), bytes + done, static_cast<int>(size - done), 0);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
      if (wait_readable(s, stream_drain_ms) <= 0) return false;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace socket
}  // namespace keysim::wire
