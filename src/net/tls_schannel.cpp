// TLS through the system's SChannel (SSPI) on Windows. The peer's certificate
// is checked by hand against the system's certificate store plus the
// certificates of [TLS] CAFile=, so that every refusal has a reason we can name.
//
// Buffers: `in_` holds bytes received and not yet decrypted (during the
// handshake it grows as the host's flight needs; afterwards it holds at least
// one record of the largest size TLS allows), `plain_` the plain bytes of the
// last record decrypted that Read has not handed on yet. A record is decrypted
// only when `plain_` is empty, so memory stays bounded whatever the host sends.
#ifdef _WIN32

#include "net/tls.h"

#define SECURITY_WIN32
#include <security.h>
#include <subauth.h>  // UNICODE_STRING, used by the TLS_PARAMETERS of SCH_CREDENTIALS
#define SCHANNEL_USE_BLACKLISTS
#include <schannel.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr size_t kRecordHeader = 5;
constexpr size_t kMaxRecordBody = 16384 + 2048;  // the largest ciphertext TLS 1.2 allows
constexpr size_t kMaxRecord = kRecordHeader + kMaxRecordBody;
constexpr size_t kFirstHandshakeBuffer = 32 * 1024;
constexpr size_t kMaxHandshakeBuffer = 256 * 1024;  // a certificate chain larger than this is refused
constexpr size_t kMaxQueuedWrite = 1024 * 1024;
constexpr long kMaxCaFile = 4 * 1024 * 1024;

// fdwChecks of SSL_EXTRA_CERT_CHAIN_POLICY_PARA (the SECURITY_FLAG_* of wininet.h).
constexpr DWORD kIgnoreRevocation = 0x00000080;
constexpr DWORD kIgnoreUnknownCa = 0x00000100;
constexpr DWORD kIgnoreWrongUsage = 0x00000200;
constexpr DWORD kIgnoreCertNameInvalid = 0x00001000;
constexpr DWORD kIgnoreCertDateInvalid = 0x00002000;

constexpr DWORD kOldClientProtocols =
    SP_PROT_PCT1_CLIENT | SP_PROT_SSL2_CLIENT | SP_PROT_SSL3_CLIENT | SP_PROT_TLS1_0_CLIENT | SP_PROT_TLS1_1_CLIENT;
constexpr DWORD kCertEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

constexpr ULONG kContextRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                  ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_MANUAL_CRED_VALIDATION;

struct StatusName {
  DWORD code;
  const char* name;
};

#define QUILLON_STATUS(code) {static_cast<DWORD>(code), #code}
const StatusName kStatusNames[] = {
    QUILLON_STATUS(SEC_E_OK),
    QUILLON_STATUS(SEC_E_INSUFFICIENT_MEMORY),
    QUILLON_STATUS(SEC_E_INVALID_HANDLE),
    QUILLON_STATUS(SEC_E_UNSUPPORTED_FUNCTION),
    QUILLON_STATUS(SEC_E_TARGET_UNKNOWN),
    QUILLON_STATUS(SEC_E_INTERNAL_ERROR),
    QUILLON_STATUS(SEC_E_SECPKG_NOT_FOUND),
    QUILLON_STATUS(SEC_E_INVALID_TOKEN),
    QUILLON_STATUS(SEC_E_UNKNOWN_CREDENTIALS),
    QUILLON_STATUS(SEC_E_NO_CREDENTIALS),
    QUILLON_STATUS(SEC_E_MESSAGE_ALTERED),
    QUILLON_STATUS(SEC_E_OUT_OF_SEQUENCE),
    QUILLON_STATUS(SEC_E_NO_AUTHENTICATING_AUTHORITY),
    QUILLON_STATUS(SEC_E_CONTEXT_EXPIRED),
    QUILLON_STATUS(SEC_E_INCOMPLETE_MESSAGE),
    QUILLON_STATUS(SEC_E_BUFFER_TOO_SMALL),
    QUILLON_STATUS(SEC_E_WRONG_PRINCIPAL),
    QUILLON_STATUS(SEC_E_UNTRUSTED_ROOT),
    QUILLON_STATUS(SEC_E_ILLEGAL_MESSAGE),
    QUILLON_STATUS(SEC_E_CERT_UNKNOWN),
    QUILLON_STATUS(SEC_E_CERT_EXPIRED),
    QUILLON_STATUS(SEC_E_ENCRYPT_FAILURE),
    QUILLON_STATUS(SEC_E_DECRYPT_FAILURE),
    QUILLON_STATUS(SEC_E_ALGORITHM_MISMATCH),
    QUILLON_STATUS(SEC_E_INVALID_PARAMETER),
    QUILLON_STATUS(SEC_I_CONTINUE_NEEDED),
    QUILLON_STATUS(SEC_I_INCOMPLETE_CREDENTIALS),
    QUILLON_STATUS(SEC_I_RENEGOTIATE),
    QUILLON_STATUS(SEC_I_CONTEXT_EXPIRED),
    QUILLON_STATUS(CERT_E_EXPIRED),
    QUILLON_STATUS(CERT_E_VALIDITYPERIODNESTING),
    QUILLON_STATUS(CERT_E_UNTRUSTEDROOT),
    QUILLON_STATUS(CERT_E_CHAINING),
    QUILLON_STATUS(CERT_E_REVOKED),
    QUILLON_STATUS(CERT_E_CN_NO_MATCH),
    QUILLON_STATUS(CERT_E_WRONG_USAGE),
    QUILLON_STATUS(CERT_E_INVALID_NAME),
    QUILLON_STATUS(CERT_E_INVALID_POLICY),
    QUILLON_STATUS(CERT_E_CRITICAL),
    QUILLON_STATUS(CERT_E_PURPOSE),
    QUILLON_STATUS(CERT_E_ROLE),
    QUILLON_STATUS(TRUST_E_CERT_SIGNATURE),
    QUILLON_STATUS(TRUST_E_BASIC_CONSTRAINTS),
    QUILLON_STATUS(CRYPT_E_REVOKED),
    QUILLON_STATUS(CRYPT_E_NO_REVOCATION_CHECK),
    QUILLON_STATUS(CRYPT_E_REVOCATION_OFFLINE),
};
#undef QUILLON_STATUS

std::string Hex(DWORD value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(value));
  return text;
}

// "0x80090326 SEC_E_ILLEGAL_MESSAGE (<the system's words>)".
std::string StatusText(DWORD code) {
  std::string text = Hex(code);
  for (const StatusName& entry : kStatusNames) {
    if (entry.code == code) {
      text += ' ';
      text += entry.name;
      break;
    }
  }
  char words[512] = {};
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, words,
                                 sizeof words, nullptr);
  size_t length = std::min<size_t>(n, sizeof words - 1);
  while (length > 0 && (words[length - 1] == '\r' || words[length - 1] == '\n' || words[length - 1] == ' ' ||
                        words[length - 1] == '.'))
    --length;
  if (length > 0) text += " (" + std::string(words, length) + ")";
  return text;
}

