// quillon-demo-host: a small host on 127.0.0.1 for trying and testing the
// terminal. A client that says it is a 3270 display ("IBM-3278-2") gets a 3270
// application; any other client gets a line-mode session with VT100 demos.
//
//   quillon-demo-host [--port N] [--logoff-delay MS] [--strict] [--tn3270e-only]
//
// Every client is offered TN3270E first; one that takes it gets the 3270
// application under TN3270E, whatever else it is.
// --port 0 picks a free port. --strict makes it a host that resets any client
// which sends something before it has answered the host's first request.
// --tn3270e-only turns away a client that does not agree to TN3270E. The
// first line on standard output is "listening on 127.0.0.1:PORT". Each client
// is served by a child process; SIGTERM or SIGINT ends the host and its sessions.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "session.h"

namespace {

// Signals reach the accept loop through this pipe.
int signalPipe[2] = {-1, -1};
volatile sig_atomic_t stopRequested = 0;

void onSignal(int signal) {
  const int saved = errno;
  if (signal != SIGCHLD) stopRequested = 1;
  const char byte = 0;
  [[maybe_unused]] const ssize_t n = write(signalPipe[1], &byte, 1);
  errno = saved;
}

void usage(FILE* to) {
  std::fprintf(to,
               "usage: quillon-demo-host [--port N] [--logoff-delay MS] [--strict] [--tn3270e-only]\n"
               "  --port N           TCP port on 127.0.0.1 (default 2323, 0 picks a free one)\n"
               "  --logoff-delay MS  how long the goodbye shows before the host closes (default 1000)\n"
               "  --strict           reset a client that sends anything before it answers the host's\n"
               "                     offer of TN3270E; negotiate one option pair at a time\n"
               "  --tn3270e-only     tell a client that does not agree to TN3270E so, and disconnect it\n");
}

// A whole decimal number within [low, high].
bool parseNumber(const char* text, long low, long high, int& out) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || value < low || value > high) return false;
  out = static_cast<int>(value);
  return true;
}

bool parseArguments(int argc, char** argv, demohost::HostOptions& options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    const char* value = nullptr;
    const size_t eq = arg.find('=');
    if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = argv[i] + eq + 1;
      arg.resize(eq);
    }
    if (arg == "--help" || arg == "-h") {
      usage(stdout);
      std::exit(0);
    }
    if (arg == "--strict" && value == nullptr) {
      options.strict = true;
      continue;
    }
    if (arg == "--tn3270e-only" && value == nullptr) {
      options.tn3270eOnly = true;
      continue;
    }
    if (arg != "--port" && arg != "--logoff-delay") {
      std::fprintf(stderr, "quillon-demo-host: unknown argument \"%s\"\n", argv[i]);
      return false;
    }
    if (value == nullptr) value = i + 1 < argc ? argv[++i] : nullptr;
    const bool ok = arg == "--port" ? parseNumber(value, 0, 65535, options.port)
                                    : parseNumber(value, 0, 60000, options.logoffDelayMs);
    if (!ok) {
      std::fprintf(stderr, "quillon-demo-host: %s needs a number\n", arg.c_str());
      return false;
    }
  }
  return true;
}

int listenOn(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  const int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 16) != 0) {
    close(fd);
    return -1;
  }
  // Non-blocking, so that a client that gave up before the accept cannot stall the loop.
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  return fd;
}

int boundPort(int fd) {
  sockaddr_in addr{};
  socklen_t length = sizeof addr;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) != 0) return -1;
  return ntohs(addr.sin_port);
}

void reap(std::set<pid_t>& children) {
  for (;;) {
    const pid_t pid = waitpid(-1, nullptr, WNOHANG);
    if (pid <= 0) break;
    children.erase(pid);
  }
}

void installHandlers() {
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGCHLD, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

// In a session process: the host's signal handling does not apply; SIGTERM and
// SIGINT end the session at once.
void restoreHandlers() {
  signal(SIGTERM, SIG_DFL);
  signal(SIGINT, SIG_DFL);
  signal(SIGCHLD, SIG_DFL);
}

}  // namespace

int main(int argc, char** argv) {
  demohost::HostOptions options;
  if (!parseArguments(argc, argv, options)) {
    usage(stderr);
    return 2;
  }
  if (pipe(signalPipe) != 0) {
    std::perror("quillon-demo-host: pipe");
    return 1;
  }
  for (int fd : signalPipe) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  installHandlers();

  const int listener = listenOn(options.port);
  if (listener < 0) {
    std::fprintf(stderr, "quillon-demo-host: cannot listen on 127.0.0.1:%d: %s\n", options.port, std::strerror(errno));
    return 1;
  }
  std::printf("listening on 127.0.0.1:%d\n", boundPort(listener));
  std::fflush(stdout);

  std::set<pid_t> children;
  int sessions = 0;
  while (!stopRequested) {
    pollfd p[2] = {{listener, POLLIN, 0}, {signalPipe[0], POLLIN, 0}};
    if (poll(p, 2, -1) < 0 && errno != EINTR) break;
    if (p[1].revents & POLLIN) {
      char drain[64];
      while (read(signalPipe[0], drain, sizeof drain) > 0) {
      }
    }
    reap(children);
    if (stopRequested || !(p[0].revents & POLLIN)) continue;

    const int client = accept(listener, nullptr, nullptr);
    if (client < 0) continue;
    // Some systems pass the listener's non-blocking mode on; the session blocks.
    fcntl(client, F_SETFL, fcntl(client, F_GETFL) & ~O_NONBLOCK);
    const int one = 1;
    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const int number = ++sessions;
    const pid_t pid = fork();
    if (pid == 0) {
      restoreHandlers();
      close(listener);
      close(signalPipe[0]);
      close(signalPipe[1]);
      demohost::runSession(client, number, options);
      std::fflush(stderr);
      _exit(0);
    }
    close(client);
    if (pid > 0)
      children.insert(pid);
    else
      std::perror("quillon-demo-host: fork");
  }

  close(listener);
  for (pid_t pid : children) kill(pid, SIGTERM);
  for (pid_t pid : children) waitpid(pid, nullptr, 0);
  return 0;
}
