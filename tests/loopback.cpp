#include "loopback.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

Loopback::Loopback() {
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(listener, 1) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
    throw std::runtime_error("loopback listener");
  client = socket(AF_INET, SOCK_STREAM, 0);
  if (client < 0 || connect(client, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
    throw std::runtime_error("loopback connect");
  server = accept(listener, nullptr, nullptr);
  close(listener);
  if (server < 0) throw std::runtime_error("loopback accept");
  const int one = 1;
  setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

Loopback::~Loopback() {
  if (client >= 0) close(client);
  if (server >= 0) close(server);
}

std::vector<uint8_t> Loopback::hostReceives(int timeoutMs) {
  std::vector<uint8_t> out;
  int waited = 0;
  while (waited < timeoutMs) {
    pollfd p{server, POLLIN, 0};
    const int wait = out.empty() ? 10 : 50;
    if (poll(&p, 1, wait) <= 0) {
      if (!out.empty()) break;
      waited += wait;
      continue;
    }
    uint8_t buffer[65536];
    const ssize_t n = recv(server, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    out.insert(out.end(), buffer, buffer + n);
  }
  return out;
}

void Loopback::hostSends(const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = send(server, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) throw std::runtime_error("loopback send");
    done += static_cast<size_t>(n);
  }
}

void Loopback::hostSends(const std::string& bytes) { hostSends(std::vector<uint8_t>(bytes.begin(), bytes.end())); }

void Loopback::makeClientNonBlocking() { fcntl(client, F_SETFL, fcntl(client, F_GETFL) | O_NONBLOCK); }

void Loopback::closeHost() {
  if (server >= 0) close(server);
  server = -1;
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
