// The records an attention sends to the host, checked byte for byte on a real
// connection: Enter and PF keys with the modified fields, PA and Clear, the
// selector pen.
#include <cstring>
#include <cstdio>
#include <string>
#include <vector>

#include "field_layout.h"
#include "connected_fixture.h"
#include "net/socket_io.h"

namespace {

using namespace std::string_literals;

class OutboundRecordTest : public OnLoopback<OpenTerminalTest> {
 protected:
  void TearDown() override {
    EXPECT_TRUE(portable::messageBoxes().empty());  // no send failed
    OpenTerminalTest::TearDown();
  }
  // One input field, begin 7 and 10 positions long, between protected ones.
  void layOutOneInputField() { layOutFields(*t, {{0, 0x60}, {6, 0x40}, {17, 0x60}}); }
  // What the keyboard does for Enter and the PF keys: build the record, send it.
  std::string attention(uint8_t aid) {
    t->aid = aid;
    t->outboundLength = 0;
    t->send_message_NewTrans();
    SendData(t->windowHandle, t->socketHandle, t->traceFile, t->outboundRecord, t->outboundLength);
    return hex(loop.hostReceives());
  }
  std::string built() const {
    return hex(std::vector<uint8_t>(t->outboundRecord, t->outboundRecord + t->outboundLength));
  }
};

TEST_F(OutboundRecordTest, EnterSendsTheCursorAddress) {
  layOutOneInputField();
  t->cursorRow = 5;
  t->cursorColumn = 10;
  EXPECT_EQ(attention(0x7D), "7D C6 5A FF EF");
  EXPECT_EQ(t->cursorAddress, 410u);
  EXPECT_EQ(t->aid, 0x7D);
}

TEST_F(OutboundRecordTest, ModifiedInputFieldIsSentWithoutTrailingNulls) {
  struct Case {
    std::string content;
    const char* record;
  } cases[] = {
      {std::string("AB") + std::string(8, '\0'), "7D 40 40 11 40 C7 C1 C2 FF EF"},
      {std::string("A B") + std::string(7, '\0'), "7D 40 40 11 40 C7 C1 40 C2 FF EF"},
      {std::string("A\0B  ", 5) + std::string(5, '\0'), "7D 40 40 11 40 C7 C1 00 C2 40 40 FF EF"},
      {std::string(1, '\xC1') + "[]^", "7D 40 40 11 40 C7 C1 AD BD 5F FF EF"},  // bit 0x80 is cleared
      {std::string(10, '\0'), "7D 40 40 11 40 C7 FF EF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.record);
    layOutOneInputField();
    putText(*t, 7, c.content);
    t->fieldTable[2].modified = 1;
    t->cursorRow = t->cursorColumn = 0;
    EXPECT_EQ(attention(0x7D), c.record);
  }
}

TEST_F(OutboundRecordTest, TypedFieldStaysModifiedAcrossAttentions) {
  layOutOneInputField();
  t->currentField = 2;
  t->PutFieldInfoToBuff("AB", 2);
  EXPECT_EQ(attention(0x7D), "7D 40 40 11 40 C7 C1 C2 FF EF");
  EXPECT_EQ(attention(0x7D), "7D 40 40 11 40 C7 C1 C2 FF EF");
  EXPECT_EQ(t->fieldTable[2].modified, 1);
}

TEST_F(OutboundRecordTest, OnlyModifiedInputFieldsAreSentInTableOrder) {
  layOutFields(*t, {{0, 0x60}, {10, 0xC1}, {20, 0x60}, {30, 0x40}, {40, 0xE8}, {100, 0x4C}});
  putText(*t, 1, "PROTECTED");
  putText(*t, 11, "ONE");
  putText(*t, 21, "SKIP");
  putText(*t, 31, "TWO");
  putText(*t, 101, "HIDDEN");
  for (int i : {1, 2, 3, 4, 5}) t->fieldTable[i].modified = 1;  // field 6 (non-display input) not modified
  EXPECT_EQ(attention(0xF1), "F1 40 40 11 40 4B D6 D5 C5 11 40 5F E3 E6 D6 FF EF");
}

TEST_F(OutboundRecordTest, FieldAfterTheLastPositionIsSentAtTheTopLeft) {
  layOutFields(*t, {{0, 0x60}, {1919, 0x40}});
  std::memset(t->screenChars + kScreenPositions, 'Z', kScreenArraySize - kScreenPositions);
  t->currentField = 2;
  t->PutFieldInfoToBuff("AB", 2);
  EXPECT_EQ(attention(0x7D), "7D 40 40 11 40 40 FF EF");
}

TEST_F(OutboundRecordTest, EveryProgramFunctionKeySendsAFullRecord) {
  const uint8_t aids[] = {0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0x7A, 0x7B, 0x7C,
                          0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0x4A, 0x4B, 0x4C,
                          0xF0, 0xA2};  // and identifiers the record builder does not know
  layOutOneInputField();
  putText(*t, 7, "AB");
  t->fieldTable[2].modified = 1;
  t->cursorRow = 1;
  t->cursorColumn = 2;
  for (uint8_t aid : aids) {
    const std::string expected = hex({aid}) + " C1 D2 11 40 C7 C1 C2 FF EF";
    EXPECT_EQ(attention(aid), expected);
    EXPECT_EQ(t->aid, 0x7D) << expected;
  }
}

TEST_F(OutboundRecordTest, PaAndClearSendTheIdentifierAlone) {
  layOutOneInputField();
  putText(*t, 7, "AB");
  t->fieldTable[2].modified = 1;
  t->cursorRow = 5;
  t->cursorColumn = 10;
  for (int aid : {0x6C, 0x6E, 0x6B, 0x6D}) {
    EXPECT_EQ(attention(static_cast<uint8_t>(aid)), hex({static_cast<uint8_t>(aid)}) + " FF EF");
  }
}

TEST_F(OutboundRecordTest, CursorAddressOutsideTheScreen) {
  struct Case {
    int row, column;
    const char* record;
  } cases[] = {
      {23, 79, "7D 5D 7F FF EF"},
      {23, 85, "7D 5E C5 FF EF"},    // past the last cell: still the address typed at
      {0, 5000, "7D 40 40 FF EF"},   // beyond what two address bytes hold
      {-1, 0, "7D 40 40 FF EF"},
  };
  for (const Case& c : cases) {
    t->cursorRow = c.row;
    t->cursorColumn = c.column;
    EXPECT_EQ(attention(0x7D), c.record);
  }
}

TEST_F(OutboundRecordTest, SelectorPenSendsTheCursorAddressAtOnce) {
  struct Case {
    uint32_t cursor;
    const char* record;
  } cases[] = {{0, "7E 40 40 FF EF"}, {1919, "7E 5D 7F FF EF"}, {410, "7E C6 5A FF EF"}, {70000, "7E 40 40 FF EF"}};
  layOutOneInputField();
  t->fieldTable[2].modified = 1;
  for (const Case& c : cases) {
    t->cursorAddress = c.cursor;
    t->aid = 0xF3;
    t->typedCount = 4;
    std::memcpy(t->typedChars, "WXYZ", 4);
    t->outboundLength = 9;
    EXPECT_EQ(t->build_input2(3, 4), 0);
    EXPECT_EQ(hex(loop.hostReceives()), c.record);
    EXPECT_EQ(t->typedCount, 0);
    EXPECT_EQ(t->typedChars[0], 0) << "dropped characters must not come back";
    EXPECT_EQ(t->outboundLength, 0);
    EXPECT_EQ(t->aid, 0xF3);
  }
}

TEST_F(OutboundRecordTest, RecordNeverOutgrowsItsBuffer) {
  // An inconsistent table: overlapping modified input fields covering the screen.
  t->InitScreen();
  std::memset(t->screenChars, 'A', kScreenPositions);
  struct Case {
    uint32_t lastLength;
    int recordLength;
  } cases[] = {{244, 4096}, {245, 3849}};
  for (const Case& c : cases) {
    t->fieldCount = kMaxFields;
    for (FieldEntry& f : t->fieldTable) f = FieldEntry{0x40, 1, 1919, t->screenChars + 1, 1};
    t->fieldTable[2].length = c.lastLength;
    t->cursorRow = t->cursorColumn = 0;
    t->aid = 0x7D;
    t->send_message_NewTrans();
    ASSERT_EQ(t->outboundLength, c.recordLength);
    EXPECT_EQ(t->outboundRecord[c.recordLength - 2], 0xFF);
    EXPECT_EQ(t->outboundRecord[c.recordLength - 1], 0xEF);
  }
}

TEST_F(OutboundRecordTest, BuildingWritesTheFieldTrace) {
  layOutFields(*t, {{0, 0x60}, {6, 0xC1}, {17, 0x00}});
  putText(*t, 7, "A B");
  putText(*t, 18, std::string("XY\0Z", 4));
  t->fieldTable[2].modified = 1;
  t->fieldTable[3].modified = 1;
  t->traceFile = std::fopen("trace.txt", "w");
  ASSERT_NE(t->traceFile, nullptr);
  t->send_message_NewTrans();
  std::fclose(t->traceFile);
  t->traceFile = nullptr;
  // A text-mode file, as the program's trace is: CR LF line ends on Windows.
  EXPECT_EQ(readFile("trace.txt"),
            portable::textFileBytes("\n ......UnProtected MDT Field 4 Index 2, Attribute: 0xc1, [r: 0 c: 7] A B \n"
                                    "\n ...... IndexII stringA B\n"
                                    "\n ......UnProtected MDT Field 4 Index 3, Attribute: 0x 0, [r: 0 c: 18] XY \n"
                                    "\n ...... IndexII stringXY\0Z\n"s));
}

}  // namespace
