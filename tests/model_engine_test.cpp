// The model screen's data stream taken apart by hand: which records change
// which cells, and that no length or address a host sends reaches outside the
// record or the screen (the sanitizers watch every case).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "inbound_fixture.h"
#include "terminal/comm_tcp.h"
#include "tn3270/model_engine.h"

namespace {

// The first `count` cells from `from`: a character as its EBCDIC code, a field
// attribute in brackets, "+" after a cell with a foreground colour.
std::string cells(const ModelScreen& s, int from, int count) {
  std::string out;
  char text[8];
  for (int p = from; p < from + count; ++p) {
    const ModelCell& c = s.cells[p];
    std::snprintf(text, sizeof text, c.field ? "[%02X]" : "%02X", c.field ? c.fa : c.ch);
    if (!out.empty()) out += ' ';
    out += text;
    if (c.foreground) out += '+';
  }
  return out;
}

TEST(TerminalModel, NamesAreParsedAsTheyAreWritten) {
  const struct {
    const char* text;
    const char* name;  // nullptr: refused
  } cases[] = {
      {"3278-2", "3278-2"}, {"3279-4-E", "3279-4-E"}, {"3279-5-e", "3279-5-E"}, {"4", "3278-4"},
      {"3278-1", nullptr},  {"3279-6-E", nullptr},    {"3279-4-X", nullptr},    {"", nullptr},
      {"3277-2", nullptr},  {"3279-4-E-E", nullptr},  {"IBM-3279-4-E", nullptr},
  };
  for (const auto& c : cases) {
    TerminalModel m;
    const bool ok = ParseTerminalModel(c.text, &m);
    EXPECT_EQ(ok, c.name != nullptr) << c.text;
    if (ok) {
      EXPECT_EQ(TerminalModelName(m), c.name) << c.text;
    }
  }
}

TEST(ModelScreenRecords, EachRecordLeavesTheCellsItShould) {
  const struct {
    const char* what;
    const char* model;
    std::vector<const char*> records;
    int from;
    const char* cells;
    int rows;
    bool locked = false;  // a query taken locks the keyboard
  } cases[] = {
      {"characters and a field", "3279-2-E", {"F5 C3 C1 1D 60 C2"}, 0, "C1 [60] C2 00", 24},
      {"an SFE cut short ends the record", "3279-2-E", {"F5 C3 C1 29 02 C0"}, 0, "C1 00 00", 24},
      {"an address beyond the screen ends the record", "3279-2-E", {"F5 C3 C1 11 5E 40 C2"}, 0, "C1 00", 24},
      {"a 14-bit address", "3279-4-E", {"7E C3 11 0D 6F C1 C2"}, 3438, "00 C1", 43},
      {"a 14-bit address one past the screen", "3279-4-E", {"7E C3 11 0D 70 C1"}, 3438, "00 00", 43},
      {"Erase/Write goes back to 24 x 80", "3279-4-E", {"7E C3 C1", "F5 C3 C2"}, 0, "C2 00", 24},
      {"repeat to address wraps to the top", "3279-2-E", {"F5 C3 11 5D 7E 3C 40 41 C1"}, 1918, "C1 C1", 24},
      {"repeat a graphic escape character", "3279-2-E", {"F5 C3 3C 40 42 08 AD"}, 0, "AD AD 00", 24},
      {"a 3279 keeps colours", "3279-2-E", {"F5 C3 28 42 F2 C1"}, 0, "C1+", 24},
      {"a 3278 keeps none", "3278-2-E", {"F5 C3 28 42 F2 C1 29 01 42 F2"}, 0, "C1 [00]", 24},
      {"modify field on a field attribute", "3279-2-E", {"F5 C3 1D 60", "F1 C3 11 40 40 2C 01 C0 40 C1"}, 0,
       "[40] C1", 24},
      {"modify field elsewhere changes nothing", "3279-2-E", {"F5 C3 C1", "F1 C3 11 40 40 2C 01 C0 40 C2"}, 0,
       "C2 00", 24},
      {"program tab after data nulls to the field's end", "3279-2-E",
       {"F5 C3 1D 40 C1 C2 C3 1D 40", "F1 C3 11 40 C1 C4 05 C5"}, 0, "[40] C4 00 00 [40] C5", 24},
      {"program tab after a format control does not null", "3279-2-E",
       {"F5 C3 1D 40 C1 C2 C3 1D 40", "F1 C3 11 40 C1 1C 05 C5"}, 0, "[40] 1C C2 C3 [40] C5", 24},
      {"program tab after data that ended in the last position nulls nothing", "3279-2-E",
       {"F5 C3 3C 5D 7F C1", "F1 C3 11 5D 7E C2 C3 05"}, 0, "C1 C1", 24},
      {"program tab passes over a field without a character position", "3279-2-E",
       {"F5 C3 11 40 45 1D 40 1D 60", "F1 C3 11 40 40 05 C1"}, 0, "C1 00 00 00 00 [40] [60]", 24},
      {"erase unprotected keeps protected fields", "3279-2-E", {"F5 C3 1D 60 C1 1D 40 C2", "F1 C3 11 40 40 12 40 40"},
       0, "[60] C1 [40] 00", 24},
      {"unknown control codes are dropped", "3279-2-E", {"F5 C3 C1 01 3D C2"}, 0, "C1 C2 00", 24},
      {"Outbound 3270DS writes", "3279-2-E", {"F3 00 08 40 00 F5 C3 C1 C2"}, 0, "C1 C2 00", 24},
      {"a structured field longer than the record is dropped", "3279-2-E", {"F5 C3 C1", "F3 00 FF 40 00 F1 C3 C2"},
       0, "C1 00", 24},
      {"a structured field of length 2 ends the record", "3279-2-E", {"F5 C3 C1", "F3 00 02 40 00 F1 C3 C2"}, 0,
       "C1 00", 24},
      {"a query inside Outbound 3270DS is not taken", "3279-2-E", {"F3 00 0A 40 00 F3 00 05 01 FF 02"}, 0, "00", 24},
      {"erase unprotected from the last field round to the first", "3279-2-E",
       {"F5 C3 1D 40 C1 11 5D 7D 1D 60 C2 C3", "F1 C3 11 5D 7F 12 40 43"}, 0, "[40] 00 00", 24},
      {"erase all unprotected", "3279-2-E", {"F5 C3 1D 41 C1 1D 60 C2", "6F"}, 0, "[40] 00 [60] C2", 24},
      {"erase all unprotected on an unformatted screen clears colours too", "3279-2-E", {"F5 C3 28 42 F2 C1", "6F"}, 0,
       "00", 24},
      {"Erase/Reset to the alternate size", "3279-5-E", {"F3 00 04 03 80"}, 0, "00", 27},
      {"without -E structured fields are passed over", "3279-4", {"F5 C3 C1", "F3 00 04 03 80"}, 0, "C1", 24},
  };
  for (const auto& c : cases) {
    CommTcp t;
    t.socketHandle = INVALID_SOCKET;
    TerminalModel m;
    ASSERT_TRUE(ParseTerminalModel(c.model, &m)) << c.what;
    model3270::ResetScreen(t.modelScreen, m);
    for (const char* r : c.records) {
      const Bytes record = hex(r);
      model3270::ProcessRecord(t, record.data(), static_cast<int>(record.size()));
    }
    EXPECT_EQ(t.modelScreen.rows, c.rows) << c.what;
    EXPECT_EQ(t.modelLocked != 0, c.locked) << c.what;
    const std::string expected = c.cells;
    const int count = 1 + static_cast<int>(std::count(expected.begin(), expected.end(), ' '));
    EXPECT_EQ(cells(t.modelScreen, c.from, count), expected) << c.what;
  }
}

}  // namespace

