// Moving between input fields, storing typed characters into the current
// field, and placing the cursor after a screen from the host.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "field_layout.h"
#include "harness.h"

namespace {

constexpr uint32_t kNoPosition = 10000;

class FieldsTest : public OpenTerminalTest {
 protected:
  void SetUp() override {
    OpenTerminalTest::SetUp();
    if (HasFatalFailure()) return;
  }
  // Fields: 0 pseudo (length 0), 1 protected 1..9, 2 input 11..29, 3 protected 31..49,
  // 4 input 51..99, 5 input 101..199, 6 protected 201..1919.
  void layOutMixedScreen() {
    layOutFields(*t, {{0, 0x60}, {10, 0xC1}, {30, 0xE8}, {50, 0x40}, {100, 0xC8}, {200, 0x60}});
  }
  std::string fieldText(int index) {
    const FieldEntry& f = t->fieldTable[index];
    return std::string(reinterpret_cast<char*>(t->screenChars) + f.begin, f.length);
  }
};

struct SearchCase {
  const char* name;
  bool forward;
  int current;
  uint32_t position;
  int result;
  uint32_t found;
  int currentAfter;
};

TEST_F(FieldsTest, SearchesMoveBetweenInputFields) {
  const SearchCase cases[] = {
      {"tab to the next input field", true, 2, kNoPosition, 1, 51, 4},
      {"tab over a protected field", true, 1, kNoPosition, 1, 11, 2},
      {"tab from the last input field wraps", true, 5, kNoPosition, 1, 11, 2},
      {"tab from the last, protected field wraps", true, 6, kNoPosition, 1, 11, 2},
      {"back-tab to the previous input field", false, 5, kNoPosition, 1, 51, 4},
      {"back-tab from the first input field wraps", false, 2, kNoPosition, 1, 101, 5},
      {"back-tab from field 0 wraps", false, 0, kNoPosition, 1, 101, 5},
      {"position inside an input field gives its first position", true, 2, 60, 1, 51, 4},
      {"the same backwards", false, 4, 150, 1, 101, 5},
      {"position in a protected field, current field input: stay", true, 2, 35, 0, 0, 2},
      {"the same backwards", false, 4, 1919, 0, 0, 4},
      {"position in a protected field, current protected: move on", true, 3, 35, 1, 51, 4},
      {"the same backwards", false, 3, 35, 1, 11, 2},
      {"a start-field position lies in no field", true, 1, 10, 1, 11, 2},
      {"current field left over from a longer table: tab restarts at 0", true, 40, kNoPosition, 1, 11, 2},
      {"current field left over: back-tab starts at the last", false, 40, kNoPosition, 1, 101, 5},
      {"current field left over, position in a protected field", true, 40, 35, 1, 11, 2},
      {"current field left over, position in an input field", false, 40, 60, 1, 51, 4},
      {"negative current field", true, -5, kNoPosition, 1, 11, 2},
      {"negative current field backwards", false, -5, kNoPosition, 1, 101, 5},
      {"largest current field", true, INT32_MAX, kNoPosition, 1, 11, 2},
      {"smallest current field backwards", false, INT32_MIN, kNoPosition, 1, 101, 5},
  };
  layOutMixedScreen();
  for (const SearchCase& c : cases) {
    SCOPED_TRACE(c.name);
    t->currentField = c.current;
    uint32_t found = 777;
    const int result = c.forward ? t->FindNextInputCursorPos(c.position, &found)
                                 : t->FindPrevInputCursorPos(c.position, &found);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(found, c.found);
    EXPECT_EQ(t->currentField, c.currentAfter);
  }
}

TEST_F(FieldsTest, WithoutInputFieldsTabStopsOnTheNextField) {
  layOutFields(*t, {{0, 0x60}, {100, 0xE8}});  // fields 0 (length 0), 1 at 1, 2 at 101
  const SearchCase cases[] = {
      {"next after field 1", true, 1, kNoPosition, 1, 101, 2},
      {"next after the last wraps to field 0", true, 2, kNoPosition, 1, 0, 0},
      {"previous before field 2", false, 2, kNoPosition, 1, 1, 1},
      {"previous before field 0 wraps to the last", false, 0, kNoPosition, 1, 101, 2},
  };
  for (const SearchCase& c : cases) {
    SCOPED_TRACE(c.name);
    t->currentField = c.current;
    uint32_t found = 777;
    EXPECT_EQ(c.forward ? t->FindNextInputCursorPos(c.position, &found) : t->FindPrevInputCursorPos(c.position, &found),
              c.result);
    EXPECT_EQ(found, c.found);
    EXPECT_EQ(t->currentField, c.currentAfter);
  }
}

TEST_F(FieldsTest, BeforeTheFirstScreenNothingIsFoundOrStored) {
  t->InitScreen();
  t->currentField = 0;
  for (uint32_t position : {kNoPosition, 0u, 5u, 1919u}) {
    uint32_t found = 777;
    EXPECT_EQ(t->FindNextInputCursorPos(position, &found), 0);
    EXPECT_EQ(found, 0u);
    found = 777;
    EXPECT_EQ(t->FindPrevInputCursorPos(position, &found), 0);
    EXPECT_EQ(found, 0u);
  }
  EXPECT_EQ(t->currentField, 0);
  EXPECT_EQ(t->PutFieldInfoToBuff("AB", 2), 0);
  EXPECT_EQ(t->fieldTable[0].modified, 0);
  EXPECT_EQ(t->screenChars[0], 0);
}

TEST_F(FieldsTest, FieldCountOutsideTheTableIsBounded) {
  t->InitScreen();  // every entry: attribute 0 (input), begin 0, length 0
  t->fieldCount = 100000;
  t->currentField = 100000;
  uint32_t found = 777;
  EXPECT_EQ(t->FindNextInputCursorPos(kNoPosition, &found), 1);
  EXPECT_EQ(t->currentField, 0);
  EXPECT_EQ(t->FindPrevInputCursorPos(kNoPosition, &found), 1);
  EXPECT_EQ(t->currentField, kMaxFields - 1);
  t->fieldCount = -3;
  EXPECT_EQ(t->FindNextInputCursorPos(kNoPosition, &found), 0);
  EXPECT_EQ(t->PutFieldInfoToBuff("AB", 2), 0);
}

TEST_F(FieldsTest, StaleCurrentFieldStoresNothing) {
  layOutMixedScreen();
  putText(*t, 11, "keep");
  t->fieldTable[8].begin = 11;  // a stale entry past fieldCount
  t->fieldTable[8].length = 19;
  t->currentField = 8;
  t->PutFieldInfoToBuff("XY", 2);
  EXPECT_EQ(fieldText(2).substr(0, 4), "keep");
  EXPECT_EQ(t->fieldTable[8].modified, 0);
}

TEST_F(FieldsTest, TypedCharactersFillTheCurrentField) {
  struct Case {
    const char* name;
    std::string typed;
    unsigned length;
    std::string field;  // the 10 positions afterwards
    int modified;
  } cases[] = {
      {"more than the field holds", "ABCDEFGHIJKL", 12, "ABCDEFGHIJ", 1},
      {"two characters null the rest", "AB", 2, std::string("AB") + std::string(8, '\0'), 1},
      {"count below the text", "ABC", 2, std::string("AB") + std::string(8, '\0'), 1},
      {"a null ends the copy", std::string("A\0C", 3), 3, std::string("A") + std::string(9, '\0'), 1},
      {"nothing typed changes nothing", "", 0, "xxxxxxxxxx", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    layOutFields(*t, {{6, 0x40}, {17, 0x60}});  // field 1: begin 7, length 10
    putText(*t, 7, "xxxxxxxxxx yy");
    t->currentField = 1;
    EXPECT_EQ(t->PutFieldInfoToBuff(c.typed.data(), c.length), 0);
    EXPECT_EQ(fieldText(1), c.field);
    EXPECT_EQ(t->fieldTable[1].modified, c.modified);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(t->screenChars) + 17, 3), " yy");
  }
}

