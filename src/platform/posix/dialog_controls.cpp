// The built-in control classes of the dialog manager: BUTTON (push, default
// push, check boxes, radio buttons, group box, owner-drawn), EDIT (one line),
// STATIC (text, icon, owner-drawn) and COMBOBOX (drop-down, with or without a
// typed field). Each control keeps its state beside its window, paints itself
// into its own cell grid with the colours its parent answers to WM_CTLCOLOR*,
// and tells its parent what the user did with WM_COMMAND notifications.
//
// A notification can make the parent destroy the control, so every handler
// looks its state up again after sending one and sends it last where it can.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>

#include "platform/posix/dialog.h"
#include "platform/posix/display.h"
#include "platform/posix/internal.h"

namespace posix {
namespace {

enum class Type { kButton, kEdit, kStatic, kCombo };

constexpr size_t kDefaultTextLimit = 32767;  // what a user may type before EM_LIMITTEXT
constexpr size_t kNoTextLimit = 0x7FFFFFFE;  // EM_LIMITTEXT 0
constexpr size_t kMaxItems = 32767;          // entries of one combo box list
constexpr COLORREF kGrayText = 0x808080;
constexpr int kIconSize = 32;

struct ControlState {
  Type type = Type::kButton;
  HFONT font = nullptr;
  // Buttons.
  int check = BST_UNCHECKED;
  bool pushed = false;     // held down by the mouse or the space bar
  bool spaceDown = false;  // the push came from the space bar
  // Text fields (edit controls and the field of a combo box): byte offsets of the
  // selection's anchor and of the caret, and the first character shown.
  int anchor = 0;
  int caret = 0;
  int scroll = 0;
  size_t limit = kDefaultTextLimit;
  bool modified = false;
  // Combo boxes.
  std::vector<std::string> items;
  std::vector<LPARAM> itemData;
  int selection = -1;
  bool dropped = false;
  int listHeight = 0;
  // Icon statics.
  HICON icon = nullptr;
};

std::map<HWND, std::unique_ptr<ControlState>>& states() {
  static std::map<HWND, std::unique_ptr<ControlState>> all;
  return all;
}

ControlState* stateOf(HWND h) {
  auto it = states().find(h);
  return it == states().end() ? nullptr : it->second.get();
}

ControlState* createState(HWND h, Type type) {
  auto s = std::make_unique<ControlState>();
  s->type = type;
  ControlState* raw = s.get();
  states()[h] = std::move(s);
  return raw;
}

DWORD styleOf(HWND h) {
  Window* w = findWindow(h);
  return w ? w->style : 0;
}

std::string* textOf(HWND h) {
  Window* w = findWindow(h);
  return w ? &w->text : nullptr;
}

int textLength(HWND h) {
  const std::string* t = textOf(h);
  return t ? static_cast<int>(std::min<size_t>(t->size(), 0x7FFFFFFF)) : 0;
}

// Repaint, and tell the display about state that painting does not show.
void changed(HWND h) {
  InvalidateRect(h, nullptr, TRUE);
  display().windowChanged(h);
}

void notifyParent(HWND control, int code) {
  Window* w = findWindow(control);
  if (!w || !w->parent) return;
  const int id = static_cast<int>(reinterpret_cast<INT_PTR>(w->menu));
  SendMessageA(w->parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

void noteFocus(HWND h) {
  if (Window* w = findWindow(h)) noteDialogFocus(w->parent, h);
}

bool sameIgnoringCase(const std::string& a, const char* b, bool prefixOnly) {
  const size_t n = std::strlen(b);
  if (prefixOnly ? a.size() < n : a.size() != n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

bool lessIgnoringCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}

// ---- painting ----------------------------------------------------------------------------

struct Metrics {
  int width = kDialogBaseX;
  int height = kDialogBaseY;
};

Metrics cellOf(HDC dc) {
  TEXTMETRICA tm;
  Metrics c;
  if (GetTextMetricsA(dc, &tm)) {
    c.width = std::max<int>(1, tm.tmAveCharWidth);
    c.height = std::max<int>(1, tm.tmHeight);
  }
  return c;
}

// The cell of a control's font, without painting.
Metrics cellOf(HWND h, HFONT font) {
  HDC dc = GetDC(h);
  if (font) SelectObject(dc, font);
  const Metrics c = cellOf(dc);
  ReleaseDC(h, dc);
  return c;
}

struct Canvas {
  PAINTSTRUCT ps{};
  HDC dc = nullptr;
  RECT client{};
  Metrics cell;
  int columns = 0;
  int rows = 0;
};

void beginCanvas(HWND h, HFONT font, Canvas* c) {
  c->dc = BeginPaint(h, &c->ps);
  if (font) SelectObject(c->dc, font);
  c->cell = cellOf(c->dc);
  GetClientRect(h, &c->client);
  c->columns = std::max(0, static_cast<int>(c->client.right) / c->cell.width);
  c->rows = std::max(1, static_cast<int>(c->client.bottom) / c->cell.height);
}

// Text at a cell, cut at the right edge of the control.
void drawAt(const Canvas& c, int column, int row, const std::string& text) {
  if (column < 0 || column >= c.columns || row < 0 || text.empty()) return;
  const int n = std::min(static_cast<int>(text.size()), c.columns - column);
  TextOutA(c.dc, column * c.cell.width, row * c.cell.height, text.data(), n);
}

// The row a one-line control writes its text on.
int middleRow(const Canvas& c) { return (c.rows - 1) / 2; }

// ---- text fields (edit controls and the field of combo boxes) ------------------------------

void clampSelection(HWND h, ControlState& s) {
  const int n = textLength(h);
  s.anchor = std::clamp(s.anchor, 0, n);
  s.caret = std::clamp(s.caret, 0, n);
  s.scroll = std::clamp(s.scroll, 0, n);
}

bool isCombo(const ControlState& s) { return s.type == Type::kCombo; }

// Columns the text may use: a combo box keeps its last cell for the arrow.
int textColumns(HWND h, const ControlState& s, const Metrics& cell) {
  RECT r{};
  GetClientRect(h, &r);
  int columns = static_cast<int>(r.right) / cell.width;
  if (isCombo(s) && columns > 1) --columns;
  return std::max(1, columns);
}

int textRow(HWND h, const Metrics& cell) {
  RECT r{};
  GetClientRect(h, &r);
  const int rows = std::max(1, static_cast<int>(r.bottom) / cell.height);
  return (rows - 1) / 2;
}

// Scrolls so the caret is in view and moves the system caret when this field has it.
void showCaret(HWND h, ControlState& s) {
  clampSelection(h, s);
  const Metrics cell = cellOf(h, s.font);
  const int columns = textColumns(h, s, cell);
  if (s.caret < s.scroll) s.scroll = s.caret;
  if (s.caret - s.scroll > columns - 1) s.scroll = s.caret - columns + 1;
  if (caretState().owner == h) SetCaretPos((s.caret - s.scroll) * cell.width, textRow(h, cell) * cell.height);
}

void gainFocus(HWND h, ControlState& s) {
  const Metrics cell = cellOf(h, s.font);
  CreateCaret(h, nullptr, 1, cell.height);
  showCaret(h, s);
  ShowCaret(h);
}

void loseFocus(HWND h) {
  if (caretState().owner == h) DestroyCaret();
}

// The field's text changed through the user: repaint and notify.
void afterUserEdit(HWND h, ControlState& s) {
  s.modified = true;
  showCaret(h, s);
  changed(h);
  const bool combo = isCombo(s);
  notifyParent(h, combo ? CBN_EDITUPDATE : EN_UPDATE);
  if (IsWindow(h)) notifyParent(h, combo ? CBN_EDITCHANGE : EN_CHANGE);
}

// Replaces the selection with `insert`, cut to what the text limit leaves room for.
// Returns whether the text changed; *cut tells whether the limit cut the insertion.
bool replaceSelection(HWND h, ControlState& s, std::string insert, bool* cut) {
  std::string* text = textOf(h);
  *cut = false;
  if (!text) return false;
  clampSelection(h, s);
  const size_t lo = static_cast<size_t>(std::min(s.anchor, s.caret));
  const size_t hi = static_cast<size_t>(std::max(s.anchor, s.caret));
  const size_t kept = text->size() - (hi - lo);
  if (kept + insert.size() > s.limit) {
    insert.resize(s.limit > kept ? s.limit - kept : 0);
    *cut = true;
  }
  if (insert.empty() && lo == hi) return false;
  text->replace(lo, hi - lo, insert);
  s.anchor = s.caret = static_cast<int>(lo + insert.size());
  return true;
}

void typeChar(HWND h, ControlState& s, unsigned char c) {
  const DWORD style = styleOf(h);
  const bool combo = isCombo(s);
  const bool readOnly = !combo && (style & ES_READONLY);
  bool cut = false;
  if (c == '\b') {
    if (readOnly) {
      Beep(0, 0);
      return;
    }
    clampSelection(h, s);
    if (s.anchor == s.caret) {
      if (s.caret == 0) return;
      s.anchor = s.caret - 1;
    }
    if (replaceSelection(h, s, std::string(), &cut)) afterUserEdit(h, s);
    return;
  }
  if (c < 0x20 || c == 0x7F) return;  // other control characters type nothing
  if (readOnly || (!combo && (style & ES_NUMBER) && !std::isdigit(c))) {
    Beep(0, 0);
    return;
  }
  char ch = static_cast<char>(c);
  if (style & (combo ? CBS_UPPERCASE : ES_UPPERCASE)) ch = static_cast<char>(std::toupper(c));
  if (style & (combo ? CBS_LOWERCASE : ES_LOWERCASE)) ch = static_cast<char>(std::tolower(c));
  if (replaceSelection(h, s, std::string(1, ch), &cut)) {
    afterUserEdit(h, s);
  } else if (cut && !combo) {
    notifyParent(h, EN_MAXTEXT);
  }
}

// Caret movement and Delete; true when the key was one of them.
bool fieldKey(HWND h, ControlState& s, UINT vk) {
  clampSelection(h, s);
  const int n = textLength(h);
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  const int lo = std::min(s.anchor, s.caret);
  const int hi = std::max(s.anchor, s.caret);
  switch (vk) {
    case VK_LEFT:
      if (shift) {
        s.caret = std::max(0, s.caret - 1);
      } else {
        s.caret = s.anchor = lo == hi ? std::max(0, s.caret - 1) : lo;
      }
      break;
    case VK_RIGHT:
      if (shift) {
        s.caret = std::min(n, s.caret + 1);
      } else {
        s.caret = s.anchor = lo == hi ? std::min(n, s.caret + 1) : hi;
      }
      break;
    case VK_HOME:
      s.caret = 0;
      if (!shift) s.anchor = 0;
      break;
    case VK_END:
      s.caret = n;
      if (!shift) s.anchor = n;
      break;
    case VK_DELETE: {
      if (!isCombo(s) && (styleOf(h) & ES_READONLY)) {
        Beep(0, 0);
        return true;
      }
      if (lo == hi) {
        if (s.caret >= n) return true;
        s.anchor = s.caret + 1;
      }
      bool cut = false;
      if (replaceSelection(h, s, std::string(), &cut)) afterUserEdit(h, s);
      return true;
    }
    default:
      return false;
  }
  showCaret(h, s);
  changed(h);
  return true;
}

// EM_SETSEL: a negative start removes the selection, a negative end means the end of the text.
void setSelection(HWND h, ControlState& s, int start, int end) {
  const int n = textLength(h);
  if (start < 0) {
    s.anchor = s.caret;
  } else {
    s.anchor = std::min(start, n);
    s.caret = end < 0 ? n : std::min(end, n);
  }
  showCaret(h, s);
  changed(h);
}

LRESULT getSelection(HWND h, ControlState& s, WPARAM startOut, LPARAM endOut) {
  clampSelection(h, s);
  const DWORD lo = static_cast<DWORD>(std::min(s.anchor, s.caret));
  const DWORD hi = static_cast<DWORD>(std::max(s.anchor, s.caret));
  if (startOut) *reinterpret_cast<DWORD*>(startOut) = lo;
  if (endOut) *reinterpret_cast<DWORD*>(endOut) = hi;
  return MAKELONG(std::min<DWORD>(lo, 0xFFFF), std::min<DWORD>(hi, 0xFFFF));
}

// The caret goes where the click was.
void clickInField(HWND h, ControlState& s, LPARAM lParam) {
  const Metrics cell = cellOf(h, s.font);
  const int x = static_cast<SHORT>(LOWORD(lParam));
  s.caret = s.anchor = std::max(0, x) / cell.width + s.scroll;
  showCaret(h, s);
  changed(h);
}

// Draws a field's visible text; the selection shows inverted while focused.
void paintField(HWND h, ControlState& s, const Canvas& c, bool password) {
  const std::string* text = textOf(h);
  if (!text) return;
  clampSelection(h, s);
  const int columns = textColumns(h, s, c.cell);
  const int row = textRow(h, c.cell);
  std::string shown = text->substr(static_cast<size_t>(s.scroll), static_cast<size_t>(columns));
  if (password) std::fill(shown.begin(), shown.end(), '*');
  const bool focused = GetFocus() == h;
  const int lo = std::max(std::min(s.anchor, s.caret) - s.scroll, 0);
  const int hi = std::min(std::max(s.anchor, s.caret) - s.scroll, static_cast<int>(shown.size()));
  if (!focused || lo >= hi) {
    drawAt(c, 0, row, shown);
    return;
  }
  drawAt(c, 0, row, shown.substr(0, static_cast<size_t>(lo)));
  const COLORREF fg = GetTextColor(c.dc), bg = GetBkColor(c.dc);
  SetTextColor(c.dc, bg);
  SetBkColor(c.dc, fg);
  drawAt(c, lo, row, shown.substr(static_cast<size_t>(lo), static_cast<size_t>(hi - lo)));
  SetTextColor(c.dc, fg);
  SetBkColor(c.dc, bg);
  drawAt(c, hi, row, shown.substr(static_cast<size_t>(hi)));
}

// Messages every control answers the same way; true when handled.
bool commonMessage(HWND h, ControlState& s, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (msg) {
    case WM_SETFONT:
      s.font = reinterpret_cast<HFONT>(wParam);
      if (LOWORD(lParam)) changed(h);
      *result = 0;
      return true;
    case WM_GETFONT: *result = reinterpret_cast<LRESULT>(s.font); return true;
    case WM_ENABLE: changed(h); *result = 0; return true;
    case WM_ERASEBKGND: *result = 1; return true;  // painting fills with the parent's brush
    default: return false;
  }
}

// ---- BUTTON ------------------------------------------------------------------------------------

DWORD buttonType(HWND h) { return styleOf(h) & BS_TYPEMASK; }

bool isRadioType(DWORD type) { return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON; }
bool isCheckType(DWORD type) {
  return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
}

bool isRadioButton(HWND h) {
  const ControlState* s = stateOf(h);
  return s && s->type == Type::kButton && isRadioType(buttonType(h));
}

// A click: auto buttons change their check, then the parent hears BN_CLICKED.
void clickButton(HWND h) {
  ControlState* s = stateOf(h);
  if (!s) return;
  switch (buttonType(h)) {
    case BS_AUTOCHECKBOX:
      SendMessageA(h, BM_SETCHECK, s->check == BST_UNCHECKED ? BST_CHECKED : BST_UNCHECKED, 0);
      break;
    case BS_AUTO3STATE: SendMessageA(h, BM_SETCHECK, static_cast<WPARAM>((s->check + 1) % 3), 0); break;
    case BS_AUTORADIOBUTTON:
      SendMessageA(h, BM_SETCHECK, BST_CHECKED, 0);
      for (HWND other : dialogGroup(h))
        if (other != h && isRadioButton(other)) SendMessageA(other, BM_SETCHECK, BST_UNCHECKED, 0);
      break;
    default: break;
  }
  if (IsWindow(h)) notifyParent(h, BN_CLICKED);
}

void paintButton(HWND h, ControlState& s) {
  Canvas c;
  beginCanvas(h, s.font, &c);
  const HBRUSH brush = controlColors(h, c.dc);
  ControlState* st = stateOf(h);
  Window* w = findWindow(h);
  if (!st || !w) {
    EndPaint(h, &c.ps);
    return;
  }
  const DWORD type = buttonType(h);
  if (type == BS_OWNERDRAW) {
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.CtlID = static_cast<UINT>(GetDlgCtrlID(h));
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = (st->pushed ? ODS_SELECTED : 0) | (GetFocus() == h ? ODS_FOCUS : 0) |
                     (IsWindowEnabled(h) ? 0 : ODS_DISABLED);
    item.hwndItem = h;
    item.hDC = c.dc;
    item.rcItem = c.client;
    SendMessageA(w->parent, WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
    EndPaint(h, &c.ps);
    return;
  }
  FillRect(c.dc, &c.client, brush);
  if (!IsWindowEnabled(h)) SetTextColor(c.dc, kGrayText);
  const std::string label = withoutMnemonic(w->text);
  if (isCheckType(type) || isRadioType(type)) {
    std::string box;
    if (isRadioType(type)) {
      box = st->check ? "(*)" : "( )";
    } else {
      box = st->check == BST_CHECKED ? "[X]" : st->check == BST_INDETERMINATE ? "[-]" : "[ ]";
    }
    drawAt(c, 0, middleRow(c), (w->style & BS_LEFTTEXT) ? label + " " + box : box + " " + label);
  } else if (type == BS_GROUPBOX) {
    drawAt(c, 1, 0, label);
  } else {
    const int column = std::max(0, (c.columns - static_cast<int>(label.size())) / 2);
    drawAt(c, column, middleRow(c), label);
  }
  EndPaint(h, &c.ps);
}

LRESULT CALLBACK buttonProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    createState(h, Type::kButton);
    return DefWindowProcA(h, msg, wParam, lParam);
  }
  if (msg == WM_NCDESTROY) {
    states().erase(h);
    return 0;
  }
  ControlState* s = stateOf(h);
  if (!s) return DefWindowProcA(h, msg, wParam, lParam);
  LRESULT result = 0;
  if (commonMessage(h, *s, msg, wParam, lParam, &result)) return result;
  const DWORD type = buttonType(h);
  const bool groupBox = type == BS_GROUPBOX;
  switch (msg) {
    case WM_GETDLGCODE:
      switch (type) {
        case BS_DEFPUSHBUTTON: return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        case BS_PUSHBUTTON:
        case BS_PUSHBOX:
        case BS_USERBUTTON:
        case BS_OWNERDRAW: return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON: return DLGC_BUTTON | DLGC_RADIOBUTTON;
        case BS_GROUPBOX: return DLGC_STATIC;
        default: return DLGC_BUTTON;
      }
    case WM_SETTEXT:
      DefWindowProcA(h, msg, wParam, lParam);
      changed(h);
      return TRUE;
    case WM_PAINT: paintButton(h, *s); return 0;
    case WM_SETFOCUS:
      noteFocus(h);
      changed(h);
      if (styleOf(h) & BS_NOTIFY) notifyParent(h, BN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      s->pushed = s->spaceDown = false;
      changed(h);
      if (styleOf(h) & BS_NOTIFY) notifyParent(h, BN_KILLFOCUS);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (groupBox || !IsWindowEnabled(h)) return 0;
      if (GetFocus() != h) SetFocus(h);
      if ((s = stateOf(h)) == nullptr) return 0;
      s->pushed = true;
      changed(h);
      return 0;
    case WM_LBUTTONUP: {
      if (!s->pushed) return 0;
      s->pushed = false;
      changed(h);
      RECT r{};
      GetClientRect(h, &r);
      const int x = static_cast<SHORT>(LOWORD(lParam)), y = static_cast<SHORT>(HIWORD(lParam));
      if (x >= 0 && y >= 0 && x < std::max<LONG>(r.right, 1) && y < std::max<LONG>(r.bottom, 1)) clickButton(h);
      return 0;
    }
    case WM_KEYDOWN:
      if (wParam == VK_SPACE && !groupBox && !(lParam & 0x40000000)) {
        s->pushed = s->spaceDown = true;
        changed(h);
      }
      return 0;
    case WM_KEYUP:
      if (wParam == VK_SPACE && s->spaceDown) {
        s->pushed = s->spaceDown = false;
        changed(h);
        clickButton(h);
      }
      return 0;
    case WM_CHAR: return 0;
    case BM_GETCHECK: return (isCheckType(type) || isRadioType(type)) ? s->check : BST_UNCHECKED;
    case BM_SETCHECK: {
      if (!isCheckType(type) && !isRadioType(type)) return 0;
      const bool threeState = type == BS_3STATE || type == BS_AUTO3STATE;
      const int check = wParam == BST_UNCHECKED                       ? BST_UNCHECKED
                        : (wParam == BST_INDETERMINATE && threeState) ? BST_INDETERMINATE
                                                                      : BST_CHECKED;
      // The checked radio button of a group is the one Tab goes to.
      if (Window* w = findWindow(h); w && isRadioType(type)) {
        if (check) {
          w->style |= WS_TABSTOP;
        } else {
          w->style &= ~static_cast<DWORD>(WS_TABSTOP);
        }
      }
      if (s->check != check) {
        s->check = check;
        changed(h);
      }
      return 0;
    }
    case BM_GETSTATE:
      return s->check | (s->pushed ? BST_PUSHED : 0) | (GetFocus() == h ? BST_FOCUS : 0);
    case BM_SETSTATE:
      if (s->pushed != (wParam != 0)) {
        s->pushed = wParam != 0;
        changed(h);
      }
      return 0;
    case BM_SETSTYLE:
      if (Window* w = findWindow(h)) w->style = (w->style & 0xFFFF0000u) | static_cast<DWORD>(wParam & 0xFFFF);
      if (LOWORD(lParam)) changed(h);
      return 0;
    case BM_CLICK:
      if (groupBox || !IsWindowEnabled(h)) return 0;
      SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, 0);
      SendMessageA(h, WM_LBUTTONUP, 0, 0);
      return 0;
    default: return DefWindowProcA(h, msg, wParam, lParam);
  }
}

// ---- EDIT ------------------------------------------------------------------------------------------

void paintEdit(HWND h, ControlState& s) {
  Canvas c;
  beginCanvas(h, s.font, &c);
  const HBRUSH brush = controlColors(h, c.dc);
  ControlState* st = stateOf(h);
  if (st) {
    FillRect(c.dc, &c.client, brush);
    if (!IsWindowEnabled(h)) SetTextColor(c.dc, kGrayText);
    paintField(h, *st, c, (styleOf(h) & ES_PASSWORD) != 0);
  }
  EndPaint(h, &c.ps);
}

LRESULT CALLBACK editProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    createState(h, Type::kEdit);
    return DefWindowProcA(h, msg, wParam, lParam);
  }
  if (msg == WM_NCDESTROY) {
    states().erase(h);
    return 0;
  }
  ControlState* s = stateOf(h);
  if (!s) return DefWindowProcA(h, msg, wParam, lParam);
  LRESULT result = 0;
  if (commonMessage(h, *s, msg, wParam, lParam, &result)) return result;
  switch (msg) {
    case WM_GETDLGCODE: return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    case WM_SETTEXT:
      DefWindowProcA(h, msg, wParam, lParam);
      s->anchor = s->caret = s->scroll = 0;
      s->modified = false;
      showCaret(h, *s);
      changed(h);
      notifyParent(h, EN_UPDATE);
      if (IsWindow(h)) notifyParent(h, EN_CHANGE);
      return TRUE;
    case WM_PAINT: paintEdit(h, *s); return 0;
    case WM_CHAR: typeChar(h, *s, static_cast<unsigned char>(wParam)); return 0;
    case WM_KEYDOWN: fieldKey(h, *s, static_cast<UINT>(wParam)); return 0;
    case WM_SETFOCUS:
      noteFocus(h);
      if ((s = stateOf(h)) == nullptr) return 0;
      gainFocus(h, *s);
      changed(h);
      notifyParent(h, EN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      loseFocus(h);
      changed(h);
      notifyParent(h, EN_KILLFOCUS);
      return 0;
    case WM_LBUTTONDOWN:
      if (GetFocus() != h) SetFocus(h);
      if ((s = stateOf(h)) != nullptr) clickInField(h, *s, lParam);
      return 0;
    case EM_GETSEL: return getSelection(h, *s, wParam, lParam);
    case EM_SETSEL: setSelection(h, *s, static_cast<int>(wParam), static_cast<int>(lParam)); return 0;
    case EM_REPLACESEL: {
      bool cut = false;
      const char* text = lParam ? reinterpret_cast<const char*>(lParam) : "";
      if (replaceSelection(h, *s, text, &cut)) afterUserEdit(h, *s);
      return 0;
    }
    case EM_LIMITTEXT: s->limit = wParam == 0 ? kNoTextLimit : std::min<size_t>(wParam, kNoTextLimit); return 0;
    case EM_GETLIMITTEXT: return static_cast<LRESULT>(s->limit);
    case EM_GETMODIFY: return s->modified ? TRUE : FALSE;
    case EM_SETMODIFY: s->modified = wParam != 0; return 0;
    case EM_SETREADONLY:
      if (Window* w = findWindow(h)) {
        if (wParam) {
          w->style |= ES_READONLY;
        } else {
          w->style &= ~static_cast<DWORD>(ES_READONLY);
        }
      }
      changed(h);
      return TRUE;
    default: return DefWindowProcA(h, msg, wParam, lParam);
  }
}

// ---- STATIC ---------------------------------------------------------------------------------------------

void paintStatic(HWND h, ControlState& s) {
  Canvas c;
  beginCanvas(h, s.font, &c);
  const HBRUSH brush = controlColors(h, c.dc);
  Window* w = findWindow(h);
  if (!stateOf(h) || !w) {
    EndPaint(h, &c.ps);
    return;
  }
  const DWORD type = w->style & SS_TYPEMASK;
  if (type == SS_OWNERDRAW) {
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_STATIC;
    item.CtlID = static_cast<UINT>(GetDlgCtrlID(h));
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = IsWindowEnabled(h) ? 0 : ODS_DISABLED;
    item.hwndItem = h;
    item.hDC = c.dc;
    item.rcItem = c.client;
    SendMessageA(w->parent, WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
    EndPaint(h, &c.ps);
    return;
  }
  FillRect(c.dc, &c.client, brush);
  if (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_LEFTNOWORDWRAP || type == SS_SIMPLE) {
    if (!IsWindowEnabled(h)) SetTextColor(c.dc, kGrayText);
    const std::string text = (w->style & SS_NOPREFIX) ? w->text : withoutMnemonic(w->text);
    const bool wrap = type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT;
    const std::vector<std::string> lines = wrapText(text, c.columns, wrap);
    for (size_t row = 0; row < lines.size() && static_cast<int>(row) < c.rows; ++row) {
      const int free = std::max(0, c.columns - static_cast<int>(lines[row].size()));
      const int column = type == SS_CENTER ? free / 2 : type == SS_RIGHT ? free : 0;
      drawAt(c, column, static_cast<int>(row), lines[row]);
    }
  }
  EndPaint(h, &c.ps);
}

LRESULT CALLBACK staticProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    ControlState* s = createState(h, Type::kStatic);
    const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    if (cs && (static_cast<DWORD>(cs->style) & SS_TYPEMASK) == SS_ICON && cs->lpszName)
      s->icon = LoadIconA(cs->hInstance, cs->lpszName);
    return DefWindowProcA(h, msg, wParam, lParam);
  }
  if (msg == WM_NCDESTROY) {
    states().erase(h);
    return 0;
  }
  ControlState* s = stateOf(h);
  if (!s) return DefWindowProcA(h, msg, wParam, lParam);
  LRESULT result = 0;
  if (commonMessage(h, *s, msg, wParam, lParam, &result)) return result;
  switch (msg) {
    case WM_CREATE:
      // An icon control takes the icon's size.
      if ((styleOf(h) & SS_TYPEMASK) == SS_ICON)
        SetWindowPos(h, nullptr, 0, 0, kIconSize, kIconSize, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    case WM_GETDLGCODE: return DLGC_STATIC;
    case WM_SETTEXT:
      DefWindowProcA(h, msg, wParam, lParam);
      changed(h);
      return TRUE;
    case WM_PAINT: paintStatic(h, *s); return 0;
    case STM_SETICON: {
      const HICON previous = s->icon;
      s->icon = reinterpret_cast<HICON>(wParam);
      changed(h);
      return reinterpret_cast<LRESULT>(previous);
    }
    case STM_GETICON: return reinterpret_cast<LRESULT>(s->icon);
    default: return DefWindowProcA(h, msg, wParam, lParam);
  }
}

// ---- COMBOBOX -----------------------------------------------------------------------------------------------

bool editableCombo(HWND h) { return (styleOf(h) & 0x3) != CBS_DROPDOWNLIST; }

// Shows `text` in the field, all of it selected (as a pick from the list leaves it).
void setComboText(HWND h, ControlState& s, const std::string& text) {
  if (std::string* t = textOf(h)) *t = text;
  s.anchor = 0;
  s.caret = static_cast<int>(std::min<size_t>(text.size(), 0x7FFFFFFF));
  s.scroll = 0;
  showCaret(h, s);
  changed(h);
}

int selectItem(HWND h, ControlState& s, int index) {
  if (index < 0 || index >= static_cast<int>(s.items.size())) {
    s.selection = -1;
    setComboText(h, s, std::string());
    return CB_ERR;
  }
  s.selection = index;
  setComboText(h, s, s.items[static_cast<size_t>(index)]);
  return index;
}

void setDropped(HWND h, ControlState& s, bool open) {
  if (s.dropped == open) return;
  s.dropped = open;
  changed(h);
  notifyParent(h, open ? CBN_DROPDOWN : CBN_CLOSEUP);
}

// Closes an open list, accepting (Enter, a pick) or dropping (Escape, focus lost) the choice.
void closeList(HWND h, bool accept) {
  ControlState* s = stateOf(h);
  if (!s || !s->dropped) return;
  notifyParent(h, accept ? CBN_SELENDOK : CBN_SELENDCANCEL);
  if ((s = stateOf(h)) != nullptr) setDropped(h, *s, false);
}

// The user picks another entry: the field shows it and the parent hears CBN_SELCHANGE.
void userSelects(HWND h, ControlState& s, int index) {
  if (index < 0 || index >= static_cast<int>(s.items.size()) || index == s.selection) return;
  selectItem(h, s, index);
  notifyParent(h, CBN_SELCHANGE);
}

int findItem(const ControlState& s, WPARAM start, LPARAM text, bool exact) {
  const int n = static_cast<int>(s.items.size());
  if (n == 0 || !text) return CB_ERR;
  const int from = static_cast<int>(start);
  const int first = (from < 0 || from >= n) ? 0 : from + 1;
  for (int k = 0; k < n; ++k) {
    const int i = (first + k) % n;
    if (sameIgnoringCase(s.items[static_cast<size_t>(i)], reinterpret_cast<const char*>(text), !exact)) return i;
  }
  return CB_ERR;
}

void paintCombo(HWND h, ControlState& s) {
  Canvas c;
  beginCanvas(h, s.font, &c);
  const HBRUSH brush = controlColors(h, c.dc);
  ControlState* st = stateOf(h);
  if (st) {
    FillRect(c.dc, &c.client, brush);
    if (!IsWindowEnabled(h)) SetTextColor(c.dc, kGrayText);
    paintField(h, *st, c, false);
    if (c.columns > 1) drawAt(c, c.columns - 1, textRow(h, c.cell), "v");
  }
  EndPaint(h, &c.ps);
}

LRESULT comboKey(HWND h, ControlState& s, UINT vk) {
  const int n = static_cast<int>(s.items.size());
  switch (vk) {
    case VK_F4: setDropped(h, s, !s.dropped); return 0;
    case VK_UP:
    case VK_DOWN: {
      if (n == 0) return 0;
      const int next = s.selection < 0 ? 0 : std::clamp(s.selection + (vk == VK_DOWN ? 1 : -1), 0, n - 1);
      userSelects(h, s, next);
      return 0;
    }
    case VK_RETURN: closeList(h, true); return 0;
    case VK_ESCAPE: closeList(h, false); return 0;
    default: break;
  }
  if (editableCombo(h)) {
    fieldKey(h, s, vk);
  } else if (n > 0 && (vk == VK_HOME || vk == VK_END)) {
    userSelects(h, s, vk == VK_HOME ? 0 : n - 1);
  }
  return 0;
}

// In a list without a field, a typed character picks the next entry starting with it.
void comboChar(HWND h, ControlState& s, unsigned char c) {
  if (editableCombo(h)) {
    typeChar(h, s, c);
    return;
  }
  if (c < 0x20 || c == 0x7F) return;
  const char prefix[2] = {static_cast<char>(c), '\0'};
  const int found = findItem(s, static_cast<WPARAM>(s.selection), reinterpret_cast<LPARAM>(prefix), false);
  if (found != CB_ERR) userSelects(h, s, found);
}

LRESULT CALLBACK comboProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    createState(h, Type::kCombo);
    return DefWindowProcA(h, msg, wParam, lParam);
  }
  if (msg == WM_NCDESTROY) {
    states().erase(h);
    return 0;
  }
  ControlState* s = stateOf(h);
  if (!s) return DefWindowProcA(h, msg, wParam, lParam);
  LRESULT result = 0;
  if (commonMessage(h, *s, msg, wParam, lParam, &result)) return result;
  const bool editable = editableCombo(h);
  const int n = static_cast<int>(s->items.size());
  switch (msg) {
    case WM_CREATE: {
      // The window is the one-line field; the template's height is what the open list may use.
      const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      if (cs && (static_cast<DWORD>(cs->style) & 0x3) != CBS_SIMPLE) {
        s->listHeight = std::max(0, cs->cy - kDialogBaseY);
        SetWindowPos(h, nullptr, 0, 0, cs->cx, kDialogBaseY, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      }
      return 0;
    }
    case WM_GETDLGCODE: {
      LRESULT code = DLGC_WANTCHARS | DLGC_WANTARROWS | (editable ? DLGC_HASSETSEL : 0);
      // While the list is open, Enter and Escape close it instead of ending the dialog.
      const MSG* m = reinterpret_cast<const MSG*>(lParam);
      if (s->dropped && m && m->message == WM_KEYDOWN && (m->wParam == VK_RETURN || m->wParam == VK_ESCAPE))
        code |= DLGC_WANTMESSAGE;
      return code;
    }
    case WM_SETTEXT:
      if (!editable) {
        const int found = findItem(*s, static_cast<WPARAM>(-1), lParam, true);
        if (found == CB_ERR) return CB_ERR;
        selectItem(h, *s, found);
        return TRUE;
      }
      DefWindowProcA(h, msg, wParam, lParam);
      s->anchor = s->caret = s->scroll = 0;
      showCaret(h, *s);
      changed(h);
      return TRUE;
    case WM_PAINT: paintCombo(h, *s); return 0;
    case WM_CHAR: comboChar(h, *s, static_cast<unsigned char>(wParam)); return 0;
    case WM_KEYDOWN: return comboKey(h, *s, static_cast<UINT>(wParam));
    case WM_SYSKEYDOWN:
      if (wParam == VK_UP || wParam == VK_DOWN) {
        setDropped(h, *s, !s->dropped);
        return 0;
      }
      return DefWindowProcA(h, msg, wParam, lParam);
    case WM_SETFOCUS:
      noteFocus(h);
      if ((s = stateOf(h)) == nullptr) return 0;
      if (editable) gainFocus(h, *s);
      changed(h);
      notifyParent(h, CBN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      closeList(h, false);
      loseFocus(h);
      changed(h);
      notifyParent(h, CBN_KILLFOCUS);
      return 0;
    case WM_LBUTTONDOWN: {
      if (!IsWindowEnabled(h)) return 0;
      if (GetFocus() != h) SetFocus(h);
      if ((s = stateOf(h)) == nullptr) return 0;
      RECT r{};
      GetClientRect(h, &r);
      const Metrics cell = cellOf(h, s->font);
      const int x = static_cast<SHORT>(LOWORD(lParam));
      if (!editable || x >= r.right - cell.width) {
        setDropped(h, *s, !s->dropped);
      } else {
        clickInField(h, *s, lParam);
      }
      return 0;
    }
    case CB_ADDSTRING: {
      if (s->items.size() >= kMaxItems) return CB_ERRSPACE;
      const std::string text = lParam ? reinterpret_cast<const char*>(lParam) : "";
      size_t at = s->items.size();
      if (styleOf(h) & CBS_SORT)
        at = static_cast<size_t>(std::upper_bound(s->items.begin(), s->items.end(), text, lessIgnoringCase) -
                                 s->items.begin());
      s->items.insert(s->items.begin() + static_cast<long>(at), text);
      s->itemData.insert(s->itemData.begin() + static_cast<long>(at), 0);
      if (s->selection >= static_cast<int>(at)) ++s->selection;
      changed(h);
      return static_cast<LRESULT>(at);
    }
    case CB_INSERTSTRING: {
      if (s->items.size() >= kMaxItems) return CB_ERRSPACE;
      int at = static_cast<int>(wParam);
      if (at == -1) at = n;
      if (at < 0 || at > n) return CB_ERR;
      s->items.insert(s->items.begin() + at, lParam ? reinterpret_cast<const char*>(lParam) : "");
      s->itemData.insert(s->itemData.begin() + at, 0);
      if (s->selection >= at) ++s->selection;
      changed(h);
      return at;
    }
    case CB_DELETESTRING: {
      const int at = static_cast<int>(wParam);
      if (at < 0 || at >= n) return CB_ERR;
      s->items.erase(s->items.begin() + at);
      s->itemData.erase(s->itemData.begin() + at);
      if (s->selection == at) {
        s->selection = -1;
        if (!editable) setComboText(h, *s, std::string());
      } else if (s->selection > at) {
        --s->selection;
      }
      changed(h);
      return n - 1;
    }
    case CB_GETCOUNT: return n;
    case CB_GETCURSEL: return s->selection;
    case CB_SETCURSEL: return selectItem(h, *s, static_cast<int>(wParam));
    case CB_GETLBTEXT: {
      // As in Win32, the caller's buffer holds CB_GETLBTEXTLEN + 1 bytes: its size is not passed.
      const int at = static_cast<int>(wParam);
      if (at < 0 || at >= n || !lParam) return CB_ERR;
      const std::string& item = s->items[static_cast<size_t>(at)];
      std::memcpy(reinterpret_cast<char*>(lParam), item.c_str(), item.size() + 1);
      return static_cast<LRESULT>(item.size());
    }
    case CB_GETLBTEXTLEN: {
      const int at = static_cast<int>(wParam);
      if (at < 0 || at >= n) return CB_ERR;
      return static_cast<LRESULT>(s->items[static_cast<size_t>(at)].size());
    }
    case CB_RESETCONTENT:
      s->items.clear();
      s->itemData.clear();
      s->selection = -1;
      setComboText(h, *s, std::string());
      return CB_OKAY;
    case CB_LIMITTEXT:
      if (!editable) return CB_ERR;
      s->limit = wParam == 0 ? kNoTextLimit : std::min<size_t>(wParam, kNoTextLimit);
      return TRUE;
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT: return findItem(*s, wParam, lParam, msg == CB_FINDSTRINGEXACT);
    case CB_SELECTSTRING: {
      const int found = findItem(*s, wParam, lParam, false);
      return found == CB_ERR ? CB_ERR : selectItem(h, *s, found);
    }
    case CB_SHOWDROPDOWN: setDropped(h, *s, wParam != 0); return TRUE;
    case CB_GETDROPPEDSTATE: return s->dropped ? TRUE : FALSE;
    case CB_GETITEMDATA: {
      const int at = static_cast<int>(wParam);
      return (at < 0 || at >= n) ? CB_ERR : s->itemData[static_cast<size_t>(at)];
    }
    case CB_SETITEMDATA: {
      const int at = static_cast<int>(wParam);
      if (at < 0 || at >= n) return CB_ERR;
      s->itemData[static_cast<size_t>(at)] = lParam;
      return TRUE;
    }
    case CB_GETEDITSEL: return getSelection(h, *s, wParam, lParam);
    case CB_SETEDITSEL:
      if (!editable) return CB_ERR;
      setSelection(h, *s, static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam)));
      return TRUE;
    case EM_SETSEL:  // the dialog manager selects the field's text when it gives the focus
      if (!editable) return CB_ERR;
      setSelection(h, *s, static_cast<int>(wParam), static_cast<int>(lParam));
      return TRUE;
    default: return DefWindowProcA(h, msg, wParam, lParam);
  }
}

}  // namespace

