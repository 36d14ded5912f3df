// The 3270 keyboard driven through real window messages: typing with its
// attribute tests and echo, the editing keys, moves between fields, and the
// attention keys checked byte for byte on a real connection.
#include <cstdio>
#include <string>
#include <vector>

#include "field_layout.h"
#include "connected_fixture.h"

namespace {

class Keyboard3270Test : public OnLoopback<OpenTerminalTest> {
 protected:
  void SetUp() override {
    OnLoopback::SetUp();
    if (HasFatalFailure()) return;
    t->terminalMode = 15;
    t->connected = 1;
  }
  // Protected field at 1..5, a 10-position input field at 7..16 (attribute
  // given), protected from 18 to the end of the screen. The cursor in the
  // input field, as Tab or a new screen leaves it.
  void oneInputField(uint8_t attribute) {
    layOutFields(*t, {{0, 0x60}, {6, attribute}, {17, 0x60}});
    t->currentField = 2;
    cursorTo(0, 7);
  }
  void cursorTo(int row, int column) {
    t->cursorRow = row;
    t->cursorColumn = column;
  }
  void key(UINT vk) { SendMessageA(window_, WM_KEYDOWN, vk, 1); }
  void type(const std::string& text) {
    for (char c : text) SendMessageA(window_, WM_CHAR, static_cast<unsigned char>(c), 1);
  }
  // Shift pressed or released as the user does it: through the queue, which
  // keeps the key state.
  void shift(bool down) {
    PostMessageA(window_, down ? WM_KEYDOWN : WM_KEYUP, VK_SHIFT, 0);
    posix::testing::pumpUntilIdle();
  }
  std::string row(int r) { return posix::testing::rowText(window_, r, 80); }
  std::string field(uint32_t begin, size_t length) {
    return std::string(reinterpret_cast<const char*>(t->screenChars) + begin, length);
  }
};

TEST_F(Keyboard3270Test, TypedCharactersAreEchoedAndSentWithEnter) {
  oneInputField(0x40);
  type("AB");
  EXPECT_EQ(row(0).substr(7, 2), "AB");
  EXPECT_EQ(t->cursorColumn, 9);
  EXPECT_EQ(t->typedCount, 2);
  EXPECT_EQ(t->screenChars[7], 0);  // nothing stored before the commit
  type("\r");
  EXPECT_EQ(sent(), "7D 40 C9 11 40 C7 C1 C2 FF EF");
  EXPECT_EQ(field(7, 10), std::string("AB") + std::string(8, '\0'));
  EXPECT_EQ(t->typedCount, 0);
  EXPECT_EQ(t->cursorColumn, 9);  // Enter does not move the cursor
  type("\n");                     // line feed is Enter too; the field stays modified
  EXPECT_EQ(sent(), "7D 40 C9 11 40 C7 C1 C2 FF EF");
}

TEST_F(Keyboard3270Test, AttributeOfTheNextPositionDecidesWhatIsTyped) {
  struct Case {
    uint8_t attribute;
    int column;
    char typed;
    bool accepted;
  } cases[] = {
      {0x40, 7, 'A', true},    {0x60, 7, 'A', false},  // protected
      {0x50, 7, 'A', false},   {0x50, 7, '5', true},   // numeric
      {0x50, 7, '\xB5', true},                         // digit with bit 0x80
      {0x40, 16, 'A', true},   // last position: the attribute byte's position holds 0
      {0x40, 17, 'A', false},  // on the attribute byte: the next position is protected
      {0x40, 5, 'A', true},     // only the next position counts: the start field there holds 0
      {0x40, 7, '\x01', true},  // control codes are typed
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "attribute " << int(c.attribute) << " column " << c.column << " char "
                                    << int(static_cast<unsigned char>(c.typed)));
    oneInputField(c.attribute);
    t->typedCount = 0;
    cursorTo(0, c.column);
    type(std::string(1, c.typed));
    EXPECT_EQ(t->typedCount, c.accepted ? 1 : 0);
    EXPECT_EQ(t->cursorColumn, c.accepted ? c.column + 1 : c.column);
  }
}

TEST_F(Keyboard3270Test, NonDisplayFieldEchoesBlanksButSendsTheCharacters) {
  oneInputField(0x4C);
  type("SE");
  EXPECT_EQ(row(0).substr(7, 2), "  ");
  EXPECT_EQ(t->cursorColumn, 9);
  type("\r");
  EXPECT_EQ(sent(), "7D 40 C9 11 40 C7 E2 C5 FF EF");
}

