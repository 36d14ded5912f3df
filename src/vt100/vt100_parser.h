// The VT100 escape-sequence interpreter.
#pragma once

#include <cstdio>

#include "platform/win32.h"
#include "quillon_api.h"

// The Telnet engine's parameter record; the interpreter uses only its first
// member, the window, to find the terminal object.
struct ParseParameters {
  HWND window;
  SOCKET socket;
  FILE* trace;
  unsigned char* data;
  int length;
  int* mode;
};

// Entries a control sequence's parameter scan accepts.
constexpr int kMaxSequenceEntries = 80;

// A number of a sequence with one more decimal digit; it stops at INT_MAX.
inline int withDigit(int value, int digit) {
  return value > (0x7FFFFFFF - digit) / 10 ? 0x7FFFFFFF : value * 10 + digit;
}

class CommTcp;

namespace vt100 {
// What vt100Parser does for the terminal t, without showing the result: the
// Telnet engine shows a whole batch at once.
void interpret(CommTcp& t, HWND window, unsigned char* data, int* position, int length);
}  // namespace vt100

extern "C" {
// Interprets data[*position .. length); data[length] must be writable (it receives a 0).
// On return *position is >= length (all consumed), the index of a 0xFF byte, or the
// first byte of a sequence the data ends inside.
QUILLON_API void vt100Parser(ParseParameters* context, unsigned char* data, int* position, int length);
// Scans the parameters of a control sequence. 1 when a final byte was found
// (*consumed = index just past it), 0 when the data or the entry limit ran out.
QUILLON_API int convert_string(unsigned char* source, int sourceLength, char* kinds, int* values, int maxEntries,
                               int* consumed);
}
