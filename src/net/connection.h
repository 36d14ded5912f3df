// Choosing a host and connecting to it: the host dialog, the non-blocking
// connection and the socket events that arrive as a window message.
#pragma once

#include "platform/win32.h"
#include "quillon_api.h"

// The socket's events arrive as this message: wParam the socket, the low word of
// lParam the event, the high word an error code.
#define WM_WSAASYNC (WM_USER + 2)
// Bytes of the host-name buffer, its terminating NUL included.
#define HOST_NAME_SIZE 40

extern "C" {
// Runs the host dialog over the window; 1 when the user pressed OK, 0 when cancelled.
QUILLON_API int ncTcpGetHostName(HINSTANCE instance, HWND window, char* hostName);
QUILLON_API INT_PTR CALLBACK Dlg_Host(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Creates the socket (stored through *s at once), selects its events and starts
// connecting; 1 when the attempt was started, 0 on failure (reported, window closing).
QUILLON_API int ncTcpConnectToHost(HWND window, const char* hostName, SOCKET* s);
}

// The host name the dialog offers: the program's first command-line argument,
// or a fixed default.
const char* DefaultHostName();
