// The current display, the headless display and message boxes.
#include "platform/posix/display.h"

#include "platform/posix/dialog.h"
#include "platform/posix/internal.h"
#include "platform/posix/testing.h"

namespace posix {
namespace {

RECT g_desktop{0, 0, 1024, 768};
std::vector<MessageBoxRecord> g_messageBoxes;
std::function<int(const MessageBoxRecord&)> g_messageBoxHandler;
std::function<void(HWND, const std::string&)> g_dialogHandler;

int defaultAnswer(UINT type) {
  switch (type & 0x0F) {
    case MB_YESNO: return IDYES;
    default: return IDOK;
  }
}

// Shows nothing; message boxes are logged and answered at once.
class HeadlessDisplay : public Display {
 public:
  const char* name() const override { return "headless"; }
  RECT desktopRect() const override { return g_desktop; }
  int messageBox(HWND owner, const char* text, const char* caption, UINT type) override {
    MessageBoxRecord record{owner, text ? text : "", caption ? caption : "Error", type};
    g_messageBoxes.push_back(record);
    return g_messageBoxHandler ? g_messageBoxHandler(record) : defaultAnswer(type);
  }
  // Dialogs go to the test hook; what it leaves open is cancelled (dialogWaits).
  void dialogOpened(HWND dialog) override {
    if (!g_dialogHandler) return;
    const auto handler = g_dialogHandler;  // the handler may replace itself
    const Window* w = findWindow(dialog);
    handler(dialog, w ? w->text : std::string());
  }
};

std::unique_ptr<Display>& current() {
  static std::unique_ptr<Display> d;
  return d;
}

}  // namespace

Display::~Display() = default;

Display& display() {
  if (!current()) current() = std::make_unique<HeadlessDisplay>();
  return *current();
}

void setDisplay(std::unique_ptr<Display> d) { current() = std::move(d); }

namespace testing {

const std::vector<MessageBoxRecord>& messageBoxes() { return g_messageBoxes; }
void clearMessageBoxes() { g_messageBoxes.clear(); }
void setMessageBoxHandler(std::function<int(const MessageBoxRecord&)> handler) {
  g_messageBoxHandler = std::move(handler);
}
void setDesktopSize(int width, int height) { g_desktop = RECT{0, 0, width, height}; }
void setDialogHandler(std::function<void(HWND, const std::string&)> handler) {
  g_dialogHandler = std::move(handler);
}

void resetPlatform() {
  resetWindows();
  resetDialogs();
  resetQueue();
  resetCaret();
  resetMenus();
  resetGdi();
  resetFontResources();
  resetClipboard();
  resetWinsock();
  g_messageBoxes.clear();
  g_messageBoxHandler = nullptr;
  g_dialogHandler = nullptr;
  g_desktop = RECT{0, 0, 1024, 768};
}

const CellGrid* grid(HWND hwnd) {
  Window* w = findWindow(hwnd);
  return w ? &w->grid : nullptr;
}

std::string rowText(HWND hwnd, int row, int columns) {
  std::string out;
  const CellGrid* g = grid(hwnd);
  for (int c = 0; c < columns; ++c) {
    const Cell* cell = g ? g->at(c, row) : nullptr;
    out += cell ? cell->ch : ' ';
  }
  return out;
}

std::string underlineMarks(HWND hwnd, int row, int columns) {
  std::string out;
  const CellGrid* g = grid(hwnd);
  for (int c = 0; c < columns; ++c) {
    const Cell* cell = g ? g->at(c, row) : nullptr;
    out += cell && cell->underline ? '_' : ' ';
  }
  return out;
}

}  // namespace testing
}  // namespace posix

using namespace posix;

extern "C" {

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  return display().messageBox(owner, text, caption, type);
}

BOOL WINAPI Beep(DWORD, DWORD) {
  display().beep();
  return TRUE;
}

}  // extern "C"
