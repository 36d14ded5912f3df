#include "stream_host.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>

namespace bench {
namespace {

// Every wait of the host is bounded, so that a terminal that stops reading
// ends the benchmark with an error instead of hanging it.
constexpr int kTimeoutMs = 20000;

// What the terminal sends first: DO ECHO, WONT ECHO, WILL SGA, DO SGA, WILL NAWS, DO NAWS.
constexpr size_t kOpeningSize = 18;
// A character-at-a-time Unix host: it echoes and suppresses go-ahead.
const unsigned char kAnswer[] = {0xFF, 0xFB, 0x01, 0xFF, 0xFB, 0x03};

SSL* sslOf(void* p) { return static_cast<SSL*>(p); }

std::string libraryError(const char* what) {
  char text[256] = "";
  if (const unsigned long e = ERR_get_error()) ERR_error_string_n(e, text, sizeof text);
  return std::string(what) + (text[0] ? ": " : "") + text;
}

}  // namespace

StreamHost::StreamHost(const std::string& certificate) {
  if (!certificate.empty()) {
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    context_ = context;
    if (!context || SSL_CTX_use_certificate_chain_file(context, (certificate + ".pem").c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(context, (certificate + ".key").c_str(), SSL_FILETYPE_PEM) != 1) {
      error_ = libraryError(("certificate " + certificate + " not usable").c_str());
      failed_ = true;
      return;
    }
  }
  listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener_, 1) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    error_ = "no listening socket on 127.0.0.1";
    failed_ = true;
    return;
  }
  port_ = ntohs(address.sin_port);
}

StreamHost::~StreamHost() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  // A write the terminal no longer takes fails at once instead of at its timeout.
  if (connection_ >= 0) ::shutdown(connection_, SHUT_RDWR);
  if (thread_.joinable()) thread_.join();
  SSL_free(sslOf(ssl_));
  SSL_CTX_free(static_cast<SSL_CTX*>(context_));
  if (connection_ >= 0) ::close(connection_);
  if (listener_ >= 0) ::close(listener_);
}

bool StreamHost::start(const std::vector<unsigned char>* input) {
  if (failed() || listener_ < 0 || thread_.joinable()) return false;
  input_ = input;
  thread_ = std::thread([this] { run(); });
  return true;
}

bool StreamHost::ready() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ready_;
}

bool StreamHost::failed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return failed_;
}

std::string StreamHost::error() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return error_;
}

void StreamHost::sendPass(const std::string& tail) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    passes_.push_back(tail);
  }
  wake_.notify_all();
}

void StreamHost::fail(const std::string& why) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!failed_) error_ = why;
    failed_ = true;
  }
  // The terminal sees the connection end, and its message loop with it.
  if (connection_ >= 0) ::shutdown(connection_, SHUT_RDWR);
}

void StreamHost::run() {
  pollfd p{listener_, POLLIN, 0};
  if (poll(&p, 1, kTimeoutMs) != 1) return fail("the terminal did not connect");
  connection_ = ::accept(listener_, nullptr, nullptr);
  if (connection_ < 0) return fail("accept failed");
  const timeval limit{kTimeoutMs / 1000, 0};
  setsockopt(connection_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  setsockopt(connection_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  if (context_ && !handshake()) return;
  if (!readOpening() || !writeAll(kAnswer, sizeof kAnswer)) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ready_ = true;
  }
  for (;;) {
    std::string tail;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stop_ || !passes_.empty(); });
      if (stop_) return;
      tail = std::move(passes_.front());
      passes_.pop_front();
    }
    if (!writeAll(input_->data(), input_->size()) ||
        !writeAll(reinterpret_cast<const unsigned char*>(tail.data()), tail.size()))
      return;
  }
}

bool StreamHost::handshake() {
  SSL* ssl = SSL_new(static_cast<SSL_CTX*>(context_));
  ssl_ = ssl;
  if (!ssl || SSL_set_fd(ssl, connection_) != 1) {
    fail(libraryError("no TLS server session"));
    return false;
  }
  if (SSL_accept(ssl) != 1) {
    fail(libraryError("the TLS handshake failed"));
    return false;
  }
  return true;
}

bool StreamHost::readOpening() {
  unsigned char buffer[256];
  for (size_t got = 0; got < kOpeningSize;) {
    const int n = context_ ? SSL_read(sslOf(ssl_), buffer, sizeof buffer)
                           : static_cast<int>(::recv(connection_, buffer, sizeof buffer, 0));
    if (n <= 0) {
      fail("the terminal's opening negotiation did not come");
      return false;
    }
    got += static_cast<size_t>(n);
  }
  return true;
}

bool StreamHost::writeAll(const unsigned char* bytes, size_t size) {
  for (size_t done = 0; done < size;) {
    const size_t piece = std::min(size - done, kWriteSize);
    if (context_) {
      // Blocking socket, partial writes off: all of the piece or an error.
      if (SSL_write(sslOf(ssl_), bytes + done, static_cast<int>(piece)) != static_cast<int>(piece)) {
        fail(libraryError("TLS write failed"));
        return false;
      }
      done += piece;
    } else {
      const ssize_t n = ::send(connection_, bytes + done, piece, MSG_NOSIGNAL);
      if (n <= 0) {
        fail("send failed");
        return false;
      }
      done += static_cast<size_t>(n);
    }
  }
  return true;
}

}  // namespace bench
