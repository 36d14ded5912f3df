// The system socket calls behind our Winsock functions, and the translation of
// system error numbers into Winsock's codes. Includes the system socket headers,
// so it must never include winsock_posix.h (their names clash).
#include "platform/posix/winsock_bridge.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <unordered_set>

namespace posix {
namespace bsd {
namespace {

// The descriptors openSocket made that are not closed yet.
std::unordered_set<int>& openedSockets() {
  static std::unordered_set<int> sockets;
  return sockets;
}

// Winsock's codes (the same numbers as WSAE... in winsock_posix.h).
enum : int {
  kWsaEintr = 10004,
  kWsaEacces = 10013,
  kWsaEfault = 10014,
  kWsaEinval = 10022,
  kWsaEmfile = 10024,
  kWsaEwouldblock = 10035,
  kWsaEinprogress = 10036,
  kWsaEalready = 10037,
  kWsaEnotsock = 10038,
  kWsaEdestaddrreq = 10039,
  kWsaEmsgsize = 10040,
  kWsaEprototype = 10041,
  kWsaEnoprotoopt = 10042,
  kWsaEprotonosupport = 10043,
  kWsaEsocktnosupport = 10044,
  kWsaEopnotsupp = 10045,
  kWsaEpfnosupport = 10046,
  kWsaEafnosupport = 10047,
  kWsaEaddrinuse = 10048,
  kWsaEaddrnotavail = 10049,
  kWsaEnetdown = 10050,
  kWsaEnetunreach = 10051,
  kWsaEnetreset = 10052,
  kWsaEconnaborted = 10053,
  kWsaEconnreset = 10054,
  kWsaEnobufs = 10055,
  kWsaEisconn = 10056,
  kWsaEnotconn = 10057,
  kWsaEshutdown = 10058,
  kWsaEtoomanyrefs = 10059,
  kWsaEtimedout = 10060,
  kWsaEconnrefused = 10061,
  kWsaEloop = 10062,
  kWsaEnametoolong = 10063,
  kWsaEhostdown = 10064,
  kWsaEhostunreach = 10065,
  kWsaEdquot = 10069,
  kWsaSyscallFailure = 10107,
};

// The TCP state of a socket, or -1 when it cannot be had.
int tcpState(int fd) {
#ifdef TCP_INFO
  tcp_info info{};
  socklen_t len = sizeof info;
  if (getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &len) == 0 && len > 0) return info.tcpi_state;
#else
  (void)fd;
#endif
  return -1;
}

// The few errors whose Winsock code depends on the connection's state.
int errorOfTransfer(int fd, int err) {
  const int state = (err == EPIPE || err == EAGAIN || err == EWOULDBLOCK) ? tcpState(fd) : -1;
#ifdef TCP_INFO
  if (err == EPIPE) {
    // The system says EPIPE both after our own shutdown and after the peer reset
    // the connection; Winsock tells the two apart. Having sent our FIN means we
    // shut down; otherwise the connection was reset.
    switch (state) {
      case TCP_FIN_WAIT1:
      case TCP_FIN_WAIT2:
      case TCP_CLOSING:
      case TCP_TIME_WAIT:
      case TCP_LAST_ACK:
        return kWsaEshutdown;
      default:
        return kWsaEconnreset;
    }
  }
  // While a non-blocking connect is still under way the system makes us wait;
  // Winsock refuses at once.
  if ((err == EAGAIN || err == EWOULDBLOCK) && (state == TCP_SYN_SENT || state == TCP_SYN_RECV)) return kWsaEnotconn;
#else
  (void)state;
  if (err == EPIPE) return kWsaEconnreset;
#endif
  return wsaErrorFromErrno(err);
}

}  // namespace

int wsaErrorFromErrno(int err) {
  if (err == EAGAIN || err == EWOULDBLOCK) return kWsaEwouldblock;
  if (err == EOPNOTSUPP || err == ENOTSUP) return kWsaEopnotsupp;
  switch (err) {
    case EINTR: return kWsaEintr;
    case EBADF: return kWsaEnotsock;  // a descriptor that is no socket of ours
    case EPERM:
    case EACCES: return kWsaEacces;
    case EFAULT: return kWsaEfault;
    case EINVAL: return kWsaEinval;
    case EMFILE:
    case ENFILE: return kWsaEmfile;
    case EINPROGRESS: return kWsaEinprogress;
    case EALREADY: return kWsaEalready;
    case ENOTSOCK: return kWsaEnotsock;
    case EDESTADDRREQ: return kWsaEdestaddrreq;
    case EMSGSIZE: return kWsaEmsgsize;
    case EPROTOTYPE: return kWsaEprototype;
    case ENOPROTOOPT: return kWsaEnoprotoopt;
    case EPROTONOSUPPORT: return kWsaEprotonosupport;
    case ESOCKTNOSUPPORT: return kWsaEsocktnosupport;
    case EPFNOSUPPORT: return kWsaEpfnosupport;
    case EAFNOSUPPORT: return kWsaEafnosupport;
    case EADDRINUSE: return kWsaEaddrinuse;
    case EADDRNOTAVAIL: return kWsaEaddrnotavail;
    case ENETDOWN: return kWsaEnetdown;
    case ENETUNREACH: return kWsaEnetunreach;
    case ENETRESET: return kWsaEnetreset;
    case ECONNABORTED: return kWsaEconnaborted;
    case EPIPE:
    case ECONNRESET: return kWsaEconnreset;
    case ENOMEM:
    case ENOBUFS: return kWsaEnobufs;
    case EISCONN: return kWsaEisconn;
    case ENOTCONN: return kWsaEnotconn;
    case ESHUTDOWN: return kWsaEshutdown;
    case ETOOMANYREFS: return kWsaEtoomanyrefs;
    case ETIMEDOUT: return kWsaEtimedout;
    case ECONNREFUSED: return kWsaEconnrefused;
    case ELOOP: return kWsaEloop;
    case ENAMETOOLONG: return kWsaEnametoolong;
    case EHOSTDOWN: return kWsaEhostdown;
    case EHOSTUNREACH: return kWsaEhostunreach;
    case EDQUOT: return kWsaEdquot;
    default: return kWsaSyscallFailure;
  }
}

int openSocket(int af, int type, int protocol, int* error) {
  if (af != kAfInet) {
    *error = kWsaEafnosupport;
    return -1;
  }
  if (type != kSockStream) {
    *error = kWsaEsocktnosupport;
    return -1;
  }
  if (protocol != 0 && protocol != kIpprotoTcp) {
    *error = kWsaEprotonosupport;
    return -1;
  }
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) *error = wsaErrorFromErrno(errno);
  if (fd >= 0) openedSockets().insert(fd);
  return fd;
}

