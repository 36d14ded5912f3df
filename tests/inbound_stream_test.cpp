// Gathering 3270 records from the host's chunks: splits, doubled IACs, the
// record handler, the trace, and records too long for the buffer.
#include <algorithm>

#include "inbound_fixture.h"

namespace {

using InboundStreamTest = InboundTest;

void expectHelloScreen(const CommTcp& t) {
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(t.screenChars), 7), " HELLO ");
  for (int p = 7; p < 1920; ++p) ASSERT_EQ(t.screenChars[p], 0) << p;
  for (int p = 0; p < 1920; ++p) {
    const uint8_t start = p == 0 ? 0x60 : p == 6 ? 0x40 : 0;
    const uint8_t owner = p == 0 || p == 6 ? 0 : p < 6 ? 0x60 : 0x40;
    ASSERT_EQ(t.attributePositions[p], start) << p;
    ASSERT_EQ(t.positionAttribute[p], owner) << p;
  }
  ASSERT_EQ(t.fieldCount, 3);
  const struct { uint8_t attribute; uint32_t begin, length; } fields[] = {{0x20, 0, 0}, {0x60, 1, 5}, {0x40, 7, 1913}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(t.fieldTable[i].attribute, fields[i].attribute) << i;
    EXPECT_EQ(t.fieldTable[i].begin, fields[i].begin) << i;
    EXPECT_EQ(t.fieldTable[i].length, fields[i].length) << i;
    EXPECT_EQ(t.fieldTable[i].data, t.screenChars + fields[i].begin) << i;
  }
  EXPECT_EQ(t.cursorAddress, 0u);
  EXPECT_EQ(t.recordFill, 0);
}

TEST_F(InboundStreamTest, WholeRecordBuildsTheScreen) {
  EXPECT_EQ(feed(helloRecord()), 1);
  expectHelloScreen(*t);
  // The cursor goes to the input field.
  EXPECT_EQ(t->cursorColumn, 7);
  EXPECT_EQ(t->cursorRow, 0);
  ASSERT_EQ(calls().size(), 1u);
  // The handler runs with the record still held, after the cursor is placed.
  EXPECT_EQ(calls()[0].record, helloRecord());
  EXPECT_EQ(calls()[0].cursorColumn, 7);
}

TEST_F(InboundStreamTest, RecordSplitAnywhereGivesTheSameScreen) {
  const Bytes record = helloRecord();
  for (size_t cut = 1; cut < record.size(); ++cut) {
    SCOPED_TRACE(cut);
    calls().clear();
    EXPECT_EQ(feed(Bytes(record.begin(), record.begin() + cut)), 0);
    EXPECT_EQ(t->recordFill, static_cast<int>(cut));
    EXPECT_EQ(feed(Bytes(record.begin() + cut, record.end())), 1);
    expectHelloScreen(*t);
    ASSERT_EQ(calls().size(), 1u);
    EXPECT_EQ(calls()[0].record, record);
  }
  calls().clear();
  for (size_t i = 0; i < record.size(); ++i) EXPECT_EQ(feed(Bytes{record[i]}), i + 1 == record.size() ? 1 : 0) << i;
  expectHelloScreen(*t);
  EXPECT_EQ(calls().size(), 1u);
}

TEST_F(InboundStreamTest, TwoRecordsInOneChunkAreHandledInOrder) {
  const Bytes second = hex("F1 C2 11 40 C8 13 C1 FF EF");  // "A" at 8, cursor at 8
  EXPECT_EQ(feed(helloRecord() + second), 1);
  ASSERT_EQ(calls().size(), 2u);
  EXPECT_EQ(calls()[0].record, helloRecord());
  EXPECT_EQ(calls()[0].cursorColumn, 7);
  EXPECT_EQ(calls()[1].record, second);
  EXPECT_EQ(calls()[1].cursorColumn, 7);  // inside the input field: its first position
  EXPECT_EQ(t->cursorAddress, 8u);
  EXPECT_EQ(screen(0, 9), std::string(" HELLO ") + '\0' + 'A');
}

TEST_F(InboundStreamTest, EmptyChunkChangesNothing) {
  EXPECT_EQ(feed(hex("F5 C3 C1")), 0);
  EXPECT_EQ(t->CreateScreen(t->receiveBuffer, 0), 0);
  EXPECT_EQ(t->CreateScreen(nullptr, 5), 0);
  EXPECT_EQ(t->recordFill, 3);
  EXPECT_TRUE(calls().empty());
}

