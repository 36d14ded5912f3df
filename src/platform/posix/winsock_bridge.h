// The system socket calls behind our Winsock functions. This header and the
// bridge's implementation stand between the two worlds: it uses only plain types,
// so it can be included next to winsock_posix.h, while the implementation
// includes the system socket headers and never ours.
#pragma once

#include <cstddef>
#include <cstdint>

namespace posix {
namespace bsd {

// Winsock's numbers for the arguments the bridge translates.
constexpr int kAfInet = 2;
constexpr int kSockStream = 1;
constexpr int kIpprotoTcp = 6;
constexpr int kMsgOob = 0x1;
constexpr int kMsgPeek = 0x2;

// The Winsock error code that stands for a system error number.
int wsaErrorFromErrno(int err);

// Each call returns what the system call returns, or -1 with *error set to the
// Winsock error code. Flags and constants are Winsock's values.
int openSocket(int af, int type, int protocol, int* error);
long sendBytes(int fd, const void* data, std::size_t length, int flags, int* error);
long receiveBytes(int fd, void* data, std::size_t length, int flags, int* error);
// Bytes ready to be read without blocking.
int readableBytes(int fd, unsigned long* count, int* error);
// The socket is closed: its descriptor may be reused for anything.
void forgetSocket(int fd);
// Connects to an IPv4 address and port, both in network byte order. A
// non-blocking socket whose connection is under way fails with would-block, as
// Winsock reports it.
int connectInet(int fd, uint32_t address, uint16_t port, int* error);
// A dotted address in any of the forms inet_addr accepts, in network byte order;
// false when the text is not one.
bool parseDottedAddress(const char* text, uint32_t* address);

}  // namespace bsd
}  // namespace posix

namespace posix {
namespace bsd {

// The pending error of a socket (SO_ERROR) as a Winsock code, 0 when none.
int pendingError(int fd);
// What a read would find: 1 data, 0 the peer has closed, -1 an error (*error set),
// -2 nothing yet.
int peekState(int fd, int* error);
// Sets O_NONBLOCK; false when fd is not a socket.
bool makeNonBlocking(int fd, int* error);
// The first IPv4 address of a host name, in network byte order.
bool lookupHost(const char* name, uint32_t* address);
// The port of a TCP service by name, in network byte order.
bool lookupService(const char* name, const char* protocol, uint16_t* port);

}  // namespace bsd
}  // namespace posix
