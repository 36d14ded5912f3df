#include "portable.h"

#include <cstdlib>
#include <filesystem>
#include <set>
#include <system_error>

#include "app/shell.h"

#ifndef _WIN32
#include <stdlib.h>
#include <unistd.h>
#endif

namespace portable {

std::string currentDirectory() {
  std::error_code ec;
  std::string dir = std::filesystem::current_path(ec).string();
  return ec ? std::string() : dir;
}

bool changeDirectory(const std::string& path) {
  std::error_code ec;
  std::filesystem::current_path(path, ec);
  return !ec;
}

void removeTree(const std::string& path) {
  if (path.empty()) return;
  std::error_code ec;
  // A test that stopped early may have left a directory without write or search rights.
  for (const auto& e : std::filesystem::recursive_directory_iterator(path, ec)) {
    std::error_code ignored;
    if (e.is_directory(ignored)) {
      std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                   ignored);
    } else {
      std::filesystem::permissions(e.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                                   std::filesystem::perm_options::add, ignored);
    }
  }
  std::filesystem::remove_all(path, ec);
}

std::string textFileBytes(const std::string& text) {
#ifdef _WIN32
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
#else
  return text;
#endif
}

#ifndef _WIN32

std::string makeScratchDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quillon-test-XXXXXX").string();
  return mkdtemp(pattern.data()) ? pattern : std::string();
}

void setEnvironment(const char* name, const char* value) {
  if (value) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
}

bool underWine() { return false; }
void resetPlatform() { posix::testing::resetPlatform(); }
void pumpUntilIdle() { posix::testing::pumpUntilIdle(); }
void pumpFor(int milliseconds) { posix::testing::pumpFor(milliseconds); }
int quitCode() { return posix::testing::quitCode(); }
int liveGdiObjects() { return posix::testing::liveGdiObjects(); }
void setShift(HWND window, bool down) {
  PostMessageA(window, down ? WM_KEYDOWN : WM_KEYUP, VK_SHIFT, 0);
  pumpUntilIdle();
}
const std::vector<MessageBoxRecord>& messageBoxes() { return posix::testing::messageBoxes(); }
void clearMessageBoxes() { posix::testing::clearMessageBoxes(); }
void setMessageBoxHandler(std::function<int(const MessageBoxRecord&)> handler) {
  posix::testing::setMessageBoxHandler(std::move(handler));
}

#else  // _WIN32

