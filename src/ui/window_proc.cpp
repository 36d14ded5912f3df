// The terminal window's message handler.

#include "app/shell.h"
#include "net/connection.h"
#include "net/tls_session.h"
#include "terminal/comm_tcp.h"
#include "terminal/nesting.h"
#include "ui/cell_caret.h"
#include "ui/center_wnd.h"
#include "ui/resource.h"
#include "ui/window_display.h"
#include "ui/window_proc.h"

namespace {

// Closes the connection and the trace log and destroys the window, which
// deletes the terminal object: nothing of it may be touched afterwards.
void closeTerminal(CommTcp& t, HWND hwnd) {
  TlsEnd(t);  // its close_notify goes out before the socket closes
  if (t.socketHandle != INVALID_SOCKET) {
    closesocket(t.socketHandle);
    t.socketHandle = INVALID_SOCKET;
  }
  if (t.traceFile) {
    fclose(t.traceFile);
    t.traceFile = nullptr;
  }
  DestroyWindow(hwnd);
}

}  // namespace

bool WindowHolds(HWND hwnd, const CommTcp& t) {
  return IsWindow(hwnd) && GetWindowLongPtrA(hwnd, 0) == reinterpret_cast<LONG_PTR>(&t);
}

void CommTcp::onCreate(HWND hwnd, WPARAM wParam, LPARAM lParam) {
  display = WindowDisplay();
  InstallBackgroundBrush(hwnd, hwnd);
  DefWindowProcA(hwnd, WM_CREATE, wParam, lParam);
  CenterWnd(hwnd);
  WindowScreenSetting(hwnd, &cellWidth, &cellHeight);
}

void CommTcp::onCommand(HWND hwnd, UINT id) {
  switch (id) {
    case IDM_EXIT:
      PostMessageA(hwnd, WM_CLOSE, 0, 0);
      break;
    case IDM_CONNECT:
      ConnectCommand(hwnd);
      break;
    default:
      if (id >= IDM_FIRST && id <= IDM_LAST) MenuCommand(hwnd, id);
      break;  // identifiers outside the menu's range are ignored
  }
}

void CommTcp::onChar(HWND hwnd, WPARAM ch, LPARAM lParam) {
  terminalMode &= kMode3270;  // only the four negotiation bits count
  if (connected == 0) {
    MessageBoxA(nullptr, "Please Connect to a host First", "Connect First", MB_OK);
    return;
  }
  const unsigned repeat = LOWORD(lParam);
  if (repeat == 0) return;
  if (terminalMode != kMode3270) {
    CharVt100(hwnd, ch, lParam);
    return;
  }
  // Each repeat is a key of its own. The repeats stop once one of them has
  // closed the window or the window is to close (the host has gone, and every
  // further send would only fail with a message box of its own).
  for (unsigned i = 0; i < repeat && WindowHolds(hwnd, *this) && !ClosePending(hwnd); ++i)
    Char3270(hwnd, ch, lParam);
}

void CommTcp::onTimer(HWND hwnd, WPARAM id) {
  if (id == kLayoutTimer) {
    PostMessageA(hwnd, WM_LAYOUT, 0, 0);
    KillTimer(hwnd, kLayoutTimer);
    return;
  }
  if (id == kBlinkTimer) {
    blinkHidden = !blinkHidden;
    if (terminalMode == kMode3270 && modelEngine()) RepaintScreen(hwnd);
    return;
  }
  if (id != kKeepAliveTimer) return;
  // Keeps an idle session alive: "ls" and four Returns, typed as keys.
  static const unsigned char keys[] = {'l', 's', '\r', '\r', '\r', '\r'};
  for (unsigned char key : keys) SendMessageA(hwnd, WM_CHAR, key, 1);
}

LRESULT CommTcp::WndObjectCallBackProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  ++NestingOf(hwnd).handlers;
  LRESULT result = 0;
  switch (message) {
    case WM_CREATE:
      onCreate(hwnd, wParam, lParam);
      break;
    case WM_DESTROY:
      ReleaseBackgroundBrush(hwnd);
      ReleaseCellCaretShape(hwnd);
      PostQuitMessage(0);
      break;
    case WM_SIZE:
      onSize(hwnd, lParam);
      break;
    case WM_SETFOCUS:
      onSetFocus(hwnd);
      break;
    case WM_KILLFOCUS:
      HideCaret(hwnd);
      DestroyCellCaret(hwnd);
      break;
    case WM_PAINT:
      onPaint(hwnd);
      break;
    case WM_CLOSE: {
      // A handler that shows a message box or a dialog runs a message loop of
      // its own, in which the window can be asked to close (the host closing
      // the connection, a signal). Closing destroys the terminal object, so
      // while an earlier handler is still running the close waits for it.
      WindowNesting& n = NestingOf(hwnd);
      if (n.handlers > 1)
        n.closePending = true;  // done when the outermost handler returns
      else
        closeTerminal(*this, hwnd);
      break;
    }
    case WM_KEYDOWN:
      if (terminalMode == kMode3270)
        KeyDown3270(hwnd, wParam, lParam);
      else
        KeyDownVt100(hwnd, wParam, lParam);
      break;
    case WM_CHAR:
      onChar(hwnd, wParam, lParam);
      break;
    case WM_COMMAND:
      onCommand(hwnd, static_cast<UINT>(wParam));
      break;
    case WM_SYSCOMMAND:
      // F10 and Alt belong to the emulation: they never open the menu bar.
      if ((wParam & 0xFFF0) == SC_KEYMENU)
        SendMessageA(hwnd, WM_KEYDOWN, VK_F10, 0);
      else
        result = DefWindowProcA(hwnd, message, wParam, lParam);
      break;
    case WM_TIMER:
      onTimer(hwnd, wParam);
      break;
    case WM_HSCROLL:
    case WM_MOUSEMOVE:
      break;
    case WM_VSCROLL:
      onVScroll(hwnd, wParam);
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
      onMouse(hwnd, message, lParam);
      break;
    case WM_LAYOUT:
      onLayout(hwnd);
      break;
    case WM_WSAASYNC:
      result = OnSocketMessage(hwnd, wParam, lParam);
      break;
    default:
      result = DefWindowProcA(hwnd, message, wParam, lParam);
      break;
  }
  // Only the window handle is used from here on: the object may be gone.
  WindowNesting& n = NestingOf(hwnd);
  if (--n.handlers <= 0) {
    const bool close = n.closePending;
    n.handlers = 0;
    n.closePending = false;
    ReleaseNesting(hwnd);
    if (close && WindowHolds(hwnd, *this))
      closeTerminal(*this, hwnd);
  }
  return result;
}
