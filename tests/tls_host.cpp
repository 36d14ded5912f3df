#include "tls_host.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "socket_host.h"

namespace {

int64_t nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

SSL* sslOf(void* p) { return static_cast<SSL*>(p); }

bool connectable(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  const bool ok = fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  if (fd >= 0) close(fd);
  return ok;
}

}  // namespace

const std::string& TestCertificates() {
  static const std::string dir = [] {
    // Made once for all test processes of this build: into a directory of
    // this process, then renamed into place (a process that loses the race
    // takes the winner's).
    const std::string target = QUILLON_TEST_CERT_DIR;
    struct stat st;
    if (stat((target + "/good.pem").c_str(), &st) == 0) return target;
    const std::string mine = target + ".new." + std::to_string(getpid());
    const std::string command = std::string("sh ") + QUILLON_TEST_SOURCE_DIR + "/make-test-certs.sh " + mine;
    if (std::system(command.c_str()) != 0) return std::string();
    if (rename(mine.c_str(), target.c_str()) != 0) std::system(("rm -rf " + mine).c_str());
    return stat((target + "/good.pem").c_str(), &st) == 0 ? target : std::string();
  }();
  return dir;
}

TlsHost::TlsHost(const std::string& name, int version) {
  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  context_ = context;
  const std::string base = TestCertificates() + "/" + name;
  if (!context || SSL_CTX_use_certificate_chain_file(context, (base + ".pem").c_str()) != 1 ||
      SSL_CTX_use_PrivateKey_file(context, (base + ".key").c_str(), SSL_FILETYPE_PEM) != 1) {
    error_ = "certificate " + base + " not usable";
    return;
  }
  if (version != 0) {
    SSL_CTX_set_min_proto_version(context, version);
    SSL_CTX_set_max_proto_version(context, version);
  }
  listener_ = sockhost::listenOnLoopback(&port_);
}

TlsHost::~TlsHost() {
  if (thread_.joinable()) thread_.join();
  SSL_free(sslOf(ssl_));
  SSL_CTX_free(static_cast<SSL_CTX*>(context_));
  if (connection_ >= 0) ::close(connection_);
  if (listener_ >= 0) ::close(listener_);
}

void TlsHost::acceptInBackground(int timeoutMs) {
  thread_ = std::thread([this, timeoutMs] { handshake(timeoutMs); });
}

