// State shared between the pieces of the POSIX platform layer. Not for program code.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix/cell_grid.h"
#include "platform/posix/win32_posix.h"

namespace posix {

struct WindowClass {
  std::string name;
  ATOM atom = 0;
  UINT style = 0;
  WNDPROC proc = nullptr;
  int clsExtra = 0;
  int wndExtra = 0;
  HINSTANCE instance = nullptr;
  HICON icon = nullptr;
  HICON iconSmall = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
  std::string menuName;  // empty when none
  ULONG_PTR menuNameValue = 0;  // integer resource id, or the address handed out for the name
  std::vector<unsigned char> extra;
};

struct ScrollBar {
  int minPos = 0;
  int maxPos = 100;
  int pos = 0;
};

struct Window {
  HWND handle = nullptr;
  WindowClass* cls = nullptr;
  WNDPROC proc = nullptr;
  std::string text;
  DWORD style = 0;
  DWORD exStyle = 0;
  RECT rect{};  // screen coordinates
  HWND parent = nullptr;
  HMENU menu = nullptr;  // menu bar of a top-level window; id of a child
  HINSTANCE instance = nullptr;
  LONG_PTR userData = 0;
  std::vector<unsigned char> extra;
  bool enabled = true;
  bool destroying = false;
  // Update region, kept as a bounding rectangle in client coordinates.
  bool invalid = false;
  bool erasePending = false;
  RECT update{};
  ScrollBar vscroll;
  ScrollBar hscroll;
  CellGrid grid;
  HDC ownDC = nullptr;  // CS_OWNDC windows
  bool paintHidCaret = false;  // BeginPaint hid the caret; EndPaint shows it again
};

// Window registry -----------------------------------------------------------
Window* findWindow(HWND hwnd);             // nullptr for invalid or destroyed handles
std::vector<HWND> topLevelWindows();       // in creation order
std::vector<HWND> allWindows();
void clientSize(const Window& w, int* width, int* height);
void resetWindows();  // destroys every window and unregisters every class

// GDI -----------------------------------------------------------------------------
struct FontMetrics {
  int width;
  int height;
  BYTE charset;
};
// The cell that text output into a window's own DC is measured in.
FontMetrics referenceCell(Window& w);
// Fills the client area with the class background brush (erase).
void eraseBackground(Window& w, HDC hdc);
// The size of a bitmap; false for anything that is not one.
bool bitmapSize(HGDIOBJ bitmap, int* width, int* height);
// Drops a window's DCs when it is destroyed.
void releaseWindowDCs(Window& w);
void resetGdi();

// Message loop ----------------------------------------------------------------------
// Descriptors the loop waits on besides its own timers.
using WatchCallback = std::function<void(short revents)>;
int addWatch(int fd, short events, WatchCallback callback);  // returns a watch id
void removeWatch(int id);
void dropWindowTimers(HWND hwnd);
void dropWindowMessages(HWND hwnd);
void noteKeyMessage(const MSG& msg);  // keeps GetKeyState current
void resetQueue();
// Milliseconds of the loop's clock: steady time, or a test's manual clock.
int64_t nowMs();
// Waits up to timeoutMs (-1: no limit) for a watched descriptor and runs its callbacks.
// Returns true when a callback ran.
bool waitForEvents(int timeoutMs);
// Milliseconds until the next timer is due (0 when one is due), or -1 without timers.
int nextTimerDelay();

// Caret -------------------------------------------------------------------------------------
void dropCaretOf(HWND hwnd);
void resetCaret();

// Menus -------------------------------------------------------------------------------------
void destroyMenuTree(HMENU menu);
void resetMenus();

// Resources -----------------------------------------------------------------------------------
bool resourceExists(const char* type, LPCSTR name);

// Winsock ---------------------------------------------------------------------------------------
void resetWinsock();
// The asynchronous-event registry hears of connects, reads and closes.
void asyncNoteConnect(SOCKET s);
// A connect that failed at once (not would-block); ends the attempt with that error.
void asyncNoteConnectFailed(SOCKET s, int error);
void asyncNoteRecv(SOCKET s);
void asyncForget(SOCKET s);
void resetAsyncSockets();

// Profiles, fonts ---------------------------------------------------------------------------------
void resetFontResources();  // and the program path a test set (GetModuleFileNameA)

// Clipboard ---------------------------------------------------------------------------------------
void resetClipboard();  // frees the blocks it holds and closes it

}  // namespace posix
