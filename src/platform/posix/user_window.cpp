// Window classes and windows: registration, creation and destruction, geometry,
// text, slots, focus and the default window procedure.
#include <strings.h>

#include <algorithm>
#include <cstring>

#include "platform/posix/display.h"
#include "platform/posix/internal.h"

namespace posix {
namespace {

std::map<std::string, std::unique_ptr<WindowClass>>& classes() {
  static std::map<std::string, std::unique_ptr<WindowClass>> all;
  return all;
}

std::map<HWND, std::unique_ptr<Window>>& windows() {
  static std::map<HWND, std::unique_ptr<Window>> all;
  return all;
}

std::vector<HWND>& creationOrder() {
  static std::vector<HWND> order;
  return order;
}

uintptr_t g_nextWindow = 0x20000;
ATOM g_nextAtom = 0xC000;
HWND g_focus = nullptr;
HWND g_active = nullptr;
const HWND kDesktop = reinterpret_cast<HWND>(uintptr_t{0x10010});

// Frame metrics of the non-client area, in pixels.
constexpr int kFrame = 4;
constexpr int kBorder = 1;
constexpr int kDialogFrame = 3;
constexpr int kCaption = 20;
constexpr int kMenuBar = 20;
constexpr int kScrollBar = 16;

std::string lower(const char* s) {
  std::string out = s ? s : "";
  for (char& c : out) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return out;
}

WindowClass* findClass(LPCSTR name) {
  if (!name) return nullptr;
  if (IS_INTRESOURCE(name)) {
    // An atom from RegisterClass.
    const ATOM atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name));
    for (auto& entry : classes())
      if (entry.second->atom == atom) return entry.second.get();
    return nullptr;
  }
  auto it = classes().find(lower(name));
  return it == classes().end() ? nullptr : it->second.get();
}

struct NonClient {
  int left, top, right, bottom;
};

NonClient nonClient(DWORD style, bool hasMenu) {
  int frame = 0;
  if (style & WS_THICKFRAME)
    frame = kFrame;
  else if ((style & WS_CAPTION) == WS_CAPTION || (style & WS_DLGFRAME))
    frame = kDialogFrame;
  else if (style & WS_BORDER)
    frame = kBorder;
  NonClient nc{frame, frame, frame, frame};
  if ((style & WS_CAPTION) == WS_CAPTION) nc.top += kCaption;
  if (hasMenu) nc.top += kMenuBar;
  if (style & WS_VSCROLL) nc.right += kScrollBar;
  if (style & WS_HSCROLL) nc.bottom += kScrollBar;
  return nc;
}

bool isChild(const Window& w) { return (w.style & WS_CHILD) != 0; }

NonClient nonClient(const Window& w) { return nonClient(w.style, !isChild(w) && w.menu != nullptr); }

POINT clientOrigin(const Window& w) {
  const NonClient nc = nonClient(w);
  return POINT{w.rect.left + nc.left, w.rect.top + nc.top};
}

LPARAM sizeParam(const Window& w) {
  int cw = 0, ch = 0;
  clientSize(w, &cw, &ch);
  return MAKELPARAM(cw, ch);
}

// The position of a window as its parent's client coordinates (screen for top-level).
POINT relativeOrigin(const Window& w) {
  POINT p{w.rect.left, w.rect.top};
  if (isChild(w))
    if (Window* parent = findWindow(w.parent)) {
      const POINT o = clientOrigin(*parent);
      p.x -= o.x;
      p.y -= o.y;
    }
  return p;
}

// Child windows lie in their parent's client area: they move with it.
void moveChildren(HWND parent, LONG dx, LONG dy, int depth) {
  if (depth > 64) return;
  for (HWND h : creationOrder()) {
    Window* c = findWindow(h);
    if (!c || !isChild(*c) || c->parent != parent) continue;
    c->rect.left += dx;
    c->rect.right += dx;
    c->rect.top += dy;
    c->rect.bottom += dy;
    moveChildren(h, dx, dy, depth + 1);
  }
}

