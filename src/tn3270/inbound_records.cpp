// Gathering the host's 3270 data into records ended by IAC EOR, and handing
// each complete record to the interpreter, the cursor placement and the
// record handler.
//
// While a record is being gathered, recordBuffer holds its bytes as they came
// from the host, doubled IACs still doubled; whether the last stored byte is an
// IAC still waiting for its partner can then be told from the buffer alone (an
// odd run of 0xFF at its end). The doubling is undone when the record is
// complete, so the interpreter and the record handler see one 0xFF per data
// byte, followed by the closing IAC EOR.
//
// A record that outgrows the buffer is dropped, up to and including its IAC
// EOR: recordFill then stays at the buffer's size, and the buffer's last byte
// only says whether the last byte dropped was an unpaired IAC.
#include <cstdio>

#include "tn3270/inbound_records.h"

#include "terminal/comm_tcp.h"
#include "tn3270/ebcdic.h"
#include "tn3270/model_engine.h"

namespace {

constexpr unsigned char kIac = 0xFF;
constexpr unsigned char kEor = 0xEF;
constexpr int kRecordCapacity = static_cast<int>(sizeof(CommTcp::recordBuffer));

// True while an overlong record is being dropped.
bool dropping(const CommTcp& t) { return t.recordFill >= kRecordCapacity; }

// Whether the bytes held so far end in an IAC that the next byte completes
// (EOR: end of record; IAC: a data byte 0xFF).
bool iacPending(const CommTcp& t) {
  if (dropping(t)) return t.recordBuffer[kRecordCapacity - 1] == kIac;
  int run = 0;
  for (int i = t.recordFill - 1; i >= 0 && t.recordBuffer[i] == kIac; --i) ++run;
  return (run & 1) != 0;
}

// Adds n bytes of the chunk to the record being gathered. `endsRecord`: the
// bytes end with the record's IAC EOR; `pendingAfter`: otherwise, whether they
// end in an unpaired IAC. Returns true when a whole record is now held.
bool storeBytes(CommTcp& t, unsigned char* src, int n, bool endsRecord, bool pendingAfter) {
  if (!dropping(t)) {
    const int room = kRecordCapacity - t.recordFill;
    // A part record that fills the buffer can only grow past it.
    if (n < room || (endsRecord && n == room)) {
      memmov(t.recordBuffer + t.recordFill, src, n);
      t.recordFill += n;
      return endsRecord;
    }
    t.recordFill = kRecordCapacity;
  }
  if (endsRecord) {
    t.recordFill = 0;  // the overlong record is gone; the next one starts clean
  } else {
    t.recordBuffer[kRecordCapacity - 1] = pendingAfter ? kIac : 0;
  }
  return false;
}

// Turns each doubled IAC of the held record into one data byte 0xFF.
void undoubleIacs(CommTcp& t) {
  const int body = t.recordFill - 2;  // the closing IAC EOR stays as it is
  int out = 0;
  for (int in = 0; in < body; ++in) {
    t.recordBuffer[out++] = t.recordBuffer[in];
    if (t.recordBuffer[in] == kIac && in + 1 < body && t.recordBuffer[in + 1] == kIac) ++in;
  }
  t.recordBuffer[out++] = kIac;
  t.recordBuffer[out++] = kEor;
  t.recordFill = out;
}

void completeRecord(CommTcp& t) {
  undoubleIacs(t);
  if (tn3270e::Active(t)) {
    tn3270e::OnRecord(t, t.recordBuffer, static_cast<size_t>(t.recordFill - 2));
  } else if (t.modelEngine()) {
    model3270::ProcessRecord(t, t.recordBuffer, t.recordFill - 2);
    model3270::MirrorLegacy(t);
  } else {
    t.CreateScreenMenu(t.recordBuffer, t.recordFill);
  }
  t.ShowScreenIcPos(t.windowHandle, t.cellWidth, t.cellHeight, &t.cursorColumn, &t.cursorRow);
  // The handler reads the record while it is still held.
  if (t.recordHandler) t.recordHandler();
  t.recordFill = 0;
}

}  // namespace

int RecordExtent(const CommTcp& t, const unsigned char* data, int length) {
  if (data == nullptr || length <= 0) return 0;
  bool pending = t.recordFill >= 0 && t.recordFill <= kRecordCapacity && iacPending(t);
  for (int i = 0; i < length; ++i) {
    if (pending) {
      pending = false;
      if (data[i] == kEor) return i + 1;
    } else if (data[i] == kIac) {
      pending = true;
    }
  }
  return length;
}

int CommTcp::CreateScreen(unsigned char* data, int length) {
  if (data == nullptr || length <= 0) return 0;
  if (traceFile) {
    std::fprintf(traceFile, "\n ...... CreateScreen  Two Bytes In The Previous Packet [0x%2x 0x%2x] \n", data[0],
                 length > 1 ? data[1] : 0u);
  }
  if (recordFill < 0 || recordFill > kRecordCapacity) recordFill = 0;

  int completed = 0;
  bool pending = iacPending(*this);
  int start = 0;  // first byte of the chunk not yet stored
  for (int i = 0; i < length; ++i) {
    const unsigned char b = data[i];
    if (pending) {
      // IAC EOR ends the record; IAC IAC is a data byte; an IAC before any
      // other byte is itself a data byte.
      pending = false;
      if (b == kEor) {
        if (storeBytes(*this, data + start, i + 1 - start, true, false)) {
          completeRecord(*this);
          completed = 1;
        }
        start = i + 1;
      }
    } else if (b == kIac) {
      pending = true;
    }
  }
  storeBytes(*this, data + start, length - start, false, pending);
  return completed;
}
