// What a window's handlers have under way, for the work that must wait until
// they return: closing the window (which deletes the terminal object) and
// reading the socket again (which would overwrite the receive buffer under a
// batch still being parsed). Modal loops inside a handler (message boxes,
// dialogs) deliver further messages to the same window.
#pragma once

#include "platform/win32.h"

struct WindowNesting {
  int handlers = 0;           // calls of the window's message handler under way
  bool closePending = false;  // a close came meanwhile: done when the outermost returns
  int socketEvents = 0;       // socket events under way
  bool readAgain = false;     // a read event came meanwhile: read again after the outer one
};

// The window's entry, made on first use; it stays valid until ReleaseNesting.
WindowNesting& NestingOf(HWND hwnd);
// Forgets the window's entry once nothing is under way or pending.
void ReleaseNesting(HWND hwnd);
// True once the window has been asked to close while a handler of it runs.
bool ClosePending(HWND hwnd);