// Up to five bytes in hex, for the trace: "16 03 68 65 6C".
std::string BytesText(const unsigned char* p, size_t n) {
  std::string text;
  char byte[4];
  for (size_t i = 0; i < n && i < kRecordHeader; ++i) {
    std::snprintf(byte, sizeof byte, i ? " %02X" : "%02X", p[i]);
    text += byte;
  }
  return text;
}

std::string SocketErrorText(int code) { return "Winsock error " + std::to_string(code); }

// The host's end of the connection went away (reset or aborted) rather than
// the socket failing on our side.
bool HostDropped(int code) { return code == WSAECONNRESET || code == WSAECONNABORTED || code == WSAESHUTDOWN; }

enum class RecordCheck { kShort, kBad, kComplete };

// Looks at the TLS record starting at `p`, of which `held` bytes are here:
// content type 20-24, protocol major version 3, a length TLS allows. Anything
// else is not TLS, and waiting for the length it claims could last forever.
RecordCheck CheckRecord(const unsigned char* p, size_t held, size_t* total) {
  *total = 0;
  if (held >= 1 && (p[0] < 20 || p[0] > 24)) return RecordCheck::kBad;
  if (held >= 2 && p[1] != 3) return RecordCheck::kBad;
  if (held < kRecordHeader) return RecordCheck::kShort;
  const size_t body = (static_cast<size_t>(p[3]) << 8) | p[4];
  if (body > kMaxRecordBody) return RecordCheck::kBad;
  *total = kRecordHeader + body;
  return held >= *total ? RecordCheck::kComplete : RecordCheck::kShort;
}

// A dotted IPv4 address (as inet_addr reads it) is not sent as SNI and is
// matched against the certificate's IP address names.
bool ParseAddress(const std::string& name, unsigned long* address) {
  if (name.empty()) return false;
  const unsigned long value = inet_addr(name.c_str());
  if (value == INADDR_NONE && name != "255.255.255.255") return false;
  *address = value;
  return true;
}

std::wstring Widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), &wide[0], n);
  return wide;
}

// An algorithm name from a fixed WCHAR field, which need not be terminated.
std::string Narrow(const WCHAR* text, size_t capacity) {
  std::string out;
  for (size_t i = 0; i < capacity && text[i] != 0; ++i)
    out += (text[i] >= 0x20 && text[i] < 0x7F) ? static_cast<char>(text[i]) : '?';
  return out;
}

std::string ProtocolName(DWORD protocol) {
  if (protocol & SP_PROT_TLS1_3) return "TLSv1.3";
  if (protocol & SP_PROT_TLS1_2) return "TLSv1.2";
  if (protocol & SP_PROT_TLS1_1) return "TLSv1.1";
  if (protocol & SP_PROT_TLS1_0) return "TLSv1";
  if (protocol & SP_PROT_SSL3) return "SSLv3";
  return "protocol " + Hex(protocol);
}

std::string AlgorithmName(ALG_ID id) {
  switch (id) {
    case CALG_AES_128: return "AES128";
    case CALG_AES_192: return "AES192";
    case CALG_AES_256: return "AES256";
    case CALG_AES: return "AES";
    case CALG_3DES: return "3DES";
    case CALG_DES: return "DES";
    case CALG_RC4: return "RC4";
    case CALG_RC2: return "RC2";
    case CALG_MD5: return "MD5";
    case CALG_SHA1: return "SHA1";
    case CALG_SHA_256: return "SHA256";
    case CALG_SHA_384: return "SHA384";
    case CALG_SHA_512: return "SHA512";
    case CALG_RSA_KEYX: return "RSA";
    case CALG_DH_EPHEM: return "DHE";
    case CALG_ECDH: return "ECDH";
    case CALG_ECDH_EPHEM: return "ECDHE";
    case 0: return "";
    default: return Hex(id);
  }
}

std::string SubjectOf(PCCERT_CONTEXT cert) {
  if (!cert || !cert->pCertInfo) return "(unknown)";
  CERT_NAME_BLOB* name = &cert->pCertInfo->Subject;
  const DWORD flags = CERT_X500_NAME_STR | CERT_NAME_STR_REVERSE_FLAG;
  const DWORD n = CertNameToStrA(X509_ASN_ENCODING, name, flags, nullptr, 0);
  if (n <= 1) return "(empty)";
  std::string text(n, '\0');
  const DWORD written = CertNameToStrA(X509_ASN_ENCODING, name, flags, &text[0], n);
  text.resize(written > 0 ? std::min<DWORD>(written - 1, n - 1) : 0);
  return text;
}

// Reads the PEM certificates of `path` into `store`; returns how many.
int LoadCaFile(const std::string& path, HCERTSTORE store, std::string* note) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    *note = "CAFile " + path + " could not be opened";
    return 0;
  }
  std::string text;
  char chunk[8192];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
    text.append(chunk, n);
    if (text.size() > static_cast<size_t>(kMaxCaFile)) break;
  }
  std::fclose(file);
  if (text.size() > static_cast<size_t>(kMaxCaFile)) {
    *note = "CAFile " + path + " is larger than 4 MiB";
    return 0;
  }
  static const char kBegin[] = "-----BEGIN CERTIFICATE-----";
  static const char kEnd[] = "-----END CERTIFICATE-----";
  int added = 0;
  size_t at = 0;
  for (;;) {
    const size_t begin = text.find(kBegin, at);
    if (begin == std::string::npos) break;
    const size_t end = text.find(kEnd, begin);
    if (end == std::string::npos) break;
    const size_t stop = end + sizeof kEnd - 1;
    at = stop;
    const DWORD length = static_cast<DWORD>(stop - begin);
    DWORD size = 0;
    if (!CryptStringToBinaryA(text.data() + begin, length, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr,
                              nullptr) ||
        size == 0)
      continue;
    std::vector<BYTE> der(size);
    if (!CryptStringToBinaryA(text.data() + begin, length, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr,
                              nullptr))
      continue;
    if (CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), std::min<DWORD>(size, der.size()),
                                         CERT_STORE_ADD_USE_EXISTING, nullptr))
      ++added;
  }
  if (added == 0) *note = "CAFile " + path + " holds no certificate that could be read";
  return added;
}

