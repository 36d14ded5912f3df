// The VT100 keyboard: every key goes to the host at once. Function, cursor and
// editing keys become escape sequences on key-down; characters are sent as they
// arrive, with the numeric keypad mapped to application-keypad sequences while
// the host has asked for them (ESC =).
#include <cstddef>
#include <cstring>

#include "net/socket_io.h"
#include "terminal/comm_tcp.h"

namespace {

constexpr char kEsc = '\x1b';

// One key of the key-down table. `shifted` is null when Shift changes nothing.
// The cursor keys have an ANSI form (`plain`), the form of application cursor
// keys (`application`) and a VT52 form (`vt52`).
struct KeySequence {
  unsigned key;
  const char* plain;
  const char* shifted;
  const char* vt52;
  const char* application;
};

const KeySequence kKeyTable[] = {
    {0x21, "\x1b[5~", nullptr, nullptr, nullptr},  // PgUp
    {0x22, "\x1b[6~", nullptr, nullptr, nullptr},  // PgDn
    {0x23, "\x05", nullptr, nullptr, nullptr},     // End
    {0x24, "\x08", nullptr, nullptr, nullptr},     // Home
    {0x25, "\x1b[D", nullptr, "\x1b" "D", "\x1bOD"},  // Left
    {0x26, "\x1b[A", nullptr, "\x1b" "A", "\x1bOA"},  // Up
    {0x27, "\x1b[C", nullptr, "\x1b" "C", "\x1bOC"},  // Right
    {0x28, "\x1b[B", nullptr, "\x1b" "B", "\x1bOB"},  // Down
    {0x2D, "\x01", nullptr, nullptr, nullptr},     // Insert
    {0x2E, "\x7f", nullptr, nullptr, nullptr},     // Delete
    {0x70, "\x1bOP", "\x1b[23~", nullptr, nullptr},   // F1
    {0x71, "\x1bOQ", "\x1b[24~", nullptr, nullptr},   // F2
    {0x72, "\x1bOR", "\x1b[25~", nullptr, nullptr},   // F3
    {0x73, "\x1bOS", "\x1b[26~", nullptr, nullptr},   // F4
    {0x74, "\x1b[15~", "\x1b[28~", nullptr, nullptr},  // F5
    {0x75, "\x1b[17~", "\x1b[29~", nullptr, nullptr},  // F6
    {0x76, "\x1b[18~", "\x1b[31~", nullptr, nullptr},  // F7
    {0x77, "\x1b[19~", "\x1b[32~", nullptr, nullptr},  // F8
    {0x78, "\x1b[20~", "\x1b[33~", nullptr, nullptr},  // F9
    {0x79, "\x1b[21~", "\x1b[34~", nullptr, nullptr},  // F10
    {0x7A, "\x1b[23~", nullptr, nullptr, nullptr},  // F11
    {0x7B, "\x1b[24~", nullptr, nullptr, nullptr},  // F12
};

const KeySequence* findKey(WPARAM key) {
  for (const KeySequence& entry : kKeyTable)
    if (entry.key == key) return &entry;
  return nullptr;
}

// The most bytes one character can produce (ESC O x).
constexpr int kMaxCharBytes = 3;

}  // namespace

void CommTcp::KeyDownVt100(HWND hwnd, WPARAM key, LPARAM) {
  lastVirtualKey = static_cast<int32_t>(key);
  const KeySequence* entry = findKey(key);
  if (entry == nullptr) return;  // its character, if any, arrives as WM_CHAR
  const char* bytes = entry->plain;
  if (entry->shifted != nullptr) {
    if (GetKeyState(VK_SHIFT) < 0) bytes = entry->shifted;
  } else if (entry->vt52 != nullptr && terminalType != kTypeVt100) {
    bytes = entry->vt52;
  } else if (entry->application != nullptr && cursorKeysApplication != 0) {
    bytes = entry->application;
  }
  unsigned char out[8];
  const size_t length = std::strlen(bytes);
  std::memcpy(out, bytes, length);
  SendBytes(this, hwnd, socketHandle, traceFile, out, static_cast<int>(length));
}

void CommTcp::CharVt100(HWND hwnd, WPARAM ch, LPARAM lParam) {
  if (socketHandle == INVALID_SOCKET) {
    disp_err(hwnd, "INVALID_SOCKET Before Sending");
    return;
  }
  // The window is an ANSI window: the character is one byte.
  const unsigned char x = static_cast<unsigned char>(ch & 0xFF);
  const unsigned scanCode = static_cast<unsigned>((static_cast<unsigned long>(lParam) >> 16) & 0xFF);
  const bool extended = ((static_cast<unsigned long>(lParam) >> 24) & 0x01) != 0;

  // Start from the pending count, but never from a place the bytes cannot fit.
  if (typedCount < 0 || typedCount > static_cast<int32_t>(sizeof typedChars) - kMaxCharBytes) typedCount = 0;
  auto put = [&](unsigned char b) { typedChars[typedCount++] = static_cast<char>(b); };
  auto keypad = [&](char final) {
    put(static_cast<unsigned char>(kEsc));
    put('O');
    put(static_cast<unsigned char>(final));
  };

  // The numeric keypad: in application mode (ESC =) its keys send their
  // sequences; in numeric mode they type what the main keyboard types.
  const bool fromKeypad = scanCode > 0x0E && scanCode != 0x34;
  if (x == 0x0D && extended && keypadApplication != 0) {
    keypad('M');  // keypad Enter
  } else if (x == 0x0D) {
    put(0x0D);
    if (newLineMode != 0) put(0x0A);
  } else if (x == 0x0A) {
    put(0x0A);
  } else if (x == 0x08 && lastVirtualKey == VK_BACK) {
    put(0x7F);  // the Backspace key sends DEL; Ctrl+H stays 0x08
  } else if (!fromKeypad || keypadApplication == 0) {
    put(x);  // Esc, the digit row, minus, equals, Backspace, main full stop; a numeric keypad
  } else if (x == '+') {
    keypad('l');
  } else if (x == '-') {
    keypad('m');
  } else if (x == '.') {
    keypad('n');
  } else if (x >= '0' && x <= '9') {
    keypad(static_cast<char>('p' + (x - '0')));
  } else {
    put(x);
  }

  SendBytes(this, hwnd, socketHandle, traceFile, reinterpret_cast<unsigned char*>(typedChars), typedCount);
  typedCount = 0;
}
