// The dialog manager's keyboard: IsDialogMessageA (Tab and Shift+Tab between
// tab stops, the arrow keys within a group, Enter for the default button,
// Escape for IDCANCEL, mnemonics), and the test helpers that act on a dialog
// as a user would.
#include <cctype>

#include "platform/posix/dialog.h"
#include "platform/posix/internal.h"
#include "platform/posix/testing.h"

namespace posix {
namespace {

// The direct child of `dialog` that holds the focus, or nullptr.
HWND focusedControl(HWND dialog) {
  HWND h = GetFocus();
  while (h) {
    Window* w = findWindow(h);
    if (!w || !(w->style & WS_CHILD)) return nullptr;
    if (w->parent == dialog) return h;
    h = w->parent;
  }
  return nullptr;
}

bool isAutoRadio(HWND h) {
  Window* w = findWindow(h);
  return w && w->cls->name == "Button" && (w->style & BS_TYPEMASK) == BS_AUTORADIOBUTTON;
}

// Enter: WM_COMMAND for a focused push button, else the default button (IDOK without one).
void pressEnter(HWND dialog) {
  int id = IDOK;
  const HWND button = enterButton(dialog, &id);
  if (button && !IsWindowEnabled(button)) {
    Beep(0, 0);
    return;
  }
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

// A mnemonic (the letter after '&' in a control's text): a button is clicked, a
// label passes the focus to the control after it, anything else takes the focus.
bool pressMnemonic(HWND dialog, unsigned char c) {
  if (!std::isalnum(c)) return false;
  const char wanted = static_cast<char>(std::tolower(c));
  const std::vector<HWND> children = dialogChildren(dialog);
  const size_t n = children.size();
  size_t start = n - 1;
  if (HWND focus = focusedControl(dialog))
    for (size_t i = 0; i < n; ++i)
      if (children[i] == focus) start = i;
  for (size_t k = 1; k <= n; ++k) {
    const HWND h = children[(start + k) % n];
    Window* w = findWindow(h);
    if (!w || !(w->style & WS_VISIBLE) || !w->enabled || mnemonicOf(w->text) != wanted) continue;
    const LRESULT code = SendMessageA(h, WM_GETDLGCODE, 0, 0);
    if (code & DLGC_STATIC) {
      if (HWND next = GetNextDlgTabItem(dialog, h, FALSE)) setDialogFocus(dialog, next);
    } else if (code & DLGC_BUTTON) {
      SendMessageA(h, BM_CLICK, 0, 0);
    } else {
      setDialogFocus(dialog, h);
    }
    return true;
  }
  return false;
}

LPARAM keyParam(bool up) { return up ? static_cast<LPARAM>(0xC0000001u) : 1; }

}  // namespace
}  // namespace posix

using namespace posix;

extern "C" BOOL WINAPI IsDialogMessageA(HWND dialog, LPMSG msg) {
  if (!msg || !findWindow(dialog)) return FALSE;
  if (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd)) return FALSE;
  switch (msg->message) {
    case WM_KEYDOWN: {
      const LRESULT code = SendMessageA(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
      if (!IsWindow(dialog)) return TRUE;
      if (code & DLGC_WANTMESSAGE) break;
      switch (msg->wParam) {
        case VK_TAB: {
          if (code & DLGC_WANTTAB) break;
          const HWND next = GetNextDlgTabItem(dialog, focusedControl(dialog), GetKeyState(VK_SHIFT) < 0);
          if (next) setDialogFocus(dialog, next);
          return TRUE;
        }
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN: {
          if (code & DLGC_WANTARROWS) break;
          const HWND focus = focusedControl(dialog);
          if (!focus) return TRUE;
          const bool back = msg->wParam == VK_LEFT || msg->wParam == VK_UP;
          const HWND next = GetNextDlgGroupItem(dialog, focus, back);
          if (next && next != focus) {
            setDialogFocus(dialog, next);
            // Moving onto an automatic radio button selects it.
            if (isAutoRadio(next) && IsWindow(next)) SendMessageA(next, BM_CLICK, 0, 0);
          }
          return TRUE;
        }
        case VK_RETURN: pressEnter(dialog); return TRUE;
        case VK_ESCAPE: cancelDialog(dialog); return TRUE;
        default: break;
      }
      break;
    }
    case WM_CHAR: {
      const LRESULT code = SendMessageA(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
      if (!IsWindow(dialog)) return TRUE;
      if (code & (DLGC_WANTCHARS | DLGC_WANTMESSAGE)) break;
      if (pressMnemonic(dialog, static_cast<unsigned char>(msg->wParam))) return TRUE;
      break;
    }
    case WM_SYSCHAR:
      if (pressMnemonic(dialog, static_cast<unsigned char>(msg->wParam))) return TRUE;
      break;
    default: break;
  }
  TranslateMessage(msg);
  DispatchMessageA(msg);
  return TRUE;
}

namespace posix {
namespace testing {

void pumpDialog(HWND dialog) {
  // A procedure that never validates would repaint forever; bound the pump.
  MSG msg;
  for (int i = 0; i < 100000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (!IsWindow(dialog) || !IsDialogMessageA(dialog, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

bool pressButton(HWND dialog, int id) {
  const HWND control = GetDlgItem(dialog, id);
  Window* w = findWindow(control);
  if (!w || !(w->style & WS_VISIBLE) || !w->enabled) return false;
  RECT r{};
  GetClientRect(control, &r);
  const LPARAM middle = MAKELPARAM(r.right / 2, r.bottom / 2);
  PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, middle);
  PostMessageA(control, WM_LBUTTONUP, 0, middle);
  pumpDialog(dialog);
  return true;
}

bool typeInto(HWND dialog, int id, const std::string& text) {
  const HWND control = GetDlgItem(dialog, id);
  Window* w = findWindow(control);
  if (!w || !(w->style & WS_VISIBLE) || !w->enabled) return false;
  SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
  for (char c : text) PostMessageA(control, WM_CHAR, static_cast<unsigned char>(c), 1);
  pumpDialog(dialog);
  return true;
}

void sendKey(HWND dialog, UINT virtualKey, bool shift) {
  HWND target = focusedControl(dialog);
  if (!target) target = dialog;
  if (shift) PostMessageA(target, WM_KEYDOWN, VK_SHIFT, keyParam(false));
  PostMessageA(target, WM_KEYDOWN, virtualKey, keyParam(false));
  PostMessageA(target, WM_KEYUP, virtualKey, keyParam(true));
  if (shift) PostMessageA(target, WM_KEYUP, VK_SHIFT, keyParam(true));
  pumpDialog(dialog);
}

bool chooseItem(HWND dialog, int id, int index) {
  const HWND control = GetDlgItem(dialog, id);
  Window* w = findWindow(control);
  if (!w || !(w->style & WS_VISIBLE) || !w->enabled) return false;
  setDialogFocus(dialog, control);
  SendMessageA(control, CB_SHOWDROPDOWN, TRUE, 0);
  const bool chosen = chooseComboItem(control, index);
  pumpDialog(dialog);
  return chosen;
}

}  // namespace testing
}  // namespace posix