// The chain's own error bits in words, for the trace.
std::string ChainErrorText(DWORD bits) {
  struct Bit {
    DWORD bit;
    const char* words;
  };
  static const Bit kBits[] = {
      {CERT_TRUST_IS_NOT_TIME_VALID, "not time valid"},
      {CERT_TRUST_IS_REVOKED, "revoked"},
      {CERT_TRUST_IS_NOT_SIGNATURE_VALID, "bad signature"},
      {CERT_TRUST_IS_NOT_VALID_FOR_USAGE, "not for server authentication"},
      {CERT_TRUST_IS_UNTRUSTED_ROOT, "untrusted root"},
      {CERT_TRUST_IS_CYCLIC, "cyclic"},
      {CERT_TRUST_INVALID_EXTENSION, "invalid extension"},
      {CERT_TRUST_INVALID_POLICY_CONSTRAINTS, "invalid policy constraints"},
      {CERT_TRUST_INVALID_BASIC_CONSTRAINTS, "invalid basic constraints"},
      {CERT_TRUST_INVALID_NAME_CONSTRAINTS, "invalid name constraints"},
      {CERT_TRUST_HAS_NOT_SUPPORTED_CRITICAL_EXT, "unsupported critical extension"},
      {CERT_TRUST_IS_PARTIAL_CHAIN, "partial chain"},
  };
  std::string text = "chain status " + Hex(bits);
  for (const Bit& b : kBits)
    if (bits & b.bit) text += std::string(", ") + b.words;
  return text;
}

bool SelfSigned(const CERT_SIMPLE_CHAIN* simple) {
  if (simple->cElement != 1) return false;
  const CERT_INFO* info = simple->rgpElement[0]->pCertContext->pCertInfo;
  return CertCompareCertificateName(X509_ASN_ENCODING, const_cast<CERT_NAME_BLOB*>(&info->Subject),
                                    const_cast<CERT_NAME_BLOB*>(&info->Issuer)) != FALSE;
}

// Expired or not yet valid, from the first certificate of the chain whose
// dates do not hold now.
TlsFailure TimeFailure(const CERT_SIMPLE_CHAIN* simple) {
  for (DWORD i = 0; i < simple->cElement; ++i) {
    const LONG when = CertVerifyTimeValidity(nullptr, simple->rgpElement[i]->pCertContext->pCertInfo);
    if (when < 0) return TlsFailure::kNotYetValid;
    if (when > 0) return TlsFailure::kExpired;
  }
  return TlsFailure::kExpired;
}

TlsFailure PolicyFailure(DWORD error, const CERT_SIMPLE_CHAIN* simple) {
  switch (error) {
    case static_cast<DWORD>(CERT_E_EXPIRED):
    case static_cast<DWORD>(CERT_E_VALIDITYPERIODNESTING): return TimeFailure(simple);
    case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
      return SelfSigned(simple) ? TlsFailure::kSelfSigned : TlsFailure::kUnknownIssuer;
    case static_cast<DWORD>(CERT_E_CHAINING): return TlsFailure::kUnknownIssuer;
    case static_cast<DWORD>(CERT_E_CN_NO_MATCH): return TlsFailure::kNameMismatch;
    default: return TlsFailure::kUntrusted;
  }
}

// Frees what SSPI allocated for an output buffer, however the call went.
struct ContextBuffer {
  void* p = nullptr;
  ~ContextBuffer() {
    if (p) FreeContextBuffer(p);
  }
};

struct CertContext {
  PCCERT_CONTEXT p = nullptr;
  ~CertContext() {
    if (p) CertFreeCertificateContext(p);
  }
};

struct CertStore {
  HCERTSTORE p = nullptr;
  ~CertStore() {
    if (p) CertCloseStore(p, 0);
  }
};

struct ChainContext {
  PCCERT_CHAIN_CONTEXT p = nullptr;
  ~ChainContext() {
    if (p) CertFreeCertificateChain(p);
  }
};

class SchannelChannel final : public TlsChannel {
 public:
  SchannelChannel(SOCKET s, const std::string& serverName, const TlsOptions& options)
      : socket_(s), serverName_(serverName), options_(options) {
    isAddress_ = ParseAddress(serverName_, &address_);
    std::memset(&sizes_, 0, sizeof sizes_);
  }

  ~SchannelChannel() override {
    if (haveContext_) {
      SendCloseNotify();
      DeleteSecurityContext(&context_);
    }
    if (haveCredentials_) FreeCredentialsHandle(&credentials_);
  }

  TlsResult Handshake() override;
  TlsResult Read(unsigned char* out, int room, int* count) override;
  bool Pending() const override;
  bool Write(const unsigned char* data, int length) override;
  std::string Description() const override { return description_; }
  TlsFailure Failure() const override { return failure_; }
  std::string FailureDetail() const override { return detail_; }

 private:
  enum class State { kStart, kHandshake, kOpen, kRenegotiate, kClosed, kFailed };
  enum class Step { kDone, kMore, kFailed, kDeclined };
  enum class Received { kData, kNothing, kEnd, kError };

  bool Failed(TlsFailure failure, const std::string& detail) {
    if (state_ != State::kFailed) {
      state_ = State::kFailed;
      failure_ = failure;
      detail_ = detail;
    }
    return false;
  }
  TlsResult Fail(TlsFailure failure, const std::string& detail) {
    Failed(failure, detail);
    return TlsResult::kFailed;
  }