std::vector<std::string> wrapText(const std::string& text, int columns, bool wrap) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    size_t end = text.find('\n', start);
    std::string paragraph = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!paragraph.empty() && paragraph.back() == '\r') paragraph.pop_back();
    if (!wrap || columns <= 0 || static_cast<int>(paragraph.size()) <= columns) {
      lines.push_back(paragraph);
    } else {
      std::string line;
      size_t i = 0;
      while (i <= paragraph.size()) {
        size_t space = paragraph.find(' ', i);
        if (space == std::string::npos) space = paragraph.size();
        std::string word = paragraph.substr(i, space - i);
        std::string candidate = line.empty() ? word : line + " " + word;
        if (static_cast<int>(candidate.size()) <= columns) {
          line = candidate;
        } else {
          if (!line.empty()) lines.push_back(line);
          line = word;
          while (static_cast<int>(line.size()) > columns) {
            lines.push_back(line.substr(0, static_cast<size_t>(columns)));
            line.erase(0, static_cast<size_t>(columns));
          }
        }
        i = space + 1;
      }
      lines.push_back(line);
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

// ---- shared with the dialog manager ----------------------------------------------------------------------------

std::string withoutMnemonic(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      if (i + 1 < text.size() && text[i + 1] == '&') {
        out += '&';
        ++i;
      }
      continue;
    }
    out += text[i];
  }
  return out;
}

