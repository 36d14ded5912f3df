// The program's entry point: the first embedder of the quillon library.
#include "app/shell.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  AddFontResourceA(QUILLON_FONT_FILE);
  if (!ncTcpWSARegWSAStartup()) return 0;

  HWND window = nullptr;
  if (ncTcpRegisterClass(3, instance)) ncTcpCreateSocketObj(&window, nullptr, "Quillon", QUILLON_WINDOW_STYLE, instance);
  if (!window) {
    // Without its window the program has nothing to run.
    ncTcpWSARegWSACleanup();
    RemoveFontResourceA(QUILLON_FONT_FILE);
    return 1;
  }
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);

  MSG msg{};
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  ncTcpWSARegWSACleanup();
  // Remove the font file this program added, and no other.
  RemoveFontResourceA(QUILLON_FONT_FILE);
  return static_cast<int>(msg.wParam);
}