  bool AcquireCredentials();
  Received Receive(bool grow);
  bool SendAll(const unsigned char* data, size_t length, int* error);
  Step Negotiate(bool renegotiationStart);
  bool CheckHandshakeRecords();
  bool QuerySizes();
  bool FinishHandshake();
  bool FinishRenegotiation(bool handshook);
  void Process();
  bool EncryptAndSend(const unsigned char* data, size_t length);
  void Consume(size_t n);
  bool CompleteRecordHeld() const;
  void SendCloseNotify();
  TlsFailure VerifyPeer(std::string* detail);
  bool AddressMatches(PCCERT_CONTEXT cert) const;
  SEC_CHAR* TargetName() { return isAddress_ || serverName_.empty() ? nullptr : &serverName_[0]; }
  // One call of InitializeSecurityContext: from no context (`first`) or the
  // current one, with the host's bytes in `input` (or none). The token to send,
  // which SSPI allocates, is left in *token.
  SECURITY_STATUS NextToken(bool first, SecBufferDesc* input, SecBuffer* token) {
    *token = SecBuffer{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outputDesc = {SECBUFFER_VERSION, 1, token};
    ULONG attributes = 0;
    return InitializeSecurityContextA(&credentials_, first ? nullptr : &context_, TargetName(), request_, 0, 0, input,
                                      0, &context_, &outputDesc, &attributes, nullptr);
  }

  SOCKET socket_;
  std::string serverName_;
  TlsOptions options_;
  bool isAddress_ = false;
  unsigned long address_ = 0;

  State state_ = State::kStart;
  TlsFailure failure_ = TlsFailure::kNone;
  std::string detail_;
  std::string description_;

  CredHandle credentials_{};
  CtxtHandle context_{};
  bool haveCredentials_ = false;
  bool haveContext_ = false;
  ULONG request_ = kContextRequest;
  SecPkgContext_StreamSizes sizes_;

  std::vector<unsigned char> in_;  // received, not yet decrypted
  size_t inLength_ = 0;
  std::vector<unsigned char> plain_;  // decrypted, not yet delivered
  size_t plainAt_ = 0;
  size_t plainLength_ = 0;
  std::vector<unsigned char> out_;     // one encrypted record being sent
  std::vector<unsigned char> queued_;  // written while a renegotiation runs

  bool stalled_ = false;            // DecryptMessage wants more than the record we hold
  bool peerClosed_ = false;         // close_notify received
  bool socketEnded_ = false;        // recv returned 0
  int socketError_ = 0;             // recv failed with this error
  bool renegotiateStart_ = false;   // the first InitializeSecurityContext call of a renegotiation is due
  bool fullRenegotiation_ = false;  // ... and it exchanged handshake messages (new certificate possible)
};

bool SchannelChannel::AcquireCredentials() {
  const DWORD flags = SCH_CRED_NO_DEFAULT_CREDS | SCH_CRED_MANUAL_CRED_VALIDATION | SCH_USE_STRONG_CRYPTO;
  TimeStamp expiry;
  // SCH_CREDENTIALS first: with it the system offers TLS 1.3 where it has
  // it. Systems older than Windows 10 1809 know only SCHANNEL_CRED. The
  // union keeps an SChannel that reads the older, larger layout inside zeros.
  TLS_PARAMETERS parameters;
  std::memset(&parameters, 0, sizeof parameters);
  parameters.grbitDisabledProtocols = kOldClientProtocols;
  union {
    SCH_CREDENTIALS modern;
    SCHANNEL_CRED legacy;
  } data;
  std::memset(&data, 0, sizeof data);
  data.modern.dwVersion = SCH_CREDENTIALS_VERSION;
  data.modern.dwFlags = flags;
  data.modern.cTlsParameters = 1;
  data.modern.pTlsParameters = &parameters;
  SECURITY_STATUS status =
      AcquireCredentialsHandleA(nullptr, const_cast<SEC_CHAR*>(UNISP_NAME_A), SECPKG_CRED_OUTBOUND, nullptr,
                                &data.modern, nullptr, nullptr, &credentials_, &expiry);
  if (status == SEC_E_OK) {
    // An SChannel that takes the structure but not its disabled protocols
    // (Wine's) still allows TLS 1.0 and 1.1 and, without TLS 1.3, loses
    // nothing by naming the protocols the old way.
    SecPkgCred_SupportedProtocols supported;
    std::memset(&supported, 0, sizeof supported);
    if (QueryCredentialsAttributesA(&credentials_, SECPKG_ATTR_SUPPORTED_PROTOCOLS, &supported) == SEC_E_OK &&
        (supported.grbitProtocol & kOldClientProtocols) && !(supported.grbitProtocol & SP_PROT_TLS1_3_CLIENT)) {
      FreeCredentialsHandle(&credentials_);
      status = SEC_E_UNSUPPORTED_FUNCTION;
    }
  }
  const DWORD legacyProtocols[] = {SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT, SP_PROT_TLS1_2_CLIENT};
  for (DWORD protocols : legacyProtocols) {
    if (status == SEC_E_OK) break;
    std::memset(&data, 0, sizeof data);
    data.legacy.dwVersion = SCHANNEL_CRED_VERSION;
    data.legacy.dwFlags = flags;
    data.legacy.grbitEnabledProtocols = protocols;
    status = AcquireCredentialsHandleA(nullptr, const_cast<SEC_CHAR*>(UNISP_NAME_A), SECPKG_CRED_OUTBOUND, nullptr,
                                       &data.legacy, nullptr, nullptr, &credentials_, &expiry);
  }
  if (status != SEC_E_OK)
    return Failed(TlsFailure::kHandshake, "AcquireCredentialsHandle: " + StatusText(static_cast<DWORD>(status)));
  haveCredentials_ = true;
  return true;
}

SchannelChannel::Received SchannelChannel::Receive(bool grow) {
  if (inLength_ >= in_.size()) {
    if (!grow || in_.size() >= kMaxHandshakeBuffer) return Received::kNothing;
    in_.resize(std::min(std::max(in_.size() * 2, kFirstHandshakeBuffer), kMaxHandshakeBuffer));
  }
  const int want = static_cast<int>(std::min<size_t>(in_.size() - inLength_, INT_MAX));
  const int n = recv(socket_, reinterpret_cast<char*>(in_.data() + inLength_), want, 0);
  if (n > 0) {
    inLength_ += static_cast<size_t>(std::min(n, want));
    return Received::kData;
  }
  if (n == 0) return Received::kEnd;
  const int error = WSAGetLastError();
  if (error == WSAEWOULDBLOCK) return Received::kNothing;
  socketError_ = error;
  return Received::kError;
}

// Sends every byte; a full socket buffer is offered the rest again at once, as
// SendData does on a plain socket.
bool SchannelChannel::SendAll(const unsigned char* data, size_t length, int* error) {
  *error = 0;
  size_t sent = 0;
  while (sent < length) {
    const int chunk = static_cast<int>(std::min<size_t>(length - sent, INT_MAX));
    const int n = send(socket_, reinterpret_cast<const char*>(data + sent), chunk, 0);
    if (n > 0) {
      sent += static_cast<size_t>(std::min(n, chunk));
    } else if (n == SOCKET_ERROR) {
      const int code = WSAGetLastError();
      if (code != WSAEWOULDBLOCK) {
        *error = code;
        return false;
      }
    }
  }
  return true;
}

void SchannelChannel::Consume(size_t n) {
  n = std::min(n, inLength_);
  if (n < inLength_) std::memmove(in_.data(), in_.data() + n, inLength_ - n);
  inLength_ -= n;
}

bool SchannelChannel::CompleteRecordHeld() const {
  size_t total = 0;
  return inLength_ > 0 && CheckRecord(in_.data(), inLength_, &total) == RecordCheck::kComplete;
}

// Every record the host has sent so far must look like TLS; a host that is
// not TLS at all is refused at once instead of waiting for a length it made up.
bool SchannelChannel::CheckHandshakeRecords() {
  size_t at = 0;
  while (at < inLength_) {
    size_t total = 0;
    const RecordCheck check = CheckRecord(in_.data() + at, inLength_ - at, &total);
    if (check == RecordCheck::kBad) {
      const TlsFailure failure = state_ == State::kRenegotiate ? TlsFailure::kProtocol : TlsFailure::kHandshake;
      return Failed(failure, "the host's answer is not TLS (a record starting " +
                                 BytesText(in_.data() + at, inLength_ - at) + ")");
    }
    if (check == RecordCheck::kShort) break;
    at += total;
  }
  return true;
}

// Runs InitializeSecurityContext over what `in_` holds until it is done or
// needs more from the network. `renegotiationStart` makes the first call even
// without input, as a renegotiation starts.
SchannelChannel::Step SchannelChannel::Negotiate(bool renegotiationStart) {
  bool mayBeEmpty = renegotiationStart;
  bool first = true;
  for (;;) {
    if (inLength_ == 0 && !mayBeEmpty) return Step::kMore;
    mayBeEmpty = false;
    const bool starting = renegotiationStart && first;
    first = false;
    if (!CheckHandshakeRecords()) return Step::kFailed;

    SecBuffer input[2];
    input[0].BufferType = SECBUFFER_TOKEN;
    input[0].cbBuffer = static_cast<ULONG>(inLength_);
    input[0].pvBuffer = in_.empty() ? nullptr : in_.data();
    input[1].BufferType = SECBUFFER_EMPTY;
    input[1].cbBuffer = 0;
    input[1].pvBuffer = nullptr;
    SecBufferDesc inputDesc = {SECBUFFER_VERSION, 2, input};
    SecBuffer output[1];
    const SECURITY_STATUS status = NextToken(false, &inputDesc, output);
    ContextBuffer token;
    token.p = output[0].pvBuffer;

    if (status == SEC_E_INCOMPLETE_MESSAGE) {
      // A renegotiation SChannel does not begin (Wine's, without new input)
      // is declined; TLS lets a client ignore the host's request.
      if (starting && !(output[0].pvBuffer && output[0].cbBuffer > 0)) return Step::kDeclined;
      if (inLength_ >= kMaxHandshakeBuffer) {
        Failed(TlsFailure::kHandshake, "the host's handshake messages exceed " +
                                           std::to_string(kMaxHandshakeBuffer / 1024) + " KiB");
        return Step::kFailed;
      }
      return Step::kMore;
    }
    if (status == SEC_I_INCOMPLETE_CREDENTIALS) {
      // The host asks for a client certificate; go on without one.
      if (request_ & ISC_REQ_USE_SUPPLIED_CREDS) {
        Failed(TlsFailure::kHandshake, "InitializeSecurityContext: " + StatusText(static_cast<DWORD>(status)));
        return Step::kFailed;
      }
      request_ |= ISC_REQ_USE_SUPPLIED_CREDS;
      mayBeEmpty = true;
      continue;
    }
    if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) {
      TlsFailure failure = TlsFailure::kHandshake;
      if (status == SEC_E_CERT_EXPIRED) failure = TlsFailure::kExpired;
      else if (status == SEC_E_WRONG_PRINCIPAL) failure = TlsFailure::kNameMismatch;
      else if (status == SEC_E_UNTRUSTED_ROOT) failure = TlsFailure::kUnknownIssuer;
      else if (status == SEC_E_CERT_UNKNOWN) failure = TlsFailure::kUntrusted;
      if (state_ == State::kRenegotiate && failure == TlsFailure::kHandshake) failure = TlsFailure::kProtocol;
      Failed(failure, "InitializeSecurityContext: " + StatusText(static_cast<DWORD>(status)));
      return Step::kFailed;
    }

    size_t extra = 0;
    if (input[1].BufferType == SECBUFFER_EXTRA) extra = input[1].cbBuffer;
    if (extra > inLength_) {
      Failed(TlsFailure::kHandshake, "InitializeSecurityContext reported more unused input than it was given");
      return Step::kFailed;
    }
    const size_t consumed = inLength_ - extra;
    const bool sending = output[0].pvBuffer && output[0].cbBuffer > 0;
    if (sending) {
      int error = 0;
      if (!SendAll(static_cast<const unsigned char*>(output[0].pvBuffer), output[0].cbBuffer, &error)) {
        const bool handshake = state_ != State::kRenegotiate;
        Failed(handshake && HostDropped(error) ? TlsFailure::kClosed : TlsFailure::kSocket,
               "send: " + SocketErrorText(error));
        return Step::kFailed;
      }
    }
    Consume(consumed);
    if (status == SEC_E_OK) return Step::kDone;
    if (state_ == State::kRenegotiate) fullRenegotiation_ = true;
    if (consumed == 0 && !sending) return Step::kMore;  // nothing moved: wait for the network
  }
}

