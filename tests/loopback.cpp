#include "loopback.h"

#ifdef _WIN32
#include "platform/win32.h"
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <stdexcept>

namespace {

#ifdef _WIN32
using socklen_t = int;
constexpr int kSendFlags = 0;
void closeSocket(LoopbackSocket s) { closesocket(static_cast<SOCKET>(s)); }
// Waits up to ms for the socket to become readable.
bool readable(LoopbackSocket s, int ms) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(static_cast<SOCKET>(s), &set);
  timeval tv{ms / 1000, (ms % 1000) * 1000};
  return select(0, &set, nullptr, nullptr, &tv) > 0;
}
#else
constexpr int kSendFlags = MSG_NOSIGNAL;
void closeSocket(LoopbackSocket s) { close(s); }
bool readable(LoopbackSocket s, int ms) {
  pollfd p{s, POLLIN, 0};
  return poll(&p, 1, ms) > 0;
}
#endif

}  // namespace

Loopback::Loopback() {
#ifdef _WIN32
  WSADATA data;
  if (WSAStartup(MAKEWORD(1, 1), &data) != 0) throw std::runtime_error("loopback WSAStartup");
#endif
  const LoopbackSocket listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (listener == kClosed || bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(listener, 1) != 0 || getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
    throw std::runtime_error("loopback listener");
  client = socket(AF_INET, SOCK_STREAM, 0);
  if (client == kClosed || connect(client, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
    throw std::runtime_error("loopback connect");
  server = accept(listener, nullptr, nullptr);
  closeSocket(listener);
  if (server == kClosed) throw std::runtime_error("loopback accept");
  const int one = 1;
  setsockopt(client, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
  setsockopt(server, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
}

Loopback::~Loopback() {
  if (client != kClosed) closeSocket(client);
  if (server != kClosed) closeSocket(server);
#ifdef _WIN32
  WSACleanup();
#endif
}

std::vector<uint8_t> Loopback::hostReceives(int timeoutMs) {
  std::vector<uint8_t> out;
  int waited = 0;
  while (waited < timeoutMs) {
    const int wait = out.empty() ? 10 : 50;
    if (!readable(server, wait)) {
      if (!out.empty()) break;
      waited += wait;
      continue;
    }
    char buffer[65536];
    const int n = static_cast<int>(recv(server, buffer, sizeof buffer, 0));
    if (n <= 0) break;
    out.insert(out.end(), buffer, buffer + n);
  }
  return out;
}

void Loopback::hostSends(const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const int n = static_cast<int>(send(server, reinterpret_cast<const char*>(bytes.data()) + done,
                                        static_cast<int>(bytes.size() - done), kSendFlags));
    if (n <= 0) throw std::runtime_error("loopback send");
    done += static_cast<size_t>(n);
  }
}

void Loopback::hostSends(const std::string& bytes) { hostSends(std::vector<uint8_t>(bytes.begin(), bytes.end())); }

void Loopback::makeClientNonBlocking() {
#ifdef _WIN32
  u_long on = 1;
  ioctlsocket(static_cast<SOCKET>(client), FIONBIO, &on);
#else
  fcntl(client, F_SETFL, fcntl(client, F_GETFL) | O_NONBLOCK);
#endif
}

void Loopback::closeHost() {
  if (server != kClosed) closeSocket(server);
  server = kClosed;
}

std::string hex(const std::vector<uint8_t>& bytes) {
  std::string out;
  char b[4];
  for (uint8_t v : bytes) {
    std::snprintf(b, sizeof b, "%02X", v);
    if (!out.empty()) out += ' ';
    out += b;
  }
  return out;
}

std::vector<uint8_t> bytesOf(std::initializer_list<int> values) {
  std::vector<uint8_t> out;
  for (int v : values) out.push_back(static_cast<uint8_t>(v));
  return out;
}
