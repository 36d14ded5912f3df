// The Windows entry point of quillon-script.exe, a console program. The
// terminal's message boxes would wait for a user: a hook on this thread takes
// each one's text for the script and closes it at once.
#ifdef _WIN32

#include <string>

#include "platform/win32.h"
#include "script/script_main.h"

namespace {

HHOOK g_hook = nullptr;

LRESULT CALLBACK onWindow(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    HWND box = reinterpret_cast<HWND>(wParam);
    char className[16] = {};
    GetClassNameA(box, className, sizeof className);
    if (std::string(className) == "#32770") {
      char text[1024] = {};
      GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the message box's text
      NoteScriptMessageBox(text);
      PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
  }
  return CallNextHookEx(g_hook, code, wParam, lParam);
}

}  // namespace

bool ScriptInputWaiting() {
  const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  switch (GetFileType(in)) {
    case FILE_TYPE_PIPE: {
      DWORD available = 0;
      // A pipe whose writer has gone fails: the read then sees the end.
      return !PeekNamedPipe(in, nullptr, 0, nullptr, &available, nullptr) || available > 0;
    }
    case FILE_TYPE_CHAR:
      return WaitForSingleObject(in, 0) == WAIT_OBJECT_0;
    default:
      return true;  // a file: never waits
  }
}

int main(int argc, char** argv) {
  g_hook = SetWindowsHookExA(WH_CBT, onWindow, nullptr, GetCurrentThreadId());
  const int result = ScriptMain(argc, argv);
  if (g_hook) UnhookWindowsHookEx(g_hook);
  return result;
}

#endif  // _WIN32
