// Interpreting 3270 write records: the command table, the orders, the field
// table, and what becomes of bad addresses, cut records and crowded screens.
#include <cstring>

#include "inbound_fixture.h"

namespace {

class InboundOrdersTest : public InboundTest {
 protected:
  // Leaves "AA" in an input field (field 1) at 11..12 marked modified, the
  // cursor at 13 and the next write position at 13.
  void prepareScreen() {
    feed(hex("F5 C3 11 40 4A 1D 40 C1 C1 13 FF EF"));
    ASSERT_EQ(t->fieldTable[1].begin, 11u);
    t->fieldTable[1].modified = 1;
  }
};

const std::string kNul(1, '\0');

enum Effect { kErase, kFromTop, kInPlace, kKeepFields };

TEST_F(InboundOrdersTest, CommandAndWccChooseTheTreatment) {
  const struct {
    uint8_t command, wcc;
    Effect effect;
    bool unknown;
  } cases[] = {
      {0xF5, 0xC3, kErase, false},    {0x05, 0x00, kErase, false},     {0x7D, 0xC1, kErase, false},
      {0x0F, 0xC3, kErase, false},    {0x6F, 0xC3, kErase, false},     {0xD4, 0x40, kErase, false},
      {0xD4, 0x41, kFromTop, true},   {0x01, 0xC2, kKeepFields, false}, {0xF1, 0xC1, kFromTop, false},
      {0xF1, 0xC2, kFromTop, false},  {0x01, 0xC3, kFromTop, false},   {0xF1, 0xC3, kInPlace, false},
      {0x01, 0xC1, kInPlace, false},  {0xF3, 0x00, kInPlace, false},   {0x7E, 0xC3, kFromTop, true},
      {0xF2, 0xC3, kFromTop, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << int(c.command) << " " << int(c.wcc));
    prepareScreen();
    startTrace();
    feed(Bytes{c.command, c.wcc, 0xC2, 0xFF, 0xEF});  // "B"
    const std::string trace = stopTrace();
    const uint32_t written = c.effect == kInPlace ? 13 : 0;
    EXPECT_EQ(t->screenChars[written], 'B');
    EXPECT_EQ(screen(11, 2), c.effect == kErase ? kNul + kNul : "AA");
    EXPECT_EQ(t->cursorAddress, 13u);  // only Insert Cursor moves it
    EXPECT_EQ(t->fieldTable[1].modified, c.effect == kKeepFields ? 1 : 0);
    char unknownLine[64];
    std::snprintf(unknownLine, sizeof unknownLine, " \nUnknown Control Bytes: [0x%2x, 0x%2x]", c.command, c.wcc);
    EXPECT_EQ(trace.find(unknownLine) != std::string::npos, c.unknown);
  }
}

TEST_F(InboundOrdersTest, ShortRecordsFollowTheirOwnTable) {
  enum ShortEffect { kNothingReset, kEraseHome, kReset };
  const struct {
    uint8_t command;
    ShortEffect effect;
  } cases[] = {{0x01, kNothingReset}, {0x31, kNothingReset}, {0xF1, kNothingReset}, {0x05, kEraseHome},
               {0x35, kEraseHome},    {0xF5, kEraseHome},    {0x02, kEraseHome},    {0x32, kEraseHome},
               {0xF2, kEraseHome},    {0x0F, kReset},        {0x6F, kReset},        {0x7E, kReset}};
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.command));
    prepareScreen();
    feed(Bytes{c.command, 0xFF, 0xEF});
    // The command byte is never taken as data.
    EXPECT_EQ(t->screenChars[0], 0);
    EXPECT_EQ(t->screenChars[13], 0);
    EXPECT_EQ(screen(11, 2), c.effect == kEraseHome ? kNul + kNul : "AA");
    EXPECT_EQ(t->cursorAddress, c.effect == kEraseHome ? 0u : 13u);
    EXPECT_EQ(t->bufferAddress, c.effect == kNothingReset ? 13u : 0u);
    EXPECT_EQ(t->fieldTable[1].modified, c.effect == kNothingReset ? 1 : 0);
  }
}

