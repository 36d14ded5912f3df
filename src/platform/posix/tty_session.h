// The terminal display's dealings with the windows, apart from the terminal
// itself: it gathers what the screen shows from the live windows, dialogs and
// message boxes, and turns the user's keys, clicks and terminal resizes into
// Win32 messages (or menu, dialog and message-box actions). The ncurses layer
// reads the terminal and draws; everything here can be driven by a test.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "platform/posix/tty_keys.h"
#include "platform/posix/tty_menu.h"
#include "platform/posix/tty_message_box.h"
#include "platform/posix/tty_screen.h"
#include "platform/posix/win32_posix.h"

namespace posix {
namespace tty {

struct MouseInput {
  enum Action { kPress, kRelease };
  Action action = kPress;
  int x = 0;  // terminal cell
  int y = 0;
  unsigned mods = 0;  // kShift, kCtrl
};

// Two presses on the same cell within this time make a double click (Win32's default).
constexpr int64_t kDoubleClickMs = 500;

class Session {
 public:
  // The window the display shows: the first visible top-level window that is not a dialog.
  static HWND mainWindow();

  int width() const { return width_; }
  int height() const { return height_; }
  // The terminal's size in cells. A change after the first is a resize of the
  // window as far as the program is concerned: WM_SIZE with the unchanged client area.
  void setSize(int width, int height);
  // Keeps the main window's client area in whole cells of 10 x 20 pixels, at
  // least 81 x 26 of them (810 x 520) and within the screen's bounds: the
  // program sizes its window, not the terminal.
  void keepGeometry();
  // The desktop the program sees: the largest main window whose client area the
  // terminal shows in full, and at least the terminal's own size in pixels and
  // 1024 x 768.
  RECT desktopRect() const;

  // Input from the terminal waits in order until deliver() hands it on, so that
  // each key goes to the window that has the focus once the keys before it have
  // been handled, as Win32 resolves a key's window when the key is taken from
  // the input queue.
  void key(const KeyInput& in);
  void mouse(const MouseInput& in);
  bool pending() const { return !pending_.empty(); }
  // Hands the oldest waiting input on (the display calls it when the message
  // queue has run dry); false when none waits. While more waits, a WM_NULL is
  // posted so that the loop comes back.
  bool deliver();
  // The terminal is gone: open boxes and dialogs are cancelled and every
  // top-level window is asked to close.
  void hangUp();
  bool hungUp() const { return hungUp_; }

  // Runs a message box until it is answered, dispatching messages meanwhile.
  int messageBox(const char* text, const char* caption, UINT type);
  bool dialogWaits() const { return !hungUp_; }
  void dialogClosed(HWND dialog);

  const MenuNavigator& menu() const { return nav_; }
  // What the screen shows now.
  Frame frame() const;
  TtyScreen render() const { return renderFrame(frame()); }

 private:
  bool menuAvailable(HWND main) const;
  void routeKey(const KeyInput& in);
  void routeMouse(const MouseInput& in);
  void releaseMouse(const Frame& f, const MouseInput& in, const Hit& hit);

  struct Input {
    bool isKey;
    KeyInput key;
    MouseInput mouse;
  };
  std::deque<Input> pending_;

  int width_ = kMinLayoutWidth;
  int height_ = kMinLayoutHeight;
  bool sized_ = false;
  bool hungUp_ = false;
  MenuNavigator nav_;
  std::vector<std::unique_ptr<MessageBoxState>> boxes_;
  // The press the next release belongs to.
  enum class Pressed { kNone, kMenu, kBox, kWindow };
  Pressed pressed_ = Pressed::kNone;
  HWND pressTarget_ = nullptr;  // the window the button went down in
  HWND pressDialog_ = nullptr;  // its dialog, for a control
  // The last press in the client area, for double clicks.
  int64_t lastPressMs_ = 0;
  bool lastPressValid_ = false;
  int lastPressX_ = -1;
  int lastPressY_ = -1;
};

}  // namespace tty
}  // namespace posix
