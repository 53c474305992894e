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

// A socket that a QSocketNotifier watches is non-blocking; the others block.
long send_some(Socket s, const void* data, std::size_t size) {
  const int sent = ::send(handle_of(s), static_cast<const char*>(data), static_cast<int>(size), 0);
  if (sent == SOCKET_ERROR) return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
  return sent;
}

long receive_some(Socket s, void* data, std::size_t size) {
  const int n = ::recv(handle_of(s), static_cast<char*>(data), static_cast<int>(size), 0);
  if (n == SOCKET_ERROR) return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
  return n == 0 ? -1 : n;
}

bool wait_writable(Socket s, int timeout_ms) {
  WSAPOLLFD p{handle_of(s), POLLWRNORM, 0};
  return WSAPoll(&p, 1, timeout_ms) > 0;
}

void shut_down(Socket s) { ::shutdown(handle_of(s), SD_BOTH); }

}  // namespace socket
}  // namespace keysim::wire
