// The display shows the top-level window (title, menu bar, cell grid, caret,
// scroll position, dialogs, message boxes) and turns the user's input into
// Win32 input messages. Two implementations: headless (tests, automation) and,
// later, the interactive terminal display.
#pragma once

#include <memory>
#include <string>

#include "platform/posix/win32_posix.h"

namespace posix {

class PLATFORM_API Display {
 public:
  virtual ~Display();
  virtual const char* name() const = 0;
  // The desktop rectangle that windows are centred on.
  virtual RECT desktopRect() const = 0;
  // A file descriptor the message loop waits on for user input, or -1.
  virtual int inputFd() const { return -1; }
  // Called when inputFd() is readable: read the input and post messages.
  virtual void onInput() {}
  // Called before the message loop waits: bring the screen up to date.
  virtual void refresh() {}
  // A window was created, moved, retitled or destroyed.
  virtual void windowChanged(HWND) {}
  // Runs a message box modally and returns the button pressed (IDOK, ...).
  virtual int messageBox(HWND owner, const char* text, const char* caption, UINT type) = 0;
  // Sounds the bell without blocking.
  virtual void beep() {}
  // A modal dialog's loop starts: the dialog has had WM_INITDIALOG and is shown.
  // An interactive display draws the open dialogs (dialog.h: openDialogs,
  // viewDialog, the controls' cell grids) and feeds them input: key presses as
  // WM_KEYDOWN then WM_KEYUP posted to GetFocus(), mouse clicks as
  // WM_LBUTTONDOWN then WM_LBUTTONUP posted to the control under the pointer
  // (controlAt), a pick from an open combo box list with chooseComboItem.
  // The headless display hands the dialog to the test hook here.
  virtual void dialogOpened(HWND dialog) { (void)dialog; }
  // The dialog's loop has ended; the dialog is destroyed next (or already is).
  virtual void dialogClosed(HWND dialog) { (void)dialog; }
  // The modal loop of `dialog` has nothing ready. True: wait for input, sockets
  // and timers as the main loop does. False, for a display without a user: the
  // dialog is cancelled as Escape would cancel it (WM_COMMAND IDCANCEL; if that
  // leaves it open, EndDialog with IDCANCEL), so nothing ever waits forever.
  virtual bool dialogWaits(HWND dialog) {
    (void)dialog;
    return false;
  }
};

// The thread's caret, as a display shows it.
struct CaretState {
  HWND owner = nullptr;  // null when there is no caret
  HBITMAP shape = nullptr;  // the bitmap it was made with; null for a solid or gray caret
  int width = 0;
  int height = 0;
  POINT pos{0, 0};
  bool visible = false;
};
PLATFORM_API CaretState caretState();

// The display that the platform uses; the headless one until another is set.
PLATFORM_API Display& display();
PLATFORM_API void setDisplay(std::unique_ptr<Display> display);

// Turns SIGTERM, SIGINT and SIGHUP into WM_CLOSE for every top-level window,
// delivered through the message loop (installed by the POSIX entry point).
PLATFORM_API void installCloseSignals();

// The process's command line as GetCommandLineA returns it (set by the entry point).
PLATFORM_API void setCommandLine(const std::string& line);

}  // namespace posix