void forgetSocket(int fd) { openedSockets().erase(fd); }

long sendBytes(int fd, const void* data, std::size_t length, int flags, int* error) {
  if (flags & ~kMsgOob) {
    *error = kWsaEopnotsupp;
    return -1;
  }
  // Never SIGPIPE: a peer that went away is an error code, as on Windows.
  const int sysFlags = MSG_NOSIGNAL | ((flags & kMsgOob) ? MSG_OOB : 0);
  for (;;) {
    const ssize_t n = ::send(fd, data, length, sysFlags);
    if (n >= 0) return static_cast<long>(n);
    if (errno == EINTR) continue;  // Winsock calls are not interrupted by signals
    *error = errorOfTransfer(fd, errno);
    return -1;
  }
}

long receiveBytes(int fd, void* data, std::size_t length, int flags, int* error) {
  if (flags & ~(kMsgOob | kMsgPeek)) {
    *error = kWsaEopnotsupp;
    return -1;
  }
  int sysFlags = ((flags & kMsgOob) ? MSG_OOB : 0) | ((flags & kMsgPeek) ? MSG_PEEK : 0);
  // Asking for nothing returns at once: the system would wait for a byte even then.
  if (length == 0) sysFlags |= MSG_DONTWAIT;
  for (;;) {
    const ssize_t n = ::recv(fd, data, length, sysFlags);
    if (n >= 0) return static_cast<long>(n);
    if (errno == EINTR) continue;
    const int e = errorOfTransfer(fd, errno);
    if (length == 0 && e == kWsaEwouldblock) return 0;
    *error = e;
    return -1;
  }
}

