// The application shell: socket layer start-up, the main window class and its
// window procedure, creating and closing the terminal window.
#pragma once

#include "platform/win32.h"
#include "quillon_api.h"

// The class of the terminal window.
#define QUILLON_CLASS_NAME "KESTO3270L"
// Style bits the class always has: CS_VREDRAW, CS_HREDRAW, CS_DBLCLKS, CS_OWNDC.
#define QUILLON_CLASS_STYLE 0x2B
// The stock brush the class is registered with, until a window installs its own.
#define QUILLON_CLASS_BRUSH BLACK_BRUSH
// The main window: popup, visible, caption, both scroll bars, system menu,
// sizing border, minimise and maximise boxes.
#define QUILLON_WINDOW_STYLE 0x90FF0000
#define QUILLON_WINDOW_WIDTH 750
#define QUILLON_WINDOW_HEIGHT 540
// The font file added at start and removed at exit.
#define QUILLON_FONT_FILE "quillon100.fon"

extern "C" {
QUILLON_API int ncTcpWSARegWSAStartup(void);
QUILLON_API int ncTcpWSARegWSACleanup(void);
QUILLON_API int ncTcpRegisterClass(int style, HINSTANCE instance);
QUILLON_API int ncTcpCreateSocketObj(HWND* window, HWND parent, LPCSTR title, DWORD style, HINSTANCE instance);
QUILLON_API int ncTcpDestroySocketObj(HWND window);
QUILLON_API LRESULT CALLBACK WndSockCallBackProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
QUILLON_API void WindowScreenSetting(HWND hwnd, int* cellWidth, int* cellHeight);
}