TEST_F(InboundOrdersTest, OrdersPlaceTheData) {
  const struct {
    const char* name;
    Bytes record;
    uint32_t at;
    std::string text;
  } cases[] = {
      {"data at 1919 wraps to 0", hex("F5 C3 11 5D 7F C1 C2"), 1919, "A"},
      {"... and goes on at 0", hex("F5 C3 11 5D 7F C1 C2"), 0, "B" + kNul},
      {"repeat to the same address writes nothing", hex("F5 C3 11 40 4A 3C 40 4A C1 C2"), 10, "B" + kNul},
      {"repeat wraps over the end", hex("F5 C3 11 5D 7E 3C 40 C2 C1 C2"), 1917, kNul + "AA"},
      {"... to its stop address", hex("F5 C3 11 5D 7E 3C 40 C2 C1 C2"), 0, "AAB" + kNul},
      {"repeat converts its character", hex("F5 C3 3C 40 C2 4A"), 0, "\x1b\x1b" + kNul},
      {"new line from the last row", hex("F5 C3 11 5D 70 15 C1"), 0, "A"},
      {"new line from a row", hex("F5 C3 11 40 C5 05 15 C1"), 80, "A"},
      {"EBCDIC null and a lone IAC are blanks", hex("F5 C3 00 FF 4A C1"), 0, "  \x1b" "A"},
      {"start field writes a blank", hex("F5 C3 1D 40 C1"), 0, " A"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    feed(c.record + hex("FF EF"));
    EXPECT_EQ(screen(c.at, c.text.size()), c.text);
  }
}

TEST_F(InboundOrdersTest, EraseUnprotectedBlanksEverythingInItsRange) {
  // HELLO in a protected field, an input field with "A" at 7; then from 5 to 8.
  feed(hex("F5 C3 1D 60 C8 C5 D3 D3 D6 1D 40 C1 11 40 C5 12 40 C8 C2 FF EF"));
  EXPECT_EQ(screen(0, 9), " HELLB  " + kNul);  // the address stays at 5: "B" lands there
  EXPECT_EQ(t->attributePositions[6], 0);
  ASSERT_EQ(t->fieldCount, 2);  // the removed start field no longer splits the screen
  EXPECT_EQ(t->fieldTable[1].begin, 1u);
  EXPECT_EQ(t->fieldTable[1].length, 1919u);
}

TEST_F(InboundOrdersTest, InsertCursorAndProgramTab) {
  t->cursorAddress = 77;
  startTrace();
  feed(hex("F5 C3 11 C1 50 05 13 FF EF"));
  const std::string trace = stopTrace();
  EXPECT_EQ(t->cursorAddress, 80u);
  EXPECT_NE(trace.find("\nProgram Tab: Pos [r:1 c:0] \n"), std::string::npos);
  EXPECT_NE(trace.find("\nInsert Cursor: Index 0 Old 77[r:0 c:77] Curr 80[r:1 c:0] \n"), std::string::npos);
  // A write without Insert Cursor leaves it.
  feed(hex("F5 C3 C1 FF EF"));
  EXPECT_EQ(t->cursorAddress, 80u);
}

TEST_F(InboundOrdersTest, FieldTableFromStartFields) {
  const struct {
    const char* name;
    Bytes record;
    std::vector<std::vector<uint32_t>> fields;  // attribute, begin, length
  } cases[] = {
      {"no start field: one protected field", hex("F5 C3 C1"), {{0x20, 0, 1920}}},
      {"equal neighbours make one field",
       hex("F5 C3 11 40 C5 1D 40 C1 1D 40 C2 1D 60"),
       {{0x20, 0, 5}, {0x40, 6, 3}, {0x60, 10, 1910}}},
      {"start field at the last position", hex("F5 C3 11 5D 7F 1D 40"), {{0x20, 0, 1919}, {0x40, 1920, 0}}},
      // The attribute 0x00 is the unprotected 0x40: a field of its own.
      {"attribute 0x00 starts a field", hex("F5 C3 11 40 C5 1D 60 C1 1D 00 C2"),
       {{0x20, 0, 5}, {0x60, 6, 1}, {0x40, 8, 1912}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    feed(c.record + hex("FF EF"));
    ASSERT_EQ(t->fieldCount, static_cast<int>(c.fields.size()));
    for (size_t i = 0; i < c.fields.size(); ++i) {
      EXPECT_EQ(t->fieldTable[i].attribute, c.fields[i][0]) << i;
      EXPECT_EQ(t->fieldTable[i].begin, c.fields[i][1]) << i;
      EXPECT_EQ(t->fieldTable[i].length, c.fields[i][2]) << i;
    }
  }
  // The merged field's second start-field position belongs to it.
  feed(hex("F5 C3 11 40 C5 1D 40 C1 1D 40 C2 1D 60 FF EF"));
  EXPECT_EQ(t->positionAttribute[7], 0x40);
  EXPECT_EQ(t->positionAttribute[9], 0);
}

// Addresses past the screen: the order is dropped with its operands, as the
// terminal rejects it, and the rest of the record goes on from where it was.
TEST_F(InboundOrdersTest, AddressesBeyondTheScreenAreRejected) {
  feed(helloRecord());
  uint8_t chars[2000], starts[2000];
  std::memcpy(chars, t->screenChars, sizeof chars);
  std::memcpy(starts, t->attributePositions, sizeof starts);
  chars[8] = 'B';
  for (uint8_t order : {0x11, 0x3C, 0x12}) {
    for (uint32_t bad = 1920; bad < 4096; ++bad) {
      SCOPED_TRACE(testing::Message() << int(order) << " " << bad);
      Bytes operation = Bytes{order} + address(bad);
      if (order == 0x3C) operation.push_back(0xC1);
      feed(hex("F1 C3 11 40 C8") + operation + hex("C2 FF EF"));
      ASSERT_EQ(std::memcmp(t->screenChars, chars, sizeof chars), 0);
      ASSERT_EQ(std::memcmp(t->attributePositions, starts, sizeof starts), 0);
      ASSERT_EQ(t->bufferAddress, 9u);
    }
  }
}

// An order whose operands are missing ends the record; its IAC EOR is never
// taken as an operand, and nothing is read past the record.
TEST_F(InboundOrdersTest, CutRecordsEndAtTheMissingOperand) {
  const Bytes orders[] = {hex("11 40 50"), hex("1D 60"), hex("3C 40 50 C1"), hex("12 40 50")};
  for (const Bytes& order : orders) {
    for (size_t kept = 1; kept < order.size(); ++kept) {
      SCOPED_TRACE(testing::Message() << int(order[0]) << " " << kept);
      feed(helloRecord());
      uint8_t chars[2000], starts[2000];
      std::memcpy(chars, t->screenChars, sizeof chars);
      std::memcpy(starts, t->attributePositions, sizeof starts);
      chars[9] = 'A';
      const Bytes cut(order.begin(), order.begin() + kept);
      calls().clear();
      EXPECT_EQ(feed(hex("F1 C3 11 40 C8") + cut + hex("FF EF") + hex("F1 C3 11 40 C9 C1 FF EF")), 1);
      EXPECT_EQ(calls().size(), 2u);
      EXPECT_EQ(std::memcmp(t->screenChars, chars, sizeof chars), 0);
      EXPECT_EQ(std::memcmp(t->attributePositions, starts, sizeof starts), 0);
      interpret(hex("F1 C3 11 40 C8") + cut);  // no IAC EOR at all
      EXPECT_EQ(std::memcmp(t->screenChars, chars, sizeof chars), 0);
    }
  }
}

TEST_F(InboundOrdersTest, StartFieldsBeyondTheTableAreShownProtected) {
  Bytes record = hex("F5 C3");
  for (int i = 0; i < 600; ++i) record = record + Bytes{0x1D, uint8_t(i % 2 ? 0x40 : 0x60), 0xC1, 0xC2};
  feed(record + hex("FF EF"));
  ASSERT_EQ(t->fieldCount, 500);
  for (int k = 1; k < 500; ++k) {
    ASSERT_EQ(t->fieldTable[k].begin, uint32_t(3 * (k - 1) + 1)) << k;
    ASSERT_EQ(t->fieldTable[k].length, 2u) << k;
    ASSERT_EQ(t->fieldTable[k].attribute, k % 2 ? 0x60 : 0x40) << k;
  }
  // The 500th start field (at 1497) and every later one: fields without an entry.
  for (int p = 1498; p < 1920; ++p) {
    if (t->attributePositions[p]) continue;
    ASSERT_EQ(t->positionAttribute[p], 0x60) << p;
  }
  EXPECT_EQ(t->positionAttribute[1492], 0x40);  // the last input field with an entry
}

TEST_F(InboundOrdersTest, CurrentFieldBeyondTheNewTableStartsAgain) {
  const struct {
    int before, after;
  } cases[] = {{2, 2}, {3, 0}, {499, 0}, {-4, 0}};
  for (const auto& c : cases) {
    t->currentField = c.before;
    interpret(helloRecord());
    EXPECT_EQ(t->currentField, c.after) << c.before;
  }
}

TEST_F(InboundOrdersTest, FieldCloseKeepsItsBoundsOnTheScreen) {
  interpret(helloRecord());
  t->fieldCount = 0;
  t->close_field(1900, 10, 0x40);  // an end before the begin runs to the end of the screen
  t->close_field(5000, 6000, 0x40);
  t->RepeatEraseTo(1919, 4000);
  t->repeatto(2500, 3, 'x');
  EXPECT_EQ(t->fieldCount, 2);
  EXPECT_EQ(t->fieldTable[0].length, 20u);
  EXPECT_EQ(t->fieldTable[1].begin, 1920u);
  EXPECT_EQ(t->fieldTable[1].length, 0u);
  EXPECT_EQ(screen(0, 7), " HELLO ");
}

}  // namespace
