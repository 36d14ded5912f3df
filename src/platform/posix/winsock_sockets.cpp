// Winsock's socket calls: create, send, receive, ask for the bytes ready, and the
// byte-order helpers. The system calls themselves are in the bridge.
#include <climits>
#include <cstdint>

#include "platform/posix/testing.h"
#include "platform/posix/win32_posix.h"
#include "platform/posix/internal.h"
#include "platform/posix/winsock_bridge.h"

namespace {

// Every call but start-up needs WSAStartup first.
bool started() {
  if (posix::testing::winsockStarted()) return true;
  WSASetLastError(WSANOTINITIALISED);
  return false;
}

// Our SOCKET is the descriptor; a value that cannot be one is no socket.
bool descriptorOf(SOCKET s, int* fd) {
  if (s > static_cast<SOCKET>(INT_MAX)) {
    WSASetLastError(WSAENOTSOCK);
    return false;
  }
  *fd = static_cast<int>(s);
  return true;
}

uint16_t swap16(uint16_t v) { return static_cast<uint16_t>((v >> 8) | (v << 8)); }
uint32_t swap32(uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0x0000FF00u) | ((v << 8) & 0x00FF0000u) | (v << 24);
}
constexpr bool kLittleEndian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;

}  // namespace

namespace {

// The checks send and recv share: a started layer, a socket, a sane buffer.
bool transferArguments(SOCKET s, const char* buf, int len, int* fd) {
  if (!started() || !descriptorOf(s, fd)) return false;
  if (len < 0) {
    WSASetLastError(WSAEINVAL);
    return false;
  }
  if (!buf && len > 0) {
    WSASetLastError(WSAEFAULT);
    return false;
  }
  return true;
}

}  // namespace

SOCKET WINAPI socket(int af, int type, int protocol) {
  if (!started()) return INVALID_SOCKET;
  int error = 0;
  const int fd = posix::bsd::openSocket(af, type, protocol, &error);
  if (fd < 0) {
    WSASetLastError(error);
    return INVALID_SOCKET;
  }
  return static_cast<SOCKET>(fd);
}

int WINAPI send(SOCKET s, const char* buf, int len, int flags) {
  int fd = -1;
  if (!transferArguments(s, buf, len, &fd)) return SOCKET_ERROR;
  int error = 0;
  const long n = posix::bsd::sendBytes(fd, buf, static_cast<size_t>(len), flags, &error);
  if (n < 0) {
    WSASetLastError(error);
    return SOCKET_ERROR;
  }
  return static_cast<int>(n);
}

int WINAPI recv(SOCKET s, char* buf, int len, int flags) {
  int fd = -1;
  if (!transferArguments(s, buf, len, &fd)) return SOCKET_ERROR;
  int error = 0;
  // Any read lets the next FD_READ through, as Winsock does.
  posix::asyncNoteRecv(s);
  const long n = posix::bsd::receiveBytes(fd, buf, static_cast<size_t>(len), flags, &error);
  if (n < 0) {
    WSASetLastError(error);
    return SOCKET_ERROR;
  }
  return static_cast<int>(n);
}

int WINAPI connect(SOCKET s, const struct sockaddr* name, int namelen) {
  int fd = -1;
  if (!started() || !descriptorOf(s, &fd)) return SOCKET_ERROR;
  if (!name || namelen < static_cast<int>(sizeof(sockaddr_in))) {
    WSASetLastError(WSAEFAULT);
    return SOCKET_ERROR;
  }
  const sockaddr_in* to = reinterpret_cast<const sockaddr_in*>(name);
  if (to->sin_family != AF_INET) {
    WSASetLastError(WSAEAFNOSUPPORT);
    return SOCKET_ERROR;
  }
  int error = 0;
  posix::asyncNoteConnect(s);
  if (posix::bsd::connectInet(fd, to->sin_addr.s_addr, to->sin_port, &error) != 0) {
    posix::asyncNoteConnectFailed(s, error);
    WSASetLastError(error);
    return SOCKET_ERROR;
  }
  return 0;
}

u_long WINAPI inet_addr(const char* cp) {
  uint32_t address = 0;
  if (!posix::bsd::parseDottedAddress(cp, &address)) return INADDR_NONE;
  return address;
}

u_short WINAPI htons(u_short value) { return kLittleEndian ? swap16(value) : value; }
u_short WINAPI ntohs(u_short value) { return htons(value); }
// Winsock's u_long is 32 bits; only those take part.
u_long WINAPI htonl(u_long value) {
  const uint32_t v = static_cast<uint32_t>(value);
  return kLittleEndian ? swap32(v) : v;
}
u_long WINAPI ntohl(u_long value) { return htonl(value); }

extern "C" {

int WINAPI ioctlsocket(SOCKET s, long cmd, u_long* argp) {
  int fd = -1;
  if (!started() || !descriptorOf(s, &fd)) return SOCKET_ERROR;
  if (cmd != FIONREAD) {
    WSASetLastError(WSAEINVAL);
    return SOCKET_ERROR;
  }
  if (!argp) {
    WSASetLastError(WSAEFAULT);
    return SOCKET_ERROR;
  }
  unsigned long count = 0;
  int error = 0;
  if (posix::bsd::readableBytes(fd, &count, &error) != 0) {
    WSASetLastError(error);
    return SOCKET_ERROR;
  }
  *argp = count;
  return 0;
}

}  // extern "C"