void setGeometry(HWND hwnd, int x, int y, int width, int height, bool move, bool size, bool repaint) {
  Window* w = findWindow(hwnd);
  if (!w) return;
  width = std::max(width, 0);
  height = std::max(height, 0);
  POINT origin{x, y};
  if (isChild(*w))
    if (Window* parent = findWindow(w->parent)) {
      const POINT o = clientOrigin(*parent);
      origin.x += o.x;
      origin.y += o.y;
    }
  RECT r = w->rect;
  if (move) {
    const int dx = origin.x - r.left, dy = origin.y - r.top;
    r.left += dx;
    r.right += dx;
    r.top += dy;
    r.bottom += dy;
  }
  if (size) {
    r.right = r.left + width;
    r.bottom = r.top + height;
  }
  const bool moved = r.left != w->rect.left || r.top != w->rect.top;
  const bool resized = (r.right - r.left) != (w->rect.right - w->rect.left) ||
                       (r.bottom - r.top) != (w->rect.bottom - w->rect.top);
  const LONG dx = r.left - w->rect.left, dy = r.top - w->rect.top;
  w->rect = r;
  if (dx != 0 || dy != 0) moveChildren(hwnd, dx, dy, 0);
  if (resized) SendMessageA(hwnd, WM_SIZE, SIZE_RESTORED, sizeParam(*w));
  if ((w = findWindow(hwnd)) == nullptr) return;
  if (moved) {
    const POINT p = clientOrigin(*w);
    SendMessageA(hwnd, WM_MOVE, 0, MAKELPARAM(p.x, p.y));
  }
  if ((w = findWindow(hwnd)) == nullptr) return;
  if (repaint && (moved || resized)) InvalidateRect(hwnd, nullptr, TRUE);
  display().windowChanged(hwnd);
}

void sendFocusChange(HWND from, HWND to) {
  if (from && findWindow(from)) SendMessageA(from, WM_KILLFOCUS, reinterpret_cast<WPARAM>(to), 0);
  if (to && findWindow(to)) SendMessageA(to, WM_SETFOCUS, reinterpret_cast<WPARAM>(from), 0);
}

void forgetClasses() { classes().clear(); }

// A class atom no registered class holds, from 0xC000 .. 0xFFFF as Windows
// gives them; atoms of unregistered classes are given out again. 0 when every
// one is taken.
ATOM freeClassAtom() {
  for (int tries = 0; tries <= 0xFFFF - 0xC000; ++tries) {
    const ATOM candidate = g_nextAtom;
    g_nextAtom = g_nextAtom == 0xFFFF ? 0xC000 : static_cast<ATOM>(g_nextAtom + 1);
    bool taken = false;
    for (const auto& entry : classes()) taken = taken || entry.second->atom == candidate;
    if (!taken) return candidate;
  }
  return 0;
}

}  // namespace

namespace {
// The window found last: drawing asks for the same window again and again.
// Forgotten whenever the table changes.
HWND g_lastHandle = nullptr;
Window* g_lastWindow = nullptr;
void forgetLastWindow() {
  g_lastHandle = nullptr;
  g_lastWindow = nullptr;
}
}  // namespace

Window* findWindow(HWND hwnd) {
  if (hwnd != nullptr && hwnd == g_lastHandle) return g_lastWindow;
  auto it = windows().find(hwnd);
  if (it == windows().end()) return nullptr;
  g_lastHandle = hwnd;
  g_lastWindow = it->second.get();
  return g_lastWindow;
}

std::vector<HWND> allWindows() { return creationOrder(); }

std::vector<HWND> topLevelWindows() {
  std::vector<HWND> out;
  for (HWND h : creationOrder())
    if (Window* w = findWindow(h); w && !isChild(*w)) out.push_back(h);
  return out;
}

void clientSize(const Window& w, int* width, int* height) {
  const NonClient nc = nonClient(w);
  *width = std::max(0, static_cast<int>(w.rect.right - w.rect.left) - nc.left - nc.right);
  *height = std::max(0, static_cast<int>(w.rect.bottom - w.rect.top) - nc.top - nc.bottom);
}

void resetWindows() {
  for (HWND h : topLevelWindows()) DestroyWindow(h);
  for (HWND h : allWindows()) DestroyWindow(h);
  forgetLastWindow();
  windows().clear();
  creationOrder().clear();
  forgetClasses();
  g_focus = g_active = nullptr;
}

}  // namespace posix