namespace {

// The original 24 x 80 members follow a model screen of that size, a field
// that wraps past the last position included, and are empty on the alternate size.
TEST(ModelScreenMirror, TheOriginalMembersShowTheDefaultSizeOnly) {
  CommTcp t;
  TerminalModel m;
  ASSERT_TRUE(ParseTerminalModel("3279-4-E", &m));
  model3270::ResetScreen(t.modelScreen, m);
  const auto write = [&](const char* text) {
    const Bytes record = hex(text);
    model3270::ProcessRecord(t, record.data(), static_cast<int>(record.size()));
    model3270::MirrorLegacy(t);
  };
  // Protected "A" at 3; at 1918 a modified input field running on to position 1.
  write("F5 C3 11 40 42 1D 60 C1 11 5D 7E 1D C1 C2");
  EXPECT_EQ(t.screenChars[3], 'A');
  EXPECT_EQ(t.screenChars[1919], 'B');
  EXPECT_EQ(t.attributePositions[2], 0x60);
  EXPECT_EQ(t.attributePositions[1918], 0xC1);
  ASSERT_EQ(t.fieldCount, 2);
  EXPECT_EQ(t.fieldTable[1].begin, 1919u);
  EXPECT_EQ(t.fieldTable[1].modified, 1);
  EXPECT_EQ(t.positionAttribute[1919], 0xC1);
  EXPECT_EQ(t.positionAttribute[1], 0xC1) << "the field's part at the top of the screen";
  EXPECT_EQ(t.positionAttribute[5], 0x60);
  write("7E C3 C1");
  EXPECT_EQ(t.fieldCount, 0);
  EXPECT_EQ(t.screenChars[0], 0);
}

}  // namespace

