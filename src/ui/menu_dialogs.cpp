// The escape-sequence dialog and the About box.
#include <cstdio>
#include <cstring>

#include "ui/center_wnd.h"
#include "ui/menu_commands.h"
#include "ui/resource.h"

int ConvertEscapeText(char* text, int size) {
  if (text == nullptr || size <= 0) return 0;
  int in = 0;
  int out = 0;
  while (in < size && text[in] != '\0') {
    if (text[in] == '^' && in + 1 < size && text[in + 1] == '[') {
      text[out++] = '\x1B';
      in += 2;
    } else {
      text[out++] = text[in++];
    }
  }
  // The result is never longer than the text, so the terminator fits unless the
  // text filled the whole buffer without one.
  if (out == size) --out;
  text[out] = '\0';
  return out;
}

extern "C" {

INT_PTR CALLBACK Dlg_Escape(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      CenterWnd(dialog);
      // The caller's buffer stays with the dialog until it ends.
      SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        if (char* buffer = reinterpret_cast<char*>(GetWindowLongPtrA(dialog, GWLP_USERDATA)))
          GetDlgItemTextA(dialog, IDC_ESCAPETEXT, buffer, ESCAPE_TEXT_SIZE);
        EndDialog(dialog, 1);
        return 1;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
        return 1;
      }
      return 0;
    default:
      return 0;
  }
}

INT_PTR CALLBACK Dlg_About(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      char line[64];
      std::snprintf(line, sizeof line, "(Compiled: %s, %s)\n", __DATE__, __TIME__);
      SetDlgItemTextA(dialog, IDC_COMPILED, line);
      return 1;
    }
    case WM_COMMAND:
      // OK ends the box; so does Escape (Cancel), which the box has no button for.
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam) == IDOK ? 1 : 0);
        return 1;
      }
      return 0;
    default:
      return 0;
  }
}

}  // extern "C"
