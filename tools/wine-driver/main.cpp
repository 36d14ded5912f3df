// Drives a running quillon.exe from outside, the way a user would, for the
// smoke tests under Wine: it finds the main window by its class, opens the
// host dialog through the Connect command, fills it in, types characters,
// reports where the window and its caret are on the screen and closes it.
//
//   quillon-driver wait SECONDS        wait for the visible main window; print its title
//   quillon-driver connect HOST vt100|3270
//   quillon-driver type TEXT           characters as typed ("\r" in TEXT is Enter)
//   quillon-driver client              print the client area on the screen: x y width height
//   quillon-driver caret               print the main window's caret in its client area: x y width height
//   quillon-driver close               post WM_CLOSE to the main window
//
// Every command exits 0 on success and 1, with a message, on failure.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/shell.h"
#include "ui/resource.h"

namespace {

const char kHostDialogCaption[] = "Destination Host";

HWND mainWindow() { return FindWindowA(QUILLON_CLASS_NAME, nullptr); }

int fail(const char* what) {
  std::fprintf(stderr, "quillon-driver: %s\n", what);
  return 1;
}

// Polls `found` every 100 ms for up to `seconds`.
template <typename F>
HWND waitFor(double seconds, F found) {
  for (int waited = 0; waited <= static_cast<int>(seconds * 1000); waited += 100) {
    if (HWND w = found()) return w;
    Sleep(100);
  }
  return nullptr;
}

int waitMain(double seconds) {
  HWND w = waitFor(seconds, [] {
    HWND m = mainWindow();
    return (m && IsWindowVisible(m)) ? m : nullptr;
  });
  if (!w) return fail("no visible main window");
  char title[256] = "";
  GetWindowTextA(w, title, sizeof title);
  std::printf("%s\n", title);
  return 0;
}

// The Connect command opens the modal host dialog inside quillon.exe; it is
// found by its caption among the windows owned by the main window.
int connect(const char* host, const char* type) {
  HWND main = mainWindow();
  if (!main) return fail("no main window");
  const bool vt100 = std::strcmp(type, "vt100") == 0;
  if (!vt100 && std::strcmp(type, "3270") != 0) return fail("terminal type must be vt100 or 3270");
  PostMessageA(main, WM_COMMAND, IDM_CONNECT, 0);
  HWND dialog = waitFor(10, [main] {
    HWND d = FindWindowA(nullptr, kHostDialogCaption);
    return (d && GetWindow(d, GW_OWNER) == main && IsWindowVisible(d)) ? d : nullptr;
  });
  if (!dialog) return fail("the host dialog did not open");
  if (!SetDlgItemTextA(dialog, IDC_HOSTNAME, host)) return fail("cannot set the host name");
  SendDlgItemMessageA(dialog, vt100 ? IDC_VT100 : IDC_IBM3270, BM_CLICK, 0, 0);
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  if (waitFor(10, [dialog] { return IsWindow(dialog) ? nullptr : dialog; }) == nullptr)
    return fail("the host dialog did not close");
  return 0;
}

// "\r" and "\n" written as two characters in TEXT stand for Enter.
int type(const char* text) {
  HWND main = mainWindow();
  if (!main) return fail("no main window");
  for (const char* p = text; *p; ++p) {
    char c = *p;
    if (c == '\\' && (p[1] == 'r' || p[1] == 'n')) {
      c = '\r';
      ++p;
    }
    PostMessageA(main, WM_CHAR, static_cast<unsigned char>(c), 1);
  }
  return 0;
}

int client() {
  HWND main = mainWindow();
  if (!main) return fail("no main window");
  RECT r;
  POINT origin{0, 0};
  if (!GetClientRect(main, &r) || !ClientToScreen(main, &origin)) return fail("no client area");
  std::printf("%ld %ld %ld %ld\n", static_cast<long>(origin.x), static_cast<long>(origin.y),
              static_cast<long>(r.right - r.left), static_cast<long>(r.bottom - r.top));
  return 0;
}

// Where the program has put its caret (as the system holds it), not whether it
// can be seen: that only a screenshot tells.
int caret() {
  HWND main = mainWindow();
  if (!main) return fail("no main window");
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info)) return fail("no thread information");
  if (info.hwndCaret != main) return fail("the main window has no caret");
  const RECT& r = info.rcCaret;
  std::printf("%ld %ld %ld %ld\n", static_cast<long>(r.left), static_cast<long>(r.top),
              static_cast<long>(r.right - r.left), static_cast<long>(r.bottom - r.top));
  return 0;
}

int close() {
  HWND main = mainWindow();
  if (!main) return fail("no main window");
  return PostMessageA(main, WM_CLOSE, 0, 0) ? 0 : fail("cannot post WM_CLOSE");
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "wait" && argc == 3) return waitMain(std::atof(argv[2]));
  if (command == "connect" && argc == 4) return connect(argv[2], argv[3]);
  if (command == "type" && argc == 3) return type(argv[2]);
  if (command == "client" && argc == 2) return client();
  if (command == "caret" && argc == 2) return caret();
  if (command == "close" && argc == 2) return close();
  std::fprintf(stderr,
               "usage: quillon-driver wait SECONDS | connect HOST vt100|3270 | type TEXT | client | caret | close\n");
  return 2;
}
