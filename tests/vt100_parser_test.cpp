// The VT100 interpreter's pass loop: printable and control bytes, ESC
// sequences, line drawing, tilde-brace shifting across reads, unrecognised
// bytes, VT52 mode, the caret, and a randomized robustness sweep (the bell is in
// vt100_parser_posix_test.cpp).
#include <memory>
#include <random>

#include "loopback.h"
#include "vt100/nvt_cells.h"
#include "vt100_fixture.h"

namespace {

using Parser = Vt100Test;

struct CursorCase {
  const char* bytes;
  int row, column;                  // start
  int expectedRow, expectedColumn;  // after
};

TEST_F(Parser, ControlBytesAndEscMovesKeepTheCursorInBounds) {
  setRegionRows(5, 20);
  const CursorCase cases[] = {
      {"\x08", 3, 0, 3, 0},     {"\x08", 3, 5, 3, 4},    {"\t", 3, 0, 3, 8},      {"\t", 3, 7, 3, 8},
      {"\t", 3, 8, 3, 16},      {"\t", 3, 79, 3, 80},    {"\t", 3, 80, 3, 88},    {"\t\t\t", 3, 80, 3, 88},
      {"\r", 3, 40, 3, 0},      {"\x1b" "A", 6, 2, 5, 2}, {"\x1b" "A", 5, 2, 5, 2}, {"\x1b" "B", 19, 2, 20, 2},
      {"\x1b" "B", 20, 2, 20, 2}, {"\x1b" "C", 3, 79, 3, 80}, {"\x1b" "C", 3, 80, 3, 80}, {"\x1b" "E", 7, 9, 8, 0},
      {"\x1b" "D", 7, 9, 8, 9}, {"\x85", 7, 9, 8, 0},    {"\x84", 7, 9, 8, 9},    {"\x1b" "M", 7, 9, 6, 9},
      {"\x1b" "I", 7, 9, 6, 9}, {"\x8d", 7, 9, 6, 9},    {"\x1b" "Y!!", 7, 9, 7, 9}, {"\x0b\x0c", 7, 9, 9, 9},
  };
  for (const CursorCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.bytes)));
    setCursor(c.row, c.column);
    EXPECT_EQ(parse(c.bytes), static_cast<int>(std::string(c.bytes).size()));
    EXPECT_EQ(t->cursorRow, c.expectedRow);
    EXPECT_EQ(t->cursorColumn, c.expectedColumn);
  }
  EXPECT_EQ(rowText(7), std::string(20, ' '));  // ESC Y's address bytes are not shown
}

TEST_F(Parser, PrintableAndPassedThroughControlBytesAreStored) {
  parse(std::string("a\x01\x03\x10\x1f\x02\x9c\x1b\\\x1b<\x1b" "c\x1b" "F\x1b" "Gb", 18));
  EXPECT_EQ(rowText(0, 7), std::string("a\x01\x03\x10\x1f" "b ", 7));
  EXPECT_EQ(t->cursorColumn, 6);
}

TEST_F(Parser, LineDrawingBySoSiDesignationsAndSingleShifts) {
  struct Case {
    const char* bytes;
    const char* shown;
    const char* drawn;  // 'L' where the cell has the line-drawing bit
  } cases[] = {
      {"\x0eqA\x0fq", "qAq", "L.."},
      {"\x1bNqr", "qr", "L."},
      {"\x1bOqr", "qr", "L."},
      {"\x8eqr", "qr", "L."},
      {"\x1b(0q\x1b(Bq", "qq", "L."},
      {"\x1bnq\x1b(Bq", "qq", "L."},
      {"\x1boq\x0fq", "qq", "L."},
      {"\x1b)0q\x1b(Aq\x1b(1q\x1b(2q", "qqqq", "...."},
      {"\x1b(xq", "xq", ".."},
      {"\x1b*Bq\x1b+0q", "qq", ".."},  // G2 and G3 designations: consumed whole, no effect
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes + 1);
    setCursor(1, 0);
    t->nvtCurrentAttribute = 0;
    parse(c.bytes);
    const std::string shown = c.shown;
    EXPECT_EQ(rowText(1, static_cast<int>(shown.size())), shown);
    for (size_t i = 0; i < shown.size(); ++i)
      EXPECT_EQ((cellAttr(1, static_cast<int>(i)) & kAttrLineDrawing) != 0, c.drawn[i] == 'L') << i;
  }
}

TEST_F(Parser, TildeBraceShiftingAcrossReads) {
  parse("~{ab~}c");
  EXPECT_EQ(rowText(0, 8), "~{ab~}c ");
  EXPECT_EQ(hzState, 0);

  setCursor(1, 0);
  EXPECT_EQ(feed({"x~", "{ab"}), "");
  EXPECT_EQ(rowText(1, 5), "x~{\xe1\xe2");
  EXPECT_EQ(hzState, 1);
  parse("\r\nq~}z");  // GB mode holds on any row until "~}"
  EXPECT_EQ(rowText(2, 4), "\xf1~}z");
  EXPECT_EQ(hzState, 0);

  // A "~" at the end of a read followed by anything but "{" leaves GB mode off.
  setCursor(3, 0);
  feed({"~", "a{b"});
  EXPECT_EQ(rowText(3, 4), "~a{b");
  EXPECT_EQ(hzState, 0);
  parse("~");
  EXPECT_EQ(hzState, 2);
}