char mnemonicOf(const std::string& text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[i + 1] == '&') {
      ++i;
      continue;
    }
    return static_cast<char>(std::tolower(static_cast<unsigned char>(text[i + 1])));
  }
  return 0;
}

void registerControlClasses() {
  struct Builtin {
    const char* name;
    WNDPROC proc;
  };
  static const Builtin kBuiltins[] = {
      {"Button", buttonProc}, {"Edit", editProc}, {"Static", staticProc}, {"ComboBox", comboProc}};
  const DWORD error = GetLastError();
  for (const Builtin& b : kBuiltins) {
    WNDCLASSA wc{};
    if (GetClassInfoA(nullptr, b.name, &wc)) continue;
    wc = WNDCLASSA{};
    wc.style = CS_DBLCLKS | CS_GLOBALCLASS;
    wc.lpfnWndProc = b.proc;
    wc.lpszClassName = b.name;
    RegisterClassA(&wc);
  }
  SetLastError(error);
}

void resetControlStates() { states().clear(); }

HBRUSH controlColors(HWND control, HDC dc) {
  UINT msg = WM_CTLCOLORSTATIC;
  if (const ControlState* s = stateOf(control)) {
    switch (s->type) {
      case Type::kButton: msg = WM_CTLCOLORBTN; break;
      case Type::kEdit:
        msg = ((styleOf(control) & ES_READONLY) || !IsWindowEnabled(control)) ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT;
        break;
      case Type::kCombo: msg = WM_CTLCOLOREDIT; break;
      case Type::kStatic: msg = WM_CTLCOLORSTATIC; break;
    }
  }
  HBRUSH brush = nullptr;
  if (HWND parent = GetParent(control))
    brush = reinterpret_cast<HBRUSH>(
        SendMessageA(parent, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control)));
  return brush ? brush : defaultControlColors(msg, dc);
}