bool SchannelChannel::QuerySizes() {
  SecPkgContext_StreamSizes sizes;
  std::memset(&sizes, 0, sizeof sizes);
  const SECURITY_STATUS status = QueryContextAttributesA(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes);
  if (status != SEC_E_OK)
    return Failed(TlsFailure::kHandshake, "stream sizes: " + StatusText(static_cast<DWORD>(status)));
  if (sizes.cbMaximumMessage == 0 || sizes.cbHeader > 1024 || sizes.cbTrailer > 4096)
    return Failed(TlsFailure::kHandshake, "unusable stream sizes from SChannel");
  sizes.cbMaximumMessage = std::min<unsigned long>(sizes.cbMaximumMessage, 16384);
  sizes_ = sizes;
  out_.resize(static_cast<size_t>(sizes_.cbHeader) + sizes_.cbMaximumMessage + sizes_.cbTrailer);
  return true;
}

bool SchannelChannel::FinishHandshake() {
  if (!QuerySizes()) return false;

  std::string protocol = "TLS";
  SecPkgContext_ConnectionInfo connection;
  std::memset(&connection, 0, sizeof connection);
  const bool haveConnection =
      QueryContextAttributesA(&context_, SECPKG_ATTR_CONNECTION_INFO, &connection) == SEC_E_OK;
  if (haveConnection) {
    protocol = ProtocolName(connection.dwProtocol);
    // Checked here too: not every SChannel keeps to the protocols it was given.
    if (!(connection.dwProtocol & (SP_PROT_TLS1_2 | SP_PROT_TLS1_3)))
      return Failed(TlsFailure::kHandshake, "the host offers only " + protocol + "; TLS 1.2 or newer is required");
  }

  std::string cipher;
  SecPkgContext_CipherInfo cipherInfo;
  std::memset(&cipherInfo, 0, sizeof cipherInfo);
  if (QueryContextAttributesA(&context_, SECPKG_ATTR_CIPHER_INFO, &cipherInfo) == SEC_E_OK)
    cipher = Narrow(cipherInfo.szCipherSuite, SZ_ALG_MAX_SIZE);
  // Wine writes "<unknown>" for the parts of a suite name it cannot name;
  // the algorithm identifiers then say more.
  if ((cipher.empty() || cipher.find('<') != std::string::npos) && haveConnection && connection.aiCipher != 0) {
    cipher.clear();
    for (ALG_ID id : {connection.aiExch, connection.aiCipher, connection.aiHash}) {
      const std::string name = AlgorithmName(id);
      if (name.empty()) continue;
      if (!cipher.empty()) cipher += '-';
      cipher += name;
    }
  }
  if (cipher.empty()) cipher = "(cipher unknown)";

  if (options_.verify) {
    std::string detail;
    const TlsFailure failure = VerifyPeer(&detail);
    if (failure != TlsFailure::kNone) return Failed(failure, detail);
  }
  CertContext cert;
  QueryContextAttributesA(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &cert.p);
  description_ = protocol + " " + cipher + " subject " + SubjectOf(cert.p);

  if (in_.size() < kMaxRecord) in_.resize(kMaxRecord);
  plain_.resize(kMaxRecord);
  return true;
}

