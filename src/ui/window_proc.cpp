// The terminal window's message handler.
#include "app/shell.h"
#include "net/center_wnd.h"
#include "net/connection.h"
#include "ui/resource.h"
#include "terminal/comm_tcp.h"

void CommTcp::onCreate(HWND hwnd, WPARAM wParam, LPARAM lParam) {
  HBRUSH brush = CreateSolidBrush(backgroundColor);
  if (SetClassLongPtrA(hwnd, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(brush)) == 0)
    MessageBoxA(hwnd, " Error in Color Change", " Error", MB_OK);
  if (HGDIOBJ previous = SelectObject(deviceContext, brush)) DeleteObject(previous);
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
      break;  // identifiers outside the menu's range are ignored
  }
}

LRESULT CommTcp::WndObjectCallBackProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      onCreate(hwnd, wParam, lParam);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_CLOSE:
      if (socketHandle != INVALID_SOCKET) {
        closesocket(socketHandle);
        socketHandle = INVALID_SOCKET;
      }
      if (traceFile) {
        fclose(traceFile);
        traceFile = nullptr;
      }
      DestroyWindow(hwnd);  // deletes this object: nothing of it is touched after
      return 0;
    case WM_COMMAND:
      onCommand(hwnd, static_cast<UINT>(wParam));
      return 0;
    case WM_WSAASYNC:
      return OnSocketMessage(hwnd, wParam, lParam);
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}
