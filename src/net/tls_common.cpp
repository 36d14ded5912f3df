// What both TLS implementations share: the [TLS] settings and the words that
// tell the user why a secure connection could not be made.
#include "net/tls.h"

TlsOptions ReadTlsOptions() {
  TlsOptions options;
  char value[1024] = {};
  GetPrivateProfileStringA("TLS", "Verify", "1", value, sizeof value, ".\\quillon.ini");
  options.verify = !(value[0] == '0' && value[1] == '\0');
  GetPrivateProfileStringA("TLS", "CAFile", "", value, sizeof value, ".\\quillon.ini");
  options.caFile = value;
  return options;
}

std::string TlsFailureText(TlsFailure failure, const std::string& host) {
  const std::string of = "The certificate of " + host;
  switch (failure) {
    case TlsFailure::kExpired: return of + " has expired.";
    case TlsFailure::kNotYetValid: return of + " is not valid yet.";
    case TlsFailure::kNameMismatch: return of + " is made out to another name: it does not match " + host + ".";
    case TlsFailure::kUnknownIssuer: return of + " was issued by an unknown authority.";
    case TlsFailure::kSelfSigned: return of + " is self-signed and not trusted.";
    case TlsFailure::kUntrusted: return of + " is not trusted.";
    case TlsFailure::kHandshake: return "The secure connection to " + host + " failed: the handshake failed.";
    case TlsFailure::kClosed: return host + " closed the connection during the TLS handshake.";
    case TlsFailure::kSocket: return "The secure connection to " + host + " failed: the network connection failed.";
    case TlsFailure::kProtocol: return "The secure connection to " + host + " failed: the host sent broken TLS data.";
    case TlsFailure::kNone: break;
  }
  return "The secure connection to " + host + " failed.";
}
