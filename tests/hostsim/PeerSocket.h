// The client's end of a loopback connection as the kernel sees it, read
// through the socket diagnostics of Linux: what the client has handed to its
// socket and whether the socket takes more. The host sees only its own end;
// this is how it tells a client blocked sending from one that is only slow.
// Any thread.
#pragma once

#include <cstdint>

namespace hostsim {

struct TPeerSocket {
    bool found = false;       // the client's socket is there
    bool established = false; // and neither end has closed it
    uint64_t written = 0;     // bytes the client has handed to its socket in all
    uint32_t queued = 0;      // memory its bytes not yet taken by the host hold
    uint32_t sendBuffer = 0;  // the most they may hold
    uint32_t inode = 0;       // the socket's, as its descriptors name it
    // A sender that found the socket full waits on while this holds: the
    // room left is less than half of what the socket holds.
    bool HoldsSender() const { return uint64_t{queued} * 3 > uint64_t{sendBuffer} * 2; }
};

// The socket at the other end of `fd`, a TCP connection of 127.0.0.1.
TPeerSocket QueryPeer(int fd);

// Whether a thread of this process (the client runs in the host's process)
// sleeps in poll waiting for room to send on the peer's socket.
bool SenderWaitsForRoom(const TPeerSocket& peer);

} // namespace hostsim
