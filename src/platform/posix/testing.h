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

PLATFORM_API void setDesktopSize(int width, int height);

// The font files currently added with AddFontResourceA, in the order added.
PLATFORM_API std::vector<std::string> fontResources();

// The Winsock versions the layer supports (low and high, as MAKEWORD(major, minor)),
// and whether WSAStartup fails outright.
PLATFORM_API void setWinsockVersions(WORD lowest, WORD highest);
PLATFORM_API void setWinsockStartupError(int error);
PLATFORM_API bool winsockStarted();

// The window's cell grid, and one row of it as text.
PLATFORM_API const CellGrid* grid(HWND hwnd);
PLATFORM_API std::string rowText(HWND hwnd, int row, int columns);

// Live GDI objects created by the program (stock objects excluded).
PLATFORM_API int liveGdiObjects();

}  // namespace testing
}  // namespace posix