namespace {

// The keyboard on a form: a protected attribute at 0, an input field at 2..4,
// a numeric one at 6..8, an autoskip one at 10 and an input field from 12 on;
// the cursor starts at 2.
TEST(ModelScreenKeyboard, KeysEditTheFieldsAndMoveTheCursor) {
  using model3270::CursorTo;
  using model3270::TypeChar;
  const char* const kForm = "[60] [40] 00 00 00 [D0] 00 00 00 [F0] 00 [40] 00 00";
  const struct {
    const char* what;
    std::function<void(CommTcp&)> keys;
    int cursor;
    const char* cells;  // positions 0..13; nullptr: the form as it was
  } cases[] = {
      {"typing sets the field's modified tag", [](CommTcp& t) { TypeChar(t, 0xC1); }, 3,
       "[60] [41] C1 00 00 [D0] 00 00 00 [F0] 00 [40] 00 00"},
      {"at the field's end the cursor steps over the next attribute",
       [](CommTcp& t) { CursorTo(t, 4), TypeChar(t, 0xC1); }, 6, "[60] [41] 00 00 C1 [D0] 00 00 00 [F0] 00 [40] 00 00"},
      {"an autoskip attribute sends the cursor to the next input field",
       [](CommTcp& t) { CursorTo(t, 8), TypeChar(t, 0xF1); }, 12, "[60] [40] 00 00 00 [D1] 00 00 F1 [F0] 00 [40] 00 00"},
      {"a numeric field refuses a letter", [](CommTcp& t) { CursorTo(t, 6), TypeChar(t, 0xC1); }, 6, nullptr},
      {"a protected field refuses everything", [](CommTcp& t) { CursorTo(t, 10), TypeChar(t, 0xF1); }, 10, nullptr},
      {"a locked keyboard refuses", [](CommTcp& t) { t.modelLocked = 1, TypeChar(t, 0xC1); }, 2, nullptr},
      {"Tab goes to the next input field", [](CommTcp& t) { model3270::Tab(t), model3270::Tab(t); }, 12, nullptr},
      {"Tab from the last input field goes round to the first",
       [](CommTcp& t) { CursorTo(t, 13), model3270::Tab(t); }, 2, nullptr},
      {"Back-tab inside a field goes to its start", [](CommTcp& t) { CursorTo(t, 4), model3270::BackTab(t); }, 2,
       nullptr},
      {"Back-tab at a field's start goes to the previous one",
       [](CommTcp& t) { CursorTo(t, 12), model3270::BackTab(t); }, 6, nullptr},
      {"Home goes to the first input field", [](CommTcp& t) { CursorTo(t, 13), model3270::Home(t); }, 2, nullptr},
      {"Backspace stops at the field's start",
       [](CommTcp& t) { CursorTo(t, 3), model3270::Backspace(t), model3270::Backspace(t); }, 2, nullptr},
      {"Erase EOF nulls from the cursor to the field's end",
       [](CommTcp& t) {
         for (uint8_t ch : {0xC1, 0xC2, 0xC3}) TypeChar(t, ch);
         CursorTo(t, 3), model3270::EraseEndOfField(t);
       },
       3, "[60] [41] C1 00 00 [D0] 00 00 00 [F0] 00 [40] 00 00"},
      {"Delete Field nulls the field and goes to its start",
       [](CommTcp& t) {
         for (uint8_t ch : {0xC1, 0xC2}) TypeChar(t, ch);
         model3270::DeleteField(t);
       },
       2, "[60] [41] 00 00 00 [D0] 00 00 00 [F0] 00 [40] 00 00"},
  };
  for (const auto& c : cases) {
    CommTcp t;
    TerminalModel m;
    ASSERT_TRUE(ParseTerminalModel("3279-2-E", &m));
    model3270::ResetScreen(t.modelScreen, m);
    const Bytes form = hex("F5 C3 1D 60 1D 40 13 11 40 45 1D D0 11 40 49 1D F0 11 40 4B 1D 40");
    model3270::ProcessRecord(t, form.data(), static_cast<int>(form.size()));
    c.keys(t);
    EXPECT_EQ(t.modelScreen.cursor, c.cursor) << c.what;
    EXPECT_EQ(cells(t.modelScreen, 0, 14), c.cells ? c.cells : kForm) << c.what;
  }
}

}  // namespace
