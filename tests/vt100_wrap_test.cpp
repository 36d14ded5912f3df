// Auto-wrap: with it on, a character written in the last column leaves the
// cursor there with a wrap pending, and the next printable character goes to
// column 0 of the next row (scrolling the region at its bottom margin); with
// it off, the spare column absorbs the 81st character and the rest is lost.
// Every case runs through both insertion paths: the run placed for the repaint
// after the parse, and the single characters drawn at once.
#include <string>
#include <utility>
#include <vector>

#include "vt100_fixture.h"

namespace {

using Wrap = Vt100Test;

// Characters first .. first + n - 1 of the endless cycle a..z.
std::string letters(int n, int first = 0) {
  std::string s;
  for (int i = first; i < first + n; ++i) s += static_cast<char>('a' + i % 26);
  return s;
}

struct WrapCase {
  const char* what;
  int autoWrap;
  std::string bytes;  // from the home position of a blank screen
  int row, column;    // the cursor after
  int pending;
  std::vector<std::pair<int, std::string>> rows;  // screen rows, all 81 cells
};

std::string cells(const std::string& text) { return text + std::string(81 - text.size(), ' '); }

const std::vector<WrapCase>& wrapCases() {
  static const std::vector<WrapCase> cases = {
      {"80th character: pending in the last column", 1, letters(80), 0, 79, 1, {{0, cells(letters(80))}, {1, cells("")}}},
      {"81st character wraps", 1, letters(81), 1, 1, 0, {{0, cells(letters(80))}, {1, cells("c")}}},
      {"161st character wraps twice", 1, letters(161), 2, 1, 0,
       {{0, cells(letters(80))}, {1, cells(letters(80, 80))},
        {2, cells("e")}}},
      {"off: the spare column takes the 81st", 0, letters(81), 0, 81, 0, {{0, letters(81)}, {1, cells("")}}},
      {"off: the 82nd and on are lost", 0, letters(161), 0, 161, 0, {{0, letters(81)}, {1, cells("")}}},
      {"CR ends the pending wrap", 1, letters(80) + "\rX", 0, 1, 0, {{0, cells("X" + letters(80).substr(1))}, {1, cells("")}}},
      {"LF ends it: no second row feed", 1, letters(80) + "\nX", 1, 80 - 1, 1, {{1, cells(std::string(79, ' ') + "X")}}},
      {"backspace ends it", 1, letters(80) + "\bX", 0, 79, 0, {{0, cells(letters(78) + "Xb")}, {1, cells("")}}},
      {"a cursor move ends it", 1, letters(80) + "\x1b[DX", 0, 79, 0, {{0, cells(letters(78) + "Xb")}, {1, cells("")}}},
      {"cursor position to the same cell ends it", 1, letters(80) + "\x1b[1;80HX", 0, 79, 1,
       {{0, cells(letters(79) + "X")}, {1, cells("")}}},
      {"a rendition keeps it", 1, letters(80) + "\x1b[1mX", 1, 1, 0, {{1, cells("X")}}},
      {"?7l turns wrap off", 1, "\x1b[?7l" + letters(81), 0, 81, 0, {{0, letters(81)}, {1, cells("")}}},
      {"?7h turns it on, also in a list", 0, "\x1b[?3;7;8h" + letters(81), 1, 1, 0, {{1, cells("c")}}},
      {"the cursor stops at the last column", 1, "\x1b[99C\x1b[1;99H\tX", 0, 79, 1, {{0, cells(std::string(79, ' ') + "X")}}},
      {"off: the cursor reaches the spare column", 0, "\x1b[1;99HX", 0, 81, 0, {{0, std::string(80, ' ') + "X"}}},
      {"tabs stop at the last column", 1, "\t\t\t\t\t\t\t\t\t\t\t\tX", 0, 79, 1, {{0, cells(std::string(79, ' ') + "X")}}},
  };
  return cases;
}

TEST_F(Wrap, CharactersAtTheRightEdge) {
  for (const int repaint : {1, 0}) {
    for (const WrapCase& c : wrapCases()) {
      SCOPED_TRACE(testing::Message() << c.what << (repaint ? ", run for the repaint" : ", drawn at once"));
      for (int r = 0; r < 25; ++r) putRow(r, std::string(81, ' '));
      setCursor(0, 0);
      t->autoWrap = c.autoWrap;
      t->wrapPending = 0;
      t->repaintPending = repaint;
      parse(c.bytes);
      EXPECT_EQ(t->cursorRow, c.row);
      EXPECT_EQ(t->cursorColumn, c.column);
      EXPECT_EQ(t->wrapPending, c.pending);
      for (const auto& [row, text] : c.rows) EXPECT_EQ(rowText(row, 81), text) << "row " << row;
    }
  }
}

TEST_F(Wrap, AtTheBottomMarginTheRegionScrolls) {
  for (const int repaint : {1, 0}) {
    SCOPED_TRACE(repaint ? "run for the repaint" : "drawn at once");
    for (int r = 0; r < 25; ++r) putRow(r, std::string(81, static_cast<char>('A' + r)));
    t->autoWrap = 1;
    t->wrapPending = 0;
    t->repaintPending = repaint;
    // Region rows 5..10 (1-based), a line written along row 10 and on.
    parse("\x1b[5;10r\x1b[10;1H" + letters(81));
    EXPECT_EQ(rowText(3, 3), "DDD");                   // above the region: unchanged
    EXPECT_EQ(rowText(4, 3), "FFF");                   // the region moved up one row
    EXPECT_EQ(rowText(8, 81), letters(80) + "J");      // the wrapped line (its spare cell untouched)
    EXPECT_EQ(rowText(9, 81), cells("c"));             // its 81st character, on a blank row
    EXPECT_EQ(rowText(10, 3), "KKK");                  // below the region: unchanged
    EXPECT_EQ(t->cursorRow, 9);
    EXPECT_EQ(t->cursorColumn, 1);
    parse("\x1b[r");
  }
}

TEST_F(Wrap, InsertModeWrapsTheSameWay) {
  putRow(0, letters(80) + "!");
  putRow(1, "0123456789");
  t->autoWrap = 1;
  parse("\x1b[4h\x1b[1;80HXY");
  // X went into the last column, pushing its old character into the spare
  // column; Y went to the start of the next row, pushing that row right.
  EXPECT_EQ(rowText(0, 81), letters(79) + "X" + letters(80).substr(79, 1));
  EXPECT_EQ(rowText(1, 12), "Y0123456789 ");
  EXPECT_EQ(t->cursorRow, 1);
  EXPECT_EQ(t->cursorColumn, 1);

  // On the last row the wrap scrolls the screen; the characters after it
  // stay on the new last row.
  putRow(24, letters(80) + "!");
  parse("\x1b[25;80HXYZ");
  EXPECT_EQ(rowText(23, 81), letters(79) + "X" + letters(80).substr(79, 1));
  EXPECT_EQ(rowText(24, 4), "YZ  ");
  EXPECT_EQ(t->cursorRow, 24);
  EXPECT_EQ(t->cursorColumn, 2);
}

TEST_F(Wrap, ConnectStartsWithTheSettingsFileChoice) {
  struct Case {
    const char* ini;  // the settings file, or null for none
    int autoWrap;
  };
  for (const Case& c : {Case{nullptr, 1}, Case{"[VT100]\nAutoWrap=0\n", 0}, Case{"[VT100]\nAutoWrap=1\n", 1}}) {
    SCOPED_TRACE(c.ini ? c.ini : "no settings file");
    std::remove("quillon.ini");
    if (c.ini) writeFile("quillon.ini", c.ini);
    t->autoWrap = 1 - c.autoWrap;
    t->wrapPending = t->cursorKeysApplication = t->keypadApplication = 1;
    t->ResetVt100Modes();
    EXPECT_EQ(t->autoWrap, c.autoWrap);
    EXPECT_EQ(t->wrapPending + t->cursorKeysApplication + t->keypadApplication, 0);
  }
}

}  // namespace
