// The Telnet engine: the opening negotiation, and every received batch split
// into option commands (answered here) and data for the 3270 or VT100 emulation.
#pragma once

#include <cstdio>

#include "platform/win32.h"
#include "quillon_api.h"
#include "terminal/states.h"

// Telnet commands and options.
enum : unsigned char {
  kTelnetSE = 240,
  kTelnetNOP = 241,
  kTelnetGA = 249,
  kTelnetSB = 250,
  kTelnetWILL = 251,
  kTelnetWONT = 252,
  kTelnetDO = 253,
  kTelnetDONT = 254,
  kTelnetIAC = 255,
  kTelnetEOR = 239,
  kOptionBinary = 0,
  kOptionEcho = 1,
  kOptionSGA = 3,
  kOptionTerminalType = 24,
  kOptionEOR = 25,
  kOptionNAWS = 31,
  kOptionAuthentication = 37,
};

// IAC SB NAWS width height IAC SE (RFC 1073): each 16 bits, high byte first,
// a byte 255 doubled (at most 14 bytes). Returns its length.
int WindowSizeCommand(int columns, int rows, unsigned char (&out)[16]);

extern "C" {
// Sends the opening option requests; the result is that of the last send.
QUILLON_API int StartNegotiation(HWND window, int* mode, SOCKET s, FILE* trace);
// Handles one batch of received bytes. `data` is normally the window's
// receiveBuffer, filled by RecvData; any other buffer is copied into it in pieces.
QUILLON_API void ParseData(HWND window, SOCKET s, FILE* trace, unsigned char* data, int length, int* mode);
}
