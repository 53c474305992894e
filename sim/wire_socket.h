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

// A stream: all of data, or none of it when the socket is full. Half a frame out and no room
// for the rest within a while ends the connection (peer_gone): the stream cannot resynchronise.
Sent send_stream(Socket s, const void* data, std::size_t size);
// Exactly size bytes; false when the peer closes or fails first.
bool receive_exactly(Socket s, void* data, std::size_t size);

}  // namespace keysim::wire::socket