bool viewControl(HWND control, ControlView* out) {
  ControlState* s = stateOf(control);
  Window* w = findWindow(control);
  if (!s || !w || !out) return false;
  clampSelection(control, *s);
  const DWORD style = w->style;
  out->check = BST_UNCHECKED;
  out->pushed = s->pushed;
  switch (s->type) {
    case Type::kButton: {
      const DWORD type = style & BS_TYPEMASK;
      out->check = s->check;
      if (isRadioType(type)) {
        out->kind = ControlKind::kRadioButton;
      } else if (isCheckType(type)) {
        out->kind = ControlKind::kCheckBox;
      } else if (type == BS_GROUPBOX) {
        out->kind = ControlKind::kGroupBox;
      } else if (type == BS_OWNERDRAW) {
        out->kind = ControlKind::kOwnerDrawButton;
      } else {
        out->kind = type == BS_DEFPUSHBUTTON ? ControlKind::kDefPushButton : ControlKind::kPushButton;
      }
      out->autoCheck = type == BS_AUTOCHECKBOX || type == BS_AUTO3STATE || type == BS_AUTORADIOBUTTON;
      break;
    }
    case Type::kEdit:
      out->kind = ControlKind::kEdit;
      out->readOnly = (style & ES_READONLY) != 0;
      out->password = (style & ES_PASSWORD) != 0;
      break;
    case Type::kStatic:
      out->kind = (style & SS_TYPEMASK) == SS_ICON ? ControlKind::kIcon : ControlKind::kStatic;
      out->icon = s->icon;
      break;
    case Type::kCombo:
      out->kind = ControlKind::kComboBox;
      out->items = s->items;
      out->selection = s->selection;
      out->dropped = s->dropped;
      out->editable = editableCombo(control);
      out->listHeight = s->listHeight;
      break;
  }
  if (s->type == Type::kEdit || s->type == Type::kCombo) {
    out->selStart = std::min(s->anchor, s->caret);
    out->selEnd = std::max(s->anchor, s->caret);
  }
  return true;
}

bool chooseComboItem(HWND combo, int index) {
  ControlState* s = stateOf(combo);
  if (!s || s->type != Type::kCombo || index < 0 || index >= static_cast<int>(s->items.size())) return false;
  if (index != s->selection) {
    selectItem(combo, *s, index);
    notifyParent(combo, CBN_SELCHANGE);
  }
  closeList(combo, true);
  return true;
}

}  // namespace posix
