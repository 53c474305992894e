#pragma once

#include "sim/wire.h"

// The operating system's sockets under the wire: one unit per platform.
namespace keysim::wire::socket {

// Returns invalid_socket at once when nothing listens there.
Socket connect_local(const std::string& path);
Socket connect_tcp(const std::string& host, int port);
void close(Socket s);
bool is_stream(Socket s);

// 1 when a message (or the peer's end) is waiting, 0 after timeout_ms, -1 on failure,
// `interrupted` on an interrupting signal when interruptible.
int wait_readable(Socket s, int timeout_ms, bool interruptible = false);

// True when the peer's end is closed and nothing is left to read before it; never blocks.
bool at_end(Socket s);

// SOCK_SEQPACKET: one message whole, never blocking.
Sent send_datagram(Socket s, const void* data, std::size_t size);
// Returns the bytes copied (the rest of a longer message is discarded), or -1 when the peer is
// gone (0 bytes) or the socket failed.
long receive_datagram(Socket s, void* buffer, std::size_t capacity);

// A stream, one call each, never blocking: the bytes sent or received, 0 when the socket is full
// (sending) or has nothing yet (receiving), -1 when the peer is gone or the socket failed.
long send_some(Socket s, const void* data, std::size_t size);
long receive_some(Socket s, void* data, std::size_t size);
// True when the socket takes more within timeout_ms.
bool wait_writable(Socket s, int timeout_ms);
// Ends both directions at once, so that the peer sees the end.
void shut_down(Socket s);

}  // namespace keysim::wire::socket
