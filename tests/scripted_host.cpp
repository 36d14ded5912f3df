#include "scripted_host.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace scripted {

namespace {

int64_t nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

int unreadBytes(int fd) {
  int n = 0;
  if (fd < 0 || ioctl(fd, FIONREAD, &n) != 0) return 0;
  return n;
}

bool waitUnread(int fd, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, timeoutMs) == 1 && unreadBytes(fd) > 0;
}

std::vector<uint8_t> takeReady(int fd) {
  std::vector<uint8_t> out;
  uint8_t buffer[4096];
  for (;;) {
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n <= 0) break;
    out.insert(out.end(), buffer, buffer + n);
  }
  return out;
}

std::vector<uint8_t> receive(int fd, std::size_t count, int timeoutMs) {
  std::vector<uint8_t> out;
  const int64_t end = nowMs() + timeoutMs;
  while (out.size() < count) {
    const int64_t left = end - nowMs();
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) break;
    uint8_t buffer[4096];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
      break;
    }
    out.insert(out.end(), buffer, buffer + n);
  }
  const std::vector<uint8_t> more = takeReady(fd);
  out.insert(out.end(), more.begin(), more.end());
  return out;
}

Host::Host() {
  listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(listener_, 4) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    stopListening();
    return;
  }
  port_ = ntohs(addr.sin_port);
}

Host::~Host() {
  closeConnection();
  stopListening();
}

std::string Host::address() const { return "127.0.0.1:" + std::to_string(port_); }

bool Host::accept(int timeoutMs) {
  if (listener_ < 0) return false;
  pollfd p{listener_, POLLIN, 0};
  if (poll(&p, 1, timeoutMs) <= 0) return false;
  const int fd = ::accept(listener_, nullptr, nullptr);
  if (fd < 0) return false;
  closeConnection();
  connection_ = fd;
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return true;
}

void Host::send(const std::vector<uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size() && connection_ >= 0) {
    const ssize_t n = ::send(connection_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
}

void Host::sendInPieces(const std::vector<uint8_t>& bytes, std::size_t piece, const std::function<void()>& between) {
  if (piece == 0) piece = 1;
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    const std::size_t n = std::min(piece, bytes.size() - at);
    send(std::vector<uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                              bytes.begin() + static_cast<std::ptrdiff_t>(at + n)));
    if (between) between();
  }
}

bool Host::peerClosed(int timeoutMs) {
  if (connection_ < 0) return false;
  const int64_t end = nowMs() + timeoutMs;
  for (;;) {
    pollfd p{connection_, POLLIN, 0};
    const int64_t left = end - nowMs();
    if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) return false;
    uint8_t byte;
    const ssize_t n = ::recv(connection_, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return true;
    if (n > 0) scripted::takeReady(connection_);  // what the terminal sent before closing
  }
}

void Host::closeConnection() {
  if (connection_ >= 0) ::close(connection_);
  connection_ = -1;
}

void Host::resetConnection() {
  if (connection_ >= 0) {
    const linger now{1, 0};  // a zero linger time: the close sends a reset
    setsockopt(connection_, SOL_SOCKET, SO_LINGER, &now, sizeof now);
  }
  closeConnection();
}

void Host::stopListening() {
  if (listener_ >= 0) ::close(listener_);
  listener_ = -1;
}

}  // namespace scripted
