#include "host_end.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <thread>

namespace fuzz {
namespace {

[[noreturn]] void fail(const char* what) {
  std::perror(what);
  std::abort();
}

// Socket buffers large enough that the terminal's replies to one input never
// wait for the drainer.
constexpr int kSocketBuffer = 4 << 20;

int g_server = -1;
std::thread* g_drainer = nullptr;

// libFuzzer's timeout timer (SIGALRM, without SA_RESTART) can interrupt the
// blocking connect and accept that make the loopback pair, and the host end's
// sends; none of them may fail for it.
bool connectThroughSignals(int fd, const sockaddr_in& to) {
  if (connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return true;
  if (errno != EINTR) return false;
  // An interrupted connect goes on in the background: wait for it to finish.
  pollfd p{fd, POLLOUT, 0};
  while (poll(&p, 1, -1) < 0) {
    if (errno != EINTR) return false;
  }
  int err = 0;
  socklen_t len = sizeof err;
  return getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0;
}

int acceptThroughSignals(int listener) {
  for (;;) {
    const int s = accept(listener, nullptr, nullptr);
    if (s >= 0 || errno != EINTR) return s;
  }
}

}  // namespace

void openHostEnd(int* client) {
  closeHostEnd();
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(listener, 1) != 0 || getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
    fail("loopback listener");
  const int c = socket(AF_INET, SOCK_STREAM, 0);
  for (int fd : {c, listener}) {
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &kSocketBuffer, sizeof kSocketBuffer);
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kSocketBuffer, sizeof kSocketBuffer);
  }
  if (c < 0 || !connectThroughSignals(c, addr)) fail("loopback connect");
  const int s = acceptThroughSignals(listener);
  close(listener);
  if (s < 0) fail("loopback accept");
  // The host's bytes go out at once (hostEndSends waits for their arrival); the
  // terminal's end keeps the system's default, as the program's own socket does.
  const int one = 1;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  g_server = s;
  g_drainer = new std::thread([s] {
    static char buffer[1 << 16];
    for (;;) {
      const ssize_t n = recv(s, buffer, sizeof buffer, 0);
      if (n > 0 || (n < 0 && errno == EINTR)) continue;
      return;  // the terminal closed its end, or ours was shut down
    }
  });
  *client = c;
}

void closeHostEnd() {
  if (g_server < 0) return;
  shutdown(g_server, SHUT_RDWR);
  g_drainer->join();
  delete g_drainer;
  g_drainer = nullptr;
  close(g_server);
  g_server = -1;
}

void hostEndSends(int client, const uint8_t* data, size_t size) {
  if (size == 0 || g_server < 0) return;
  int before = 0;
  ioctl(client, FIONREAD, &before);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = send(g_server, data + done, size - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // the terminal has closed its end
    done += static_cast<size_t>(n);
  }
  // Loopback delivery is immediate in practice; wait a bounded time all the same.
  for (int tries = 0; tries < 1000; ++tries) {
    int ready = 0;
    if (ioctl(client, FIONREAD, &ready) != 0 || ready >= before + static_cast<int>(size)) return;
    pollfd p{client, POLLIN, 0};
    poll(&p, 1, 1);
  }
}

}  // namespace fuzz