TlsResult SchannelChannel::Handshake() {
  switch (state_) {
    case State::kFailed: return TlsResult::kFailed;
    case State::kOpen:
    case State::kRenegotiate: return TlsResult::kDone;
    case State::kClosed: return TlsResult::kClosed;
    case State::kHandshake: break;
    case State::kStart: {
      if (!AcquireCredentials()) return TlsResult::kFailed;
      SecBuffer output[1];
      const SECURITY_STATUS status = NextToken(true, nullptr, output);
      ContextBuffer token;
      token.p = output[0].pvBuffer;
      if (status != SEC_I_CONTINUE_NEEDED)
        return Fail(TlsFailure::kHandshake, "InitializeSecurityContext: " + StatusText(static_cast<DWORD>(status)));
      haveContext_ = true;
      in_.resize(kFirstHandshakeBuffer);
      state_ = State::kHandshake;
      if (output[0].pvBuffer && output[0].cbBuffer > 0) {
        int error = 0;
        if (!SendAll(static_cast<const unsigned char*>(output[0].pvBuffer), output[0].cbBuffer, &error))
          return Fail(HostDropped(error) ? TlsFailure::kClosed : TlsFailure::kSocket, "send: " + SocketErrorText(error));
      }
      return TlsResult::kAgain;
    }
  }

  // Take all the socket holds, then move the handshake on with it.
  Received last = Received::kNothing;
  while ((last = Receive(true)) == Received::kData) {
  }
  const Step step = Negotiate(false);
  if (step == Step::kFailed) return TlsResult::kFailed;
  if (step == Step::kDone) {
    if (!FinishHandshake()) return TlsResult::kFailed;
    state_ = State::kOpen;
    return TlsResult::kDone;
  }
  if (last == Received::kEnd)
    return Fail(TlsFailure::kClosed, "the host closed the connection during the handshake");
  if (last == Received::kError)
    return Fail(HostDropped(socketError_) ? TlsFailure::kClosed : TlsFailure::kSocket,
                "recv during the handshake: " + SocketErrorText(socketError_));
  return TlsResult::kAgain;
}

bool SchannelChannel::FinishRenegotiation(bool handshook) {
  if (handshook && !QuerySizes()) return false;
  if (handshook && fullRenegotiation_ && options_.verify) {
    std::string detail;
    const TlsFailure failure = VerifyPeer(&detail);
    if (failure != TlsFailure::kNone) return Failed(failure, "after renegotiation: " + detail);
  }
  state_ = State::kOpen;
  fullRenegotiation_ = false;
  if (!queued_.empty()) {
    std::vector<unsigned char> queued;
    queued.swap(queued_);
    return EncryptAndSend(queued.data(), queued.size());
  }
  return true;
}

// Decrypts held records until plain bytes are ready, the next record is not
// all here, or the session ended.
void SchannelChannel::Process() {
  while (plainAt_ == plainLength_ && !peerClosed_) {
    if (state_ == State::kRenegotiate) {
      const bool start = renegotiateStart_;
      renegotiateStart_ = false;
      const Step step = Negotiate(start);
      if (step != Step::kDone && step != Step::kDeclined) return;
      if (!FinishRenegotiation(step == Step::kDone)) return;
      continue;
    }
    if (state_ != State::kOpen || stalled_) return;

    size_t total = 0;
    const RecordCheck check = CheckRecord(in_.data(), inLength_, &total);
    if (check == RecordCheck::kBad) {
      Failed(TlsFailure::kProtocol, "a record from the host is not TLS (it starts " + BytesText(in_.data(), inLength_) + ")");
      return;
    }
    if (check == RecordCheck::kShort) return;

    SecBuffer buffers[4];
    buffers[0].BufferType = SECBUFFER_DATA;
    buffers[0].cbBuffer = static_cast<ULONG>(total);
    buffers[0].pvBuffer = in_.data();
    for (int i = 1; i < 4; ++i) {
      buffers[i].BufferType = SECBUFFER_EMPTY;
      buffers[i].cbBuffer = 0;
      buffers[i].pvBuffer = nullptr;
    }
    SecBufferDesc desc = {SECBUFFER_VERSION, 4, buffers};
    const SECURITY_STATUS status = DecryptMessage(&context_, &desc, 0, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE) {
      // Not expected for a whole record; wait for new bytes rather than spin,
      // unless there is no room left for them.
      if (inLength_ >= in_.size()) {
        Failed(TlsFailure::kProtocol, "DecryptMessage: " + StatusText(static_cast<DWORD>(status)));
        return;
      }
      stalled_ = true;
      return;
    }
    if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE && status != SEC_I_CONTEXT_EXPIRED) {
      Failed(TlsFailure::kProtocol, "DecryptMessage: " + StatusText(static_cast<DWORD>(status)));
      return;
    }

    // The plain bytes lie inside the record (decrypted in place).
    const unsigned char* recordBegin = in_.data();
    const unsigned char* recordEnd = in_.data() + total;
    const unsigned char* data = nullptr;
    size_t dataLength = 0;
    size_t extra = 0;
    for (const SecBuffer& buffer : buffers) {
      if (buffer.BufferType == SECBUFFER_DATA && buffer.cbBuffer > 0) {
        const unsigned char* p = static_cast<const unsigned char*>(buffer.pvBuffer);
        if (!p || p < recordBegin || p > recordEnd || buffer.cbBuffer > static_cast<size_t>(recordEnd - p)) {
          Failed(TlsFailure::kProtocol, "DecryptMessage returned data outside the record");
          return;
        }
        data = p;
        dataLength = buffer.cbBuffer;
      } else if (buffer.BufferType == SECBUFFER_EXTRA) {
        extra = buffer.cbBuffer;
      }
    }
    if (extra >= total) {
      Failed(TlsFailure::kProtocol, "DecryptMessage used none of the record");
      return;
    }
    if (dataLength > plain_.size()) plain_.resize(dataLength);
    if (dataLength > 0) std::memcpy(plain_.data(), data, dataLength);
    plainAt_ = 0;
    plainLength_ = dataLength;
    Consume(total - extra);

    if (status == SEC_I_CONTEXT_EXPIRED) {
      peerClosed_ = true;
    } else if (status == SEC_I_RENEGOTIATE) {
      // A new handshake, or with TLS 1.3 a post-handshake message (session
      // ticket, key update) that InitializeSecurityContext must see.
      state_ = State::kRenegotiate;
      renegotiateStart_ = true;
      fullRenegotiation_ = false;
    }
  }
}

