// SIGTERM, SIGINT and SIGHUP become WM_CLOSE for every top-level window, so the
// program ends through its normal close path. The handler only writes a byte
// into a pipe; the message loop does the rest.
#include <fcntl.h>
#include <unistd.h>

#include <poll.h>

#include <cerrno>
#include <csignal>

#include "platform/posix/display.h"
#include "platform/posix/internal.h"

namespace posix {
namespace {

int g_pipe[2] = {-1, -1};

void onSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] ssize_t n = write(g_pipe[1], &byte, 1);
  errno = saved;
}

void onPipe(short) {
  char buffer[64];
  while (read(g_pipe[0], buffer, sizeof buffer) > 0) {
  }
  const std::vector<HWND> windows = topLevelWindows();
  if (windows.empty()) PostQuitMessage(0);
  for (HWND h : windows) PostMessageA(h, WM_CLOSE, 0, 0);
}

}  // namespace

void installCloseSignals() {
  if (g_pipe[0] >= 0) return;
  if (pipe(g_pipe) != 0) return;
  for (int fd : g_pipe) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
  }
  addWatch(g_pipe[0], POLLIN, onPipe);
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &sa, nullptr);
}

}  // namespace posix
