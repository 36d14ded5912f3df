// The dialog manager: dialogs made from the resource script's DIALOG templates,
// the modal loop of DialogBoxParamA, the default dialog procedure, and the
// functions that reach a dialog's controls by id.
//
// A modal dialog disables its owner and runs a nested GetMessageA loop that keeps
// dispatching posted messages, paints, timers and socket events for every window;
// the dialog's keys go through IsDialogMessageA. When the loop has nothing ready it
// asks the display whether to wait; a display without a user (headless) says no and
// the dialog is cancelled as Escape would cancel it, so a test never hangs.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

#include "platform/posix/dialog.h"
#include "platform/posix/display.h"
#include "platform/posix/internal.h"

namespace posix {
namespace {

struct DialogState {
  HWND handle = nullptr;
  HWND owner = nullptr;
  bool modal = false;
  bool ended = false;
  INT_PTR result = 0;
  bool disabledOwner = false;  // re-enable the owner when the dialog ends
  HWND focus = nullptr;        // the control that had the focus last
  bool hasDefaultId = false;   // set by DM_SETDEFID
  int defaultId = 0;
  HFONT font = nullptr;  // made from the template's FONT, freed with the dialog
};

std::map<HWND, std::shared_ptr<DialogState>>& dialogs() {
  static std::map<HWND, std::shared_ptr<DialogState>> all;
  return all;
}

std::vector<HWND>& dialogOrder() {
  static std::vector<HWND> order;
  return order;
}

std::shared_ptr<DialogState> stateOf(HWND dialog) {
  auto it = dialogs().find(dialog);
  return it == dialogs().end() ? nullptr : it->second;
}

int dlgToPixelsX(int units) { return static_cast<int>(static_cast<long long>(units) * kDialogBaseX / 4); }
int dlgToPixelsY(int units) { return static_cast<int>(static_cast<long long>(units) * kDialogBaseY / 8); }

bool ownVisible(HWND h) {
  Window* w = findWindow(h);
  return w && (w->style & WS_VISIBLE);
}

bool tabbable(HWND h) {
  Window* w = findWindow(h);
  return w && (w->style & WS_VISIBLE) && (w->style & WS_TABSTOP) && w->enabled;
}

bool usable(HWND h) {
  Window* w = findWindow(h);
  return w && (w->style & WS_VISIBLE) && w->enabled;
}

void registerDialogClass() {
  const DWORD error = GetLastError();
  WNDCLASSA wc{};
  if (!GetClassInfoA(nullptr, kDialogClass, &wc)) {
    wc = WNDCLASSA{};
    wc.style = CS_DBLCLKS | CS_SAVEBITS | CS_GLOBALCLASS;
    wc.lpfnWndProc = DefDlgProcA;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.lpszClassName = kDialogClass;
    RegisterClassA(&wc);
  }
  SetLastError(error);
}

// A child window cannot own a dialog: its top-level ancestor does.
HWND topLevelOf(HWND h) {
  Window* w = findWindow(h);
  while (w && (w->style & WS_CHILD) && findWindow(w->parent)) {
    h = w->parent;
    w = findWindow(h);
  }
  return h;
}

// What DefDlgProcA does for a message the dialog procedure left alone.
LRESULT defaultProcessing(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<DialogState> st = stateOf(dialog);
  switch (msg) {
    case WM_ERASEBKGND: {
      const HDC dc = reinterpret_cast<HDC>(wParam);
      HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageA(dialog, WM_CTLCOLORDLG, wParam, reinterpret_cast<LPARAM>(dialog)));
      if (!IsWindow(dialog)) return 1;
      if (!brush) brush = defaultControlColors(WM_CTLCOLORDLG, dc);
      RECT r{};
      GetClientRect(dialog, &r);
      FillRect(dc, &r, brush);
      return 1;
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: return reinterpret_cast<LRESULT>(defaultControlColors(msg, reinterpret_cast<HDC>(wParam)));
    case WM_CLOSE: {
      const HWND cancel = GetDlgItem(dialog, IDCANCEL);
      if (cancel && !IsWindowEnabled(cancel)) {
        Beep(0, 0);
        return 0;
      }
      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
      return 0;
    }
    case WM_SETFOCUS: {
      HWND target = st ? st->focus : nullptr;
      if (!target || !IsWindow(target) || GetParent(target) != dialog || !usable(target))
        target = GetNextDlgTabItem(dialog, nullptr, FALSE);
      if (!target) {
        const std::vector<HWND> children = dialogChildren(dialog);
        if (!children.empty()) target = children.front();
      }
      if (target) setDialogFocus(dialog, target);
      return 0;
    }
    case WM_SHOWWINDOW:
      if (!wParam && st) {
        const HWND focus = GetFocus();
        if (focus && GetParent(focus) == dialog) st->focus = focus;
      }
      return DefWindowProcA(dialog, msg, wParam, lParam);
    case WM_GETFONT: return st ? reinterpret_cast<LRESULT>(st->font) : 0;
    case DM_GETDEFID: {
      if (!st) return 0;
      if (st->hasDefaultId) return MAKELONG(st->defaultId, DC_HASDEFID);
      for (HWND child : dialogChildren(dialog))
        if (SendMessageA(child, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON)
          return MAKELONG(GetDlgCtrlID(child), DC_HASDEFID);
      return 0;
    }
    case DM_SETDEFID: {
      if (!st) return FALSE;
      // The old default button looks like a plain one again, the new one like the default.
      int oldId = 0;
      const LRESULT def = SendMessageA(dialog, DM_GETDEFID, 0, 0);
      if (HIWORD(def) == DC_HASDEFID) oldId = LOWORD(def);
      if (HWND old = GetDlgItem(dialog, oldId))
        if (SendMessageA(old, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON)
          SendMessageA(old, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
      if ((st = stateOf(dialog)) == nullptr) return FALSE;
      st->hasDefaultId = true;
      st->defaultId = static_cast<int>(wParam);
      if (HWND next = GetDlgItem(dialog, static_cast<int>(wParam)))
        if (SendMessageA(next, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON)
          SendMessageA(next, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
      return TRUE;
    }
    case WM_NEXTDLGCTL: {
      HWND target = nullptr;
      if (LOWORD(lParam)) {
        target = reinterpret_cast<HWND>(wParam);
        if (target && GetParent(target) != dialog) target = nullptr;
      } else {
        HWND focus = GetFocus();
        if (focus && GetParent(focus) != dialog) focus = nullptr;
        target = GetNextDlgTabItem(dialog, focus, wParam != 0);
      }
      if (target) setDialogFocus(dialog, target);
      return 0;
    }
    case WM_LBUTTONDOWN: {
      // A click on the dialog closes the list of a focused combo box.
      const HWND focus = GetFocus();
      Window* f = focus && GetParent(focus) == dialog ? findWindow(focus) : nullptr;
      if (f && f->cls->name == "ComboBox" && SendMessageA(focus, CB_GETDROPPEDSTATE, 0, 0) == TRUE)
        SendMessageA(focus, CB_SHOWDROPDOWN, FALSE, 0);
      return DefWindowProcA(dialog, msg, wParam, lParam);
    }
    case WM_NCDESTROY:
      if (st) {
        if (st->font) DeleteObject(st->font);
        st->font = nullptr;
        dialogs().erase(dialog);
        auto& order = dialogOrder();
        order.erase(std::remove(order.begin(), order.end(), dialog), order.end());
      }
      return DefWindowProcA(dialog, msg, wParam, lParam);
    case WM_INITDIALOG:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM: return 0;
    default: return DefWindowProcA(dialog, msg, wParam, lParam);
  }
}

// Ends a dialog its loop could not finish: Escape first, then EndDialog itself.
void cancelIdleDialog(HWND dialog, const std::shared_ptr<DialogState>& st) {
  cancelDialog(dialog);
  if (!st->ended && IsWindow(dialog)) EndDialog(dialog, IDCANCEL);
}

// Messages one loop may take without ever running dry before a display that does
// not wait counts it as idle (a window that never validates repaints forever).
constexpr int kMaxBusyMessages = 100000;

void modalLoop(HWND dialog, const std::shared_ptr<DialogState>& st) {
  int busy = 0;
  for (;;) {
    if (st->ended || !IsWindow(dialog)) return;
    MSG msg;
    const bool ready = PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE;
    if (ready && ++busy >= kMaxBusyMessages) {
      busy = 0;
      if (!display().dialogWaits(dialog)) cancelIdleDialog(dialog, st);
    }
    if (!ready) {
      busy = 0;
      if (st->ended || !IsWindow(dialog)) return;
      if (!display().dialogWaits(dialog)) {
        cancelIdleDialog(dialog, st);
        continue;
      }
      GetMessageA(&msg, nullptr, 0, 0);
    }
    if (msg.message == WM_QUIT) {
      // The outer loop must see it too.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (!IsWindow(dialog) || !IsDialogMessageA(dialog, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

void restoreFocus(HWND owner, HWND focusBefore) {
  if (owner && IsWindow(owner) && IsWindowVisible(owner)) ShowWindow(owner, SW_SHOW);  // activates it again
  if (focusBefore && IsWindow(focusBefore) && GetFocus() != focusBefore &&
      (!owner || focusBefore == owner || IsChild(owner, focusBefore)))
    SetFocus(focusBefore);
}

}  // namespace

// ---- internal interface -------------------------------------------------------------------------

HBRUSH defaultControlColors(UINT msg, HDC dc) {
  SetTextColor(dc, 0x000000);
  if (msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX) {
    SetBkColor(dc, 0xFFFFFF);
    return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  }
  SetBkColor(dc, 0xC0C0C0);
  return static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
}

HWND enterButton(HWND dialog, int* id) {
  const HWND focus = GetFocus();
  if (focus && GetParent(focus) == dialog) {
    const LRESULT code = SendMessageA(focus, WM_GETDLGCODE, 0, 0);
    if (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) {
      *id = GetDlgCtrlID(focus);
      return focus;
    }
  }
  const LRESULT def = SendMessageA(dialog, DM_GETDEFID, 0, 0);
  *id = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
  return GetDlgItem(dialog, *id);
}

bool isDialog(HWND hwnd) { return findWindow(hwnd) && dialogs().count(hwnd) != 0; }

void noteDialogFocus(HWND dialog, HWND control) {
  if (std::shared_ptr<DialogState> st = stateOf(dialog)) st->focus = control;
}

void setDialogFocus(HWND dialog, HWND control) {
  (void)dialog;
  if (!control || !IsWindow(control)) return;
  if (SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageA(control, EM_SETSEL, 0, -1);
  if (IsWindow(control)) SetFocus(control);
}

std::vector<HWND> dialogChildren(HWND dialog) {
  std::vector<HWND> out;
  if (!dialog) return out;
  for (HWND h : allWindows())
    if (Window* w = findWindow(h); w && (w->style & WS_CHILD) && w->parent == dialog) out.push_back(h);
  return out;
}

std::vector<HWND> dialogGroup(HWND control) {
  const std::vector<HWND> siblings = dialogChildren(GetParent(control));
  auto it = std::find(siblings.begin(), siblings.end(), control);
  if (it == siblings.end()) return {};
  size_t first = static_cast<size_t>(it - siblings.begin());
  while (first > 0 && !(findWindow(siblings[first])->style & WS_GROUP)) --first;
  size_t last = static_cast<size_t>(it - siblings.begin());
  while (last + 1 < siblings.size() && !(findWindow(siblings[last + 1])->style & WS_GROUP)) ++last;
  return std::vector<HWND>(siblings.begin() + static_cast<long>(first), siblings.begin() + static_cast<long>(last) + 1);
}

bool cancelDialog(HWND dialog) {
  const HWND cancel = GetDlgItem(dialog, IDCANCEL);
  if (cancel && !IsWindowEnabled(cancel)) {
    Beep(0, 0);
    return false;
  }
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
  return true;
}

HWND createDialog(const DialogResource& templ, HINSTANCE instance, HWND owner, DLGPROC proc, LPARAM param) {
  registerDialogClass();
  registerControlClasses();
  DWORD style = templ.style;
  const bool visible = (style & WS_VISIBLE) != 0;
  style &= ~static_cast<DWORD>(WS_VISIBLE);
  const bool child = (style & WS_CHILD) != 0;
  if (child && !owner) return nullptr;

  RECT frame{0, 0, dlgToPixelsX(templ.cx), dlgToPixelsY(templ.cy)};
  AdjustWindowRectEx(&frame, style, FALSE, templ.exStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  int x = dlgToPixelsX(templ.x);
  int y = dlgToPixelsY(templ.y);
  if (style & DS_CENTER) {
    const RECT d = display().desktopRect();
    x = d.left + (d.right - d.left - width) / 2;
    y = d.top + (d.bottom - d.top - height) / 2;
  } else if (!child && owner && !(style & DS_ABSALIGN)) {
    // Template coordinates are relative to the owner's client area.
    POINT origin{x, y};
    ClientToScreen(owner, &origin);
    x = origin.x;
    y = origin.y;
  }
  const HWND dialog = CreateWindowExA(templ.exStyle, kDialogClass, templ.caption.c_str(), style, x, y, width, height,
                                      owner, nullptr, instance, nullptr);
  if (!dialog) return nullptr;
  auto st = std::make_shared<DialogState>();
  st->handle = dialog;
  st->owner = owner;
  dialogs()[dialog] = st;
  dialogOrder().push_back(dialog);
  SetWindowLongPtrA(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));

  if (style & DS_SETFONT) {
    // The template's face and weight; the size is the fixed cell of the base units.
    LOGFONTA lf{};
    lf.lfHeight = -kDialogBaseY;
    lf.lfWidth = kDialogBaseX;
    lf.lfWeight = templ.fontWeight > 0 ? templ.fontWeight : FW_NORMAL;
    lf.lfItalic = templ.fontItalic ? 1 : 0;
    lf.lfCharSet = static_cast<BYTE>(templ.fontCharset);
    std::snprintf(lf.lfFaceName, sizeof lf.lfFaceName, "%s", templ.fontFace.c_str());
    st->font = CreateFontIndirectA(&lf);
    SendMessageA(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(st->font), FALSE);
    if (!IsWindow(dialog)) return nullptr;
  }

  for (const DialogControl& c : templ.controls) {
    const LPCSTR text = c.textIsId ? MAKEINTRESOURCEA(c.textId) : c.text.c_str();
    const HWND control = CreateWindowExA(
        c.exStyle | WS_EX_NOPARENTNOTIFY, c.className.c_str(), text, c.style | WS_CHILD, dlgToPixelsX(c.x),
        dlgToPixelsY(c.y), dlgToPixelsX(c.cx), dlgToPixelsY(c.cy), dialog,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
    if (!IsWindow(dialog)) return nullptr;
    if (!control) {
      if (style & DS_NOFAILCREATE) continue;
      DestroyWindow(dialog);
      return nullptr;
    }
    if (st->font) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(st->font), FALSE);
  }

  const HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
  const LRESULT focusIt = SendMessageA(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param);
  if (!IsWindow(dialog)) return nullptr;
  if (focusIt && first && IsWindow(first)) setDialogFocus(dialog, first);
  if (visible && !st->ended && IsWindow(dialog)) ShowWindow(dialog, SW_SHOWNORMAL);
  return IsWindow(dialog) ? dialog : nullptr;
}

INT_PTR runDialog(const DialogResource& templ, HINSTANCE instance, HWND owner, DLGPROC proc, LPARAM param) {
  if (owner && !IsWindow(owner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (owner && !(templ.style & WS_CHILD)) owner = topLevelOf(owner);
  const HWND focusBefore = GetFocus();
  const HWND dialog = createDialog(templ, instance, owner, proc, param);
  if (!dialog) return -1;
  std::shared_ptr<DialogState> st = stateOf(dialog);
  st->modal = true;
  if (!st->ended) {
    if (owner && IsWindowEnabled(owner)) {
      EnableWindow(owner, FALSE);
      st->disabledOwner = true;
    }
    if (IsWindow(dialog) && !st->ended) ShowWindow(dialog, SW_SHOWNORMAL);
    if (IsWindow(dialog) && !st->ended) display().dialogOpened(dialog);
    modalLoop(dialog, st);
  }
  display().dialogClosed(dialog);
  if (st->disabledOwner) {
    st->disabledOwner = false;
    if (IsWindow(owner)) EnableWindow(owner, TRUE);
  }
  if (IsWindow(dialog)) DestroyWindow(dialog);
  restoreFocus(owner, focusBefore);
  // A dialog destroyed or left through WM_QUIT without EndDialog answers 0.
  return st->ended ? st->result : 0;
}

void resetDialogs() {
  dialogs().clear();
  dialogOrder().clear();
  resetControlStates();
}

std::vector<HWND> openDialogs() {
  std::vector<HWND> out;
  for (HWND h : dialogOrder())
    if (IsWindow(h)) out.push_back(h);
  return out;
}

bool viewDialog(HWND dialog, DialogView* out) {
  std::shared_ptr<DialogState> st = stateOf(dialog);
  Window* w = findWindow(dialog);
  if (!st || !w || !out) return false;
  *out = DialogView{};
  out->handle = dialog;
  out->owner = st->owner;
  out->caption = w->text;
  out->rect = w->rect;
  RECT client{};
  GetClientRect(dialog, &client);
  POINT origin{0, 0};
  ClientToScreen(dialog, &origin);
  out->client = RECT{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
  out->modal = st->modal;
  out->ended = st->ended;
  const HWND focus = GetFocus();
  out->focus = focus && GetParent(focus) == dialog ? focus : nullptr;
  int enterId = 0;
  const HWND enter = enterButton(dialog, &enterId);
  for (HWND h : dialogChildren(dialog)) {
    Window* c = findWindow(h);
    if (!c) continue;
    ControlView v;
    v.handle = h;
    v.id = GetDlgCtrlID(h);
    v.className = c->cls->name;
    v.style = c->style;
    v.rect = RECT{c->rect.left - origin.x, c->rect.top - origin.y, c->rect.right - origin.x, c->rect.bottom - origin.y};
    v.text = c->text;
    v.enabled = c->enabled;
    v.visible = (c->style & WS_VISIBLE) != 0;
    v.focused = h == focus;
    v.isDefault = h == enter;
    viewControl(h, &v);
    out->controls.push_back(std::move(v));
  }
  return true;
}

HWND controlAt(HWND dialog, POINT client) {
  POINT screen = client;
  if (!ClientToScreen(dialog, &screen)) return nullptr;
  const std::vector<HWND> children = dialogChildren(dialog);
  HWND groupBox = nullptr;
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    Window* w = findWindow(*it);
    if (!w || !usable(*it)) continue;
    const RECT& r = w->rect;
    if (screen.x < r.left || screen.x >= r.right || screen.y < r.top || screen.y >= r.bottom) continue;
    if (SendMessageA(*it, WM_GETDLGCODE, 0, 0) == DLGC_STATIC && w->cls->name == "Button") {
      if (!groupBox) groupBox = *it;
      continue;
    }
    return *it;
  }
  return groupBox;
}

}  // namespace posix

using namespace posix;

extern "C" {

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc, LPARAM param) {
  const DialogResource* templ = templateName ? resources().findDialog(templateName) : nullptr;
  if (!templ) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return -1;
  }
  return runDialog(*templ, instance, owner, proc, param);
}

HWND WINAPI CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC proc, LPARAM param) {
  const DialogResource* templ = templateName ? resources().findDialog(templateName) : nullptr;
  if (!templ) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  if (owner && !IsWindow(owner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (owner && !(templ->style & WS_CHILD)) owner = topLevelOf(owner);
  return createDialog(*templ, instance, owner, proc, param);
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result) {
  std::shared_ptr<DialogState> st = isDialog(dialog) ? stateOf(dialog) : nullptr;
  if (!st) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  st->ended = true;
  st->result = result;
  // As in Win32 the owner is enabled again at once, before the dialog goes away.
  if (st->disabledOwner) {
    st->disabledOwner = false;
    if (IsWindow(st->owner)) EnableWindow(st->owner, TRUE);
  }
  if (IsWindow(dialog) && ownVisible(dialog)) ShowWindow(dialog, SW_HIDE);
  if (IsWindow(dialog)) PostMessageA(dialog, WM_NULL, 0, 0);  // wakes a loop that waits
  return TRUE;
}

LRESULT WINAPI DefDlgProcA(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  const DLGPROC proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrA(dialog, DWLP_DLGPROC));
  if (proc) {
    const INT_PTR handled = proc(dialog, msg, wParam, lParam);
    if (handled) {
      switch (msg) {
        // These answer with the procedure's own result.
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_INITDIALOG: return handled;
        default: return IsWindow(dialog) ? GetWindowLongPtrA(dialog, DWLP_MSGRESULT) : 0;
      }
    }
    if (!IsWindow(dialog)) return 0;
  }
  return defaultProcessing(dialog, msg, wParam, lParam);
}

HWND WINAPI GetDlgItem(HWND dialog, int id) {
  for (HWND h : dialogChildren(dialog))
    if (GetDlgCtrlID(h) == id) return h;
  return nullptr;
}

int WINAPI GetDlgCtrlID(HWND control) {
  Window* w = findWindow(control);
  if (!w || !(w->style & WS_CHILD)) return 0;
  return static_cast<int>(reinterpret_cast<INT_PTR>(w->menu));
}

BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
  const HWND control = GetDlgItem(dialog, id);
  return control ? SetWindowTextA(control, text) : FALSE;
}

UINT WINAPI GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size) {
  if (!buffer || size <= 0) return 0;
  const HWND control = GetDlgItem(dialog, id);
  if (!control) {
    buffer[0] = '\0';
    return 0;
  }
  return static_cast<UINT>(
      SendMessageA(control, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer)));
}

BOOL WINAPI SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
  char text[16];
  if (isSigned) {
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
  } else {
    std::snprintf(text, sizeof text, "%u", value);
  }
  return SetDlgItemTextA(dialog, id, text);
}

UINT WINAPI GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
  if (translated) *translated = FALSE;
  char text[64];
  if (!GetDlgItem(dialog, id)) return 0;
  GetDlgItemTextA(dialog, id, text, sizeof text);
  // Leading blanks are skipped; the number ends at the first character that is not a digit.
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  bool negative = false;
  if (isSigned && *p == '-') {
    negative = true;
    ++p;
  } else if (*p == '+') {
    ++p;
  }
  if (*p < '0' || *p > '9') return 0;
  unsigned long long value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + static_cast<unsigned>(*p - '0');
    if (value > 0xFFFFFFFFull) return 0;
  }
  if (isSigned && value > (negative ? 0x80000000ull : 0x7FFFFFFFull)) return 0;
  if (translated) *translated = TRUE;
  return negative ? static_cast<UINT>(0u - static_cast<UINT>(value)) : static_cast<UINT>(value);
}

LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
  const HWND control = GetDlgItem(dialog, id);
  return control ? SendMessageA(control, msg, wParam, lParam) : 0;
}

BOOL WINAPI CheckDlgButton(HWND dialog, int id, UINT check) {
  const HWND control = GetDlgItem(dialog, id);
  if (!control) return FALSE;
  SendMessageA(control, BM_SETCHECK, check, 0);
  return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND dialog, int id) {
  const HWND control = GetDlgItem(dialog, id);
  return control ? static_cast<UINT>(SendMessageA(control, BM_GETCHECK, 0, 0)) : 0;
}

BOOL WINAPI CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId) {
  if (!IsWindow(dialog)) return FALSE;
  for (HWND h : dialogChildren(dialog)) {
    const int id = GetDlgCtrlID(h);
    if (id >= firstId && id <= lastId && IsWindow(h))
      SendMessageA(h, BM_SETCHECK, id == checkId ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  return TRUE;
}

HWND WINAPI GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
  const std::vector<HWND> children = dialogChildren(dialog);
  const size_t n = children.size();
  if (n == 0) return nullptr;
  // Without a control the search starts past the last (or before the first) one.
  auto it = std::find(children.begin(), children.end(), control);
  const size_t start = it != children.end() ? static_cast<size_t>(it - children.begin()) : previous ? 0 : n - 1;
  for (size_t k = 1; k <= n; ++k) {
    const size_t i = previous ? (start + n - k % n) % n : (start + k) % n;
    if (tabbable(children[i])) return children[i];
  }
  return it != children.end() ? control : nullptr;
}

HWND WINAPI GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous) {
  const std::vector<HWND> children = dialogChildren(dialog);
  if (children.empty()) return nullptr;
  if (!control || std::find(children.begin(), children.end(), control) == children.end())
    control = children.front();
  const std::vector<HWND> group = dialogGroup(control);
  const size_t n = group.size();
  const size_t at = static_cast<size_t>(std::find(group.begin(), group.end(), control) - group.begin());
  for (size_t k = 1; k < n; ++k) {
    const size_t i = previous ? (at + n - k) % n : (at + k) % n;
    if (usable(group[i])) return group[i];
  }
  return control;
}

BOOL WINAPI MapDialogRect(HWND dialog, LPRECT rect) {
  if (!rect || !isDialog(dialog)) return FALSE;
  rect->left = dlgToPixelsX(rect->left);
  rect->right = dlgToPixelsX(rect->right);
  rect->top = dlgToPixelsY(rect->top);
  rect->bottom = dlgToPixelsY(rect->bottom);
  return TRUE;
}

LONG WINAPI GetDialogBaseUnits(void) { return MAKELONG(kDialogBaseX, kDialogBaseY); }

BOOL WINAPI IsChild(HWND parent, HWND hwnd) {
  if (!parent) return FALSE;
  for (Window* w = findWindow(hwnd); w && (w->style & WS_CHILD); w = findWindow(w->parent))
    if (w->parent == parent) return TRUE;
  return FALSE;
}

}  // extern "C"
