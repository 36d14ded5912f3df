// Connecting: the Connect command, the non-blocking connection and the socket events.
#include "net/connection.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/shell.h"
#include "net/host_text.h"
#include "net/socket_io.h"
#include "net/telnet.h"
#include "net/tls_session.h"
#include "net/trace_log.h"
#include "net/transport.h"
#include "terminal/comm_tcp.h"
#include "terminal/nesting.h"
#include "tn3270/model_screen.h"

namespace {

int failConnection(HWND window) {
  PostMessageA(window, WM_CLOSE, 0, 0);
  return 0;
}

}  // namespace

extern "C" int ncTcpConnectToHost(HWND window, const char* hostName, SOCKET* s) {
  if (!s) return 0;
  *s = INVALID_SOCKET;
  CommTcp* t = window ? reinterpret_cast<CommTcp*>(GetWindowLongPtrA(window, 0)) : nullptr;
  HostText host;
  std::string error;
  if (!ParseHostText(hostName ? hostName : "", &host, &error)) {
    // Refused before any connection; the window stays for another try.
    MessageBoxA(window, error.c_str(), host.refusedPart.c_str(), MB_OK);
    return 0;
  }
  // Remembered for the socket's events: how the session starts, what TLS checks.
  if (t) {
    t->passiveNegotiation = host.passive ? 1 : 0;
    t->tlsRequested = host.tls ? 1 : 0;
    t->transport = host.tls ? &TlsTransport() : &PlainTransport();
    TlsEnd(*t);
    std::snprintf(t->connectName, sizeof t->connectName, "%s", host.name.c_str());
    std::snprintf(t->luName, sizeof t->luName, "%s", host.lu.c_str());
    if (!host.lu.empty() && t->terminalType != kTypeIbm3270 && t->traceFile)
      std::fprintf(t->traceFile, "\n\t\t\tLU name %s ignored: not a 3270 session\n", t->luName);
  }
  const SOCKET sock = socket(AF_INET, SOCK_STREAM, 0);
  *s = sock;
  if (sock == INVALID_SOCKET) {
    MessageBoxA(window, "Attempt to open an socket failed", "Open socket operation result", MB_OK);
    return failConnection(window);
  }

  sockaddr_in address;
  std::memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = inet_addr(host.name.c_str());
  if (address.sin_addr.s_addr == INADDR_NONE) {
    // Not a dotted address: look the name up. Not found leaves 255.255.255.255.
    const hostent* entry = gethostbyname(host.name.c_str());
    if (entry && entry->h_length == 4 && entry->h_addr_list && entry->h_addr_list[0])
      std::memcpy(&address.sin_addr, entry->h_addr_list[0], 4);
  }
  if (host.port != 0) {
    address.sin_port = htons(host.port);
  } else if (host.tls) {
    address.sin_port = htons(kTelnetsPort);
  } else {
    const servent* service = getservbyname("telnet", nullptr);
    if (!service) {
      disp_err(window, "getservbyname");
      return failConnection(window);
    }
    address.sin_port = static_cast<unsigned short>(service->s_port);
  }
  if (WSAAsyncSelect(sock, window, WM_WSAASYNC, FD_READ | FD_CONNECT | FD_CLOSE) == SOCKET_ERROR) {
    disp_err(window, "WSSAAsynSelect()");
    return failConnection(window);
  }
  if (connect(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address) == SOCKET_ERROR) {
    // An attempt that fails at once (an unreachable address, say) gets no
    // connect event from the socket layer: it is posted here, so that the
    // failure is handled as any failed connection is.
    const int error = WSAGetLastError();
    if (error != WSAEWOULDBLOCK && error != WSAEINPROGRESS)
      PostMessageA(window, WM_WSAASYNC, static_cast<WPARAM>(sock), MAKELPARAM(FD_CONNECT, error));
  }
  return 1;
}

void CommTcp::ConnectCommand(HWND hwnd) {
  // A previous connection, or an attempt still connecting, is closed first.
  if (connected == 1 || socketHandle != INVALID_SOCKET) {
    TlsEnd(*this);
    if (socketHandle != INVALID_SOCKET) closesocket(socketHandle);
    socketHandle = INVALID_SOCKET;
    if (connected == 1 && traceFile) {
      std::fclose(traceFile);
      traceFile = nullptr;
    }
    connected = 0;
  }
  WindowScreenSetting(hwnd, &cellWidth, &cellHeight);
  if (!ncTcpGetHostName(instanceHandle, hwnd, hostName)) return;  // the window is closing
  if (traceRequested == 1) {
    if (!traceFile) traceFile = OpenTraceLog(hwnd);
  } else if (traceFile) {
    std::fclose(traceFile);
    traceFile = nullptr;
  }
  // The dialog keeps the whole text; hostName has only its first 39 characters.
  ncTcpConnectToHost(hwnd, hostText[0] ? hostText : hostName, &socketHandle);
}