// IAC EOR ends a record; IAC IAC is one data byte 0xFF, also across chunks.
TEST_F(InboundStreamTest, DoubledIacIsDataWhereverTheChunksSplit) {
  const Bytes dataRecord = hex("F5 C3 C1 FF EF C2 FF EF");  // A, 0xFF, 0xEF, B
  const std::string dataScreen = "A  B";
  const struct {
    std::vector<const char*> chunks;
    int lastResult;
    Bytes record;
    std::string screen;
  } cases[] = {
      {{"F5 C3 C1 FF FF EF C2 FF EF"}, 1, dataRecord, dataScreen},
      {{"F5 C3 C1 FF", "FF EF C2 FF EF"}, 1, dataRecord, dataScreen},
      {{"F5 C3 C1 FF FF", "EF C2 FF EF"}, 1, dataRecord, dataScreen},
      {{"F5 C3 C1 FF", "FF", "EF C2 FF", "EF"}, 1, dataRecord, dataScreen},
      {{"F5 C3 C1 FF C2 FF EF"}, 1, hex("F5 C3 C1 FF C2 FF EF"), "A B" + std::string(1, '\0')},
      {{"F5 C3 C1 C2 FF", "EF"}, 1, hex("F5 C3 C1 C2 FF EF"), "AB" + std::string(2, '\0')},
      {{"F5 C3 C1 FF FF FF", "EF"}, 1, hex("F5 C3 C1 FF FF EF"), "A " + std::string(2, '\0')},
      {{"F5 C3 C1 FF FF", "FF", "FF", "FF EF"}, 1, hex("F5 C3 C1 FF FF FF EF"), "A  " + std::string(1, '\0')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.chunks[0]);
    calls().clear();
    for (size_t i = 0; i < c.chunks.size(); ++i) {
      EXPECT_EQ(feed(hex(c.chunks[i])), i + 1 == c.chunks.size() ? c.lastResult : 0) << i;
    }
    ASSERT_EQ(calls().size(), 1u);
    EXPECT_EQ(calls()[0].record, c.record);
    EXPECT_EQ(screen(0, 4), c.screen);
    EXPECT_EQ(t->recordFill, 0);
  }
}

TEST_F(InboundStreamTest, TraceLinesAreWrittenAsTheyStand) {
  startTrace();
  feed(helloRecord());
  feed(hex("F1"));  // a one-byte chunk has no second byte to show
  const std::string trace = stopTrace();

  std::string dump = "\n" + std::string(" HELLO ") + std::string(73, '\0') + "\n";
  for (int r = 1; r < 24; ++r) dump += std::string(80, '\0') + "\n";
  const std::string expected =
      "\n ...... CreateScreen  Two Bytes In The Previous Packet [0xf5 0xc3] \n"
      " \nFirst Two CONTROL Bytes: [0xf5, 0xc3]"
      " \nFirst Two Data Bytes: [0x11, 0x40]" +
      dump +
      "\n close_field: Index 0 Attribute: 20 Begin[0,0] End[0,0]  HELLO   HELLO \n"
      "\n close_field: Index 1 Attribute: 60 Begin[0,1] End[0,6] HELLO  HELLO \n"
      "\n close_field: Established at the final stage \n "
      "\n close_field: Index 2 Attribute: 40 Begin[0,7] End[24,0]  \n"
      "\n ...... CreateScreen  Two Bytes In The Previous Packet [0xf1 0x 0] \n";
  EXPECT_EQ(trace, expected);
}

// Records longer than the buffer are dropped up to their IAC EOR; the records
// after them come through whole, however the chunks fall.
TEST_F(InboundStreamTest, OverlongRecordIsDroppedAndTheNextIsIntact) {
  const Bytes good = hex("F1 C2 11 40 D0 C2 FF EF");  // "B" at 16 over the old screen
  Bytes filler;
  for (int i = 0; i < 2500; ++i) {
    const Bytes piece = hex("C1 FF FF EF");  // doubled IACs, one right before an EOR byte
    filler.insert(filler.end(), piece.begin(), piece.end());
  }
  const Bytes overlong = hex("F5 C3") + filler + hex("FF EF");
  const Bytes stream = overlong + good;

  for (size_t chunk : {size_t{1}, size_t{3}, size_t{1000}, size_t{4096}, size_t{8092}, size_t{8093}, stream.size()}) {
    SCOPED_TRACE(chunk);
    feed(helloRecord());
    calls().clear();
    int completed = 0;
    for (size_t at = 0; at < stream.size(); at += chunk) {
      completed += feed(Bytes(stream.begin() + at, stream.begin() + std::min(stream.size(), at + chunk)));
    }
    EXPECT_EQ(completed, 1);
    ASSERT_EQ(calls().size(), 1u);
    EXPECT_EQ(calls()[0].record, good);
    EXPECT_EQ(screen(0, 7), " HELLO ");  // the dropped erase never happened
    EXPECT_EQ(t->screenChars[16], 'B');
    EXPECT_EQ(t->recordFill, 0);
  }
}

TEST_F(InboundStreamTest, RecordThatExactlyFillsTheBufferIsKept) {
  const int capacity = static_cast<int>(sizeof t->recordBuffer);
  const Bytes fits = hex("F5 C3") + Bytes(capacity - 4, 0xC1) + hex("FF EF");
  const Bytes tooLong = hex("F5 C3") + Bytes(capacity - 3, 0xC2) + hex("FF EF");
  EXPECT_EQ(feed(Bytes(fits.begin(), fits.end() - 1)), 0);
  EXPECT_EQ(feed(hex("EF")), 1);
  ASSERT_EQ(calls().size(), 1u);
  EXPECT_EQ(calls()[0].record.size(), static_cast<size_t>(capacity));
  EXPECT_EQ(feed(tooLong), 0);
  EXPECT_EQ(calls().size(), 1u);
  EXPECT_EQ(t->screenChars[0], 'A');
  EXPECT_EQ(feed(helloRecord()), 1);
  expectHelloScreen(*t);

  // A chunk that fills the buffer, ending in a doubled IAC: the 0xEF after it
  // is data of the overlong record, not its end.
  calls().clear();
  EXPECT_EQ(feed(hex("F5 C3") + Bytes(capacity - 4, 0xC2) + hex("FF FF")), 0);
  EXPECT_EQ(feed(hex("EF C2 FF EF") + helloRecord()), 1);
  ASSERT_EQ(calls().size(), 1u);
  EXPECT_EQ(calls()[0].record, helloRecord());
}

}  // namespace
