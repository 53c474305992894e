#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The bus between keysim's server and its clients. Every message is a text command, a text
// reply, an event line, or one HID report. Two transports carry it:
// - a Unix-domain SOCK_SEQPACKET socket, where the socket keeps the messages apart (Linux);
// - loopback TCP, "tcp:HOST:PORT", where each message is preceded by its length as 4 bytes,
//   high byte first. Windows programs (Wine has no AF_UNIX) reach a Linux keysim this way.
namespace keysim::wire {

// A connected socket: a file descriptor, or a Winsock SOCKET. invalid_socket when none.
using Socket = std::intptr_t;
constexpr Socket invalid_socket = -1;

// The largest message either side accepts; a longer TCP frame ends the connection. A datagram
// is at most max_datagram long.
constexpr std::size_t max_message = 16 << 20;
constexpr std::size_t max_datagram = 65536;

// $KEYSIM_SOCKET, else $XDG_RUNTIME_DIR/umbrata-keysim.sock, else /tmp/umbrata-keysim-<uid>.sock;
// on Windows, $KEYSIM_SOCKET, else tcp:127.0.0.1:default_tcp_port.
std::string socket_path();
constexpr int default_tcp_port = 47911;

// Splits "tcp:HOST:PORT". Returns false when address is not one.
bool tcp_address(const std::string& address, std::string& host, int& port);

// Connects to the server at address (a socket path or "tcp:HOST:PORT"). Returns the socket, or
// invalid_socket at once when no server listens there. The caller closes it with close_socket.
Socket connect_to(const std::string& address);
void close_socket(Socket socket);

// Sends one message whole, never waiting for the peer to read: a full socket loses the message,
// as a full HID queue loses a report. A peer that closed its end is gone, on either transport.
enum class Sent { whole, lost, peer_gone };
Sent send_message(Socket socket, const void* data, std::size_t size);

// Waits up to timeout_ms (-1: for ever) for one message and copies at most capacity bytes of it
// into buffer; the rest of a longer message is discarded. Returns the bytes copied, 0 on
// time-out (a message being 0 bytes long never happens), or -1 when the peer is gone or the
// socket failed. interruptible: a signal that interrupts the wait fails it with `interrupted`,
// as hidraw's read fails; otherwise the wait goes on.
constexpr long interrupted = -2;
long receive_message(Socket socket, void* buffer, std::size_t capacity, int timeout_ms, bool interruptible = false);

// Sends one command and waits up to timeout_ms for its reply. Returns false when either fails.
bool request(Socket socket, const std::string& command, std::string& reply, int timeout_ms = 2000);

// A TCP frame's header for a message of size bytes.
void frame_header(std::size_t size, std::uint8_t header[4]);
std::size_t frame_size(const std::uint8_t header[4]);

}  // namespace keysim::wire
