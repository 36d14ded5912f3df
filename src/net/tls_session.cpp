#include "net/tls_session.h"

#include <string>

#include "net/tls.h"
#include "net/socket_io.h"
#include "net/telnet.h"
#include "net/transport.h"
#include "terminal/comm_tcp.h"

namespace {

constexpr char kCaption[] = "Secure Connection";

void traceLine(const CommTcp& t, const std::string& text) {
  if (t.traceFile) std::fprintf(t.traceFile, "\n\t\t\tTLS: %s\n", text.c_str());
}

// Nothing of the session has been sent: the socket is closed and the window
// stays, so that the user can connect again.
void failHandshake(CommTcp& t, HWND hwnd) {
  const TlsFailure failure = t.tlsChannel ? t.tlsChannel->Failure() : TlsFailure::kHandshake;
  const std::string detail = t.tlsChannel ? t.tlsChannel->FailureDetail() : "";
  traceLine(t, "handshake failed: " + TlsFailureText(failure, t.connectName) + " " + detail);
  TlsEnd(t);
  if (t.socketHandle != INVALID_SOCKET) closesocket(t.socketHandle);
  t.socketHandle = INVALID_SOCKET;
  t.connected = 0;
  MessageBoxA(hwnd, TlsFailureText(failure, t.connectName).c_str(), kCaption, MB_OK);
}

void step(CommTcp& t, HWND hwnd) {
  TlsChannel* channel = t.tlsChannel;
  if (!channel || t.tlsState != kTlsHandshake) return;
  const TlsResult r = channel->Handshake();
  if (r == TlsResult::kAgain) return;
  if (r != TlsResult::kDone) {
    failHandshake(t, hwnd);
    return;
  }
  t.tlsState = kTlsEstablished;
  traceLine(t, channel->Description());
  // From here on the session is that of a plain connection.
  if (t.passiveNegotiation != 1) StartNegotiation(hwnd, &t.terminalMode, t.socketHandle, t.traceFile);
  t.connected = 1;
}

// A session that ends in the middle: traced, and closed as a host close is.
void endSession(CommTcp& t, HWND hwnd, const std::string& why) {
  t.tlsState = kTlsEnded;  // nothing more goes through it
  traceLine(t, why);
  PostMessageA(hwnd, WM_CLOSE, 0, 0);
}

}  // namespace

void TlsConnected(CommTcp& t, HWND hwnd) {
  TlsEnd(t);
  t.tlsChannel = CreateTlsChannel(t.socketHandle, t.connectName, ReadTlsOptions()).release();
  t.tlsState = kTlsHandshake;
  step(t, hwnd);
}

void TlsHandshakeRead(CommTcp& t, HWND hwnd) { step(t, hwnd); }

void TlsHandshakeClosed(CommTcp& t, HWND hwnd) {
  // Whatever came last may still finish the handshake (or say why it failed).
  step(t, hwnd);
  if (t.tlsState != kTlsHandshake) {
    if (t.tlsState == kTlsEstablished) PostMessageA(hwnd, WM_CLOSE, 0, 0);
    return;
  }
  traceLine(t, "the host closed the connection during the handshake");
  const std::string text = TlsFailureText(TlsFailure::kClosed, t.connectName);
  TlsEnd(t);
  closesocket(t.socketHandle);
  t.socketHandle = INVALID_SOCKET;
  t.connected = 0;
  MessageBoxA(hwnd, text.c_str(), kCaption, MB_OK);
}

int TlsReceive(CommTcp& t, HWND hwnd, FILE* trace, unsigned char* buffer, int room) {
  (void)trace;
  if (t.tlsState != kTlsEstablished || !t.tlsChannel) return 0;
  int count = 0;
  const TlsResult r = t.tlsChannel->Read(buffer, room, &count);
  if (r == TlsResult::kClosed && count == 0) {
    endSession(t, hwnd, "the host ended the session");
    return -1;
  }
  if (r == TlsResult::kFailed) {
    endSession(t, hwnd, "session failed: " + TlsFailureText(t.tlsChannel->Failure(), t.connectName) + " " +
                            t.tlsChannel->FailureDetail());
    return -1;
  }
  return count;
}

bool TlsSend(CommTcp& t, HWND hwnd, FILE* trace, const unsigned char* data, int length) {
  (void)trace;
  if (t.tlsState == kTlsEnded) return false;
  if (t.tlsState != kTlsEstablished || !t.tlsChannel) {
    // Never in the clear: bytes typed before the handshake is done are dropped.
    traceLine(t, "handshake not complete: " + std::to_string(length) + " bytes not sent");
    return false;
  }
  if (t.tlsChannel->Write(data, length)) return true;
  endSession(t, hwnd, "session failed: " + TlsFailureText(t.tlsChannel->Failure(), t.connectName) + " " +
                          t.tlsChannel->FailureDetail());
  return false;
}

bool TlsPending(const CommTcp& t) { return t.tlsState == kTlsEstablished && t.tlsChannel && t.tlsChannel->Pending(); }

namespace {

// Bytes through the connection's TLS session, never in the clear.
class Tls final : public Transport {
 public:
  // A send TLS refused (no session, or one that failed) sends and traces nothing.
  int Send(CommTcp* t, HWND window, SOCKET, FILE* trace, unsigned char* data, int length) const override {
    if (!t || !TlsSend(*t, window, trace, data, length)) return 0;
    PrintData(window, trace, data, length, 0);
    return 1;
  }

  int Receive(CommTcp* t, HWND window, SOCKET, FILE* trace, unsigned char* buffer, int room,
              int* length) const override {
    const int n = t && buffer ? TlsReceive(*t, window, trace, buffer, room) : 0;
    const int received = n > 0 ? n : 0;
    if (length) *length = received;
    PrintData(window, trace, buffer, received, 1);
    if (trace) std::fprintf(trace, "\t\t\tReceiving: %d Number Of Bytes \n", received);
    return 1;
  }
};

}  // namespace

const Transport& TlsTransport() {
  static const Tls tls;
  return tls;
}

void TlsEnd(CommTcp& t) {
  delete t.tlsChannel;
  t.tlsChannel = nullptr;
  t.tlsState = kTlsNone;
}