TEST_F(FieldsTest, StoringNeverReadsPastTheTypedBufferNorWritesPastTheScreen) {
  layOutFields(*t, {{6, 0x40}});  // field 1: begin 7 to the end of the screen
  t->currentField = 1;
  // Letters in the buffer and in every byte behind it up to the end of typedCount.
  unsigned char* from = reinterpret_cast<unsigned char*>(t->typedChars);
  unsigned char* to = reinterpret_cast<unsigned char*>(&t->typedCount) + sizeof t->typedCount;
  std::memset(from, 'Q', static_cast<size_t>(to - from));
  t->PutFieldInfoToBuff(t->typedChars + 100, 500);
  EXPECT_EQ(fieldText(1).substr(0, 21), std::string(20, 'Q') + '\0');

  layOutFields(*t, {{6, 0x40}});
  std::memset(t->screenChars + kScreenPositions, 0x55, kScreenArraySize - kScreenPositions);
  t->fieldTable[1].begin = 1900;
  t->fieldTable[1].length = 100;  // reaches past the screen
  t->PutFieldInfoToBuff(t->typedChars, 120);
  EXPECT_EQ(t->screenChars[1919], 'Q');
  EXPECT_EQ(t->screenChars[kScreenPositions], 0x55);
  EXPECT_EQ(t->screenChars[kScreenArraySize - 1], 0x55);
}

