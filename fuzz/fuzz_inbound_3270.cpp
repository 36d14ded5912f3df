// A 3270 record from the host (CreateScreen), then whatever the user can do
// with the screen it made: field searches from any position, typed data stored
// into the current field, cursor and editing keys, typed characters, and the
// inbound record built with an attention identifier.
//
// Input: a flags byte (bit 0: trace log, bit 1: IAC EOR added to the record,
// bit 2: a record handler that takes the whole screen as an embedding program
// does), the record's length (two bytes) and the record; the rest is a list of
// operations, each an operation byte and its operands.
#include <cstring>
#include <memory>

#include "fuzz_support.h"
#include "tn3270/screen_model.h"

namespace {

// Passed to the field searches by the keyboard: no position given.
constexpr uint32_t kNoPosition = 10000;

// An exactly sized copy, so that any read or write past its end is caught.
struct Exact {
  explicit Exact(const std::vector<uint8_t>& bytes, size_t extra = 0) : size(bytes.size() + extra), p(new uint8_t[size + 1]) {
    std::memset(p.get(), 0, size + 1);
    if (!bytes.empty()) std::memcpy(p.get(), bytes.data(), bytes.size());
  }
  size_t size;
  std::unique_ptr<uint8_t[]> p;
};

void record(CommTcp& t, const std::vector<uint8_t>& bytes, bool endRecord) {
  std::vector<uint8_t> r = bytes;
  if (endRecord) {
    r.push_back(0xFF);
    r.push_back(0xEF);
  }
  Exact copy(r);
  if (copy.size > 0) t.CreateScreen(copy.p.get(), static_cast<int>(copy.size));
}

uint32_t position(fuzz::Reader& in) {
  const uint16_t v = in.word();
  // Mostly on the screen or just past it; 0xFFFF stands for "no position".
  return v == 0xFFFF ? kNoPosition : (v & 0x8000) ? v : v % 2048u;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Session& s = fuzz::session();
  fuzz::resetTerminal(fuzz::Mode::kIbm3270);
  fuzz::Reader in(data, size);
  const uint8_t flags = in.byte();
  s.t->traceFile = (flags & 1) ? s.trace : nullptr;
  if (flags & 4) fuzz::installRecordHandler();
  record(*s.t, in.bytes(in.word()), (flags & 2) != 0);

  for (int steps = 0; !in.empty() && steps < 256 && fuzz::sessionAlive(); ++steps) {
    CommTcp& t = *s.t;
    const uint8_t op = in.byte();
    switch (op % 11) {
      case 0: {
        uint32_t found = 0;
        t.FindNextInputCursorPos(position(in), (op & 0x10) ? &found : nullptr);
        break;
      }
      case 1: {
        uint32_t found = 0;
        t.FindPrevInputCursorPos(position(in), (op & 0x10) ? &found : nullptr);
        break;
      }
      case 2: {
        // Typed data from anywhere: its length may claim more than there is
        // only where the data is the pending-input buffer.
        const std::vector<uint8_t> typed = in.bytes(in.byte());
        if (op & 0x10) {
          const size_t n = std::min(typed.size(), sizeof t.typedChars);
          if (n > 0) std::memcpy(t.typedChars, typed.data(), n);
          t.typedCount = static_cast<int32_t>(n);
          t.PutFieldInfoToBuff(t.typedChars, (op & 0x20) ? in.word() : static_cast<unsigned>(n));
        } else {
          Exact copy(typed);
          t.PutFieldInfoToBuff(reinterpret_cast<const char*>(copy.p.get()), static_cast<unsigned>(copy.size));
        }
        break;
      }
      case 3: {
        // A cursor, editing or attention key.
        const WPARAM key = in.byte();
        t.KeyDown3270(s.window, key, MAKELPARAM(1, 0));
        break;
      }
      case 4: {
        const WPARAM ch = in.byte();
        SendMessageA(s.window, WM_CHAR, ch, MAKELPARAM(1 + (op >> 6), 0));
        break;
      }
      case 5: {
        // The record as Enter or a PF key builds it; column and row may lie anywhere.
        const uint8_t attention = in.byte();
        const int column = static_cast<int16_t>(in.word());
        const int row = static_cast<int16_t>(in.word());
        std::unique_ptr<uint8_t[]> out(new uint8_t[sizeof t.outboundRecord]);
        t.build_input(out.get(), attention, column, row);
        break;
      }
      case 6:
        t.aid = in.byte();
        t.send_message_host_x();
        break;
      case 7:
        t.build_input2(t.cursorColumn, t.cursorRow);
        break;
      case 8:
        t.ShowScreenIcPos(s.window, t.cellWidth, t.cellHeight, &t.cursorColumn, &t.cursorRow);
        break;
      case 9:
        // Another record, or a part of one.
        record(t, in.bytes(in.byte()), (op & 0x10) != 0);
        break;
      case 10:
        // What the window shows now. Painting costs as much as all the rest, and
        // the host's screens are painted in the 3270 Telnet target already: here
        // only the op's top bit asks for it.
        if (op & 0x80) SendMessageA(s.window, WM_PAINT, 0, 0);
        break;
    }
  }
  fuzz::pump();
  if (fuzz::sessionAlive()) s.t->traceFile = nullptr;
  fuzz::finishInput();
  return 0;
}
