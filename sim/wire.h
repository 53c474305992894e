#pragma once

#include <string>

// The bus between keysim's server and its clients: a Unix-domain SOCK_SEQPACKET socket on which
// every message is either a text command, a text reply, an event line, or one HID report.
namespace keysim::wire {

// $KEYSIM_SOCKET, else $XDG_RUNTIME_DIR/umbrata-keysim.sock, else /tmp/umbrata-keysim-<uid>.sock.
std::string socket_path();

// Connects to the server. Returns the socket, or -1 at once when no server listens there.
int connect_to(const std::string& path);

// Sends one command and waits up to timeout_ms for its reply. Returns false when either fails.
bool request(int fd, const std::string& command, std::string& reply, int timeout_ms = 2000);

// Sends one message whole. Returns false when the peer is gone or the socket is full.
bool send_message(int fd, const void* data, std::size_t size);

}  // namespace keysim::wire