TEST_F(Keyboard3270Test, BackspaceAndCursorRightNeedTheModifiedTag) {
  struct Case {
    uint8_t attribute;
    std::vector<UINT> keys;  // after typing "ABC"
    const char* record;
  } cases[] = {
      {0x41, {}, "7D 40 4A 11 40 C7 C1 C2 C3 FF EF"},
      {0x41, {VK_LEFT}, "7D 40 C9 11 40 C7 C1 C2 FF EF"},
      {0x41, {VK_DELETE, VK_DELETE}, "7D 40 C8 11 40 C7 C1 FF EF"},
      {0x41, {VK_LEFT, VK_RIGHT}, "7D 40 4A 11 40 C7 C1 C2 C3 FF EF"},  // the dropped character comes back
      {0x41, {VK_RIGHT, VK_RIGHT}, "7D 40 4C 11 40 C7 C1 C2 C3 40 40 FF EF"},
      {0x40, {VK_LEFT}, "7D 40 4A 11 40 C7 C1 C2 C3 FF EF"},
      {0x40, {VK_RIGHT}, "7D 40 4A 11 40 C7 C1 C2 C3 FF EF"},
      {0x61, {VK_LEFT, VK_RIGHT}, "7D 40 C7 FF EF"},  // protected: nothing typed, sent or moved
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.record);
    oneInputField(c.attribute);
    type("ABC");
    for (UINT k : c.keys) key(k);
    type("\r");
    EXPECT_EQ(sent(), c.record);
  }
}

TEST_F(Keyboard3270Test, BackspaceAfterTabDoesNothing) {
  layOutFields(*t, {{0, 0x60}, {6, 0x41}, {17, 0x61}, {30, 0x41}, {40, 0x60}});
  t->currentField = 2;
  cursorTo(0, 7);
  type("AB\t");
  EXPECT_EQ(t->cursorColumn, 31);
  cursorTo(0, 33);  // as a click leaves it: inside the field, pending input untouched
  type("\b");
  EXPECT_EQ(t->cursorColumn, 33);
  EXPECT_EQ(t->typedCount, 0);
}

TEST_F(Keyboard3270Test, CursorRightInTheNextFieldCountsBlanksNotEarlierCharacters) {
  layOutFields(*t, {{0, 0x60}, {6, 0x41}, {17, 0x61}, {30, 0x41}, {40, 0x60}});
  t->currentField = 2;
  cursorTo(0, 7);
  type("XYZ\t");
  key(VK_RIGHT);
  type("Q\r");
  EXPECT_EQ(sent(), "7D 40 61 11 40 C7 E7 E8 E9 11 40 5F 40 D8 FF EF");
}

TEST_F(Keyboard3270Test, TabAndBackTabMoveBetweenInputFields) {
  // Input fields begin at 7, 31 and 170 (row 2, column 10).
  layOutFields(*t, {{0, 0x60}, {6, 0x40}, {17, 0x60}, {30, 0x40}, {40, 0x60}, {169, 0x40}, {180, 0x60}});
  struct Step {
    UINT vk;  // 0: the Tab character
    int row;
    int column;
  } steps[] = {
      {0, 0, 31},  {0, 2, 10},       {0, 0, 7},        // wraps to the first
      {VK_DOWN, 0, 31}, {VK_UP, 0, 7}, {VK_UP, 2, 10},  // back-tab wraps to the last
      {VK_HOME, 0, 7},
  };
  t->currentField = 2;
  cursorTo(0, 7);
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << "key " << s.vk << " to " << s.row << "," << s.column);
    if (s.vk == 0)
      type("\t");
    else
      key(s.vk);
    EXPECT_EQ(t->cursorRow, s.row);
    EXPECT_EQ(t->cursorColumn, s.column);
  }
  // Shift+Tab produces the Tab character: a forward tab.
  shift(true);
  type("\t");
  shift(false);
  EXPECT_EQ(t->cursorColumn, 31);
}

TEST_F(Keyboard3270Test, TabCommitsAndBlanksTheRestOfTheField) {
  oneInputField(0x40);
  putText(*t, 7, "0123456789");
  putText(*t, 18, "Z");
  t->PaintScreen(window_, cw, ch);
  ASSERT_EQ(row(0).substr(7, 12), "0123456789 Z");
  type("AB");
  EXPECT_EQ(row(0).substr(7, 12), "AB  456789 Z");  // the echo wipes two cells
  type("\t");
  EXPECT_EQ(row(0).substr(7, 12), "AB         Z");  // 8 cells blanked from the cursor
  EXPECT_EQ(field(7, 10), std::string("AB") + std::string(8, '\0'));
  EXPECT_EQ(t->fieldTable[2].modified, 1);
  EXPECT_EQ(t->cursorColumn, 7);  // the only input field again
  EXPECT_EQ(t->typedCount, 0);
}

TEST_F(Keyboard3270Test, TabWithNothingTypedCommitsNothing) {
  oneInputField(0x40);
  putText(*t, 7, "0123456789");
  t->PaintScreen(window_, cw, ch);
  cursorTo(0, 9);
  type("\t");
  EXPECT_EQ(row(0).substr(7, 10), "0123456789");
  EXPECT_EQ(field(7, 10), "0123456789");
  EXPECT_EQ(t->fieldTable[2].modified, 0);
  EXPECT_EQ(t->cursorColumn, 7);
}

