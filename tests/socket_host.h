// Plain POSIX helpers for socket tests that need more control over the two ends
// of a Loopback than it offers (buffer sizes, resets, waits). No Win32 types here,
// so test files that include the platform header can use them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sockhost {

// Asks the kernel for small socket buffers, so that a large block is taken in parts.
void shrinkBuffers(int fd, int sendBytes, int receiveBytes);
// Closes with a reset instead of the orderly close.
void resetAndClose(int fd);
// Shuts down the sending direction (our FIN goes out, the descriptor stays).
void shutdownSending(int fd);
// Waits until at least count bytes can be read from fd; false after timeoutMs.
bool waitForReadable(int fd, int count, int timeoutMs = 5000);
// Waits until the peer's close (or reset) is visible on fd; false after timeoutMs.
bool waitForPeerClose(int fd, int timeoutMs = 5000);
// A listening socket on 127.0.0.1 and its port (host byte order); -1 on failure.
int listenOnLoopback(uint16_t* port);
// A port on 127.0.0.1 where nothing listens.
uint16_t unusedLoopbackPort();
void makeNonBlocking(int fd);
// Reads total bytes in small pieces, pausing between them, so the writer keeps
// meeting a full buffer. Stops early at end of stream or error.
std::vector<uint8_t> drainSlowly(int fd, std::size_t total);

}  // namespace sockhost
