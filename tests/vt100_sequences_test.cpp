// Control sequences: cursor positioning, SGR, erase and modes, scrolling
// regions, the replies on the wire, sequences cut between reads, bytes that
// do not belong inside a sequence, and the parameter scan itself.
#include <climits>
#include <cstring>

#include "loopback.h"
#include "net/telnet.h"
#include "vt100_fixture.h"

namespace {

using Sequences = Vt100Test;

TEST_F(Sequences, CursorPositioningStaysOnTheScreen) {
  const struct {
    std::string bytes;
    int row, column;  // expected, from row 10, column 10
  } cases[] = {
      {"\x1b[5;10H", 4, 9},     {"\x1b[;10H", 0, 9},       {"\x1b[5H", 4, 0},        {"\x1b[99;99H", 24, 80},
      {"\x1b[H", 0, 0},         {"\x1b[0;0H", 0, 0},       {"\x1b[5;10f", 4, 9},     {"\x1b[f", 0, 0},
      {"\x9b" "5;10H", 4, 9},   {"\x1b[3A", 7, 10},        {"\x1b[A", 9, 10},        {"\x1b[0A", 9, 10},
      {"\x1b[12A", 0, 10},      {"\x1b[30B", 24, 10},      {"\x1b[B", 11, 10},       {"\x1b[5C", 10, 15},
      {"\x1b[99C", 10, 80},     {"\x1b[C", 10, 11},        {"\x1b[99D", 10, 0},      {"\x1b[D", 10, 9},
      {"\x1b[1;2;3H", 10, 10},  {"\x1b[?5;5H", 10, 10},    {"\x1b[5;5;H", 10, 10},
      {"\x1b[99999999999999999999;3H", 24, 2},            {"\x1b[2;99999999999999999999H", 1, 80},
      {"\x1b[99999999999999999999D", 10, 0},              {"\x1b[99999999999999999999B", 24, 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    setCursor(10, 10);
    EXPECT_EQ(parse(c.bytes), static_cast<int>(c.bytes.size()));
    EXPECT_EQ(t->cursorRow, c.row);
    EXPECT_EQ(t->cursorColumn, c.column);
  }
  EXPECT_EQ(rowText(10, 81), std::string(81, ' '));  // nothing of them was shown
}

TEST_F(Sequences, GraphicRenditionAccumulatesAndResets) {
  const struct {
    uint32_t before;
    const char* bytes;
    uint32_t after;
  } cases[] = {
      {0, "\x1b[1;31m", 0x81},
      {0x81, "\x1b[m", 0x80},
      {0x81 | kAttrLineDrawing, "\x1b[0m", 0x80 | kAttrLineDrawing},
      {0x81 | kAttrLineDrawing, "\x9b" "0m", 0x80 | kAttrLineDrawing},
      {0x81 | kAttrLineDrawing, "\x1b[0;32m", 0x100},
      {0x81, "\x1b[;1m", 0x01},
      {0, "\x1b[2;4;5;7;8m", 0x3E},
      {0x3F, "\x1b[22;24;25;27;28m", 0x02},
      {0, "\x1b[30;31m\x1b[37m", 0x20C0},
      {0, "\x1b[40m\x1b[47;39;49m", 0x8000 | 0x400000 | 0x4000 | 0x800000},
      {0, "\x1b[1;?4m", 0x01},
      {0, "\x1b[?1m", 0},
      {0, "\x1b[3;6;9;38;48;99;2147483647m", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes + 1);
    t->nvtCurrentAttribute = c.before;
    parse(c.bytes);
    EXPECT_EQ(t->nvtCurrentAttribute, c.after);
  }
}

TEST_F(Sequences, EraseModesAndNoEffectForms) {
  const struct {
    const char* bytes;
    const char* row4;  // row 4 after, from "abcdefghij" with the cursor on column 4
    int row3Blank;
  } cases[] = {
      {"\x1b[K", "abcd      ", 0},   {"\x1b[0K", "abcd      ", 0}, {"\x1b[1K", "     fghij", 0},
      {"\x1b[2K", "          ", 0},  {"\x1b[J", "abcd      ", 0},  {"\x1b[0J", "abcd      ", 0},
      {"\x1b[1J", "abcdefghij", 1},  {"\x1b[2J", "          ", 1}, {"\x1b[2P", "abcdghij  ", 0},
      {"\x1b[P", "abcdfghij ", 0},   {"\x1b[3g\x1b[5i\x1b[0g\x1b[2;1y\x1b[7h\x1b[i\x1b" "c", "abcdefghij", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes + 1);
    putRow(3, "0123456789");
    putRow(4, "abcdefghij");
    setCursor(4, 4);
    parse(c.bytes);
    EXPECT_EQ(rowText(4, 10), c.row4);
    EXPECT_EQ(rowText(3, 10) == std::string(10, ' '), c.row3Blank == 1);
    EXPECT_EQ(t->cursorRow, 4);
    EXPECT_EQ(t->cursorColumn, 4);
  }
}

TEST_F(Sequences, InsertModeAndNewLineMode) {
  putRow(2, "abcdefgh");
  setCursor(2, 2);
  parse("\x1b[4hX");
  EXPECT_EQ(t->replaceMode, 0);
  EXPECT_EQ(rowText(2, 10), "abXcdefgh ");
  parse("\x1b[4lY");
  EXPECT_EQ(t->replaceMode, 1);
  EXPECT_EQ(rowText(2, 10), "abXYdefgh ");

  parse("\x1b[20h");
  EXPECT_EQ(t->newLineMode, 1);
  setCursor(2, 5);
  parse("\n");
  EXPECT_EQ(t->cursorColumn, 0);
  setCursor(2, 5);
  parse("\x1b" "D\x84");  // index never returns to column 0
  EXPECT_EQ(t->cursorRow, 4);
  EXPECT_EQ(t->cursorColumn, 5);
  parse("\x1b[20l\n");
  EXPECT_EQ(t->newLineMode, 0);
  EXPECT_EQ(t->cursorColumn, 5);
}

TEST_F(Sequences, ScrollingRegionWithIndexAndReverseIndex) {
  for (int r = 0; r < 25; ++r) putRow(r, std::string(1, static_cast<char>('A' + r)));
  parse("\x1b[6;21r");
  EXPECT_EQ(t->cursorRow, 0);
  setCursor(20, 3);
  parse("\x1b" "D");
  std::string column0;
  for (int r = 0; r < 25; ++r) column0 += cellChar(r, 0);
  EXPECT_EQ(column0, "ABCDEGHIJKLMNOPQRSTU VWXY");
  setCursor(5, 3);
  parse("\x1bM");
  column0.clear();
  for (int r = 0; r < 25; ++r) column0 += cellChar(r, 0);
  EXPECT_EQ(column0, "ABCDE GHIJKLMNOPQRSTUVWXY");
  EXPECT_EQ(t->cursorRow, 5);

  parse("\x1b[21;6r\x1b[1r");  // not a region: ignored
  EXPECT_EQ(t->scrollRegion.top, 5 * ch);
  EXPECT_EQ(t->scrollRegion.bottom, 20 * ch);
  parse("\x1b[r");
  EXPECT_EQ(t->scrollRegion.top, 0);
  EXPECT_EQ(t->scrollRegion.bottom, 24 * ch);
}

TEST_F(Sequences, RepliesOnTheWire) {
  Loopback loop;
  t->socketHandle = loop.client;
  const std::string identification = "\x1b[?1;2c";
  const struct {
    std::string bytes;
    std::string sent;
  } cases[] = {
      {"\x1bZ", identification},        {"\x9a", identification},          {"\x1b[c", identification},
      {"\x1b[0c", identification},      {"\x9b" "0c", identification},     {"\x9b" "c", identification},
      {"\x1b[5n", "\x1b[0n"},           {"\x1b[6n", "\x1b[3;10R"},         {"\x1b[?15l", "\x1b[?13l"},
      {"\x9a\x1b[5n", identification + "\x1b[0n"},                          {"\x1b[>c\x1b[1;2y", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    setCursor(2, 9);
    EXPECT_EQ(parse(c.bytes), static_cast<int>(c.bytes.size()));
    const std::vector<uint8_t> received = loop.hostReceives(c.sent.empty() ? 100 : 1000);
    EXPECT_EQ(std::string(received.begin(), received.end()), c.sent);
  }
  // A byte after ESC Z is examined as usual.
  parse("\x1bZx");
  EXPECT_EQ(loop.hostReceives().size(), 7u);
  EXPECT_EQ(rowText(2, 12).substr(9), "x  ");
}

// Split anywhere, a sequence has the same effect as in one read.
TEST_F(Sequences, SequencesCutBetweenReadsResumeWithTheNextRead) {
  const std::string sequences[] = {
      "\x1b[1;2H",        "\x9b" "12;34H",   "\x1b[0;1;31m",   "\x1b[0m",        "\x1b(0q\x1b(Bq", "\x1b#8q",
      "\x1bNqr",          "\x8eqr",          "\x1bY!!x",       "\x1b)0x",        "\x1b!Qx",        "\x1b[2\r;3H",
      "\x1b[4hX\x1b[4l",  "\x1b" "7\x1b[5;5H\x1b" "8", "\x1b[3;20r\x1b[20H\x1b" "D", "\x1b[20h\n\x1b[20l",
      "\x1b[5\x18H",     "\x1b" "E\x1bM\x0bx",
  };
  // What a run leaves: four screen rows, the cursor, the attribute, the line
  // drawing of the first cell written.
  const auto outcome = [&](const std::vector<std::string>& pieces) {
    for (int r = 0; r < 25; ++r) putRow(r, std::string(40, '.'));
    setCursor(7, 7);
    setRegionRows(0, 24);
    t->nvtCurrentAttribute = 0x40;
    EXPECT_EQ(feed(pieces), "");
    return rowText(0, 40) + rowText(1, 40) + rowText(7, 40) + rowText(19, 40) + " " +
           std::to_string(t->cursorRow) + "," + std::to_string(t->cursorColumn) + " " +
           std::to_string(t->nvtCurrentAttribute) + " " + std::to_string(cellAttr(7, 9));
  };
  for (const std::string& s : sequences) {
    const std::string whole = outcome({"ab" + s + "cd"});
    for (size_t cut = 0; cut <= s.size(); ++cut) {
      SCOPED_TRACE(testing::PrintToString(s) + " cut at " + std::to_string(cut));
      EXPECT_EQ(outcome({"ab" + s.substr(0, cut), s.substr(cut) + "cd"}), whole);
    }
  }
  // The cut point is kept and completed: the cursor goes to row 0, column 1.
  setCursor(5, 5);
  const int cut = parse("ab\x1b[1;2");
  EXPECT_EQ(cut, 2);
  EXPECT_EQ(feed({std::string("\x1b[1;2"), "H"}), "");
  EXPECT_EQ(t->cursorRow, 0);
  EXPECT_EQ(t->cursorColumn, 1);
}

// The same through the Telnet engine, which keeps the tail between reads.
TEST_F(Sequences, TheTelnetEngineCompletesWhatTheReadCut) {
  const auto read = [&](std::string bytes) {
    int mode = 0;
    ParseData(window_, t->socketHandle, nullptr, reinterpret_cast<unsigned char*>(&bytes[0]),
              static_cast<int>(bytes.size()), &mode);
  };
  read("ab\x1b[1;2");
  EXPECT_EQ(t->pendingTailLength, 5);
  EXPECT_EQ(t->cursorColumn, 2);
  read("H");
  EXPECT_EQ(t->pendingTailLength, 0);
  EXPECT_EQ(t->cursorRow, 0);
  EXPECT_EQ(t->cursorColumn, 1);
  read("\x1b[" + std::string(600, '9'));
  EXPECT_EQ(t->pendingTailLength, 3);
  read("9;9Hx");
  EXPECT_EQ(t->pendingTailLength, 0);
  EXPECT_EQ(rowText(0, 3), "ax ");  // no effect: "x" lands where the cursor was
}

TEST_F(Sequences, BytesThatDoNotBelongEndTheSequence) {
  const struct {
    std::string bytes;
    int row, column;  // expected, from row 10, column 10
    const char* shown;  // on row 10 from column 10 (or column 0 after a CR)
    int shownAt;
  } cases[] = {
      {"\x1b[5\r;3H", 4, 2, "", 0},                 // C0 carried out, the sequence goes on
      {std::string("\x1b[5\0;3H", 7), 4, 2, "", 0},  // a 0 byte is ignored
      {"\x1b[5\x18H", 10, 11, "H", 10},             // CAN cancels it
      {"\x1b[5\x1aH", 10, 11, "H", 10},             // SUB cancels it
      {"\x1b[5\x1b[2;3H", 1, 2, "", 0},             // ESC starts a new one
      {"\x1b[5\x9b" "2;3H", 1, 2, "", 0},           // so does 0x9B
      {"\x1b[3\xe9H", 10, 11, "H", 10},             // an 8-bit byte abandons it
      {"\x1b[" + std::string(80, ';') + "5H", 10, 10, "", 0},  // 81 entries: no effect
      {"\x1b[" + std::string(400, '0') + "5;6H", 4, 5, "", 0},  // long but complete
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes.substr(0, 12)));
    putRow(10, std::string(20, ' '));
    setCursor(10, 10);
    EXPECT_EQ(parse(c.bytes), static_cast<int>(c.bytes.size()));
    EXPECT_EQ(t->cursorRow, c.row);
    EXPECT_EQ(t->cursorColumn, c.column);
    EXPECT_EQ(rowText(10, 20).substr(c.shownAt, std::strlen(c.shown)), c.shown);
  }
  // The last numbers of 80 entries still count; of 81, nothing does.
  t->nvtCurrentAttribute = 0;
  std::string entries80 = "\x1b[";
  for (int i = 0; i < 79; ++i) entries80 += "0;";
  parse(entries80 + "1m");
  EXPECT_EQ(t->nvtCurrentAttribute, 1u);
  parse(entries80 + "0;4m");
  EXPECT_EQ(t->nvtCurrentAttribute, 1u);

  // An 0xFF ends the call on it.
  EXPECT_EQ(parse("\x1b[3\xff\xf1H"), 3);
}

TEST_F(Sequences, UnfinishedSequencesNeverGrowTheTailWithoutBound) {
  // Too long to keep: a three-byte stand-in swallows the rest without effect.
  setCursor(10, 10);
  const std::string digits = "\x1b[" + std::string(300, '1');
  EXPECT_EQ(parse(digits), static_cast<int>(digits.size()) - 3);
  EXPECT_EQ(feed({digits, std::string(5000, '2'), ";5H"}), "");
  EXPECT_EQ(t->cursorRow, 10);
  EXPECT_EQ(t->cursorColumn, 10);
  EXPECT_EQ(rowText(10, 20), std::string(20, ' '));
  EXPECT_EQ(feed({"\x1b[" + std::string(100, ';'), ";;", "H"}), "");
  EXPECT_EQ(t->cursorColumn, 10);
  // Short enough: kept whole, whatever it is cut into.
  EXPECT_EQ(feed({"\x1b[", "1", "2;", "3", "4"}), "\x1b[12;34");
  EXPECT_EQ(feed({"\x1b[12;34", "H"}), "");
  EXPECT_EQ(t->cursorRow, 11);
  EXPECT_EQ(t->cursorColumn, 33);
}

TEST(ConvertString, ScansParametersIntoKindsAndValues) {
  const struct {
    std::string source;
    int result;
    const char* kinds;
    std::vector<int> values;  // of the numeric entries
    int consumed;
  } cases[] = {
      {"1;24H", 1, "nnH", {1, 24}, 5},
      {"?1h", 1, "?nh", {1}, 3},
      {"H", 1, "nH", {0}, 1},
      {";H", 1, "nnH", {0, 0}, 2},
      {"1?2h", 1, "?nh", {12}, 4},
      {" q", 1, " nq", {0}, 2},
      {"5;6mtail", 1, "nnm", {5, 6}, 4},
      {"99999999999999999999m", 1, "nm", {INT_MAX}, 21},
      {"2147483647;2147483648m", 1, "nnm", {INT_MAX, INT_MAX}, 22},
      {"12;3", 0, "n", {}, 4},
      {std::string("1\0H", 3), 0, "", {}, 1},
      {"1\rH", 0, "", {}, 1},
      {"1\x9bH", 0, "", {}, 1},
      {std::string(79, ';') + "m", 1, nullptr, {}, 80},
      {std::string(80, ';') + "m", 0, nullptr, {}, 80},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.source));
    std::vector<unsigned char> source(c.source.begin(), c.source.end());
    char kinds[82];
    int values[80];
    int consumed = -1;
    EXPECT_EQ(convert_string(source.data(), static_cast<int>(source.size()), kinds, values, 80, &consumed), c.result);
    EXPECT_EQ(consumed, c.consumed);
    if (c.result != 1 || !c.kinds) continue;
    EXPECT_STREQ(kinds, c.kinds);
    size_t v = 0;
    for (size_t k = 0; kinds[k + 1]; ++k) {
      if (kinds[k] != 'n') continue;
      EXPECT_EQ(values[k], c.values.at(v++)) << k;
    }
  }
  // The entry limit is the caller's: never written beyond.
  unsigned char source[] = "1;2;3H";
  char kinds[4];
  int values[2];
  int consumed = 0;
  EXPECT_EQ(convert_string(source, 6, kinds, values, 2, &consumed), 0);
  EXPECT_EQ(convert_string(source + 2, 4, kinds, values, 2, &consumed), 1);
  EXPECT_STREQ(kinds, "nnH");
}

}  // namespace
