// Keys read from a terminal, as the Win32 keyboard messages a PC keyboard
// gives for them: virtual-key code, scan code, extended-key bit, modifiers.
// Pure translation, no terminal calls, so it can be tested on its own.
#pragma once

#include <string>
#include <vector>

#include "platform/posix/win32_posix.h"

namespace posix {
namespace tty {

enum class Key {
  kNone,
  kChar,  // a character: `ch` holds it (control characters included)
  kF1, kF2, kF3, kF4, kF5, kF6, kF7, kF8, kF9, kF10, kF11, kF12,
  kUp, kDown, kLeft, kRight,
  kHome, kEnd, kPageUp, kPageDown, kInsert, kDelete,
  kBackspace,  // the Backspace key (DEL or the terminal's kbs), not Ctrl+H
  kBackTab,    // Shift+Tab as the terminal reports it
  // The numeric keypad in application mode.
  kPad0, kPad1, kPad2, kPad3, kPad4, kPad5, kPad6, kPad7, kPad8, kPad9,
  kPadEnter, kPadPlus, kPadMinus, kPadMultiply, kPadDivide, kPadDecimal,
};

// Modifier bits, as xterm numbers them (its modifier parameter less one).
constexpr unsigned kShift = 1;
constexpr unsigned kAlt = 2;
constexpr unsigned kCtrl = 4;

struct KeyInput {
  Key key = Key::kNone;
  unsigned mods = 0;
  char32_t ch = 0;  // for Key::kChar
  bool operator==(const KeyInput& o) const { return key == o.key && mods == o.mods && ch == o.ch; }
};

// A character as it arrives from the terminal (a byte of the C0 set, DEL, or any
// Unicode character): control characters become the Ctrl key that types them.
KeyInput keyFromChar(char32_t ch);

// The menu key: Ctrl+] (GS, 0x1D); F10 and Alt belong to the emulation.
bool isMenuKey(const KeyInput& in);

struct KeyMessage {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  bool operator==(const KeyMessage& o) const {
    return message == o.message && wParam == o.wParam && lParam == o.lParam;
  }
};

// The messages to post, in order, for one press and release of `in`: the modifier
// keys down, the key down, its release, the modifiers up. The character that
// TranslateMessage makes of the key-down is not in the list; where TranslateMessage
// cannot make the character a PC keyboard gives (Ctrl+@, Ctrl+^, Ctrl+_, characters
// outside ASCII), the list carries that WM_CHAR itself.
std::vector<KeyMessage> keyMessages(const KeyInput& in);

// The key-down lParam bits of a PC keyboard: repeat count 1, the scan code in
// bits 16-23, the extended-key flag in bit 24, the Alt context in bit 29.
LPARAM keyDownParam(unsigned scan, bool extended, bool alt = false);
// The key-up lParam: as the key-down, plus the previous-state and transition bits.
LPARAM keyUpParam(unsigned scan, bool extended, bool alt = false);

// The Windows-1252 byte of a Unicode character, or '?' where it has none.
unsigned char ansiByte(char32_t ch);

// Escape sequences that xterm-compatible terminals (tmux and screen among them)
// send for keys, with and without modifiers, beyond what a terminfo entry may
// describe: the display teaches them to the key decoder.
struct KeySequence {
  std::string bytes;
  KeyInput input;
};
const std::vector<KeySequence>& keySequences();

}  // namespace tty
}  // namespace posix
