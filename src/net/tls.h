// TLS between the socket and SendData/RecvData, for hosts reached with "tls:".
// One interface, two implementations: OpenSSL on POSIX (tls_openssl.cpp) and
// the system's SChannel through SSPI on Windows (tls_schannel.cpp). Both work
// on the window's non-blocking socket with the Winsock calls and never wait:
// every step does what the socket allows and returns.
#pragma once

#include <memory>
#include <string>

#include "platform/win32.h"

// The [TLS] section of .\quillon.ini.
struct TlsOptions {
  bool verify = true;  // Verify=0 turns certificate checks off (lab hosts)
  std::string caFile;  // CAFile=: PEM certificates trusted beside the system's
};
TlsOptions ReadTlsOptions();

// Why a session could not be set up or went on no longer.
enum class TlsFailure {
  kNone,
  kExpired,        // the host's certificate has expired
  kNotYetValid,    // ... is not valid yet
  kNameMismatch,   // ... names another host
  kUnknownIssuer,  // ... chains to no trusted root
  kSelfSigned,     // ... signed itself and is not trusted
  kUntrusted,      // ... failed another check (revoked, bad signature, ...)
  kHandshake,      // the two ends did not agree (protocol, cipher, not TLS at all)
  kClosed,         // the host closed the connection during the handshake
  kSocket,         // the socket failed
  kProtocol,       // a broken record or alert in the middle of the session
};
// The message box text for a failure; `host` is the name connected to.
std::string TlsFailureText(TlsFailure failure, const std::string& host);

enum class TlsResult {
  kAgain,   // nothing more to do until the socket's next read event
  kDone,    // the handshake is complete / bytes were delivered
  kClosed,  // the host ended the session (close_notify or end of stream)
  kFailed,  // Failure() says why
};

class TlsChannel {
 public:
  virtual ~TlsChannel() = default;
  // Moves the handshake on with what the socket holds and sends what it must.
  // Called once the TCP connection is up and on every read event until it
  // returns kDone or kFailed. At kDone the peer's certificate has been checked
  // (unless the options turned that off).
  virtual TlsResult Handshake() = 0;
  // After the handshake: decrypts up to `room` plain bytes into `out` and
  // stores their number in *count (kDone when it is above 0, else kAgain).
  virtual TlsResult Read(unsigned char* out, int room, int* count) = 0;
  // True when plain bytes, or whole records, are held that Read would deliver
  // without a new read event: the caller reads again at once.
  virtual bool Pending() const = 0;
  // Encrypts the bytes and sends them all, in order, before it returns (as
  // SendData does on a plain socket, it waits out a full socket buffer).
  virtual bool Write(const unsigned char* data, int length) = 0;
  // After the handshake: "TLSv1.3 TLS_AES_256_GCM_SHA384 subject CN=host".
  virtual std::string Description() const = 0;
  virtual TlsFailure Failure() const = 0;
  // Words for the trace log on what went wrong (library or system detail).
  virtual std::string FailureDetail() const = 0;
};

// A channel for a connected socket; `serverName` (host name or address) is
// sent as SNI when it is a name and is what the certificate must match.
std::unique_ptr<TlsChannel> CreateTlsChannel(SOCKET s, const std::string& serverName, const TlsOptions& options);
