// The POSIX entry point of quillon-script: no display to show anything on, and
// message boxes handed to the script, which reports them as the answer to the
// action that caused them.
#include <poll.h>

#include <memory>

#include "platform/posix/display.h"
#include "script/script_main.h"

namespace {

class ScriptDisplay : public posix::Display {
 public:
  const char* name() const override { return "script"; }
  RECT desktopRect() const override { return RECT{0, 0, 1024, 768}; }
  int messageBox(HWND, const char* text, const char*, UINT type) override {
    NoteScriptMessageBox(text ? text : "");
    return (type & 0x0F) == MB_YESNO ? IDYES : IDOK;
  }
};

}  // namespace

bool ScriptInputWaiting() {
  pollfd in{0, POLLIN, 0};
  return poll(&in, 1, 0) != 0;  // readable, ended, or an error the read will report
}

int main(int argc, char** argv) {
  posix::setDisplay(std::make_unique<ScriptDisplay>());
  const int result = ScriptMain(argc, argv);
  posix::setDisplay(nullptr);
  return result;
}