void TlsHost::handshake(int timeoutMs) {
  pollfd p{listener_, POLLIN, 0};
  if (listener_ < 0 || poll(&p, 1, timeoutMs) != 1) {
    error_ = "no connection";
    return;
  }
  connection_ = ::accept(listener_, nullptr, nullptr);
  if (connection_ < 0) return;
  // Every read waits a bounded time.
  timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  setsockopt(connection_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  const int one = 1;  // each record goes out as it is written
  setsockopt(connection_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  SSL* ssl = SSL_new(static_cast<SSL_CTX*>(context_));
  ssl_ = ssl;
  SSL_set_fd(ssl, connection_);
  const int r = SSL_accept(ssl);
  if (r == 1) {
    done_ = true;
    return;
  }
  char text[256] = "handshake failed";
  if (const unsigned long e = ERR_get_error()) ERR_error_string_n(e, text, sizeof text);
  error_ = text;
}

bool TlsHost::handshakeDone() {
  if (thread_.joinable()) thread_.join();
  return done_;
}

void TlsHost::send(const std::vector<uint8_t>& bytes, std::size_t record) {
  if (!done_) return;
  const std::size_t step = record == 0 ? bytes.size() : record;
  for (std::size_t at = 0; at < bytes.size(); at += step) {
    const int n = static_cast<int>(std::min(step, bytes.size() - at));
    if (SSL_write(sslOf(ssl_), bytes.data() + at, n) != n) return;
  }
}

std::vector<uint8_t> TlsHost::receive(std::size_t count, int timeoutMs) {
  std::vector<uint8_t> out;
  if (!done_) return out;
  const int64_t end = nowMs() + timeoutMs;
  uint8_t buffer[4096];
  for (;;) {
    const int64_t left = end - nowMs();
    if (SSL_pending(sslOf(ssl_)) == 0) {
      // Once `count` bytes are here, only what is already coming is taken.
      const int wait = out.size() >= count ? 20 : static_cast<int>(std::max<int64_t>(left, 0));
      pollfd p{connection_, POLLIN, 0};
      if (poll(&p, 1, wait) != 1) break;
    }
    const int n = SSL_read(sslOf(ssl_), buffer, sizeof buffer);
    if (n > 0) {
      out.insert(out.end(), buffer, buffer + n);
    } else if (SSL_get_error(sslOf(ssl_), n) != SSL_ERROR_WANT_READ || nowMs() >= end) {
      break;
    }
  }
  return out;
}

void TlsHost::requestRenegotiation() {
  if (!done_) return;
  SSL_renegotiate(sslOf(ssl_));
  SSL_do_handshake(sslOf(ssl_));  // sends the HelloRequest
}

void TlsHost::sendRaw(const std::vector<uint8_t>& bytes) {
  if (connection_ >= 0) (void)!::send(connection_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

bool TlsHost::peerClosed(int timeoutMs) {
  if (!done_) return false;
  const int64_t end = nowMs() + timeoutMs;
  uint8_t buffer[256];
  while (nowMs() < end) {
    const int n = SSL_read(sslOf(ssl_), buffer, sizeof buffer);
    if (n > 0) continue;
    const int e = SSL_get_error(sslOf(ssl_), n);
    if (e == SSL_ERROR_ZERO_RETURN || e == SSL_ERROR_SYSCALL || e == SSL_ERROR_SSL) return true;
  }
  return false;
}

void TlsHost::close() {
  if (done_) SSL_shutdown(sslOf(ssl_));
  if (connection_ >= 0) ::shutdown(connection_, SHUT_RDWR);
}

Stunnel::Stunnel(int targetPort, const std::string& certificate) {
  char dir[] = "/tmp/quillon-stunnel-XXXXXX";
  if (!mkdtemp(dir) || TestCertificates().empty()) return;
  dir_ = dir;
  uint16_t port = 0;
  const int probe = sockhost::listenOnLoopback(&port);
  if (probe < 0) return;
  ::close(probe);  // stunnel takes the port it was given
  const std::string base = TestCertificates() + "/" + certificate;
  std::ofstream(dir_ + "/stunnel.conf") << "foreground = yes\npid =\noutput = " << dir_ << "/stunnel.log\n"
                                        << "[quillon]\naccept = 127.0.0.1:" << port << "\nconnect = 127.0.0.1:"
                                        << targetPort << "\ncert = " << base << ".pem\nkey = " << base << ".key\n";
  pid_ = fork();
  if (pid_ == 0) {
    // Its log goes to stunnel.log; nothing on the test's own output.
    const int null = ::open("/dev/null", O_RDWR);
    for (int fd = 0; fd <= 2; ++fd) dup2(null, fd);
    execlp("stunnel4", "stunnel4", (dir_ + "/stunnel.conf").c_str(), static_cast<char*>(nullptr));
    execlp("stunnel", "stunnel", (dir_ + "/stunnel.conf").c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  for (const int64_t end = nowMs() + 5000; pid_ > 0 && nowMs() < end; usleep(20000)) {
    if (connectable(port)) {
      port_ = port;
      break;
    }
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      break;
    }
  }
}

Stunnel::~Stunnel() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    for (int k = 0; k < 200 && waitpid(pid_, nullptr, WNOHANG) == 0; ++k) usleep(10000);
    if (waitpid(pid_, nullptr, WNOHANG) == 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  if (!dir_.empty()) std::system(("rm -rf " + dir_).c_str());
}