int readableBytes(int fd, unsigned long* count, int* error) {
  // A descriptor this layer opened as a socket needs no check (a read asks
  // for the count each time); any other is checked to be a socket.
  if (openedSockets().count(fd) == 0) {
    struct stat st {};
    if (fstat(fd, &st) != 0) {
      *error = wsaErrorFromErrno(errno);
      return -1;
    }
    if (!S_ISSOCK(st.st_mode)) {
      *error = kWsaEnotsock;
      return -1;
    }
  }
  int n = 0;
  if (ioctl(fd, FIONREAD, &n) != 0) {
    *error = wsaErrorFromErrno(errno);
    return -1;
  }
  *count = n < 0 ? 0 : static_cast<unsigned long>(n);
  return 0;
}

int connectInet(int fd, uint32_t address, uint16_t port, int* error) {
  // Winsock refuses the wildcard address and port 0 as a destination.
  if (address == htonl(INADDR_ANY) || port == 0) {
    *error = kWsaEaddrnotavail;
    return -1;
  }
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = port;
  to.sin_addr.s_addr = address;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return 0;
  int err = errno;
  if (err == EINTR) {
    // The connection goes on in the background; a blocking Winsock connect waits for it.
    pollfd p{fd, POLLOUT, 0};
    while (poll(&p, 1, -1) < 0 && errno == EINTR) {
    }
    socklen_t len = sizeof err;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
    if (err == 0) return 0;
  }
  *error = err == EINPROGRESS ? kWsaEwouldblock : wsaErrorFromErrno(err);
  return -1;
}

bool parseDottedAddress(const char* text, uint32_t* address) {
  in_addr parsed{};
  if (!text || inet_aton(text, &parsed) == 0) return false;
  *address = parsed.s_addr;
  return true;
}

}  // namespace bsd
}  // namespace posix

namespace posix {
namespace bsd {

int pendingError(int fd) {
  int value = 0;
  socklen_t length = sizeof value;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &value, &length) != 0) return wsaErrorFromErrno(errno);
  return value ? wsaErrorFromErrno(value) : 0;
}

int peekState(int fd, int* error) {
  char byte;
  const ssize_t n = ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  if (n > 0) return 1;
  if (n == 0) return 0;
  if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return -2;
  *error = wsaErrorFromErrno(errno);
  return -1;
}

bool makeNonBlocking(int fd, int* error) {
  int type = 0;
  socklen_t length = sizeof type;
  if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) != 0) {
    *error = wsaErrorFromErrno(errno == EBADF ? EBADF : ENOTSOCK);
    return false;
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
    *error = wsaErrorFromErrno(errno);
    return false;
  }
  return true;
}

bool lookupHost(const char* name, uint32_t* address) {
  if (!name || !*name) return false;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(name, nullptr, &hints, &found) != 0 || !found) return false;
  *address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
  freeaddrinfo(found);
  return true;
}

bool lookupService(const char* name, const char* protocol, uint16_t* port) {
  if (!name) return false;
  if (const struct servent* entry = ::getservbyname(name, protocol)) {
    *port = static_cast<uint16_t>(entry->s_port);
    return true;
  }
  // Systems without a services file still know the port every terminal needs.
  if (std::strcmp(name, "telnet") == 0 && (!protocol || std::strcmp(protocol, "tcp") == 0)) {
    *port = htons(23);
    return true;
  }
  return false;
}

}  // namespace bsd
}  // namespace posix