TEST_F(Keyboard3270Test, FunctionKeysSendTheirAttentionIdentifiers) {
  struct Case {
    UINT vk;
    bool shifted;
    const char* record;
  } cases[] = {
      {VK_F1, false, "F1"},  {VK_F9, false, "F9"},  {VK_F10, false, "7A"}, {VK_F12, false, "7C"},
      {VK_F1, true, "C1"},   {VK_F9, true, "C9"},   {VK_F10, true, "4A"},  {VK_F12, true, "4C"},
  };
  oneInputField(0x40);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.record);
    shift(c.shifted);
    key(c.vk);
    shift(false);
    EXPECT_EQ(sent(), std::string(c.record) + " 40 C7 FF EF");
    EXPECT_EQ(t->aid, 0x7D);
  }
  // Typed characters go with the PF key.
  type("A");
  key(VK_F3);
  EXPECT_EQ(sent(), "F3 40 C8 11 40 C7 C1 FF EF");
}

TEST_F(Keyboard3270Test, PageKeysAndEndSendNothing) {
  oneInputField(0x40);
  for (UINT vk : {VK_PRIOR, VK_NEXT, VK_END, VK_ESCAPE}) key(vk);
  type("\x1B");
  EXPECT_EQ(sent(100), "");
  EXPECT_EQ(t->cursorColumn, 7);
  EXPECT_EQ(t->typedCount, 0);
}

TEST_F(Keyboard3270Test, AttentionWithoutSocketKeepsTheInputAndForgetsTheKey) {
  oneInputField(0x40);
  t->socketHandle = INVALID_SOCKET;
  type("AB");
  key(VK_F3);
  ASSERT_EQ(posix::testing::messageBoxes().size(), 1u);
  EXPECT_EQ(posix::testing::messageBoxes()[0].caption, "INVALID_SOCKET Before Sending");
  EXPECT_EQ(t->typedCount, 2);
  EXPECT_EQ(t->screenChars[7], 0);
  EXPECT_EQ(t->aid, 0x7D);
  // Repeats of a refused Enter are not refused again one by one.
  SendMessageA(window_, WM_CHAR, 13, 3);
  EXPECT_EQ(posix::testing::messageBoxes().size(), 2u);
  posix::testing::clearMessageBoxes();
  // Once connected, Enter sends Enter (not PF3) with the pending characters.
  t->socketHandle = loop.client;
  type("\r");
  EXPECT_EQ(sent(), "7D 40 C9 11 40 C7 C1 C2 FF EF");
  EXPECT_TRUE(posix::testing::messageBoxes().empty());
}

TEST_F(Keyboard3270Test, TypingBeyondThePendingBufferIsRefused) {
  // One input field of 1000 positions.
  layOutFields(*t, {{0, 0x60}, {6, 0x41}, {1007, 0x60}});
  t->currentField = 2;
  cursorTo(0, 7);
  type(std::string(200, 'K'));
  EXPECT_EQ(t->typedCount, 120);
  EXPECT_EQ(t->cursorRow * 80 + t->cursorColumn, 127);
  key(VK_RIGHT);
  EXPECT_EQ(t->typedCount, 120);
  type("\r");
  std::string record = "7D C1 7F 11 40 C7";  // cursor address 127, the field at 7
  for (int i = 0; i < 120; ++i) record += " D2";
  EXPECT_EQ(sent(), record + " FF EF");
  EXPECT_EQ(field(7, 121), std::string(120, 'K') + '\0');
  // After the commit typing goes on again.
  type("L");
  EXPECT_EQ(t->typedCount, 1);
}

TEST_F(Keyboard3270Test, TypingRunsOnToTheNextRowButNotPastTheScreen) {
  // Input field from row 0 column 70 to the end of the screen.
  layOutFields(*t, {{0, 0x60}, {69, 0x40}});
  t->currentField = 2;
  cursorTo(0, 79);
  type("AB");
  EXPECT_EQ(t->cursorColumn, 81);
  EXPECT_EQ(row(0)[79], 'A');
  EXPECT_EQ(row(1)[0], 'B');  // the echo is shown where the character will be stored
  cursorTo(23, 79);
  t->typedCount = 0;
  type("CD");
  EXPECT_EQ(t->typedCount, 1);  // position 1920 is off the screen
  EXPECT_EQ(t->cursorColumn, 80);
}

TEST_F(Keyboard3270Test, TypingBeforeAnyScreenIsHarmless) {
  t->InitScreen();
  cursorTo(0, 0);
  type("AB");
  EXPECT_EQ(t->typedCount, 2);
  type("\t");  // no field to go to
  EXPECT_EQ(t->cursorColumn, 2);
  type("C\r");
  EXPECT_EQ(sent(), "7D 40 C3 FF EF");
}

TEST_F(Keyboard3270Test, TraceLinesForTypingAndTab) {
  oneInputField(0x40);
  t->traceFile = std::fopen("trace.txt", "wb");
  ASSERT_NE(t->traceFile, nullptr);
  type("A\t");
  std::fclose(t->traceFile);
  t->traceFile = nullptr;
  EXPECT_EQ(readFile("trace.txt"), " image5 [40]  Input Char: A \n\n CursorPos Next Simpltst 7=(r 0,c 7) \n");
}

}  // namespace
