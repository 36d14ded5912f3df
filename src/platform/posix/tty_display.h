// The interactive terminal display, on ncurses.
#pragma once

#include <string>

#include "platform/posix/tty_keys.h"
#include "platform/posix/win32_posix.h"

namespace posix {

// Makes the terminal display the platform's display when standard input is a
// terminal. False, with the reason in *why, when it is not or when the terminal
// cannot be driven; the display is then left as it was. The terminal is
// restored when the display is replaced (setDisplay), when the process exits,
// and when it dies of a signal.
PLATFORM_API bool startTtyDisplay(std::string* why);

namespace tty {

// The key codes the display gives ncurses for the sequences of keySequences():
// entry i is kFirstSequenceCode + i.
constexpr int kFirstSequenceCode = 0x7000;

// An ncurses key code (KEY_F(n), KEY_UP, ..., or one of the sequence codes) as a
// key; Key::kNone for codes that are no key (KEY_MOUSE, KEY_RESIZE, unknown ones).
KeyInput keyFromCursesCode(int code);

}  // namespace tty
}  // namespace posix
