// Hooks for tests and automation on the POSIX platform layer. Program code never
// calls these; tests and the POSIX entry point do.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/posix/cell_grid.h"
#include "platform/posix/win32_posix.h"

namespace posix {

struct MessageBoxRecord {
  HWND owner;
  std::string text;
  std::string caption;
  UINT type;
};

namespace testing {

// Destroys every window, unregisters every class and clears queue, timers,
// caret, menus, message-box log, font resources and Winsock state.
PLATFORM_API void resetPlatform();

// Message boxes shown through the headless display, oldest first.
PLATFORM_API const std::vector<MessageBoxRecord>& messageBoxes();
PLATFORM_API void clearMessageBoxes();
// Chooses the button a headless message box answers with (IDOK when unset).
PLATFORM_API void setMessageBoxHandler(std::function<int(const MessageBoxRecord&)> handler);

// Called each time GetMessageA is about to wait; may post messages.
PLATFORM_API void setIdleHook(std::function<void()> hook);
// Dispatches messages until none is ready (timers not yet due are not waited for).
PLATFORM_API void pumpUntilIdle();
// Dispatches messages, waiting for timers and sockets, for the given time.
PLATFORM_API void pumpFor(int milliseconds);
// The exit code a WM_QUIT seen by the pumps carried, or -1.
PLATFORM_API int quitCode();
// A manual clock for timers and GetTickCount: time stands still until advanceClock
// moves it, firing each timer as its deadline is passed (with the pending messages
// dispatched before and after). resetPlatform returns to the steady clock.
PLATFORM_API void setManualClock(bool on);
PLATFORM_API void advanceClock(int milliseconds);

PLATFORM_API void setDesktopSize(int width, int height);

// ---- dialogs on the headless display ---------------------------------------------------
// Called once for each modal dialog when its loop starts (after WM_INITDIALOG), with
// the dialog and its caption; the handler fills in and presses controls with the
// helpers below, or posts messages. Whatever the handler leaves open is cancelled
// when the dialog's loop runs out of ready messages (see Display::dialogWaits):
// without a handler every dialog ends at once as if Escape were pressed.
PLATFORM_API void setDialogHandler(std::function<void(HWND dialog, const std::string& caption)> handler);
// Each helper acts as the user would, through the dialog's own input handling, and
// runs the messages this causes (pumpDialog) before it returns. The control helpers
// return false when the control is missing, hidden or disabled.
// A mouse click in the middle of control `id`.
PLATFORM_API bool pressButton(HWND dialog, int id);
// Moves the focus to control `id` as Tab would (an edit field's text is selected, so
// typing replaces it) and types the characters of `text` (WM_CHAR; "\b" is Backspace).
PLATFORM_API bool typeInto(HWND dialog, int id, const std::string& text);
// A key press (WM_KEYDOWN, the WM_CHAR it makes, WM_KEYUP) sent to the focused control,
// with Shift held when `shift`.
PLATFORM_API void sendKey(HWND dialog, UINT virtualKey, bool shift = false);
// Focuses combo box `id` and picks entry `index` of its list with the mouse.
PLATFORM_API bool chooseItem(HWND dialog, int id, int index);
// Dispatches every ready message, the dialog's keys through IsDialogMessageA.
PLATFORM_API void pumpDialog(HWND dialog);

// The font files currently added with AddFontResourceA, in the order added.
PLATFORM_API std::vector<std::string> fontResources();
// The path GetModuleFileNameA reports for the program ("" for the real one, the
// default; resetPlatform returns to it).
PLATFORM_API void setModuleFileName(const std::string& path);

// The Winsock versions the layer supports (low and high, as MAKEWORD(major, minor)),
// and whether WSAStartup fails outright.
PLATFORM_API void setWinsockVersions(WORD lowest, WORD highest);
PLATFORM_API void setWinsockStartupError(int error);
PLATFORM_API bool winsockStarted();

// The window's cell grid, and one row of it as text.
PLATFORM_API const CellGrid* grid(HWND hwnd);
PLATFORM_API std::string rowText(HWND hwnd, int row, int columns);
// One row of it as underline marks: '_' for each underlined cell, ' ' for the others.
PLATFORM_API std::string underlineMarks(HWND hwnd, int row, int columns);

// Live GDI objects created by the program (stock objects excluded).
PLATFORM_API int liveGdiObjects();

// The clipboard's CF_TEXT: its text up to the first NUL (or the whole block when it has
// none), "" without one; exactly these bytes as the CF_TEXT block (no NUL is added);
// and an empty clipboard.
PLATFORM_API std::string clipboardText();
PLATFORM_API void setClipboardBytes(const std::string& bytes);
PLATFORM_API void clearClipboard();

}  // namespace testing
}  // namespace posix