using namespace posix;

extern "C" {

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* wc) {
  if (!wc || !wc->lpszClassName || !wc->lpfnWndProc || wc->cbClsExtra < 0 || wc->cbWndExtra < 0 ||
      wc->cbClsExtra > 40 || wc->cbWndExtra > 40) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::string key = lower(wc->lpszClassName);
  if (classes().count(key)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  auto cls = std::make_unique<WindowClass>();
  cls->name = wc->lpszClassName;
  cls->style = wc->style;
  cls->proc = wc->lpfnWndProc;
  cls->clsExtra = wc->cbClsExtra;
  cls->wndExtra = wc->cbWndExtra;
  cls->instance = wc->hInstance;
  cls->icon = wc->hIcon;
  cls->iconSmall = wc->hIconSm;
  cls->cursor = wc->hCursor;
  cls->background = wc->hbrBackground;
  if (wc->lpszMenuName) {
    if (IS_INTRESOURCE(wc->lpszMenuName)) {
      cls->menuNameValue = reinterpret_cast<ULONG_PTR>(wc->lpszMenuName);
    } else {
      cls->menuName = wc->lpszMenuName;
      cls->menuNameValue = reinterpret_cast<ULONG_PTR>(cls->menuName.c_str());
    }
  }
  cls->extra.assign(static_cast<size_t>(wc->cbClsExtra), 0);
  cls->atom = freeClassAtom();
  if (cls->atom == 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  const ATOM atom = cls->atom;
  classes()[key] = std::move(cls);
  return atom;
}

ATOM WINAPI RegisterClassA(const WNDCLASSA* wc) {
  if (!wc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  WNDCLASSEXA ex{};
  ex.cbSize = sizeof ex;
  ex.style = wc->style;
  ex.lpfnWndProc = wc->lpfnWndProc;
  ex.cbClsExtra = wc->cbClsExtra;
  ex.cbWndExtra = wc->cbWndExtra;
  ex.hInstance = wc->hInstance;
  ex.hIcon = wc->hIcon;
  ex.hCursor = wc->hCursor;
  ex.hbrBackground = wc->hbrBackground;
  ex.lpszMenuName = wc->lpszMenuName;
  ex.lpszClassName = wc->lpszClassName;
  return RegisterClassExA(&ex);
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE) {
  WindowClass* cls = findClass(className);
  if (!cls) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  for (auto& [h, w] : windows())
    if (w->cls == cls) return FALSE;  // still in use
  classes().erase(lower(cls->name.c_str()));
  return TRUE;
}

BOOL WINAPI GetClassInfoA(HINSTANCE, LPCSTR className, LPWNDCLASSA wc) {
  WindowClass* cls = findClass(className);
  if (!cls || !wc) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  wc->style = cls->style;
  wc->lpfnWndProc = cls->proc;
  wc->cbClsExtra = cls->clsExtra;
  wc->cbWndExtra = cls->wndExtra;
  wc->hInstance = cls->instance;
  wc->hIcon = cls->icon;
  wc->hCursor = cls->cursor;
  wc->hbrBackground = cls->background;
  wc->lpszMenuName = reinterpret_cast<LPCSTR>(cls->menuNameValue);
  wc->lpszClassName = cls->name.c_str();
  return TRUE;
}

int WINAPI GetClassNameA(HWND hwnd, LPSTR buffer, int size) {
  Window* w = findWindow(hwnd);
  if (!w || !buffer || size <= 0) return 0;
  const int n = std::min(static_cast<int>(w->cls->name.size()), size - 1);
  std::memcpy(buffer, w->cls->name.data(), static_cast<size_t>(n));
  buffer[n] = '\0';
  return n;
}

ULONG_PTR WINAPI GetClassLongPtrA(HWND hwnd, int index) {
  Window* w = findWindow(hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  WindowClass& c = *w->cls;
  switch (index) {
    case GCLP_HBRBACKGROUND: return reinterpret_cast<ULONG_PTR>(c.background);
    case GCL_STYLE: return c.style;
    case GCL_CBWNDEXTRA: return static_cast<ULONG_PTR>(c.wndExtra);
    case GCL_CBCLSEXTRA: return static_cast<ULONG_PTR>(c.clsExtra);
    case GCLP_HICON: return reinterpret_cast<ULONG_PTR>(c.icon);
    case GCLP_HICONSM: return reinterpret_cast<ULONG_PTR>(c.iconSmall);
    case GCLP_HCURSOR: return reinterpret_cast<ULONG_PTR>(c.cursor);
    case GCLP_WNDPROC: return reinterpret_cast<ULONG_PTR>(c.proc);
    case GCLP_HMODULE: return reinterpret_cast<ULONG_PTR>(c.instance);
    case GCLP_MENUNAME: return c.menuNameValue;
    default: break;
  }
  if (index >= 0 && static_cast<size_t>(index) + sizeof(ULONG_PTR) <= c.extra.size()) {
    ULONG_PTR v;
    std::memcpy(&v, c.extra.data() + index, sizeof v);
    return v;
  }
  SetLastError(ERROR_INVALID_INDEX);
  return 0;
}

ULONG_PTR WINAPI SetClassLongPtrA(HWND hwnd, int index, LONG_PTR value) {
  Window* w = findWindow(hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  WindowClass& c = *w->cls;
  const ULONG_PTR previous = GetClassLongPtrA(hwnd, index);
  switch (index) {
    case GCLP_HBRBACKGROUND: c.background = reinterpret_cast<HBRUSH>(value); return previous;
    case GCL_STYLE: c.style = static_cast<UINT>(value); return previous;
    case GCLP_HICON: c.icon = reinterpret_cast<HICON>(value); return previous;
    case GCLP_HICONSM: c.iconSmall = reinterpret_cast<HICON>(value); return previous;
    case GCLP_HCURSOR: c.cursor = reinterpret_cast<HCURSOR>(value); return previous;
    case GCLP_WNDPROC: c.proc = reinterpret_cast<WNDPROC>(value); return previous;
    default: break;
  }
  if (index >= 0 && static_cast<size_t>(index) + sizeof(ULONG_PTR) <= c.extra.size()) {
    std::memcpy(c.extra.data() + index, &value, sizeof value);
    return previous;
  }
  SetLastError(ERROR_INVALID_INDEX);
  return 0;
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                            int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  WindowClass* cls = findClass(className);
  if (!cls) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return nullptr;
  }
  if (parent && !findWindow(parent) && parent != kDesktop) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (parent == kDesktop) parent = nullptr;
  if ((style & WS_CHILD) && !parent) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto w = std::make_unique<Window>();
  const HWND hwnd = reinterpret_cast<HWND>(g_nextWindow);
  g_nextWindow += 4;
  w->handle = hwnd;
  w->cls = cls;
  w->proc = cls->proc;
  w->style = style & ~static_cast<DWORD>(WS_VISIBLE);
  w->exStyle = exStyle;
  w->parent = parent;
  w->instance = instance;
  w->extra.assign(static_cast<size_t>(cls->wndExtra), 0);
  if (!(style & WS_CHILD) && !menu && cls->menuNameValue)
    menu = LoadMenuA(instance, reinterpret_cast<LPCSTR>(cls->menuNameValue));
  w->menu = menu;
  if (x == CW_USEDEFAULT) x = y = 0;
  if (width == CW_USEDEFAULT) {
    width = 640;
    height = 480;
  }
  POINT origin{x, y};
  if (style & WS_CHILD) {
    const POINT o = clientOrigin(*findWindow(parent));
    origin.x += o.x;
    origin.y += o.y;
  }
  w->rect = RECT{origin.x, origin.y, origin.x + std::max(width, 0), origin.y + std::max(height, 0)};
  forgetLastWindow();
  windows()[hwnd] = std::move(w);
  creationOrder().push_back(hwnd);

  CREATESTRUCTA cs{};
  cs.lpCreateParams = param;
  cs.hInstance = instance;
  cs.hMenu = menu;
  cs.hwndParent = parent;
  cs.cx = width;
  cs.cy = height;
  cs.x = x;
  cs.y = y;
  cs.style = static_cast<LONG>(style);
  cs.lpszName = windowName;
  cs.lpszClass = className;
  cs.dwExStyle = exStyle;
  const LPARAM lp = reinterpret_cast<LPARAM>(&cs);
  if (!SendMessageA(hwnd, WM_NCCREATE, 0, lp)) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  if (!findWindow(hwnd)) return nullptr;
  if (SendMessageA(hwnd, WM_CREATE, 0, lp) == -1) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  Window* created = findWindow(hwnd);
  if (!created) return nullptr;
  SendMessageA(hwnd, WM_SIZE, SIZE_RESTORED, sizeParam(*created));
  if ((created = findWindow(hwnd)) == nullptr) return nullptr;
  const POINT p = relativeOrigin(*created);
  SendMessageA(hwnd, WM_MOVE, 0, MAKELPARAM(p.x, p.y));
  if (!findWindow(hwnd)) return nullptr;
  display().windowChanged(hwnd);
  if (style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
  return findWindow(hwnd) ? hwnd : nullptr;
}

BOOL WINAPI DestroyWindow(HWND hwnd) {
  Window* w = findWindow(hwnd);
  if (!w || w->destroying) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  w->destroying = true;
  if (g_focus == hwnd) {
    g_focus = nullptr;
    SendMessageA(hwnd, WM_KILLFOCUS, 0, 0);
  }
  if (g_active == hwnd) g_active = nullptr;
  SendMessageA(hwnd, WM_DESTROY, 0, 0);
  for (HWND child : allWindows())
    if (Window* c = findWindow(child); c && c->parent == hwnd) DestroyWindow(child);
  SendMessageA(hwnd, WM_NCDESTROY, 0, 0);
  dropWindowTimers(hwnd);
  dropWindowMessages(hwnd);
  dropCaretOf(hwnd);
  if ((w = findWindow(hwnd)) != nullptr) {
    if (!isChild(*w) && w->menu) destroyMenuTree(w->menu);
    releaseWindowDCs(*w);
  }
  forgetLastWindow();
  windows().erase(hwnd);
  auto& order = creationOrder();
  order.erase(std::remove(order.begin(), order.end(), hwnd), order.end());
  display().windowChanged(hwnd);
  return TRUE;
}

BOOL WINAPI IsWindow(HWND hwnd) { return findWindow(hwnd) != nullptr || hwnd == kDesktop; }

BOOL WINAPI IsWindowVisible(HWND hwnd) {
  for (Window* w = findWindow(hwnd); w; w = isChild(*w) ? findWindow(w->parent) : nullptr) {
    if (!(w->style & WS_VISIBLE)) return FALSE;
    if (!isChild(*w)) return TRUE;
  }
  return hwnd == kDesktop;
}

BOOL WINAPI ShowWindow(HWND hwnd, int cmdShow) {
  Window* w = findWindow(hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  const BOOL wasVisible = (w->style & WS_VISIBLE) != 0;
  if (cmdShow == SW_HIDE) {
    if (!wasVisible) return FALSE;
    SendMessageA(hwnd, WM_SHOWWINDOW, FALSE, 0);
    if ((w = findWindow(hwnd)) == nullptr) return TRUE;
    w->style &= ~static_cast<DWORD>(WS_VISIBLE);
    if (g_focus == hwnd) SetFocus(nullptr);
    display().windowChanged(hwnd);
    return TRUE;
  }
  if (!wasVisible) {
    SendMessageA(hwnd, WM_SHOWWINDOW, TRUE, 0);
    if ((w = findWindow(hwnd)) == nullptr) return FALSE;
    w->style |= WS_VISIBLE;
    InvalidateRect(hwnd, nullptr, TRUE);
  }
  if (!isChild(*w) && cmdShow != SW_SHOWNOACTIVATE && g_active != hwnd) {
    g_active = hwnd;
    SendMessageA(hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
    if (findWindow(hwnd)) SetFocus(hwnd);
  }
  display().windowChanged(hwnd);
  return wasVisible;
}

BOOL WINAPI MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
  if (!findWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  setGeometry(hwnd, x, y, width, height, true, true, repaint);
  return TRUE;
}

BOOL WINAPI SetWindowPos(HWND hwnd, HWND, int x, int y, int cx, int cy, UINT flags) {
  if (!findWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  setGeometry(hwnd, x, y, cx, cy, !(flags & SWP_NOMOVE), !(flags & SWP_NOSIZE), !(flags & SWP_NOREDRAW));
  if (flags & SWP_SHOWWINDOW) ShowWindow(hwnd, (flags & SWP_NOACTIVATE) ? SW_SHOWNOACTIVATE : SW_SHOW);
  if (flags & SWP_HIDEWINDOW) ShowWindow(hwnd, SW_HIDE);
  return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect) {
  if (!rect) return FALSE;
  if (hwnd == kDesktop) {
    *rect = display().desktopRect();
    return TRUE;
  }
  Window* w = findWindow(hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  *rect = w->rect;
  return TRUE;
}

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect) {
  if (!rect) return FALSE;
  if (hwnd == kDesktop) {
    const RECT d = display().desktopRect();
    *rect = RECT{0, 0, d.right - d.left, d.bottom - d.top};
    return TRUE;
  }
  Window* w = findWindow(hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  int cw = 0, ch = 0;
  clientSize(*w, &cw, &ch);
  *rect = RECT{0, 0, cw, ch};
  return TRUE;
}

BOOL WINAPI AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD) {
  if (!rect) return FALSE;
  const NonClient nc = nonClient(style, menu != FALSE);
  rect->left -= nc.left;
  rect->top -= nc.top;
  rect->right += nc.right;
  rect->bottom += nc.bottom;
  return TRUE;
}

BOOL WINAPI ClientToScreen(HWND hwnd, LPPOINT point) {
  Window* w = findWindow(hwnd);
  if (!w || !point) return FALSE;
  const POINT o = clientOrigin(*w);
  point->x += o.x;
  point->y += o.y;
  return TRUE;
}

BOOL WINAPI ScreenToClient(HWND hwnd, LPPOINT point) {
  Window* w = findWindow(hwnd);
  if (!w || !point) return FALSE;
  const POINT o = clientOrigin(*w);
  point->x -= o.x;
  point->y -= o.y;
  return TRUE;
}

HWND WINAPI GetDesktopWindow(void) { return kDesktop; }

HWND WINAPI GetParent(HWND hwnd) {
  Window* w = findWindow(hwnd);
  return w ? w->parent : nullptr;
}

HWND WINAPI FindWindowA(LPCSTR className, LPCSTR windowName) {
  for (HWND h : topLevelWindows()) {
    Window* w = findWindow(h);
    if (className && strcasecmp(w->cls->name.c_str(), className) != 0) continue;
    if (windowName && strcasecmp(w->text.c_str(), windowName) != 0) continue;
    return h;
  }
  return nullptr;
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND hwnd, int index) {
  Window* w = findWindow(hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  switch (index) {
    case GWL_STYLE: return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(w->exStyle);
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(w->parent);
    case GWLP_ID: return isChild(*w) ? reinterpret_cast<LONG_PTR>(w->menu) : 0;
    case GWLP_USERDATA: return w->userData;
    default: break;
  }
  if (index >= 0 && static_cast<size_t>(index) + sizeof(LONG_PTR) <= w->extra.size()) {
    LONG_PTR v;
    std::memcpy(&v, w->extra.data() + index, sizeof v);
    return v;
  }
  SetLastError(ERROR_INVALID_INDEX);
  return 0;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
  Window* w = findWindow(hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  const LONG_PTR previous = GetWindowLongPtrA(hwnd, index);
  switch (index) {
    case GWL_STYLE: w->style = static_cast<DWORD>(value); return previous;
    case GWL_EXSTYLE: w->exStyle = static_cast<DWORD>(value); return previous;
    case GWLP_WNDPROC: w->proc = reinterpret_cast<WNDPROC>(value); return previous;
    case GWLP_HINSTANCE: w->instance = reinterpret_cast<HINSTANCE>(value); return previous;
    case GWLP_ID:
      if (isChild(*w)) w->menu = reinterpret_cast<HMENU>(value);
      return previous;
    case GWLP_USERDATA: w->userData = value; return previous;
    default: break;
  }
  if (index >= 0 && static_cast<size_t>(index) + sizeof(LONG_PTR) <= w->extra.size()) {
    std::memcpy(w->extra.data() + index, &value, sizeof value);
    return previous;
  }
  SetLastError(ERROR_INVALID_INDEX);
  return 0;
}

BOOL WINAPI SetWindowTextA(HWND hwnd, LPCSTR text) {
  if (!findWindow(hwnd)) return FALSE;
  return static_cast<BOOL>(SendMessageA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)));
}

int WINAPI GetWindowTextA(HWND hwnd, LPSTR buffer, int size) {
  if (!findWindow(hwnd) || !buffer || size <= 0) return 0;
  return static_cast<int>(SendMessageA(hwnd, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer)));
}

int WINAPI GetWindowTextLengthA(HWND hwnd) {
  if (!findWindow(hwnd)) return 0;
  return static_cast<int>(SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

HWND WINAPI SetFocus(HWND hwnd) {
  if (hwnd && !findWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  const HWND previous = g_focus;
  if (previous == hwnd) return previous;
  g_focus = hwnd;
  sendFocusChange(previous, hwnd);
  return previous;
}

HWND WINAPI GetFocus(void) { return findWindow(g_focus) ? g_focus : nullptr; }

HWND WINAPI GetActiveWindow(void) { return findWindow(g_active) ? g_active : nullptr; }

BOOL WINAPI EnableWindow(HWND hwnd, BOOL enable) {
  Window* w = findWindow(hwnd);
  if (!w) return FALSE;
  const BOOL wasDisabled = !w->enabled;
  w->enabled = enable != FALSE;
  SendMessageA(hwnd, WM_ENABLE, static_cast<WPARAM>(enable != FALSE), 0);
  return wasDisabled;
}

BOOL WINAPI IsWindowEnabled(HWND hwnd) {
  Window* w = findWindow(hwnd);
  return w && w->enabled;
}

int WINAPI GetSystemMetrics(int index) {
  const RECT d = display().desktopRect();
  switch (index) {
    case SM_CXSCREEN: return d.right - d.left;
    case SM_CYSCREEN: return d.bottom - d.top;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL: return kScrollBar;
    case SM_CYCAPTION: return kCaption;
    case SM_CYMENU: return kMenuBar;
    case SM_CXBORDER:
    case SM_CYBORDER: return kBorder;
    case SM_CXFRAME:
    case SM_CYFRAME: return kFrame;
    default: return 0;
  }
}

HMENU WINAPI GetMenu(HWND hwnd) {
  Window* w = findWindow(hwnd);
  return (w && !isChild(*w)) ? w->menu : nullptr;
}

BOOL WINAPI SetMenu(HWND hwnd, HMENU menu) {
  Window* w = findWindow(hwnd);
  if (!w || isChild(*w)) return FALSE;
  w->menu = menu;
  display().windowChanged(hwnd);
  return TRUE;
}

BOOL WINAPI DrawMenuBar(HWND hwnd) {
  if (!findWindow(hwnd)) return FALSE;
  display().windowChanged(hwnd);
  return TRUE;
}

LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* w = findWindow(hwnd);
  if (!w) return 0;
  switch (msg) {
    case WM_NCCREATE: {
      const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) w->text = cs->lpszName;
      return TRUE;
    }
    case WM_SETTEXT:
      w->text = lParam ? reinterpret_cast<LPCSTR>(lParam) : "";
      display().windowChanged(hwnd);
      return TRUE;
    case WM_GETTEXT: {
      if (wParam == 0 || !lParam) return 0;
      char* out = reinterpret_cast<char*>(lParam);
      const size_t n = std::min(w->text.size(), static_cast<size_t>(wParam) - 1);
      std::memcpy(out, w->text.data(), n);
      out[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(w->text.size());
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_ERASEBKGND: eraseBackground(*w, reinterpret_cast<HDC>(wParam)); return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(hwnd, WM_CLOSE, 0, 0);
      return 0;
    default: return 0;
  }
}

LRESULT WINAPI CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

}  // extern "C"