TlsResult SchannelChannel::Read(unsigned char* out, int room, int* count) {
  if (count) *count = 0;
  if (state_ == State::kFailed) return TlsResult::kFailed;
  if (state_ == State::kClosed) return TlsResult::kClosed;
  if (state_ != State::kOpen && state_ != State::kRenegotiate) return TlsResult::kAgain;
  if (!out || !count || room <= 0) return TlsResult::kAgain;

  if (plainAt_ == plainLength_) Process();
  // The network only when nothing held can give bytes: the caller's loop over
  // Pending() then ends with what this read event brought.
  const bool ended = peerClosed_ || socketEnded_ || socketError_ != 0;
  if (plainAt_ == plainLength_ && state_ != State::kFailed && !ended &&
      (stalled_ || state_ == State::kRenegotiate || !CompleteRecordHeld())) {
    switch (Receive(state_ == State::kRenegotiate)) {
      case Received::kData:
        stalled_ = false;
        Process();
        break;
      case Received::kEnd: socketEnded_ = true; break;
      case Received::kError: break;
      case Received::kNothing: break;
    }
  }

  if (plainAt_ < plainLength_) {
    const size_t n = std::min(static_cast<size_t>(room), plainLength_ - plainAt_);
    std::memcpy(out, plain_.data() + plainAt_, n);
    plainAt_ += n;
    *count = static_cast<int>(n);
    return TlsResult::kDone;
  }
  if (state_ == State::kFailed) return TlsResult::kFailed;
  const bool moreHeld = state_ == State::kOpen && !stalled_ && CompleteRecordHeld();
  if (peerClosed_ || (socketEnded_ && !moreHeld)) {
    state_ = State::kClosed;
    return TlsResult::kClosed;
  }
  if (socketError_ != 0 && !moreHeld) {
    if (HostDropped(socketError_)) {
      state_ = State::kClosed;
      return TlsResult::kClosed;
    }
    return Fail(TlsFailure::kSocket, "recv: " + SocketErrorText(socketError_));
  }
  return TlsResult::kAgain;
}

bool SchannelChannel::Pending() const {
  if (state_ != State::kOpen && state_ != State::kRenegotiate) return false;
  if (plainAt_ < plainLength_) return true;
  if (state_ == State::kOpen && !stalled_ && !peerClosed_ && CompleteRecordHeld()) return true;
  if (state_ == State::kRenegotiate && renegotiateStart_) return true;
  // An end of the session that Read has not reported yet.
  return peerClosed_ || socketEnded_ || socketError_ != 0;
}

bool SchannelChannel::Write(const unsigned char* data, int length) {
  if (length == 0) return state_ == State::kOpen || state_ == State::kRenegotiate;
  if (length < 0 || !data) return false;
  if (state_ == State::kRenegotiate) {
    // SChannel encrypts nothing until the new handshake is through; the bytes
    // go out, in order, when it is.
    if (queued_.size() + static_cast<size_t>(length) > kMaxQueuedWrite)
      return Failed(TlsFailure::kProtocol, "the host's renegotiation does not finish");
    queued_.insert(queued_.end(), data, data + length);
    return true;
  }
  if (state_ != State::kOpen) return false;
  return EncryptAndSend(data, static_cast<size_t>(length));
}

bool SchannelChannel::EncryptAndSend(const unsigned char* data, size_t length) {
  const size_t header = sizes_.cbHeader;
  const size_t trailer = sizes_.cbTrailer;
  const size_t most = sizes_.cbMaximumMessage;
  while (length > 0) {
    const size_t chunk = std::min(length, most);
    unsigned char* base = out_.data();
    std::memcpy(base + header, data, chunk);
    SecBuffer buffers[4];
    buffers[0] = {static_cast<ULONG>(header), SECBUFFER_STREAM_HEADER, base};
    buffers[1] = {static_cast<ULONG>(chunk), SECBUFFER_DATA, base + header};
    buffers[2] = {static_cast<ULONG>(trailer), SECBUFFER_STREAM_TRAILER, base + header + chunk};
    buffers[3] = {0, SECBUFFER_EMPTY, nullptr};
    SecBufferDesc desc = {SECBUFFER_VERSION, 4, buffers};
    const SECURITY_STATUS status = EncryptMessage(&context_, 0, &desc, 0);
    if (status != SEC_E_OK)
      return Failed(TlsFailure::kProtocol, "EncryptMessage: " + StatusText(static_cast<DWORD>(status)));
    // Header, data and trailer must lie where they were given; put them end to end.
    const unsigned char* slots[3] = {base, base + header, base + header + chunk};
    const size_t limits[3] = {header, chunk, trailer};
    size_t total = 0;
    for (int i = 0; i < 3; ++i) {
      if (buffers[i].cbBuffer > limits[i] || (buffers[i].cbBuffer > 0 && buffers[i].pvBuffer != slots[i]))
        return Failed(TlsFailure::kProtocol, "EncryptMessage returned buffers outside the record");
      if (buffers[i].cbBuffer > 0 && total != static_cast<size_t>(slots[i] - base))
        std::memmove(base + total, slots[i], buffers[i].cbBuffer);
      total += buffers[i].cbBuffer;
    }
    int error = 0;
    if (!SendAll(base, total, &error)) return Failed(TlsFailure::kSocket, "send: " + SocketErrorText(error));
    data += chunk;
    length -= chunk;
  }
  return true;
}

// Tells the host the session ends (close_notify), as far as the socket takes
// it at once; the caller closes the socket afterwards.
void SchannelChannel::SendCloseNotify() {
  if (state_ != State::kOpen && state_ != State::kRenegotiate && state_ != State::kClosed) return;
  if (socketError_ != 0) return;
  DWORD type = SCHANNEL_SHUTDOWN;
  SecBuffer control = {sizeof type, SECBUFFER_TOKEN, &type};
  SecBufferDesc controlDesc = {SECBUFFER_VERSION, 1, &control};
  if (ApplyControlToken(&context_, &controlDesc) != SEC_E_OK) return;
  SecBuffer output;
  const SECURITY_STATUS status = NextToken(false, nullptr, &output);
  ContextBuffer token;
  token.p = output.pvBuffer;
  if ((status == SEC_E_OK || status == SEC_I_CONTEXT_EXPIRED) && output.pvBuffer && output.cbBuffer > 0)
    send(socket_, static_cast<const char*>(output.pvBuffer), static_cast<int>(output.cbBuffer), 0);
}

bool SchannelChannel::AddressMatches(PCCERT_CONTEXT cert) const {
  const CERT_INFO* info = cert->pCertInfo;
  const CERT_EXTENSION* extension =
      CertFindExtension(szOID_SUBJECT_ALT_NAME2, info->cExtension, info->rgExtension);
  if (!extension) return false;
  CERT_ALT_NAME_INFO* names = nullptr;
  DWORD size = 0;
  if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData,
                           extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &names, &size) ||
      !names)
    return false;
  bool match = false;
  unsigned char wanted[4];
  std::memcpy(wanted, &address_, sizeof wanted);  // network byte order, as inet_addr gives it
  for (DWORD i = 0; i < names->cAltEntry && !match; ++i) {
    const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
    match = entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && entry.IPAddress.cbData == sizeof wanted &&
            entry.IPAddress.pbData && std::memcmp(entry.IPAddress.pbData, wanted, sizeof wanted) == 0;
  }
  LocalFree(names);
  return match;
}

