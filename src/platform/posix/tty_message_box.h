// A message box on a terminal: its buttons, its keyboard and its layout.
// No terminal calls; the display draws what this describes and runs the box.
#pragma once

#include <string>
#include <vector>

#include "platform/posix/tty_keys.h"
#include "platform/posix/win32_posix.h"

namespace posix {
namespace tty {

struct BoxButton {
  int id;             // IDOK, IDCANCEL, ...
  const char* label;  // with the '&' mnemonic marker, as Win32 labels them
};

// The buttons of a message box type (MB_OK, MB_YESNO, ...), left to right.
std::vector<BoxButton> boxButtons(UINT type);
// What Escape answers: IDCANCEL when there is a Cancel button, IDOK for a lone OK
// button, 0 when Escape does nothing (Yes/No, Abort/Retry/Ignore).
int escapeAnswer(UINT type);

struct MessageBoxState {
  std::string caption;
  std::string text;
  UINT type = MB_OK;
  int focus = 0;          // the focused button
  int pressed = -1;       // the button the mouse went down on
  bool answered = false;
  int answer = 0;

  MessageBoxState(std::string caption, std::string text, UINT type);
  // A key: Tab and the arrows move between the buttons, Enter and Space press the
  // focused one, Escape answers as escapeAnswer says, a mnemonic presses its button.
  void key(const KeyInput& in);
  void press(int button);    // mouse down on a button
  void release(int button);  // mouse up: answers when it is the pressed button
};

// Where the box and its parts lie, centred on an area of `width` x `height` cells.
struct BoxLayout {
  int x = 0, y = 0, width = 0, height = 0;  // frame included; the caption is the top row
  std::vector<std::string> lines;           // the text, wrapped
  int textTop = 0;                          // screen row of the first line
  int buttonRow = 0;
  std::vector<int> buttonX;  // first cell of each button
  std::vector<int> buttonWidth;
};
BoxLayout layoutBox(const MessageBoxState& box, int width, int height);
// A button as drawn: "[ OK ]".
std::string buttonText(const BoxButton& button);

}  // namespace tty
}  // namespace posix
