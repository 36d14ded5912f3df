// TLS peers for the tests, all on 127.0.0.1: the test certificates (made with
// the openssl command at test time), a host played by the test behind TLS
// (OpenSSL's server side on a thread for the handshake, then driven by the test
// like the plain scripted host), and stunnel in front of another port.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

// The directory of the test certificates (see make-test-certs.sh): made once
// and shared by the test processes of a build. "" when they could not be made.
const std::string& TestCertificates();

class TlsHost {
 public:
  // `name` is a certificate of TestCertificates() ("good", "expired", "self", ...);
  // `version` limits the protocol (TLS1_2_VERSION, TLS1_3_VERSION), 0 for any.
  explicit TlsHost(const std::string& name, int version = 0);
  ~TlsHost();
  TlsHost(const TlsHost&) = delete;
  TlsHost& operator=(const TlsHost&) = delete;

  bool listening() const { return listener_ >= 0; }
  uint16_t port() const { return port_; }
  // Takes the next connection and runs the handshake, on a thread.
  void acceptInBackground(int timeoutMs = 5000);
  // Waits for that thread; true when the handshake completed.
  bool handshakeDone();
  // What the TLS server saw go wrong ("" when nothing).
  const std::string& error() const { return error_; }

  // Sends the bytes in TLS records of at most `record` bytes (0: one record).
  void send(const std::vector<uint8_t>& bytes, std::size_t record = 0);
  // Plain bytes from the terminal: waits for `count`, then takes what else is there.
  std::vector<uint8_t> receive(std::size_t count, int timeoutMs = 3000);
  // Asks the terminal for a renegotiation (TLS 1.2 HelloRequest) and does not
  // answer it: the terminal's handshake waits for the host from then on.
  void requestRenegotiation();
  // Sends raw bytes on the TCP connection, past TLS.
  void sendRaw(const std::vector<uint8_t>& bytes);
  // True once the terminal has ended the session (close_notify or end of stream).
  bool peerClosed(int timeoutMs = 3000);
  // Ends the session as a host does: close_notify, then the connection.
  void close();

 private:
  void handshake(int timeoutMs);

  int listener_ = -1;
  int connection_ = -1;
  uint16_t port_ = 0;
  void* context_ = nullptr;  // SSL_CTX
  void* ssl_ = nullptr;      // SSL
  std::thread thread_;
  bool done_ = false;
  std::string error_;
};

// stunnel in front of 127.0.0.1:target with a certificate of TestCertificates().
class Stunnel {
 public:
  Stunnel(int targetPort, const std::string& certificate);
  ~Stunnel();
  // 0 when it did not start.
  int port() const { return port_; }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  std::string dir_;
};