// Runs the system's SSL policy for a server over the chain, with the checks
// `ignoredChecks` (SSL_EXTRA_CERT_CHAIN_POLICY_PARA) and `policyFlags` leave
// out. False when the call itself failed; otherwise *verdict is the policy's
// error, 0 when it passed.
bool CheckSslPolicy(PCCERT_CHAIN_CONTEXT chain, const WCHAR* serverName, DWORD ignoredChecks, DWORD policyFlags,
                    DWORD* verdict) {
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl;
  std::memset(&ssl, 0, sizeof ssl);
  ssl.cbSize = sizeof ssl;
  ssl.dwAuthType = AUTHTYPE_SERVER;
  ssl.fdwChecks = ignoredChecks;
  ssl.pwszServerName = const_cast<WCHAR*>(serverName);
  CERT_CHAIN_POLICY_PARA policy;
  std::memset(&policy, 0, sizeof policy);
  policy.cbSize = sizeof policy;
  policy.dwFlags = policyFlags;
  policy.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS result;
  std::memset(&result, 0, sizeof result);
  result.cbSize = sizeof result;
  if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &result)) return false;
  *verdict = result.dwError;
  return true;
}

// Checks the host's certificate: a chain to a root the system or CAFile
// trusts, the host name (or address), the dates, then the system's whole SSL
// policy. Reports the first failure in that order.
TlsFailure SchannelChannel::VerifyPeer(std::string* detail) {
  CertContext cert;
  const SECURITY_STATUS status = QueryContextAttributesA(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &cert.p);
  if (status != SEC_E_OK || !cert.p || !cert.p->pCertInfo) {
    *detail = "the host sent no certificate: " + StatusText(static_cast<DWORD>(status));
    return TlsFailure::kUntrusted;
  }
  const std::string subject = "certificate " + SubjectOf(cert.p) + ": ";

  CertStore extra;
  extra.p = CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr);
  CertStore authorities;
  std::string note;
  if (!options_.caFile.empty()) {
    authorities.p = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
    if (authorities.p) LoadCaFile(options_.caFile, authorities.p, &note);
  }
  if (extra.p) {
    if (cert.p->hCertStore) CertAddStoreToCollection(extra.p, cert.p->hCertStore, 0, 0);
    if (authorities.p) CertAddStoreToCollection(extra.p, authorities.p, 0, 0);
  }
  if (!note.empty()) note = " (" + note + ")";

  CERT_CHAIN_PARA para;
  std::memset(&para, 0, sizeof para);
  para.cbSize = sizeof para;
  LPSTR usage[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
  para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  para.RequestedUsage.Usage.cUsageIdentifier = 1;
  para.RequestedUsage.Usage.rgpszUsageIdentifier = usage;
  ChainContext chain;
  // Only what is cached locally: fetching issuers or revocation lists from
  // the network would hold up the message loop.
  if (!CertGetCertificateChain(nullptr, cert.p, nullptr, extra.p, &para, CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL, nullptr,
                               &chain.p) ||
      !chain.p) {
    *detail = subject + "CertGetCertificateChain: " + StatusText(GetLastError());
    return TlsFailure::kUntrusted;
  }
  if (chain.p->cChain == 0 || !chain.p->rgpChain[0] || chain.p->rgpChain[0]->cElement == 0) {
    *detail = subject + "no certificate chain";
    return TlsFailure::kUntrusted;
  }
  const CERT_SIMPLE_CHAIN* simple = chain.p->rgpChain[0];

  // No revocation check was asked for; its "unknown" bits mean nothing here.
  DWORD errors = chain.p->TrustStatus.dwErrorStatus &
                 ~static_cast<DWORD>(CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION);
  bool trustedByCaFile = false;
  if ((errors & CERT_TRUST_IS_UNTRUSTED_ROOT) && !(errors & CERT_TRUST_IS_PARTIAL_CHAIN) && authorities.p) {
    CertContext found;
    found.p = CertFindCertificateInStore(authorities.p, kCertEncoding, 0, CERT_FIND_EXISTING,
                                         simple->rgpElement[simple->cElement - 1]->pCertContext, nullptr);
    if (found.p) {
      trustedByCaFile = true;
      errors &= ~static_cast<DWORD>(CERT_TRUST_IS_UNTRUSTED_ROOT);
    }
  }

  if (errors & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN | CERT_TRUST_IS_CYCLIC)) {
    *detail = subject + ChainErrorText(errors) + note;
    return SelfSigned(simple) ? TlsFailure::kSelfSigned : TlsFailure::kUnknownIssuer;
  }

  const std::wstring wideName = Widen(serverName_);
  if (isAddress_) {
    if (!AddressMatches(cert.p)) {
      *detail = subject + "no IP address name " + serverName_;
      return TlsFailure::kNameMismatch;
    }
  } else {
    // The system's name check alone: everything else is looked at apart.
    DWORD verdict = 0;
    if (CheckSslPolicy(chain.p, wideName.c_str(),
                       kIgnoreRevocation | kIgnoreUnknownCa | kIgnoreWrongUsage | kIgnoreCertDateInvalid,
                       CERT_CHAIN_POLICY_IGNORE_ALL_NOT_TIME_VALID_FLAGS | CERT_CHAIN_POLICY_ALLOW_UNKNOWN_CA_FLAG |
                           CERT_CHAIN_POLICY_IGNORE_WRONG_USAGE_FLAG | CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS,
                       &verdict) &&
        verdict == static_cast<DWORD>(CERT_E_CN_NO_MATCH)) {
      *detail = subject + "does not name " + serverName_ + ": " + StatusText(verdict);
      return TlsFailure::kNameMismatch;
    }
  }

  if (errors & CERT_TRUST_IS_NOT_TIME_VALID) {
    *detail = subject + ChainErrorText(errors);
    return TimeFailure(simple);
  }
  if (errors != 0) {
    *detail = subject + ChainErrorText(errors);
    return TlsFailure::kUntrusted;
  }

  // The whole SSL policy, for what the system checks beyond the chain bits.
  DWORD verdict = 0;
  if (!CheckSslPolicy(chain.p, isAddress_ ? nullptr : wideName.c_str(),
                      kIgnoreRevocation | (trustedByCaFile ? kIgnoreUnknownCa : 0) |
                          (isAddress_ ? kIgnoreCertNameInvalid : 0),
                      CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS |
                          (trustedByCaFile ? static_cast<DWORD>(CERT_CHAIN_POLICY_ALLOW_UNKNOWN_CA_FLAG) : 0),
                      &verdict)) {
    *detail = subject + "CertVerifyCertificateChainPolicy: " + StatusText(GetLastError());
    return TlsFailure::kUntrusted;
  }
  if (verdict != 0) {
    *detail = subject + StatusText(verdict);
    return PolicyFailure(verdict, simple);
  }
  return TlsFailure::kNone;
}

}  // namespace

std::unique_ptr<TlsChannel> CreateTlsChannel(SOCKET s, const std::string& serverName, const TlsOptions& options) {
  return std::unique_ptr<TlsChannel>(new SchannelChannel(s, serverName, options));
}

#endif  // _WIN32
