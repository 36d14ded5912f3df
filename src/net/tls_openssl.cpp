// TLS with OpenSSL (POSIX builds). The library works on memory buffers: what
// the socket brings is written into one, what TLS has to send is taken from
// the other and sent, so the socket stays the window's non-blocking Winsock
// socket with its read events.
#ifndef _WIN32

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cstring>

#include "net/tls.h"

namespace {

bool isAddress(const std::string& name) { return inet_addr(name.c_str()) != INADDR_NONE; }

TlsFailure verifyFailure(long result) {
  switch (result) {
    case X509_V_ERR_CERT_HAS_EXPIRED: return TlsFailure::kExpired;
    case X509_V_ERR_CERT_NOT_YET_VALID: return TlsFailure::kNotYetValid;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH: return TlsFailure::kNameMismatch;
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT: return TlsFailure::kSelfSigned;
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE: return TlsFailure::kUnknownIssuer;
    default: return TlsFailure::kUntrusted;
  }
}

class OpenSslChannel : public TlsChannel {
 public:
  OpenSslChannel(SOCKET s, const std::string& serverName, const TlsOptions& options)
      : socket_(s), options_(options) {
    context_ = SSL_CTX_new(TLS_client_method());
    if (!context_) {
      fail(TlsFailure::kHandshake);
      return;
    }
    SSL_CTX_set_min_proto_version(context_, TLS1_2_VERSION);
    SSL_CTX_set_default_verify_paths(context_);
    if (!options.caFile.empty() && SSL_CTX_load_verify_locations(context_, options.caFile.c_str(), nullptr) != 1)
      detail_ = "CAFile " + options.caFile + " could not be read; ";
    SSL_CTX_set_verify(context_, options.verify ? SSL_VERIFY_PEER : SSL_VERIFY_NONE, nullptr);
    ssl_ = SSL_new(context_);
    BIO* in = BIO_new(BIO_s_mem());
    BIO* out = BIO_new(BIO_s_mem());
    if (!ssl_ || !in || !out) {
      BIO_free(in);
      BIO_free(out);
      fail(TlsFailure::kHandshake);
      return;
    }
    in_ = in;
    out_ = out;
    SSL_set_bio(ssl_, in, out);  // the connection owns both from here
    if (isAddress(serverName)) {
      X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), serverName.c_str());
    } else {
      SSL_set_tlsext_host_name(ssl_, serverName.c_str());
      SSL_set1_host(ssl_, serverName.c_str());
    }
    SSL_set_connect_state(ssl_);
  }

  ~OpenSslChannel() override {
    if (ssl_ && established_ && failure_ == TlsFailure::kNone) {
      SSL_shutdown(ssl_);  // close_notify, as far as the socket takes it
      flush();
    }
    SSL_free(ssl_);
    SSL_CTX_free(context_);
  }

  TlsResult Handshake() override {
    if (!ssl_ || failure_ != TlsFailure::kNone) return TlsResult::kFailed;
    for (;;) {
      const int r = SSL_do_handshake(ssl_);
      if (!flush()) return TlsResult::kFailed;
      if (r == 1) {
        established_ = true;
        return TlsResult::kDone;
      }
      const int error = SSL_get_error(ssl_, r);
      if (error != SSL_ERROR_WANT_READ) {
        const long verified = SSL_get_verify_result(ssl_);
        if (options_.verify && verified != X509_V_OK) {
          detail_ += X509_verify_cert_error_string(verified);
          return fail(verifyFailure(verified));
        }
        libraryDetail();
        return fail(TlsFailure::kHandshake);
      }
      const Pull p = pull();
      if (p == Pull::kNothing) return TlsResult::kAgain;
      if (p == Pull::kEnd) return fail(TlsFailure::kClosed);
      if (p == Pull::kError) return fail(TlsFailure::kSocket);
    }
  }

  TlsResult Read(unsigned char* out, int room, int* count) override {
    *count = 0;
    if (!established_ || failure_ != TlsFailure::kNone) return TlsResult::kFailed;
    stalled_ = false;
    while (*count < room) {
      const int r = SSL_read(ssl_, out + *count, room - *count);
      if (r > 0) {
        *count += r;
        continue;
      }
      const int error = SSL_get_error(ssl_, r);
      if (error == SSL_ERROR_WANT_READ) {
        if (!flush()) return TlsResult::kFailed;
        // What is held is at most part of a record. The socket may have the
        // rest already: then this read goes on filling its room instead of
        // handing on the tail of the last record as a short piece.
        const Pull p = socketEnd_ != Pull::kNothing ? socketEnd_ : pull();
        if (p == Pull::kData) continue;
        stalled_ = true;
        if (p == Pull::kNothing) break;
        if (*count > 0) {
          socketEnd_ = p;  // the bytes first; the end or the error with the next read
          break;
        }
        if (p == Pull::kEnd) return TlsResult::kClosed;
        fail(TlsFailure::kSocket);
        return TlsResult::kFailed;
      }
      if (*count > 0) break;  // the bytes first; the close or error comes with the next read
      if (error == SSL_ERROR_ZERO_RETURN) return TlsResult::kClosed;
      libraryDetail();
      fail(TlsFailure::kProtocol);
      return TlsResult::kFailed;
    }
    return *count > 0 ? TlsResult::kDone : TlsResult::kAgain;
  }

  bool Pending() const override {
    if (!established_ || stalled_ || failure_ != TlsFailure::kNone) return false;
    return SSL_pending(ssl_) > 0 || SSL_has_pending(ssl_) || BIO_ctrl_pending(in_) > 0;
  }

  bool Write(const unsigned char* data, int length) override {
    if (!established_ || failure_ != TlsFailure::kNone) return false;
    int done = 0;
    int waits = 0;  // steps waited in a row for the host's handshake bytes
    while (done < length) {
      const int r = SSL_write(ssl_, data + done, length - done);
      if (r > 0) {
        done += r;
        waits = 0;
        continue;
      }
      if (SSL_get_error(ssl_, r) != SSL_ERROR_WANT_READ) {
        libraryDetail();
        fail(TlsFailure::kProtocol);
        return false;
      }
      // A handshake the host started (a renegotiation) must finish first: our
      // part of it goes out, then the host's answer is waited for, a while at most.
      if (!flush()) return false;
      const Pull p = pull();
      if (p == Pull::kError) {
        fail(TlsFailure::kSocket);
        return false;
      }
      if (p == Pull::kEnd) {
        detail_ += "the host closed the connection in a renegotiation";
        fail(TlsFailure::kProtocol);
        return false;
      }
      if (p == Pull::kData) {
        waits = 0;
        continue;
      }
      if (++waits > kWriteWaitSteps) {
        detail_ += "the host did not finish its renegotiation";
        fail(TlsFailure::kProtocol);
        return false;
      }
      Sleep(kWriteWaitStepMs);
    }
    return flush();
  }

  std::string Description() const override {
    if (!ssl_ || !established_) return "";
    std::string text = std::string(SSL_get_version(ssl_)) + " " + SSL_get_cipher_name(ssl_);
    if (X509* peer = SSL_get1_peer_certificate(ssl_)) {
      char subject[512] = {};
      X509_NAME_oneline(X509_get_subject_name(peer), subject, sizeof subject);
      text += std::string(" subject ") + subject;
      X509_free(peer);
    }
    return text;
  }

  TlsFailure Failure() const override { return failure_; }
  std::string FailureDetail() const override { return detail_; }

 private:
  enum class Pull { kData, kNothing, kEnd, kError };
  // How long a write waits for a host's renegotiation: 2 s in steps of 10 ms.
  static constexpr int kWriteWaitSteps = 200;
  static constexpr DWORD kWriteWaitStepMs = 10;

  TlsResult fail(TlsFailure failure) {
    if (failure_ == TlsFailure::kNone) failure_ = failure;
    return TlsResult::kFailed;
  }

  void libraryDetail() {
    char text[256];
    for (unsigned long e = ERR_get_error(); e != 0; e = ERR_get_error()) {
      ERR_error_string_n(e, text, sizeof text);
      detail_ += detail_.empty() ? text : std::string("; ") + text;
    }
  }

  // One read of what the socket holds into TLS's input.
  Pull pull() {
    char buffer[16384];
    const int n = recv(socket_, buffer, sizeof buffer, 0);
    if (n > 0) {
      BIO_write(in_, buffer, n);
      return Pull::kData;
    }
    if (n == 0) return Pull::kEnd;
    if (WSAGetLastError() == WSAEWOULDBLOCK) return Pull::kNothing;
    detail_ += "socket error " + std::to_string(WSAGetLastError());
    return Pull::kError;
  }

  // Sends everything TLS has produced, in order, waiting out a full socket.
  bool flush() {
    char buffer[16384];
    while (BIO_ctrl_pending(out_) > 0) {
      const int n = BIO_read(out_, buffer, sizeof buffer);
      if (n <= 0) break;
      for (int sent = 0; sent < n;) {
        const int k = send(socket_, buffer + sent, n - sent, 0);
        if (k > 0) {
          sent += k;
        } else if (k == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK) {
          detail_ += "socket error " + std::to_string(WSAGetLastError());
          fail(TlsFailure::kSocket);
          return false;
        }
      }
    }
    return true;
  }

  SOCKET socket_;
  TlsOptions options_;
  SSL_CTX* context_ = nullptr;
  SSL* ssl_ = nullptr;
  BIO* in_ = nullptr;   // owned by ssl_
  BIO* out_ = nullptr;  // owned by ssl_
  bool established_ = false;
  bool stalled_ = false;
  Pull socketEnd_ = Pull::kNothing;  // kEnd or kError once the socket has said so
  TlsFailure failure_ = TlsFailure::kNone;
  std::string detail_;
};

}  // namespace

std::unique_ptr<TlsChannel> CreateTlsChannel(SOCKET s, const std::string& serverName, const TlsOptions& options) {
  return std::make_unique<OpenSslChannel>(s, serverName, options);
}

#endif  // !_WIN32
