// The terminal display's side of the windows: the frame, the input routing and
// the message boxes.
#include "platform/posix/tty_session.h"

#include <algorithm>

#include "platform/posix/dialog.h"
#include "platform/posix/display.h"
#include "platform/posix/internal.h"
#include "platform/posix/user_menu.h"

namespace posix {
namespace tty {
namespace {

// Dialogs that are shown, oldest first.
std::vector<HWND> shownDialogs() {
  std::vector<HWND> out;
  for (HWND h : openDialogs())
    if (IsWindowVisible(h)) out.push_back(h);
  return out;
}

LPARAM pointParam(POINT p) {
  return MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(p.x)), static_cast<WORD>(static_cast<SHORT>(p.y)));
}

WPARAM mouseKeys(unsigned mods, bool buttonDown) {
  WPARAM keys = buttonDown ? MK_LBUTTON : 0;
  if (mods & kShift) keys |= MK_SHIFT;
  if (mods & kCtrl) keys |= MK_CONTROL;
  return keys;
}

// Input waiting beyond this is dropped: a flood cannot grow the queue without limit.
constexpr size_t kMaxPendingInput = 65536;

// Wakes a loop that waits for the answer of a box, or for the next input.
void wake() { PostMessageA(nullptr, WM_NULL, 0, 0); }

bool menuKeyOf(const KeyInput& in, MenuKey* out) {
  switch (in.key) {
    case Key::kUp: *out = MenuKey::kUp; return true;
    case Key::kDown: *out = MenuKey::kDown; return true;
    case Key::kLeft: *out = MenuKey::kLeft; return true;
    case Key::kRight: *out = MenuKey::kRight; return true;
    case Key::kHome: *out = MenuKey::kHome; return true;
    case Key::kEnd: *out = MenuKey::kEnd; return true;
    case Key::kPadEnter: *out = MenuKey::kEnter; return true;
    case Key::kChar:
      if (in.ch == '\r') {
        *out = MenuKey::kEnter;
        return true;
      }
      if (in.ch == 0x1B) {
        *out = MenuKey::kEscape;
        return true;
      }
      return false;
    default: return false;
  }
}

// A point of the screen as client pixels of a dialog placed at `p` (may lie outside it).
POINT dialogPoint(const DialogPlacement& p, int x, int y) {
  return POINT{(x - p.x - 1) * kDialogBaseX + kDialogBaseX / 2, (y - p.y - 1) * kDialogBaseY + kDialogBaseY / 2};
}

// A point of a dialog's client area as client pixels of its control `control`.
POINT controlPoint(HWND control, POINT dialogClient) {
  Window* w = findWindow(control);
  Window* parent = w ? findWindow(w->parent) : nullptr;
  if (!w || !parent) return dialogClient;
  POINT origin{0, 0};
  ClientToScreen(w->parent, &origin);
  return POINT{dialogClient.x - (w->rect.left - origin.x), dialogClient.y - (w->rect.top - origin.y)};
}

}  // namespace

HWND Session::mainWindow() {
  for (HWND h : topLevelWindows())
    if (IsWindowVisible(h) && !isDialog(h)) return h;
  return nullptr;
}

bool Session::menuAvailable(HWND main) const {
  return main && IsWindowEnabled(main) && GetMenu(main) && shownDialogs().empty() && boxes_.empty() && !hungUp_;
}

void Session::setSize(int width, int height) {
  width = std::clamp(width, 1, CellGrid::kMaxColumns);
  height = std::clamp(height, 1, CellGrid::kMaxRows);
  const bool changed = sized_ && (width != width_ || height != height_);
  width_ = width;
  height_ = height;
  sized_ = true;
  if (!changed) return;
  const HWND main = mainWindow();
  if (Window* w = findWindow(main)) {
    int cw = 0, ch = 0;
    clientSize(*w, &cw, &ch);
    SendMessageA(main, WM_SIZE, SIZE_RESTORED, MAKELPARAM(cw, ch));
  }
}

