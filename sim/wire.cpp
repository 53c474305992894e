#include "sim/wire.h"

#include "sim/wire_socket.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace keysim::wire {

namespace {

// A full stream gets this long to drain, and a frame begun this long to arrive whole.
constexpr int stream_drain_ms = 2000;

// All of data, or none of it when the socket is full. Half a frame out and no room for the rest
// within a while ends the connection: the stream cannot resynchronise.
Sent send_stream(Socket s, const std::uint8_t* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const long sent = socket::send_some(s, data + done, size - done);
    if (sent > 0) {
      done += static_cast<std::size_t>(sent);
      continue;
    }
    if (sent == 0 && done == 0) return Sent::lost;
    if (sent == 0 && socket::wait_writable(s, stream_drain_ms)) continue;
    socket::shut_down(s);
    return Sent::peer_gone;
  }
  return Sent::whole;
}

// Exactly size bytes; false when the peer closes or fails first.
bool receive_exactly(Socket s, std::uint8_t* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const long n = socket::receive_some(s, data + done, size - done);
    if (n < 0 || (n == 0 && socket::wait_readable(s, stream_drain_ms) <= 0)) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

bool tcp_address(const std::string& address, std::string& host, int& port) {
  if (address.rfind("tcp:", 0) != 0) return false;
  const auto colon = address.rfind(':');
  if (colon <= 4) return false;
  char* end = nullptr;
  const long number = std::strtol(address.c_str() + colon + 1, &end, 10);
  if (*end != '\0' || number <= 0 || number > 65535) return false;
  host = address.substr(4, colon - 4);
  port = static_cast<int>(number);
  return true;
}

Socket connect_to(const std::string& address) {
  std::string host;
  int port = 0;
  if (tcp_address(address, host, port)) return socket::connect_tcp(host, port);
  return socket::connect_local(address);
}

void close_socket(Socket s) { socket::close(s); }

void frame_header(std::size_t size, std::uint8_t header[4]) {
  for (int i = 0; i < 4; ++i) header[i] = static_cast<std::uint8_t>(size >> (8 * (3 - i)));
}

std::size_t frame_size(const std::uint8_t header[4]) {
  return (std::size_t{header[0]} << 24) | (std::size_t{header[1]} << 16) | (std::size_t{header[2]} << 8) | header[3];
}

Sent send_message(Socket s, const void* data, std::size_t size) {
  if (!socket::is_stream(s)) return socket::send_datagram(s, data, size);
  // A stream takes a first write after the peer closed without complaint, where a seqpacket
  // socket (and an unplugged device) fails it at once.
  if (socket::at_end(s)) return Sent::peer_gone;
  if (size > max_message) return Sent::lost;
  std::vector<std::uint8_t> frame(4 + size);
  frame_header(size, frame.data());
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::copy(bytes, bytes + size, frame.begin() + 4);
  return send_stream(s, frame.data(), frame.size());
}

namespace {

// One whole message into message; the same results as receive_message.
long receive_whole(Socket s, std::vector<std::uint8_t>& message, int timeout_ms, bool interruptible) {
  const int ready = socket::wait_readable(s, timeout_ms, interruptible);
  if (ready <= 0) return ready;
  if (!socket::is_stream(s)) {
    message.resize(max_datagram);
    const long n = socket::receive_datagram(s, message.data(), message.size());
    message.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return n;
  }
  // A frame is written whole, so once its first byte is here the rest follows at once.
  std::uint8_t header[4];
  if (!receive_exactly(s, header, sizeof header)) return -1;
  const std::size_t size = frame_size(header);
  if (size == 0 || size > max_message) return -1;
  message.resize(size);
  if (!receive_exactly(s, message.data(), size)) return -1;
  return static_cast<long>(size);
}

}  // namespace

long receive_message(Socket s, void* buffer, std::size_t capacity, int timeout_ms, bool interruptible) {
  std::vector<std::uint8_t> message;
  const long n = receive_whole(s, message, timeout_ms, interruptible);
  if (n <= 0) return n;
  const std::size_t copied = std::min(message.size(), capacity);
  std::copy(message.begin(), message.begin() + static_cast<std::ptrdiff_t>(copied), static_cast<std::uint8_t*>(buffer));
  return static_cast<long>(copied);
}

bool request(Socket s, const std::string& command, std::string& reply, int timeout_ms) {
  if (send_message(s, command.data(), command.size()) != Sent::whole) return false;
  std::vector<std::uint8_t> message;
  if (receive_whole(s, message, timeout_ms, false) <= 0) return false;
  reply.assign(message.begin(), message.end());
  return true;
}

}  // namespace keysim::wire
