#include "bad_input_wire.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <algorithm>
#include <chrono>

namespace badwire {

namespace {

int64_t nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

void shrinkBuffers(int fd) {
  const int least = 1;  // the system raises it to its minimum
  setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &least, sizeof least);
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &least, sizeof least);
}

Reader::Reader(int fd, std::size_t expected, std::size_t chunk, int timeoutMs)
    : thread_([this, fd, expected, chunk, timeoutMs] { run(fd, expected, chunk, timeoutMs); }) {}

Reader::~Reader() {
  if (thread_.joinable()) thread_.join();
}

std::vector<uint8_t> Reader::bytes() {
  if (thread_.joinable()) thread_.join();
  return got_;
}

void Reader::run(int fd, std::size_t expected, std::size_t chunk, int timeoutMs) {
  if (chunk == 0) chunk = 1;
  std::vector<uint8_t> buffer(chunk);
  const int64_t end = nowMs() + timeoutMs;
  while (got_.size() < expected) {
    const int64_t left = end - nowMs();
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) break;
    const std::size_t want = std::min(chunk, expected - got_.size());
    const ssize_t n = ::recv(fd, buffer.data(), want, MSG_DONTWAIT);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
      break;
    }
    got_.insert(got_.end(), buffer.begin(), buffer.begin() + n);
  }
}

Writer::Writer(int fd, std::vector<uint8_t> bytes)
    : thread_([this, fd, bytes = std::move(bytes)] {
        const int64_t end = nowMs() + 10000;
        std::size_t done = 0;
        while (done < bytes.size()) {
          const int64_t left = end - nowMs();
          pollfd p{fd, POLLOUT, 0};
          if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) break;
          const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
          if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
          if (n <= 0) break;
          done += static_cast<std::size_t>(n);
        }
        done_ = true;
      }) {}

Writer::~Writer() { finish(); }

void Writer::finish() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace badwire
