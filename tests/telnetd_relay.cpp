#include "telnetd_relay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

void sendAll(int fd, const uint8_t* p, std::size_t n) {
  while (n > 0) {
    const ssize_t k = ::send(fd, p, n, MSG_NOSIGNAL);
    if (k <= 0) return;
    p += k;
    n -= static_cast<std::size_t>(k);
  }
}

// A connected loopback pair: the first end for us, the second for the server.
bool loopbackPair(int* ours, int* theirs) {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  bool ok = listener >= 0 && bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
            listen(listener, 1) == 0 && getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) == 0;
  *ours = ok ? ::socket(AF_INET, SOCK_STREAM, 0) : -1;
  ok = ok && *ours >= 0 && connect(*ours, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  *theirs = ok ? ::accept(listener, nullptr, nullptr) : -1;
  if (listener >= 0) close(listener);
  return ok && *theirs >= 0;
}

}  // namespace

TelnetdRelay::TelnetdRelay(std::string program) : program_(std::move(program)) {}

TelnetdRelay::~TelnetdRelay() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    for (int k = 0; k < 100 && waitpid(pid_, nullptr, WNOHANG) == 0; ++k)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (waitpid(pid_, nullptr, WNOHANG) == 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  if (server_ >= 0) close(server_);
}

bool TelnetdRelay::start(int timeoutMs) {
  if (!terminalSide_.accept(timeoutMs)) return false;
  int theirs = -1;
  if (!loopbackPair(&server_, &theirs)) return false;
  pid_ = fork();
  if (pid_ == 0) {
    // As inetd starts it: the connection on standard input, output and error.
    dup2(theirs, 0);
    dup2(theirs, 1);
    dup2(theirs, 2);
    if (theirs > 2) close(theirs);
    execl(kServer, kServer, "-h", "-E", program_.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(theirs);
  return pid_ > 0;
}

void TelnetdRelay::pass(std::size_t piece, const std::function<void()>& between) {
  const std::vector<uint8_t> up = scripted::takeReady(terminalSide_.connection());
  fromTerminal_.insert(fromTerminal_.end(), up.begin(), up.end());
  sendAll(server_, up.data(), up.size());

  const std::vector<uint8_t> down = scripted::takeReady(server_);
  fromServer_.insert(fromServer_.end(), down.begin(), down.end());
  if (down.empty()) return;
  const std::size_t step = piece == 0 ? down.size() : piece;
  for (std::size_t at = 0; at < down.size(); at += step) {
    sendAll(terminalSide_.connection(), down.data() + at, std::min(step, down.size() - at));
    if (between) between();
  }
}