TEST_F(Parser, UnrecognisedBytesDropUpToTheNextShowableByte) {
  struct Case {
    std::string bytes;
    const char* shown;
    int exit;  // -1: the whole length
  } cases[] = {
      {"\x1bx", "x", -1},
      {"\x1b!Q", "Q", -1},
      {"\x7f\r\nabc", "abc", -1},
      {"\xe9\r\n  abc", "abc", -1},
      {"\x1b\x1b[2J", "[2J", -1},
      {"\x1b#7x", "7x", -1},
      {"\x7f\r\n", "", -1},      // nothing to show: dropped
      {"\x1b\r\n", "", 0},       // an ESC is kept for the next read
      {"\x1b#", "", 0},
      {"\x7f\r\xff\xfb\x01", "", 2},  // never past a Telnet command
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    putRow(4, std::string(10, ' '));
    setCursor(4, 0);
    EXPECT_EQ(parse(c.bytes), c.exit < 0 ? static_cast<int>(c.bytes.size()) : c.exit);
    EXPECT_EQ(rowText(4, 5), (c.shown + std::string(5, ' ')).substr(0, 5));
    EXPECT_EQ(t->cursorRow, 4);
  }
}

TEST_F(Parser, EndsAtIacAndKeepsUnfinishedSequences) {
  const struct {
    std::string bytes;
    int exit;
  } cases[] = {
      {"ab\xff\xfb\x01", 2}, {"ab\x1b", 2},     {"ab\x1b(", 2},   {"ab\x1b)", 2},     {"ab\x1bN", 2},
      {"ab\x1bY", 2},        {"ab\x1bY!", 2},   {"ab\x8e", 2},    {"ab\x9b", 2},      {"ab\x1b[1;2", 2},
      {"ab\x1bY\xff\xf1", 4}, {"ab\x8e\xff\xf1", 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    EXPECT_EQ(parse(c.bytes), c.exit);
  }
}

TEST_F(Parser, Vt52ModeAndItsSequences) {
  openTrace();
  parse("\x1b[?2l");
  EXPECT_EQ(t->terminalType, 1);
  putRow(3, "ABCDEFGH");
  putRow(4, "IJKLMNOP");
  setCursor(3, 4);
  parse("\x1b" "A\x1b" "B\x1b" "C\x1bY%0\x1b" "K");
  EXPECT_EQ(rowText(3, 8), "ABCDE   ");
  EXPECT_EQ(t->cursorRow, 3);
  EXPECT_EQ(t->cursorColumn, 5);
  parse("\x1b" "B\x1bJ");
  EXPECT_EQ(rowText(4, 8), std::string(8, ' '));
  EXPECT_EQ(rowText(3, 8), "ABCDE   ");
  parse("\x1b<");
  EXPECT_EQ(t->terminalType, 2);
  t->terminalType = 3;
  parse("\x1b<");
  EXPECT_EQ(t->terminalType, 3);
  EXPECT_EQ(closeTrace(), "\nTermMode: Terminal --- vt52 vs. vtansi ");
}

TEST_F(Parser, TraceLinesOfTheTerminalModes) {
  const struct {
    const char* bytes;
    const char* line;
  } cases[] = {
      {"\x1b" "1", "\nTermMode: Graphic Processor --- On vs. Off "},
      {"\x1b" "2", "\nTermMode: Grahpic Processor --- Off vs. On "},
      {"\x1b=", "\nTermMode: Key Pad Mode --- Application vs. Numeric "},
      {"\x1b>", "\nTermMode: Key Pad Mode --- Numeric vs. Application "},
      {"\x1b[4h", "\n InsertDeleteMode: Insert_mode vs. Delete_mode \n"},
      {"\x1b[4l", "\n InsertDeleteMode: Delete_mode vs. Insert_mode \n"},
      {"\x1b[20h", "\nTermMode: new line vs. line feed"},
      {"\x1b[20l", "\nTermMode: line feed vs. new line"},
      {"\x1b[?1h", "\nTermMode: Cursor Key --- Apllication vs. Cursor"},
      {"\x1b[?1l", "\nTermMode: Cursor Key --- Cursor vs. Application"},
      {"\x1b[?3h", "\nTermMode: columns --- 132 vs. 80 "},
      {"\x1b[?3l", "\nTermMode: columns --- 80 vs. 132 "},
      {"\x1b[?4h", "\nTermMode: Scroll Mode --- Smooth vs. Jump "},
      {"\x1b[?4l", "\nTermMode: Scroll Mode --- Jump vs. Smooth "},
      {"\x1b[?5h", "\nTermMode: Screen Mode --- Reverse vs. Normal "},
      {"\x1b[?5l", "\nTermMode: Screen Mode --- Normal vs. Reverse "},
      {"\x1b[?6h", "\nTermMode: Origin Mode --- Relative vs. Absolute "},
      {"\x1b[?6l", "\nTermMode: Origin Mode --- Absolute vs. Relative "},
      {"\x1b[?7h", "\nTermMode: WrapAround --- AutoWrapOn vs. AutoWrapOff "},
      {"\x1b[?7l", "\nTermMode: WrapAround --- AutoWrapOff vs. AutoWrapOn "},
      {"\x1b[?8h", "\nTermMode: AutokeyRepeat --- On vs. Off "},
      {"\x1b[?8l", "\nTermMode: AutokeyRepeat --- Off vs. On "},
      {"\x1b[?9h", "\nTermMode: Interlaced Video --- On vs. Off "},
      {"\x1b[?9l", "\nTermMode: Interlaced Video --- Off vs. On "},
      {"\x9b?2l", "\nTermMode: Terminal --- vt52 vs. vtansi "},
      // A list sets each mode as its own sequence would (the host's reset string).
      {"\x1b[?3;4;5l", "\nTermMode: columns --- 80 vs. 132 \nTermMode: Scroll Mode --- Jump vs. Smooth "
                       "\nTermMode: Screen Mode --- Normal vs. Reverse "},
      {"\x1b[4;20h", "\n InsertDeleteMode: Insert_mode vs. Delete_mode \n\nTermMode: new line vs. line feed"},
      {"\x1b[?2h\x1b[?15h\x1b[3h", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes + 1);
    openTrace();
    parse(c.bytes);
    EXPECT_EQ(closeTrace(), c.line);
  }
  // Without a trace log nothing is written anywhere.
  parse("\x1b[?1h\x1b" "1");
  EXPECT_EQ(t->traceFile, nullptr);
}

TEST_F(Parser, CaretFollowsTheCursorAtExit) {
  CreateCaret(window_, nullptr, 2, ch);
  parse("\x1b[3;7Hxy");
  POINT caret{};
  ASSERT_TRUE(GetCaretPos(&caret));
  EXPECT_EQ(caret.x, 8 * cw);
  EXPECT_EQ(caret.y, 2 * ch);
}

// Arbitrary bytes, split arbitrarily into reads: never out of bounds (the
// sanitizers watch the exact-size buffers), and every exit is one the Telnet
// engine can use, with a bounded tail.
TEST_F(Parser, RandomBytesInRandomPiecesKeepTheContract) {
  Loopback loop;
  t->socketHandle = loop.client;
  std::mt19937 random(20240611);
  const unsigned char interesting[] = {0x1b, '[', '[', ';', '?', '0', '1', '2', '5', '6', '9', 0x9b, 0xff, 0x00,
                                       0x07, 0x08, 0x09, 0x0a, 0x0d, 0x0e, 0x0f, 0x18, 0x8e, 0x84, 0x8d, '~', '{',
                                       '}', 'H', 'm', 'r', 'J', 'K', 'L', 'M', 'P', 'Y', 'Z', 'c', 'n', '(', '#', 'N'};
  for (int round = 0; round < 3000; ++round) {
    std::vector<std::string> pieces(1 + random() % 4);
    for (std::string& piece : pieces) {
      const int n = static_cast<int>(random() % 120);
      for (int i = 0; i < n; ++i)
        piece += static_cast<char>(random() % 3 ? interesting[random() % sizeof interesting] : random() % 256);
    }
    if (round % 50 == 0) pieces.push_back("\x1b[" + std::string(400, round % 100 ? '7' : ';'));
    std::string tail;
    for (const std::string& piece : pieces) {
      int position = parse(tail + piece);
      const int length = static_cast<int>(last.size()) - 1;
      tail.clear();
      for (;;) {
        ASSERT_GE(position, 0);
        ASSERT_LE(position, length);
        if (position == length) break;
        const unsigned char at = last[position];
        if (at == 0xFF) {
          if (position + 3 >= length) break;
          position = resume(position + 3);  // the engine takes its command
          continue;
        }
        ASSERT_TRUE(at == 0x1b || at == 0x9b || at == 0x8e || at == 0x8f) << round << " exit byte " << int(at);
        tail = tailFrom(position);
        ASSERT_LE(tail.size(), 256u) << round;
        break;
      }
      ASSERT_GE(t->cursorRow, 0);
      ASSERT_LE(t->cursorRow, 24);
      ASSERT_GE(t->cursorColumn, 0);
      ASSERT_LE(t->cursorColumn, kNvtCursorColumnLimit);
    }
    if (round % 100 == 0) loop.hostReceives(20);  // keep the replies flowing
  }
}

}  // namespace
