// Every byte to or from the host, its dump in the trace log, and the message
// box that reports a socket failure.
#include "net/socket_io.h"

#include <algorithm>
#include <string>

#include "net/transport.h"
#include "terminal/comm_tcp.h"
#include "tn3270/ebcdic.h"

namespace {

struct SocketErrorText {
  int code;
  const char* text;
};

const SocketErrorText kSocketErrorTexts[] = {
    {10000, "No error"},
    {10004, "Interrupted function call"},
    {10009, "bad file descriptor"},
    {10013, "Permission denied"},
    {10014, "Bad Address"},
    {10022, "Invalid argument"},
    {10024, "Too many open files"},
    {10035, "Operation would block"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket Operation On nonsocket"},
    {10039, "Destination address required"},
    {10040, "Message too long"},
    {10041, "Protocol wrong type for socket"},
    {10042, "Bad protocol option"},
    {10047, "Address family not supported by the protocol"},
    {10048, "Address already in use"},
    {10049, "Cannot assign requested address"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "Network dropped connection"},
    {10053, "Software caused connection abort"},
    {10054, "Connection Reset By Peer"},
    {10055, "No Buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Can not send after socket shutdown"},
    {10059, "Too many references, can not splice"},
    {10060, "Connection time out"},
    {10061, "Connect Refused"},
    {10062, "Too many levels of symbolic links"},
    {10063, "File name to long"},
    {10064, "Host is down"},
    {10065, "No Route to host"},
    {10069, "Disk quota exceeded"},
    {10091, "Network subsystem is unavailable"},
    {10092, "Wrong Winsock DLL version"},
    {10093, "WSAStartup() not performed"},
    {11001, "Host not found"},
    {11002, "Non-authoritative host found"},
    {11003, "Non-recoverable query error"},
    {11004, "Valid name, no data of that type"},
};

const char* socketErrorText(int code) {
  for (const SocketErrorText& entry : kSocketErrorTexts)
    if (entry.code == code) return entry.text;
  return "   ";
}

// A zero byte would end the line where the dump formats it as a string, so it
// shows as a blank; every other byte prints raw.
unsigned char printable(unsigned char byte) { return byte == 0 ? ' ' : byte; }

class Plain final : public Transport {
 public:
  // Sends every byte, waiting out a full socket; a failure is reported and the
  // rest is lost, and the dump still lists every byte asked for.
  int Send(CommTcp*, HWND window, SOCKET s, FILE* trace, unsigned char* data, int length) const override {
    int sent = 0;
    while (sent < length) {
      const int n = send(s, reinterpret_cast<const char*>(data) + sent, length - sent, 0);
      if (n > 0) {
        sent += n;
      } else if (n == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK) {
        disp_err(window, "Sending A Char");
        break;
      }
      // Would block: offer the same bytes again at once.
    }
    PrintData(window, trace, data, length, 0);
    return 1;
  }

  int Receive(CommTcp*, HWND window, SOCKET s, FILE* trace, unsigned char* buffer, int room,
              int* length) const override {
    u_long ready = 0;
    if (ioctlsocket(s, FIONREAD, &ready) != 0) {
      disp_err(window, "ioctlsocket error in new line");
      if (length) *length = 0;
      return 0;
    }
    // Whatever does not fit stays in the socket for the next read event.
    const int wanted = ready < static_cast<u_long>(room) ? static_cast<int>(ready) : room;
    const int n = buffer ? recv(s, reinterpret_cast<char*>(buffer), wanted, 0) : 0;
    int received = 0;
    if (n == SOCKET_ERROR) {
      disp_err(window, "recv()");
    } else {
      received = n;
    }
    if (length) *length = received;
    PrintData(window, trace, buffer, received, 1);
    if (trace) std::fprintf(trace, "\t\t\tReceiving: %d Number Of Bytes \n", n);
    return 1;
  }
};

}  // namespace

int CommTcp::receiveRoom() const {
  const int tail = std::clamp(pendingTailLength, 0, kMaxPendingTail);
  const int held = std::clamp(heldCommandLength, 0, kMaxHeldCommand);
  return kReceiveBufferSize - 1 - tail - held;
}

const Transport& PlainTransport() {
  static const Plain plain;
  return plain;
}

const Transport& TransportFor(const CommTcp* t, SOCKET s) {
  if (t && t->transport && s == t->socketHandle) return *t->transport;
  return PlainTransport();
}

int SendBytes(CommTcp* t, HWND window, SOCKET s, FILE* trace, unsigned char* data, int length) {
  if (length <= 0 || !data) return 0;
  if (s == INVALID_SOCKET) {
    disp_err(window, "INVALID_SOCKET Before Sending");
    return 0;
  }
  return TransportFor(t, s).Send(t, window, s, trace, data, length);
}

int ReceiveBytes(CommTcp* t, HWND window, SOCKET s, FILE* trace, unsigned char* buffer, int* length) {
  // Room for the Telnet engine's held command and pending tail in front of
  // the data and its terminator byte after it.
  const int room = t ? t->receiveRoom() : kReceiveBufferSize - 1;
  return TransportFor(t, s).Receive(t, window, s, trace, buffer, room, length);
}

extern "C" {

int SendData(HWND window, SOCKET s, FILE* trace, unsigned char* data, int length) {
  CommTcp* t = window ? reinterpret_cast<CommTcp*>(GetWindowLongPtrA(window, 0)) : nullptr;
  return SendBytes(t, window, s, trace, data, length);
}

int RecvData(HWND window, SOCKET s, FILE* trace, unsigned char* buffer, int* length) {
  CommTcp* t = window ? reinterpret_cast<CommTcp*>(GetWindowLongPtrA(window, 0)) : nullptr;
  return ReceiveBytes(t, window, s, trace, buffer, length);
}

void PrintData(HWND window, FILE* trace, unsigned char* data, int length, int direction) {
  (void)window;
  if (!trace || length < 0 || (length > 0 && !data)) return;
  std::fprintf(trace, "\n");
  char line[64];
  for (int i = 0; i < length; ++i) {
    const unsigned char byte = data[i];
    const unsigned char translated = ebcdicToAsciiTable[byte];
    if (direction == 0)
      std::snprintf(line, sizeof line, "send: [%d %2x %c] [%c]", byte, byte, printable(byte), printable(translated));
    else
      std::snprintf(line, sizeof line, "Recv: [%d %2x %c]  [%c]", byte, byte, printable(byte), printable(translated));
    std::fprintf(trace, "%s \n", line);
  }
  if (direction == 0) std::fprintf(trace, "\t\t\tSending: %d Number Of Bytes \n", length);
}

int disp_err(HWND window, const char* where) {
  const int code = WSAGetLastError();
  if (!where) where = "";
  const std::string message =
      "Errror " + std::to_string(code) + " " + socketErrorText(code) + " occurred in " + where;
  return MessageBoxA(window, message.c_str(), where, MB_OK);
}

}  // extern "C"
