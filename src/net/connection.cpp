// Connecting: the Connect command, the non-blocking connection and the socket events.
#include "net/connection.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "app/shell.h"
#include "net/socket_io.h"
#include "net/telnet.h"
#include "terminal/comm_tcp.h"

namespace {

// Splits "name:port" when what follows the last colon is a port number (1..65535);
// otherwise the whole text is the name and no port is given.
bool splitPort(const char* host, std::string* name, unsigned short* port) {
  *name = host;
  const size_t colon = name->rfind(':');
  if (colon == std::string::npos || colon + 1 >= name->size() || name->size() - colon > 6) return false;
  unsigned value = 0;
  for (size_t i = colon + 1; i < name->size(); ++i) {
    const char c = (*name)[i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value == 0 || value > 65535) return false;
  *port = static_cast<unsigned short>(value);
  name->resize(colon);
  return true;
}

// Socket events being handled per window. A message box shown while one is
// handled runs a message loop that may deliver the next event; a read then
// would overwrite the receive buffer under the batch still being parsed, so
// it is made again once the outer event is done.
struct EventNesting {
  int depth = 0;
  bool readAgain = false;
};

std::map<HWND, EventNesting>& eventNesting() {
  static std::map<HWND, EventNesting> windows;
  return windows;
}

constexpr char kPassivePrefix[] = "passive:";
constexpr size_t kPassivePrefixLength = sizeof kPassivePrefix - 1;

int failConnection(HWND window) {
  PostMessageA(window, WM_CLOSE, 0, 0);
  return 0;
}

}  // namespace

const char* StripPassivePrefix(const char* hostName, bool* passive) {
  if (passive) *passive = false;
  if (!hostName) return hostName;
  for (size_t i = 0; i < kPassivePrefixLength; ++i) {
    char c = hostName[i];  // the NUL of a shorter name ends the comparison here
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kPassivePrefix[i]) return hostName;
  }
  const char* name = hostName + kPassivePrefixLength;
  bool onlyDigits = true;
  for (const char* p = name; *p && onlyDigits; ++p) onlyDigits = *p >= '0' && *p <= '9';
  if (onlyDigits) return hostName;  // nothing, or a port: "passive" is the name
  if (passive) *passive = true;
  return name;
}

extern "C" int ncTcpConnectToHost(HWND window, const char* hostName, SOCKET* s) {
  if (!s) return 0;
  bool passive = false;
  hostName = StripPassivePrefix(hostName, &passive);
  // Remembered for the connect event, which sends the opening negotiation or not.
  if (CommTcp* t = window ? reinterpret_cast<CommTcp*>(GetWindowLongPtrA(window, 0)) : nullptr)
    t->passiveNegotiation = passive ? 1 : 0;
  const SOCKET sock = socket(AF_INET, SOCK_STREAM, 0);
  *s = sock;
  if (sock == INVALID_SOCKET) {
    MessageBoxA(window, "Attempt to open an socket failed", "Open socket operation result", MB_OK);
    return failConnection(window);
  }

  std::string name;
  unsigned short port = 0;
  const bool explicitPort = splitPort(hostName ? hostName : "", &name, &port);
  sockaddr_in address;
  std::memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = inet_addr(name.c_str());
  if (address.sin_addr.s_addr == INADDR_NONE) {
    // Not a dotted address: look the name up. Not found leaves 255.255.255.255.
    const hostent* entry = gethostbyname(name.c_str());
    if (entry && entry->h_length == 4 && entry->h_addr_list && entry->h_addr_list[0])
      std::memcpy(&address.sin_addr, entry->h_addr_list[0], 4);
  }
  if (explicitPort) {
    address.sin_port = htons(port);
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
  connect(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  return 1;
}

void CommTcp::ConnectCommand(HWND hwnd) {
  // A previous connection, or an attempt still connecting, is closed first.
  if (connected == 1 || socketHandle != INVALID_SOCKET) {
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
    if (!traceFile) traceFile = std::fopen("telntlog.txt", "w");
  } else if (traceFile) {
    std::fclose(traceFile);
    traceFile = nullptr;
  }
  ncTcpConnectToHost(hwnd, hostName, &socketHandle);
}

LRESULT CommTcp::OnSocketMessage(HWND hwnd, WPARAM wParam, LPARAM lParam) {
  if (traceFile) std::fputs("\n\t\t\t  Entering WM_WSAASYNC \n", traceFile);
  EventNesting& nesting = eventNesting()[hwnd];
  ++nesting.depth;
  // Events still queued for a socket that has since been closed are ignored.
  if (static_cast<SOCKET>(wParam) == socketHandle && socketHandle != INVALID_SOCKET) {
    switch (LOWORD(lParam)) {
      case FD_READ: {
        if (nesting.depth > 1) {
          nesting.readAgain = true;
          break;
        }
        int length = 0;
        RecvData(hwnd, socketHandle, traceFile, receiveBuffer, &length);
        ParseData(hwnd, socketHandle, traceFile, receiveBuffer, length, &terminalMode);
        break;
      }
      case FD_CONNECT:
        std::memset(willRefusals, 0, sizeof willRefusals);
        // A passive connection leaves the first word to the host; the mode starts
        // from nothing either way.
        if (passiveNegotiation != 1) {
          StartNegotiation(hwnd, &terminalMode, socketHandle, traceFile);
          connected = 1;
          break;
        }
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
        connected = 1;
        break;
      case FD_CLOSE:
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
        break;
      default:
        break;
    }
  }
  if (traceFile) std::fputs("\n\t\t\t  Exiting WM_WSAASYNC \n", traceFile);
  if (--nesting.depth <= 0) {
    const bool readAgain = nesting.readAgain;
    eventNesting().erase(hwnd);
    if (readAgain && socketHandle != INVALID_SOCKET)
      PostMessageA(hwnd, WM_WSAASYNC, static_cast<WPARAM>(socketHandle), MAKELPARAM(FD_READ, 0));
  }
  return 0;
}