TEST_F(FieldsTest, FieldAfterTheLastPositionIsReachedAtTheTopAndHoldsNothing) {
  layOutFields(*t, {{0, 0x60}, {1919, 0x40}});  // field 2: begin 1920, length 0
  std::memset(t->screenChars + kScreenPositions, 0x55, kScreenArraySize - kScreenPositions);
  t->currentField = 1;
  uint32_t found = 777;
  EXPECT_EQ(t->FindNextInputCursorPos(kNoPosition, &found), 1);
  EXPECT_EQ(t->currentField, 2);
  EXPECT_EQ(found, 0u);
  t->PutFieldInfoToBuff("AB", 2);
  EXPECT_EQ(t->fieldTable[2].modified, 1);
  EXPECT_EQ(t->screenChars[kScreenPositions], 0x55);
}

TEST_F(FieldsTest, CursorIsPlacedAfterAScreen) {
  struct Case {
    const char* name;
    uint32_t cursor;
    int current;
    int column, row, currentAfter;
    uint32_t cursorAfter;
  } cases[] = {
      {"inside an input field: its first position", 60, 2, 51, 0, 4, 60},
      {"in a protected field, current input: stays", 170 + 80 * 2, 2, 10, 4, 2, 330},
      {"in a protected field, current protected: next input field", 35, 3, 51, 0, 4, 35},
      {"past the screen: top left", 1920, 2, 0, 0, 2, 0},
      {"far past the screen: top left", 5000, 2, 0, 0, 2, 0},
      {"last position, current protected: wraps to the first input", 1919, 6, 11, 0, 2, 1919},
  };
  layOutMixedScreen();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    t->cursorAddress = c.cursor;
    t->currentField = c.current;
    int column = -1, row = -1;
    t->ShowScreenIcPos(t->windowHandle, 8, 16, &column, &row);
    EXPECT_EQ(column, c.column);
    EXPECT_EQ(row, c.row);
    EXPECT_EQ(t->currentField, c.currentAfter);
    EXPECT_EQ(t->cursorAddress, c.cursorAfter);
  }
}

TEST_F(FieldsTest, SecondPlacementOfTheSameScreenShowsTheCursorAddress) {
  layOutMixedScreen();
  t->cursorAddress = 35;
  t->currentField = 3;
  int column = -1, row = -1;
  t->ShowScreenIcPos(t->windowHandle, 8, 16, &column, &row);
  EXPECT_EQ(column, 51);
  t->ShowScreenIcPos(t->windowHandle, 8, 16, &column, &row);
  EXPECT_EQ(column, 35);

  t->InitScreen();  // no screen yet: the cursor address itself
  t->cursorAddress = 165;
  t->ShowScreenIcPos(t->windowHandle, 8, 16, &column, &row);
  EXPECT_EQ(column, 5);
  EXPECT_EQ(row, 2);
}

TEST_F(FieldsTest, SearchesWriteTheirTraceLines) {
  layOutMixedScreen();
  t->traceFile = std::fopen("trace.txt", "w");
  ASSERT_NE(t->traceFile, nullptr);
  uint32_t found = 0;
  t->currentField = 2;
  t->FindNextInputCursorPos(60, &found);           // found: attribute of field 4
  t->FindNextInputCursorPos(kNoPosition, &found);  // writes nothing
  t->currentField = 5;
  t->FindPrevInputCursorPos(kNoPosition, &found);
  t->FindPrevInputCursorPos(170, &found);  // inside field 5: no closing line
  std::fclose(t->traceFile);
  t->traceFile = nullptr;
  // The trace is a text-mode file, as the program's own is: CR LF line ends on Windows.
  EXPECT_EQ(readFile("trace.txt"), portable::textFileBytes("attrib = 40"
                                                           "CursorIndex 5, CurrentCursorPos 10000=(r: 125, c 0) \n"
                                                           "\n Finished CursorIndex 4 \n"
                                                           "CursorIndex 4, CurrentCursorPos 170=(r: 2, c 10) \n"));
}

}  // namespace
