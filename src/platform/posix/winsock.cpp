// Winsock start-up and clean-up, socket errors and closing.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

#include "platform/posix/internal.h"
#include "platform/posix/testing.h"
#include "platform/posix/winsock_bridge.h"

namespace posix {
namespace {

int g_startups = 0;
WORD g_lowest = MAKEWORD(1, 0);
WORD g_highest = MAKEWORD(2, 2);
int g_startupError = 0;

// Versions compare by major, then minor.
int versionKey(WORD v) { return LOBYTE(v) * 256 + HIBYTE(v); }

}  // namespace

void resetWinsock() {
  resetAsyncSockets();
  g_startups = 0;
  g_lowest = MAKEWORD(1, 0);
  g_highest = MAKEWORD(2, 2);
  g_startupError = 0;
}

namespace testing {
void setWinsockVersions(WORD lowest, WORD highest) {
  g_lowest = lowest;
  g_highest = highest;
}
void setWinsockStartupError(int error) { g_startupError = error; }
bool winsockStarted() { return g_startups > 0; }
}  // namespace testing
}  // namespace posix

using namespace posix;

extern "C" {

int WINAPI WSAStartup(WORD versionRequested, LPWSADATA data) {
  if (g_startupError) return g_startupError;
  if (!data) return WSAEFAULT;
  *data = WSADATA{};
  data->wHighVersion = g_highest;
  std::snprintf(data->szDescription, sizeof data->szDescription, "Quillon sockets on POSIX");
  std::snprintf(data->szSystemStatus, sizeof data->szSystemStatus, "Running");
  data->iMaxSockets = 32767;
  data->iMaxUdpDg = 65467;
  if (versionKey(versionRequested) < versionKey(g_lowest)) return WSAVERNOTSUPPORTED;
  data->wVersion = versionKey(versionRequested) > versionKey(g_highest) ? g_highest : versionRequested;
  // A peer that closes while we write must give an error, not end the process.
  std::signal(SIGPIPE, SIG_IGN);
  ++g_startups;
  return 0;
}

int WINAPI WSACleanup(void) {
  if (g_startups == 0) {
    SetLastError(WSANOTINITIALISED);
    return SOCKET_ERROR;
  }
  --g_startups;
  return 0;
}

int WINAPI WSAGetLastError(void) { return static_cast<int>(GetLastError()); }

void WINAPI WSASetLastError(int error) { SetLastError(static_cast<DWORD>(error)); }

int WINAPI closesocket(SOCKET s) {
  if (g_startups == 0) {
    WSASetLastError(WSANOTINITIALISED);
    return SOCKET_ERROR;
  }
  asyncForget(s);  // no more events from a closed socket
  if (s <= 0x7FFFFFFF) posix::bsd::forgetSocket(static_cast<int>(s));
  if (s == INVALID_SOCKET || s > 0x7FFFFFFF || close(static_cast<int>(s)) != 0) {
    WSASetLastError(WSAENOTSOCK);
    return SOCKET_ERROR;
  }
  return 0;
}

}  // extern "C"