void Session::keepGeometry() {
  const HWND main = mainWindow();
  Window* w = findWindow(main);
  if (!w) return;
  int cw = 0, ch = 0;
  clientSize(*w, &cw, &ch);
  const ClientCells cells = clientCells(cw, ch);
  const int width = cells.columns * kCellWidth, height = cells.rows * kCellHeight;
  if (cw == width && ch == height) return;
  RECT r{0, 0, width, height};
  AdjustWindowRectEx(&r, w->style, w->menu != nullptr, w->exStyle);
  SetWindowPos(main, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT Session::desktopRect() const {
  // The window's frame, caption, menu bar and scroll bar take more pixels than
  // the title line, menu bar and scroll bar column that stand for them here, so
  // the terminal's size in pixels alone would cap the client area short of what
  // the terminal shows.
  int width = width_ * kCellWidth, height = height_ * kCellHeight;
  if (Window* w = findWindow(mainWindow())) {
    RECT r{0, 0, std::max(0, width_ - 1) * kCellWidth, std::max(0, height_ - kClientTop) * kCellHeight};
    AdjustWindowRectEx(&r, w->style, w->menu != nullptr, w->exStyle);
    width = std::max<int>(width, r.right - r.left);
    height = std::max<int>(height, r.bottom - r.top);
  }
  return RECT{0, 0, std::max(width, 1024), std::max(height, 768)};
}

void Session::key(const KeyInput& in) {
  if (hungUp_ || in.key == Key::kNone || pending_.size() >= kMaxPendingInput) return;
  pending_.push_back(Input{true, in, MouseInput{}});
}

void Session::mouse(const MouseInput& in) {
  if (hungUp_ || pending_.size() >= kMaxPendingInput) return;
  pending_.push_back(Input{false, KeyInput{}, in});
}

bool Session::deliver() {
  if (pending_.empty()) return false;
  const Input in = pending_.front();
  pending_.pop_front();
  if (in.isKey) {
    routeKey(in.key);
  } else {
    routeMouse(in.mouse);
  }
  if (!pending_.empty()) wake();
  return true;
}

void Session::routeKey(const KeyInput& in) {
  if (hungUp_) return;
  if (!boxes_.empty()) {
    MessageBoxState& box = *boxes_.back();
    box.key(in);
    if (box.answered) wake();
    return;
  }
  const HWND main = mainWindow();
  if (nav_.isOpen()) {
    if (!menuAvailable(main)) {
      nav_.close();
    } else {
      const std::vector<MenuNode> tree = menuTree(GetMenu(main));
      MenuKey mk;
      MenuResult result;
      if (isMenuKey(in)) {
        nav_.close();
      } else if (menuKeyOf(in, &mk)) {
        result = nav_.key(tree, mk);
      } else if (in.key == Key::kChar && in.ch > 0x20 && in.ch < 0x7F) {
        result = nav_.character(tree, static_cast<char>(in.ch));
      }
      if (result.command) PostMessageA(main, WM_COMMAND, MAKEWPARAM(result.id, 0), 0);
      return;
    }
  }
  if (isMenuKey(in) && menuAvailable(main)) {
    nav_.open(menuTree(GetMenu(main)), 0, false);
    return;
  }
  // Keys go to the window with the focus, as Win32 posts them.
  HWND target = GetFocus();
  if (!target && main && IsWindowEnabled(main) && shownDialogs().empty()) target = main;
  if (!target) return;
  for (const KeyMessage& m : keyMessages(in)) PostMessageA(target, m.message, m.wParam, m.lParam);
}

void Session::routeMouse(const MouseInput& in) {
  if (hungUp_) return;
  const Frame f = frame();
  const Hit hit = hitTest(f, in.x, in.y);
  if (in.action == MouseInput::kRelease) {
    releaseMouse(f, in, hit);
    return;
  }
  const HWND main = mainWindow();
  pressed_ = Pressed::kNone;
  pressTarget_ = pressDialog_ = nullptr;
  switch (hit.kind) {
    case Hit::kBoxButton:
      boxes_.back()->press(hit.index);
      pressed_ = Pressed::kBox;
      return;
    case Hit::kMenuBar:
      if (!menuAvailable(main)) return;
      nav_.pressBar(f.menu, hit.index);
      pressed_ = Pressed::kMenu;
      return;
    case Hit::kMenuEntry:
      nav_.pressEntry(f.menu, hit.level, hit.index);
      pressed_ = Pressed::kMenu;
      return;
    case Hit::kMenuOutside: nav_.close(); return;
    case Hit::kClient: {
      if (!main || !IsWindowEnabled(main)) return;
      const int64_t now = nowMs();
      Window* w = findWindow(main);
      const bool dblclks = w && (w->cls->style & CS_DBLCLKS);
      const bool second = dblclks && lastPressValid_ && in.x == lastPressX_ && in.y == lastPressY_ &&
                          now - lastPressMs_ <= kDoubleClickMs;
      lastPressValid_ = !second;  // a third press starts over
      lastPressMs_ = now;
      lastPressX_ = in.x;
      lastPressY_ = in.y;
      PostMessageA(main, second ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN, mouseKeys(in.mods, true), pointParam(hit.point));
      pressed_ = Pressed::kWindow;
      pressTarget_ = main;
      return;
    }
    case Hit::kScrollBar:
      if (!main || !IsWindowEnabled(main)) return;
      PostMessageA(main, WM_VSCROLL, MAKEWPARAM(hit.index, 0), 0);
      PostMessageA(main, WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), 0);
      return;
    case Hit::kDialog: {
      const std::vector<HWND> dialogs = shownDialogs();
      if (dialogs.empty()) return;
      const HWND dialog = dialogs.back();
      const HWND control = controlAt(dialog, hit.point);
      const HWND target = control ? control : dialog;
      const POINT local = control ? controlPoint(control, hit.point) : hit.point;
      PostMessageA(target, WM_LBUTTONDOWN, mouseKeys(in.mods, true), pointParam(local));
      pressed_ = Pressed::kWindow;
      pressTarget_ = target;
      pressDialog_ = dialog;
      return;
    }
    case Hit::kComboItem: {
      const std::vector<HWND> dialogs = shownDialogs();
      if (dialogs.empty() || f.dialogs.empty()) return;
      const DialogFrame& d = f.dialogs.back();
      if (hit.control < 0 || hit.control >= static_cast<int>(d.controls.size())) return;
      chooseComboItem(d.controls[static_cast<size_t>(hit.control)].view.handle, hit.index);
      return;
    }
    case Hit::kNothing: return;
  }
}

void Session::releaseMouse(const Frame& f, const MouseInput& in, const Hit& hit) {
  const Pressed pressed = pressed_;
  const HWND target = pressTarget_, dialog = pressDialog_;
  pressed_ = Pressed::kNone;
  pressTarget_ = pressDialog_ = nullptr;
  switch (pressed) {
    case Pressed::kBox:
      if (!boxes_.empty()) {
        boxes_.back()->release(hit.kind == Hit::kBoxButton ? hit.index : -1);
        if (boxes_.back()->answered) wake();
      }
      return;
    case Pressed::kMenu: {
      const HWND main = mainWindow();
      if (!main || !nav_.isOpen()) return;
      MenuResult result;
      if (hit.kind == Hit::kMenuBar) result = nav_.releaseBar(f.menu, hit.index);
      if (hit.kind == Hit::kMenuEntry) result = nav_.releaseEntry(f.menu, hit.level, hit.index);
      if (result.command) PostMessageA(main, WM_COMMAND, MAKEWPARAM(result.id, 0), 0);
      return;
    }
    case Pressed::kWindow: {
      if (!IsWindow(target)) return;
      POINT local{0, 0};
      if (dialog) {
        // Where the pointer is now, in the pressed control's pixels (outside it when moved off).
        int index = -1;
        const std::vector<HWND> dialogs = shownDialogs();
        for (size_t i = 0; i < dialogs.size(); ++i)
          if (dialogs[i] == dialog) index = static_cast<int>(i);
        if (index < 0 || index >= static_cast<int>(f.dialogs.size())) return;
        const DialogPlacement p = placeDialog(f.dialogs[static_cast<size_t>(index)], f);
        const POINT client = dialogPoint(p, in.x, in.y);
        local = target == dialog ? client : controlPoint(target, client);
      } else {
        local = POINT{in.x * kCellWidth + kCellWidth / 2, (in.y - kClientTop) * kCellHeight + kCellHeight / 2};
      }
      PostMessageA(target, WM_LBUTTONUP, mouseKeys(in.mods, false), pointParam(local));
      return;
    }
    case Pressed::kNone: return;
  }
}

void Session::hangUp() {
  if (hungUp_) return;
  hungUp_ = true;
  pending_.clear();
  nav_.close();
  const std::vector<HWND> windows = topLevelWindows();
  if (windows.empty()) PostQuitMessage(0);
  for (HWND h : windows)
    if (!isDialog(h)) PostMessageA(h, WM_CLOSE, 0, 0);
  wake();
}

int Session::messageBox(const char* text, const char* caption, UINT type) {
  if (hungUp_) return escapeAnswer(type);
  nav_.close();
  boxes_.push_back(std::make_unique<MessageBoxState>(caption ? caption : "Error", text ? text : "", type));
  MessageBoxState* box = boxes_.back().get();
  // The box is modal: its loop dispatches every other message meanwhile.
  MSG msg{};
  while (!box->answered && !hungUp_) {
    GetMessageA(&msg, nullptr, 0, 0);
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // the outer loop must see it too
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  const int answer = box->answered ? box->answer : escapeAnswer(type);
  boxes_.erase(std::remove_if(boxes_.begin(), boxes_.end(),
                              [&](const std::unique_ptr<MessageBoxState>& b) { return b.get() == box; }),
               boxes_.end());
  if (pressed_ == Pressed::kBox) pressed_ = Pressed::kNone;
  return answer;
}

void Session::dialogClosed(HWND dialog) {
  if (pressDialog_ == dialog) {
    pressed_ = Pressed::kNone;
    pressTarget_ = pressDialog_ = nullptr;
  }
}

Frame Session::frame() const {
  Frame f;
  f.width = width_;
  f.height = height_;
  f.nav = nav_;
  const HWND main = mainWindow();
  Window* w = findWindow(main);
  if (w) {
    f.hasWindow = true;
    f.title = w->text;
    int cw = 0, ch = 0;
    clientSize(*w, &cw, &ch);
    f.clientArea = clientCells(cw, ch);
    if (w->menu && isMenuHandle(w->menu)) f.menu = menuTree(w->menu);
    f.client = &w->grid;
    f.scrollBar = (w->style & WS_VSCROLL) != 0;
    f.scrollMin = w->vscroll.minPos;
    f.scrollMax = w->vscroll.maxPos;
    f.scrollPos = w->vscroll.pos;
  }
  if (!f.hasWindow || f.menu.empty()) f.nav.close();
  const CaretState caret = caretState();
  f.caretVisible = caret.visible && caret.owner != nullptr;
  f.caretPos = caret.pos;
  if (caret.owner != main) f.caretDialog = -2;  // somewhere that is not the client area
  for (HWND h : shownDialogs()) {
    DialogView view;
    if (!viewDialog(h, &view)) continue;
    DialogFrame d;
    d.caption = view.caption;
    d.clientWidth = view.client.right - view.client.left;
    d.clientHeight = view.client.bottom - view.client.top;
    Window* dw = findWindow(h);
    d.grid = dw ? &dw->grid : nullptr;
    for (ControlView& c : view.controls) {
      ControlFrame control;
      Window* cw = findWindow(c.handle);
      control.grid = cw ? &cw->grid : nullptr;
      if (c.handle == caret.owner) {
        f.caretDialog = static_cast<int>(f.dialogs.size());
        f.caretControl = static_cast<int>(d.controls.size());
      }
      control.view = std::move(c);
      d.controls.push_back(std::move(control));
    }
    f.dialogs.push_back(std::move(d));
  }
  for (const auto& box : boxes_) f.boxes.push_back(box.get());
  return f;
}

}  // namespace tty
}  // namespace posix
