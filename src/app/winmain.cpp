// The program's entry point: the first embedder of the quillon library.
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "app/shell.h"

namespace {

// The font file this program added, for removing it at exit.
char g_fontFile[MAX_PATH] = QUILLON_FONT_FILE;

// The font file in the current directory; without one there, the one beside
// the program, or in the share directory of an installed tree
// (bin/../share/quillon).
void addFontFile() {
  std::strcpy(g_fontFile, QUILLON_FONT_FILE);
  if (AddFontResourceA(QUILLON_FONT_FILE)) return;
  char program[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
  if (length == 0 || length >= sizeof program) return;
  size_t directory = length;  // the length of the program's directory, its separator included
  while (directory > 0 && program[directory - 1] != '/' && program[directory - 1] != '\\') --directory;
  if (directory == 0) return;
  for (const char* under : {"", "../share/quillon/"}) {
    char candidate[MAX_PATH];
    const int n = std::snprintf(candidate, sizeof candidate, "%.*s%s%s", static_cast<int>(directory), program, under,
                                QUILLON_FONT_FILE);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof candidate) continue;
    if (AddFontResourceA(candidate)) {
      std::strcpy(g_fontFile, candidate);
      return;
    }
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  addFontFile();
  if (!ncTcpWSARegWSAStartup()) {
    RemoveFontResourceA(g_fontFile);
    return 0;
  }

  HWND window = nullptr;
  if (ncTcpRegisterClass(3, instance)) ncTcpCreateSocketObj(&window, nullptr, "Quillon", QUILLON_WINDOW_STYLE, instance);
  if (!window) {
    // Without its window the program has nothing to run.
    ncTcpWSARegWSACleanup();
    RemoveFontResourceA(g_fontFile);
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
  RemoveFontResourceA(g_fontFile);
  return static_cast<int>(msg.wParam);
}