namespace {

std::vector<MessageBoxRecord> g_boxes;
std::function<int(const MessageBoxRecord&)> g_handler;
std::set<HWND> g_answered;
HHOOK g_hook = nullptr;
int g_quitCode = -1;

// How long the queue must stay empty before the pumps call it idle: socket
// notifications are posted by the system a moment after the data moved.
constexpr DWORD kSettleMs = 30;
// No pump runs longer than this, whatever keeps posting.
constexpr DWORD kPumpLimitMs = 10000;

std::string textOf(HWND hwnd) {
  char buffer[4096];
  const int n = GetWindowTextA(hwnd, buffer, sizeof buffer);
  return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

std::string classOf(HWND hwnd) {
  char buffer[256];
  const int n = GetClassNameA(hwnd, buffer, sizeof buffer);
  return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

BOOL CALLBACK collectText(HWND child, LPARAM param) {
  const LONG style = GetWindowLongA(child, GWL_STYLE);
  if (classOf(child) == "Static" && (style & SS_TYPEMASK) != SS_ICON) {
    std::string text = textOf(child);
    if (!text.empty()) {
      std::string* out = reinterpret_cast<std::string*>(param);
      if (!out->empty()) *out += '\n';
      *out += text;
    }
  }
  return TRUE;
}

UINT buttonSetOf(HWND box) {
  const bool yes = GetDlgItem(box, IDYES) != nullptr, no = GetDlgItem(box, IDNO) != nullptr;
  const bool cancel = GetDlgItem(box, IDCANCEL) != nullptr;
  if (yes && no) return cancel ? MB_YESNOCANCEL : MB_YESNO;
  if (GetDlgItem(box, IDRETRY)) return MB_RETRYCANCEL;
  return cancel ? MB_OKCANCEL : MB_OK;
}

// Answers each dialog as it is first activated: a message box (a dialog of the
// system's own module) is logged and gets the handler's button or IDOK; any
// other dialog is cancelled, as Escape would.
LRESULT CALLBACK answerDialogs(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_DESTROYWND) g_answered.erase(reinterpret_cast<HWND>(wParam));
  if (code == HCBT_ACTIVATE) {
    HWND dialog = reinterpret_cast<HWND>(wParam);
    if (classOf(dialog) == "#32770" && g_answered.insert(dialog).second) {
      const HINSTANCE owner = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
      int answer = IDCANCEL;
      if (owner != GetModuleHandleA(nullptr)) {
        MessageBoxRecord box{GetWindow(dialog, GW_OWNER), std::string(), textOf(dialog), buttonSetOf(dialog)};
        EnumChildWindows(dialog, collectText, reinterpret_cast<LPARAM>(&box.text));
        g_boxes.push_back(box);
        answer = g_handler ? g_handler(box) : IDOK;
      }
      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
    }
  }
  return CallNextHookEx(g_hook, code, wParam, lParam);
}

BOOL CALLBACK collectTerminals(HWND hwnd, LPARAM param) {
  if (classOf(hwnd) == QUILLON_CLASS_NAME) reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
  return TRUE;
}

// Dispatches what is ready; false when nothing was.
bool dispatchReady() {
  bool any = false;
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    any = true;
    if (msg.message == WM_QUIT) {
      g_quitCode = static_cast<int>(msg.wParam);
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return any;
}

}  // namespace

std::string makeScratchDirectory() {
  static unsigned counter = 0;
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path dir = base / ("quillon-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                                             std::to_string(GetTickCount()) + "-" + std::to_string(++counter));
    std::error_code ec;
    if (std::filesystem::create_directory(dir, ec)) return dir.string();
  }
  return std::string();
}

bool underWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

void setEnvironment(const char* name, const char* value) {
  _putenv_s(name, value ? value : "");  // an empty value removes the variable
  SetEnvironmentVariableA(name, value);
}

void resetPlatform() {
  if (!g_hook) g_hook = SetWindowsHookExA(WH_CBT, answerDialogs, nullptr, GetCurrentThreadId());
  std::vector<HWND> terminals;
  EnumThreadWindows(GetCurrentThreadId(), collectTerminals, reinterpret_cast<LPARAM>(&terminals));
  for (HWND hwnd : terminals) {
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
  }
  UnregisterClassA(QUILLON_CLASS_NAME, GetModuleHandleA(nullptr));
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
  g_quitCode = -1;
  g_boxes.clear();
  g_handler = nullptr;
}

void pumpUntilIdle() {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < kPumpLimitMs) {
    dispatchReady();
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, kSettleMs, QS_ALLINPUT) == WAIT_TIMEOUT) {
      if (!dispatchReady()) return;
    }
  }
}

void pumpFor(int milliseconds) {
  const DWORD start = GetTickCount();
  for (;;) {
    dispatchReady();
    const DWORD spent = GetTickCount() - start;
    if (spent >= static_cast<DWORD>(milliseconds)) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(milliseconds) - spent, QS_ALLINPUT);
  }
}

int quitCode() { return g_quitCode; }
int liveGdiObjects() { return static_cast<int>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)); }

void setShift(HWND, bool down) {
  BYTE state[256];
  GetKeyboardState(state);
  state[VK_SHIFT] = down ? 0x80 : 0;
  state[VK_LSHIFT] = state[VK_SHIFT];
  SetKeyboardState(state);
}
const std::vector<MessageBoxRecord>& messageBoxes() { return g_boxes; }
void clearMessageBoxes() { g_boxes.clear(); }
void setMessageBoxHandler(std::function<int(const MessageBoxRecord&)> handler) { g_handler = std::move(handler); }

#endif  // _WIN32

}  // namespace portable
