// The display seam: bytes in through the Telnet engine, what the terminal
// reports to its display out. The engine never draws; it notes what changed
// and presents it once per read batch.
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "harness.h"
#include "net/telnet.h"
#include "terminal/display.h"

namespace {

// Records each bell and each presentation, with what it was asked to show.
class Recording : public Display {
 public:
  std::string events;
  void Bell() override { events += "bell|"; }
  void Present(CommTcp& t) override {
    const ScreenDamage& d = t.damage;
    events += "present";
    if (d.nvtView) events += " view";
    if (d.screen3270) events += " 3270";
    for (int r = 0; r < ScreenDamage::kRows; ++r)
      if (d.RowChanged(r)) events += " row" + std::to_string(r) + ":" + std::to_string(d.first[r]) + "-" + std::to_string(d.last[r]);
    events += "|";
    t.damage.Clear();
  }
};

class DisplaySeamTest : public NvtLayoutTest {
 protected:
  void read(const std::string& bytes) {
    std::memcpy(t->receiveBuffer, bytes.data(), bytes.size());
    ParseData(window_, t->socketHandle, nullptr, t->receiveBuffer, static_cast<int>(bytes.size()), &t->terminalMode);
  }
};

TEST_F(DisplaySeamTest, EachBatchIsPresentedOnceWithWhatItChanged) {
  struct Case {
    const char* name;
    int mode;
    int row, column;  // the cursor before
    std::string bytes;
    const char* events;
  } cases[] = {
      {"one character: its cell", 0, 3, 7, "A", "present row3:7-7|"},
      {"a burst: the whole view", 0, 3, 7, "AB", "present view|"},
      {"a character past the spare column: nothing", 0, 3, 81, "V", "present|"},
      {"a line feed that scrolls: the whole view", 0, 24, 0, "\n", "present view|"},
      {"a carriage return: only the cursor", 0, 3, 7, "\r", "present|"},
      {"a bell", 0, 0, 0, "\a", "bell|present|"},
      {"bells of one batch ring once", 0, 0, 0, "\a\a\a", "bell|present view|"},
      {"a 3270 record: the 3270 screen, not the NVT view", kMode3270, 0, 0, "\xF5\xC3\xFF\xEF", "present 3270|"},
      {"half a record: nothing new", kMode3270, 0, 0, "\xF5\xC3", "present|"},
  };
  Recording recording;
  t->display = &recording;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    t->terminalMode = c.mode;
    t->recordFill = 0;
    t->cursorRow = c.row;
    t->cursorColumn = c.column;
    recording.events.clear();
    read(c.bytes);
    EXPECT_EQ(recording.events, c.events);
    EXPECT_EQ(t->repaintPending, 0);
  }
  t->terminalMode = 0;
  t->display = nullptr;
}

// Where a record leaves the cursor is the engine's work, the same whatever
// shows the screen: the window's painter, or a display that draws nothing.
TEST_F(DisplaySeamTest, ARecordPlacesTheCursorWhateverTheDisplay) {
  // Erase/Write: a protected field at 0, an input field after it, no insert cursor.
  const std::string record = "\xF5\xC3\x1D\x60\xC1\xC2\x1D\x40\xC3\xFF\xEF";
  Recording recording;
  Display* const painter = t->display;
  std::vector<std::pair<int, int>> cursors;
  for (Display* display : {painter, static_cast<Display*>(&recording)}) {
    t->display = display;
    t->terminalMode = kMode3270;
    t->recordFill = 0;
    t->InitScreen();
    t->currentField = 0;
    read(record);
    cursors.emplace_back(t->cursorRow, t->cursorColumn);
  }
  EXPECT_EQ(cursors[0], cursors[1]);
  EXPECT_EQ(cursors[0], std::make_pair(0, 0));
  t->terminalMode = 0;
  t->display = painter;
}

}  // namespace
