// Message boxes on a terminal.
#include "platform/posix/tty_message_box.h"

#include <algorithm>
#include <cctype>

#include "platform/posix/dialog.h"
#include "platform/posix/tty_menu.h"

namespace posix {
namespace tty {
namespace {

constexpr UINT kTypeMask = 0x0F;
constexpr UINT kDefaultButtonMask = 0xF00;
constexpr UINT kAbortRetryIgnore = 2;
constexpr UINT kYesNoCancel = 3;
constexpr UINT kRetryCancel = 5;
constexpr UINT kCancelTryContinue = 6;
constexpr int kTryAgain = 10;
constexpr int kContinue = 11;

// Wraps the text at word boundaries to `columns`, control characters shown as blanks.
std::vector<std::string> wrap(std::string text, int columns) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 && c != '\n') c = ' ';
  return wrapText(text, columns, true);
}

}  // namespace

std::vector<BoxButton> boxButtons(UINT type) {
  switch (type & kTypeMask) {
    case MB_OKCANCEL: return {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
    case kAbortRetryIgnore: return {{IDABORT, "&Abort"}, {IDRETRY, "&Retry"}, {IDIGNORE, "&Ignore"}};
    case kYesNoCancel: return {{IDYES, "&Yes"}, {IDNO, "&No"}, {IDCANCEL, "Cancel"}};
    case MB_YESNO: return {{IDYES, "&Yes"}, {IDNO, "&No"}};
    case kRetryCancel: return {{IDRETRY, "&Retry"}, {IDCANCEL, "Cancel"}};
    case kCancelTryContinue: return {{IDCANCEL, "Cancel"}, {kTryAgain, "&Try Again"}, {kContinue, "&Continue"}};
    default: return {{IDOK, "OK"}};
  }
}

int escapeAnswer(UINT type) {
  const std::vector<BoxButton> buttons = boxButtons(type);
  for (const BoxButton& b : buttons)
    if (b.id == IDCANCEL) return IDCANCEL;
  return buttons.size() == 1 && buttons[0].id == IDOK ? IDOK : 0;
}

std::string buttonText(const BoxButton& button) { return "[ " + menuLabel(button.label).text + " ]"; }

MessageBoxState::MessageBoxState(std::string caption_, std::string text_, UINT type_)
    : caption(std::move(caption_)), text(std::move(text_)), type(type_) {
  const int buttons = static_cast<int>(boxButtons(type).size());
  focus = std::min(static_cast<int>((type & kDefaultButtonMask) >> 8), buttons - 1);
}

void MessageBoxState::key(const KeyInput& in) {
  const std::vector<BoxButton> buttons = boxButtons(type);
  const int n = static_cast<int>(buttons.size());
  auto answerWith = [&](int id) {
    answered = true;
    answer = id;
  };
  const bool shift = (in.mods & kShift) != 0;
  switch (in.key) {
    case Key::kRight:
    case Key::kDown: focus = (focus + 1) % n; return;
    case Key::kLeft:
    case Key::kUp:
    case Key::kBackTab: focus = (focus + n - 1) % n; return;
    case Key::kPadEnter: answerWith(buttons[static_cast<size_t>(focus)].id); return;
    case Key::kChar: break;
    default: return;
  }
  switch (in.ch) {
    case '\t': focus = shift ? (focus + n - 1) % n : (focus + 1) % n; return;
    case '\r':
    case ' ': answerWith(buttons[static_cast<size_t>(focus)].id); return;
    case 0x1B:
      if (const int id = escapeAnswer(type)) answerWith(id);
      return;
    default: break;
  }
  if (in.ch >= 0x80 || !std::isalnum(static_cast<int>(in.ch))) return;
  const char wanted = static_cast<char>(std::tolower(static_cast<int>(in.ch)));
  for (const BoxButton& b : buttons) {
    const MenuLabel label = menuLabel(b.label);
    if (label.mnemonic >= 0 &&
        std::tolower(static_cast<unsigned char>(label.text[static_cast<size_t>(label.mnemonic)])) == wanted) {
      answerWith(b.id);
      return;
    }
  }
}

void MessageBoxState::press(int button) {
  const int n = static_cast<int>(boxButtons(type).size());
  if (button < 0 || button >= n) return;
  pressed = button;
  focus = button;
}

void MessageBoxState::release(int button) {
  const std::vector<BoxButton> buttons = boxButtons(type);
  if (button >= 0 && button == pressed && button < static_cast<int>(buttons.size())) {
    answered = true;
    answer = buttons[static_cast<size_t>(button)].id;
  }
  pressed = -1;
}

BoxLayout layoutBox(const MessageBoxState& box, int width, int height) {
  BoxLayout layout;
  const std::vector<BoxButton> buttons = boxButtons(box.type);
  int buttonsWidth = 0;
  for (const BoxButton& b : buttons) {
    if (buttonsWidth) buttonsWidth += 2;
    buttonsWidth += static_cast<int>(buttonText(b).size());
  }
  const int textColumns = std::max(10, width - 6);
  layout.lines = wrap(box.text, textColumns);
  int inner = std::max(buttonsWidth, static_cast<int>(box.caption.size()) + 1);
  for (const std::string& line : layout.lines) inner = std::max(inner, static_cast<int>(line.size()));
  inner = std::min(inner, std::max(textColumns, buttonsWidth));
  layout.width = inner + 4;  // frame and a blank margin on either side
  layout.height = static_cast<int>(layout.lines.size()) + 5;
  layout.x = std::max(0, (width - layout.width) / 2);
  layout.y = std::max(0, (height - layout.height) / 2);
  layout.textTop = layout.y + 2;
  layout.buttonRow = layout.textTop + static_cast<int>(layout.lines.size()) + 1;
  int x = layout.x + (layout.width - buttonsWidth) / 2;
  for (const BoxButton& b : buttons) {
    const int w = static_cast<int>(buttonText(b).size());
    layout.buttonX.push_back(x);
    layout.buttonWidth.push_back(w);
    x += w + 2;
  }
  return layout;
}

}  // namespace tty
}  // namespace posix
