// WSAAsyncSelect: socket events as window messages, with Winsock's rules.
// FD_CONNECT comes once when a connection attempt ends (error in the high word),
// and after a failed attempt nothing follows;
// FD_READ when data is ready and again only after a recv while data remains;
// FD_CLOSE once when the peer has closed and its data has been read.
#include <poll.h>

#include <cstdio>

#include "platform/posix/internal.h"
#include "platform/posix/testing.h"
#include "platform/posix/winsock_bridge.h"

namespace posix {
namespace {

struct AsyncSocket {
  HWND window = nullptr;
  UINT message = 0;
  long events = 0;
  int watch = 0;  // 0 while nothing is awaited
  bool connectStarted = false;
  bool connecting = false;
  bool readArmed = true;
  bool closed = false;
};

std::map<SOCKET, AsyncSocket> g_sockets;

void post(SOCKET s, const AsyncSocket& a, long event, int error) {
  PostMessageA(a.window, a.message, static_cast<WPARAM>(s), MAKELPARAM(event, error));
}

void onReady(SOCKET s, short revents);

// Waits on the descriptor only while an event can still be reported: a poll that
// always reports hang-up would otherwise never let the loop sleep.
void rewatch(SOCKET s) {
  auto it = g_sockets.find(s);
  if (it == g_sockets.end()) return;
  AsyncSocket& a = it->second;
  if (a.watch) removeWatch(a.watch);
  a.watch = 0;
  short wanted = 0;
  if (a.connecting && (a.events & FD_CONNECT)) wanted |= POLLOUT;
  if (!a.connecting && !a.closed && a.readArmed && (a.events & (FD_READ | FD_CLOSE))) wanted |= POLLIN | POLLRDHUP;
  if (wanted) a.watch = addWatch(static_cast<int>(s), wanted, [s](short revents) { onReady(s, revents); });
}

void onReady(SOCKET s, short revents) {
  auto it = g_sockets.find(s);
  if (it == g_sockets.end()) return;
  AsyncSocket& a = it->second;
  const int fd = static_cast<int>(s);
  if (a.connecting) {
    if (!(revents & (POLLOUT | POLLERR | POLLHUP))) return;
    a.connecting = false;
    const int error = bsd::pendingError(fd);
    // A connection that never came up has nothing to read and no close to report.
    if (error) a.closed = true;
    post(s, a, FD_CONNECT, error);
  } else {
    int error = 0;
    // Readable with the peer's side still open and no error: data waits. A
    // hang-up or an error is told apart from data that precedes it by a peek.
    const bool dataOnly = (revents & POLLIN) && !(revents & (POLLRDHUP | POLLHUP | POLLERR));
    const int state = dataOnly ? 1 : bsd::peekState(fd, &error);
    if (state == 1 && (a.events & FD_READ)) {
      a.readArmed = false;  // until the program reads
      post(s, a, FD_READ, 0);
    } else if (state == 0 || state == -1) {
      a.closed = true;
      if (a.events & FD_CLOSE) post(s, a, FD_CLOSE, state == 0 ? 0 : error);
    }
  }
  rewatch(s);
}

}  // namespace

void asyncNoteConnect(SOCKET s) {
  auto it = g_sockets.find(s);
  if (it == g_sockets.end()) return;
  it->second.connectStarted = true;
  it->second.connecting = true;
  rewatch(s);
}

void asyncNoteConnectFailed(SOCKET s, int error) {
  // Would-block is the attempt under way; the other two concern an attempt made earlier.
  if (error == WSAEWOULDBLOCK || error == WSAEALREADY || error == WSAEISCONN) return;
  auto it = g_sockets.find(s);
  if (it == g_sockets.end() || !it->second.connecting) return;
  AsyncSocket& a = it->second;
  a.connecting = false;
  a.closed = true;  // as after any failed attempt, nothing follows
  // As on Windows, an attempt that fails at once tells its caller through
  // connect's result and posts no connect event.
  rewatch(s);
}

void asyncNoteRecv(SOCKET s) {
  auto it = g_sockets.find(s);
  if (it == g_sockets.end() || it->second.readArmed) return;
  it->second.readArmed = true;
  rewatch(s);
}

void asyncForget(SOCKET s) {
  auto it = g_sockets.find(s);
  if (it == g_sockets.end()) return;
  if (it->second.watch) removeWatch(it->second.watch);
  g_sockets.erase(it);
}

void resetAsyncSockets() {
  for (auto& [s, a] : g_sockets)
    if (a.watch) removeWatch(a.watch);
  g_sockets.clear();
}

}  // namespace posix

using namespace posix;

int WINAPI WSAAsyncSelect(SOCKET s, HWND window, u_int message, long events) {
  if (!testing::winsockStarted()) {
    WSASetLastError(WSANOTINITIALISED);
    return SOCKET_ERROR;
  }
  int error = 0;
  if (s == INVALID_SOCKET || s > 0x7FFFFFFF || !bsd::makeNonBlocking(static_cast<int>(s), &error)) {
    WSASetLastError(error ? error : WSAENOTSOCK);
    return SOCKET_ERROR;
  }
  if (events && !IsWindow(window)) {
    WSASetLastError(WSAEINVAL);
    return SOCKET_ERROR;
  }
  const bool known = g_sockets.count(s) != 0;
  AsyncSocket& a = g_sockets[s];
  if (a.watch) removeWatch(a.watch);
  a.watch = 0;
  if (!events) {
    g_sockets.erase(s);
    return 0;
  }
  if (!known) a = AsyncSocket{};
  a.window = window;
  a.message = message;
  a.events = events;
  rewatch(s);
  return 0;
}

hostent* WINAPI gethostbyname(const char* name) {
  // Winsock keeps one entry per thread, valid until the next call.
  static thread_local in_addr address;
  static thread_local char* addresses[2];
  static thread_local char* aliases[1];
  static thread_local char hostName[256];
  static thread_local hostent entry;
  if (!testing::winsockStarted()) {
    WSASetLastError(WSANOTINITIALISED);
    return nullptr;
  }
  uint32_t found = 0;
  if (!name || !bsd::lookupHost(name, &found)) {
    WSASetLastError(WSAHOST_NOT_FOUND);
    return nullptr;
  }
  address.s_addr = found;
  addresses[0] = reinterpret_cast<char*>(&address);
  addresses[1] = nullptr;
  aliases[0] = nullptr;
  std::snprintf(hostName, sizeof hostName, "%s", name);
  entry.h_name = hostName;
  entry.h_aliases = aliases;
  entry.h_addrtype = AF_INET;
  entry.h_length = 4;
  entry.h_addr_list = addresses;
  return &entry;
}

servent* WINAPI getservbyname(const char* name, const char* protocol) {
  static thread_local char serviceName[64];
  static thread_local char protocolName[8];
  static thread_local char* aliases[1];
  static thread_local servent entry;
  if (!testing::winsockStarted()) {
    WSASetLastError(WSANOTINITIALISED);
    return nullptr;
  }
  uint16_t port = 0;
  if (!name || !bsd::lookupService(name, protocol, &port)) {
    WSASetLastError(WSANO_DATA);
    return nullptr;
  }
  std::snprintf(serviceName, sizeof serviceName, "%s", name);
  std::snprintf(protocolName, sizeof protocolName, "tcp");
  aliases[0] = nullptr;
  entry.s_name = serviceName;
  entry.s_aliases = aliases;
  entry.s_port = static_cast<short>(port);
  entry.s_proto = protocolName;
  return &entry;
}
