// The keys of a model screen: characters are typed where the cursor stands,
// the arrows move the cursor a cell, Tab and Back-tab (Shift+Tab) move between
// input fields, Home goes to the first one, End erases to the end of the
// field; Enter, the F keys (PF1-PF24 with Shift) send their attention.
#include "ui/keyboard_model3270.h"

#include "net/socket_io.h"
#include "tn3270/code_page.h"
#include "tn3270/model_engine.h"
#include "ui/window_proc.h"

namespace {

// The screen is drawn again and the caret placed where the cursor now stands.
void show(CommTcp& t) {
  t.ShowScreenIcPos(t.windowHandle, t.cellWidth, t.cellHeight, &t.cursorColumn, &t.cursorRow);
  t.damage.screen3270 = true;
  t.Present();
}

void moveBy(CommTcp& t, int delta) { model3270::CursorTo(t, t.modelScreen.cursor + delta); }

void attention(CommTcp& t, HWND hwnd, uint8_t aid) {
  if (t.socketHandle == INVALID_SOCKET) {
    disp_err(hwnd, "INVALID_SOCKET Before Sending");
    return;
  }
  if (t.modelLocked) return;
  model3270::Attention(t, aid);
}

}  // namespace

void KeyDownModel3270(CommTcp& t, HWND hwnd, WPARAM key) {
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  const int code = static_cast<int>(key & 0xFFFF);
  // The F keys' attention identifiers, as the original keyboard computes them.
  if (key >= VK_F1 && key <= VK_F9) {
    attention(t, hwnd, static_cast<uint8_t>((shift ? code + 0x51 : code - 0x7F) & 0xFF));
  } else if (key >= VK_F10 && key <= VK_F12) {
    attention(t, hwnd, static_cast<uint8_t>((shift ? code - 0x2F : code + 1) & 0xFF));
  } else {
    switch (key) {
      case VK_LEFT: moveBy(t, -1); break;
      case VK_RIGHT: moveBy(t, 1); break;
      case VK_UP: moveBy(t, -t.modelScreen.columns); break;
      case VK_DOWN: moveBy(t, t.modelScreen.columns); break;
      case VK_HOME: model3270::Home(t); break;
      case VK_END: model3270::EraseEndOfField(t); break;
      case VK_TAB:
        if (shift) model3270::BackTab(t);
        break;
      default: return;
    }
  }
  if (WindowHolds(hwnd, t)) show(t);
}

void CharModel3270(CommTcp& t, HWND hwnd, WPARAM ch) {
  const unsigned char x = static_cast<unsigned char>(ch & 0xFF);
  switch (x) {
    case 13:
    case 10:
      attention(t, hwnd, t.aid);
      if (!WindowHolds(hwnd, t)) return;
      t.aid = 0x7D;  // a PF key's identifier is used once
      break;
    case 8: model3270::Backspace(t); break;
    case 9:
      if (GetKeyState(VK_SHIFT) < 0)
        model3270::BackTab(t);
      else
        model3270::Tab(t);
      break;
    case 27: return;
    default:
      if (x < 0x20 || x >= 0x7F) return;
      if (!model3270::TypeChar(t, kLatin1ToEbcdic[x])) return;
      break;
  }
  show(t);
}