LRESULT CommTcp::OnSocketMessage(HWND hwnd, WPARAM wParam, LPARAM lParam) {
  if (traceFile) std::fputs("\n\t\t\t  Entering WM_WSAASYNC \n", traceFile);
  // A message box shown while an event is handled runs a message loop that
  // may deliver the next event; a read then would overwrite the receive
  // buffer under the batch still being parsed, so it is made again after.
  WindowNesting& nesting = NestingOf(hwnd);
  ++nesting.socketEvents;
  // Events still queued for a socket that has since been closed are ignored.
  if (static_cast<SOCKET>(wParam) == socketHandle && socketHandle != INVALID_SOCKET) {
    switch (LOWORD(lParam)) {
      case FD_READ: {
        if (nesting.socketEvents > 1) {
          nesting.readAgain = true;
          break;
        }
        if (tlsState == kTlsHandshake) {
          TlsHandshakeRead(*this, hwnd);
          // The host's first bytes may have come with the end of the handshake.
          if (TlsPending(*this) && socketHandle != INVALID_SOCKET) nesting.readAgain = true;
          break;
        }
        int length = 0;
        ReceiveBytes(this, hwnd, socketHandle, traceFile, receiveBuffer, &length);
        ParseData(hwnd, socketHandle, traceFile, receiveBuffer, length, &terminalMode);
        // Bytes TLS has decrypted already get no read event of their own.
        if (TlsPending(*this) && socketHandle != INVALID_SOCKET) nesting.readAgain = true;
        break;
      }
      case FD_CONNECT:
        std::memset(willRefusals, 0, sizeof willRefusals);
        ResetVt100Modes();
        model3270::ResetScreen(modelScreen, modelScreen.model);
        modelLocked = 0;
        tn3270e::Reset(*this);
        if (tlsRequested != 1 && passiveNegotiation != 1) {
          StartNegotiation(hwnd, &terminalMode, socketHandle, traceFile);
          connected = 1;
          break;
        }
        // A passive connection leaves the first word to the host, and TLS comes
        // before any Telnet byte; the mode starts from nothing either way.
        terminalMode = 0;
        if (WSAGETSELECTERROR(lParam) != 0) {
          // Nothing is sent that would fail and tell the user, so the failed
          // connection is reported here, and the user can connect again.
          WSASetLastError(WSAGETSELECTERROR(lParam));
          closesocket(socketHandle);
          socketHandle = INVALID_SOCKET;
          disp_err(hwnd, "Connecting To Host");
          break;
        }
        if (tlsRequested == 1)
          TlsConnected(*this, hwnd);  // connected once the handshake is done
        else
          connected = 1;
        break;
      case FD_CLOSE:
        if (tlsState == kTlsHandshake) {
          TlsHandshakeClosed(*this, hwnd);
          break;
        }
        // What TLS still holds, or the socket still had for it, is shown before
        // the window closes (a few reads: the socket is drained at this event).
        for (int k = 0; k < 64 && tlsState == kTlsEstablished && (k == 0 || TlsPending(*this)) && socketHandle != INVALID_SOCKET;
             ++k) {
          int length = 0;
          ReceiveBytes(this, hwnd, socketHandle, traceFile, receiveBuffer, &length);
          ParseData(hwnd, socketHandle, traceFile, receiveBuffer, length, &terminalMode);
        }
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
        break;
      default:
        break;
    }
  }
  if (traceFile) std::fputs("\n\t\t\t  Exiting WM_WSAASYNC \n", traceFile);
  if (--nesting.socketEvents <= 0) {
    const bool readAgain = nesting.readAgain;
    nesting.socketEvents = 0;
    nesting.readAgain = false;
    ReleaseNesting(hwnd);
    if (readAgain && socketHandle != INVALID_SOCKET)
      PostMessageA(hwnd, WM_WSAASYNC, static_cast<WPARAM>(socketHandle), MAKELPARAM(FD_READ, 0));
  }
  return 0;
}
