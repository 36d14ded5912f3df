// Every byte to or from the host, the trace dump of it, and socket error reports.
#pragma once

#include <cstdio>

#include "platform/win32.h"
#include "quillon_api.h"

// Bytes one receive buffer holds.
constexpr int kReceiveBufferSize = 4096;

class CommTcp;

// What SendData and RecvData do, for the terminal t already in hand (null:
// a socket of no terminal's, plain).
int SendBytes(CommTcp* t, HWND window, SOCKET s, FILE* trace, unsigned char* data, int length);
int ReceiveBytes(CommTcp* t, HWND window, SOCKET s, FILE* trace, unsigned char* buffer, int* length);

extern "C" {
QUILLON_API int SendData(HWND window, SOCKET s, FILE* trace, unsigned char* data, int length);
QUILLON_API int RecvData(HWND window, SOCKET s, FILE* trace, unsigned char* buffer, int* length);
QUILLON_API void PrintData(HWND window, FILE* trace, unsigned char* data, int length, int direction);
QUILLON_API int disp_err(HWND window, const char* where);
}
