#include "socket_host.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace sockhost {

void shrinkBuffers(int fd, int sendBytes, int receiveBytes) {
  setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBytes, sizeof sendBytes);
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBytes, sizeof receiveBytes);
}

void resetAndClose(int fd) {
  const linger hard{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  close(fd);
}

void shutdownSending(int fd) { shutdown(fd, SHUT_WR); }

bool waitForReadable(int fd, int count, int timeoutMs) {
  for (int waited = 0; waited < timeoutMs; waited += 5) {
    int ready = 0;
    if (ioctl(fd, FIONREAD, &ready) == 0 && ready >= count) return true;
    pollfd p{fd, POLLIN, 0};
    poll(&p, 1, 5);
  }
  return false;
}

bool waitForPeerClose(int fd, int timeoutMs) {
  pollfd p{fd, POLLRDHUP, 0};
  return poll(&p, 1, timeoutMs) == 1;
}

int listenOnLoopback(uint16_t* port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 4) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    if (fd >= 0) close(fd);
    return -1;
  }
  *port = ntohs(addr.sin_port);
  return fd;
}

uint16_t unusedLoopbackPort() {
  uint16_t port = 0;
  const int fd = listenOnLoopback(&port);
  if (fd >= 0) close(fd);
  return port;
}

void makeNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

std::vector<uint8_t> drainSlowly(int fd, std::size_t total) {
  std::vector<uint8_t> out;
  uint8_t piece[2048];
  while (out.size() < total) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 10000) <= 0) break;
    const ssize_t n = recv(fd, piece, sizeof piece, 0);
    if (n <= 0) break;
    out.insert(out.end(), piece, piece + n);
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return out;
}

}  // namespace sockhost
