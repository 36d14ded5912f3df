#include "app/shell.h"

#include <new>

#include "terminal/comm_tcp.h"
#include "ui/resource.h"

namespace {

// The program that registered the class: the class and its windows belong to it.
HINSTANCE g_callerInstance = nullptr;

// The module holding the menu, dialogs and icon: this library itself, whichever
// program loaded it (quillon.exe or an embedder).
HINSTANCE resourceModule() {
  static HMODULE module = nullptr;
  if (!module &&
      !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCSTR>(&resourceModule), &module))
    module = nullptr;
  return module;
}

const char kOutOfMemoryText[] =
    "You are running out of memory,please close some applications and start this program again";

CommTcp* terminalOf(HWND hwnd) { return reinterpret_cast<CommTcp*>(GetWindowLongPtrA(hwnd, 0)); }

}  // namespace

extern "C" {

int ncTcpWSARegWSAStartup(void) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return 0;
  if (LOBYTE(data.wVersion) == 1 && HIBYTE(data.wVersion) == 1) return 1;
  WSACleanup();
  return 0;
}

int ncTcpWSARegWSACleanup(void) { return WSACleanup(); }

int ncTcpRegisterClass(int style, HINSTANCE instance) {
  // A null instance means the calling program, as RegisterClass itself reads it.
  g_callerInstance = instance ? instance : GetModuleHandleA(nullptr);
  WNDCLASSA wc{};
  wc.style = static_cast<UINT>(style) | QUILLON_CLASS_STYLE;
  wc.lpfnWndProc = WndSockCallBackProc;
  wc.cbClsExtra = 0;
  wc.cbWndExtra = sizeof(void*);  // slot 0: the terminal object
  wc.hInstance = g_callerInstance;
  wc.hIcon = LoadIconA(resourceModule(), MAKEINTRESOURCEA(IDI_QUILLON));
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(QUILLON_CLASS_BRUSH));
  wc.lpszMenuName = QUILLON_CLASS_NAME;
  wc.lpszClassName = QUILLON_CLASS_NAME;
  return RegisterClassA(&wc) != 0 ? 1 : 0;
}

int ncTcpCreateSocketObj(HWND* window, HWND parent, LPCSTR title, DWORD style, HINSTANCE) {
  if (!window) return 0;
  HMENU menu = LoadMenuA(resourceModule(), MAKEINTRESOURCEA(IDR_MAINMENU));
  *window = CreateWindowExA(0, QUILLON_CLASS_NAME, title, style, 0, 0, QUILLON_WINDOW_WIDTH,
                            QUILLON_WINDOW_HEIGHT, parent, menu, g_callerInstance, nullptr);
  if (!*window && menu) DestroyMenu(menu);
  return 0;
}

int ncTcpDestroySocketObj(HWND window) {
  PostMessageA(window, WM_CLOSE, 0, 0);
  return 1;
}

LRESULT CALLBACK WndSockCallBackProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CommTcp* terminal = terminalOf(hwnd);
  switch (message) {
    case WM_CREATE: {
      CommTcp* created = new (std::nothrow) CommTcp;
      if (!created) {
        MessageBoxA(hwnd, kOutOfMemoryText, "Out Of Memory", MB_OK | MB_ICONWARNING);
        ExitProcess(0);
      }
      if (!created->ComTcpInit()) {
        delete created;
        ExitProcess(0);
      }
      SetWindowLongPtrA(hwnd, 0, reinterpret_cast<LONG_PTR>(created));
      created->windowHandle = hwnd;
      created->instanceHandle = resourceModule();  // the dialogs' templates live there
      return created->WndObjectCallBackProc(hwnd, message, wParam, lParam);
    }
    case WM_DESTROY: {
      if (!terminal) return DefWindowProcA(hwnd, message, wParam, lParam);
      const LRESULT result = terminal->WndObjectCallBackProc(hwnd, message, wParam, lParam);
      SetWindowLongPtrA(hwnd, 0, 0);
      delete terminal;
      return result;
    }
    default:
      if (terminal) return terminal->WndObjectCallBackProc(hwnd, message, wParam, lParam);
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

}  // extern "C"
