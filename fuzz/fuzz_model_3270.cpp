// The model screen's data stream (3278/3279 models 2..5, with and without
// "-E"): records from the host through ProcessRecord (write commands and
// their orders, Write Structured Field, the read commands), each followed by
// what the user and the host may do next: the keyboard walked across the
// screen's input fields, a read command's reply built, an attention key.
//
// Input: a first byte (bits 0..2: the model, from the table below; bit 3: the
// records go through CreateScreen as the Telnet path gathers them, 0xFF
// doubled and IAC EOR after each; bit 4: trace log; bit 5: a record handler
// that takes the whole screen as an embedding program does; bit 6: the window
// painted after each record, colours and highlighting), then pieces
// separated by IAC EOR (0xFF 0xEF). Each piece is an operations byte and one
// record:
//   bits 0..1  the reply built afterwards: none, Read Buffer, Read Modified,
//              Read Modified All
//   bits 2..4  the keyboard walk: 0 none, otherwise Home, then in each input
//              field (Tab to the next) that many characters less one typed,
//              Erase EOF in every other field; Back-tab, Backspace and Delete
//              Field at the end
//   bit 5      then an attention key: bits 6..7 pick Enter, PF1, PA1 or Clear
//   bits 6..7  (without bit 5) where the typed characters start in their table
#include <cstring>
#include <memory>

#include "fuzz_support.h"
#include "tn3270/model_engine.h"

namespace {

constexpr const char* kModels[8] = {"3278-2-E", "3279-2-E", "3279-3-E", "3279-4-E",
                                    "3279-5-E", "3278-3",   "3279-5",   "3278-5-E"};
// Letters, digits, the decimal point and a blank: numeric fields refuse some.
constexpr uint8_t kTyped[4] = {0xC1, 0xF1, 0x4B, 0x40};
constexpr uint8_t kAids[4] = {0x7D, 0xF1, 0x6C, 0x6D};  // Enter, PF1, PA1, Clear
constexpr uint8_t kReads[4] = {0, 0xF2, 0xF6, 0x6E};
// Bounds on the work of one input.
constexpr int kMaxPieces = 64;
constexpr int kMaxWalkedFields = 32;

// Every operation keeps the cursor and the buffer address on the screen.
void checkScreen(const ModelScreen& s) {
  const int n = s.positions();
  if (n <= 0 || n > kMaxModelPositions || s.cursor >= n || s.bufferAddress >= n) __builtin_trap();
}

// An exactly sized copy, so that any read past its end is caught.
void processRecord(CommTcp& t, const uint8_t* data, size_t size) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[size + 1]);
  if (size > 0) std::memcpy(copy.get(), data, size);
  model3270::ProcessRecord(t, copy.get(), static_cast<int>(size));
  model3270::MirrorLegacy(t);
}

// As the Telnet path delivers it: data 0xFF doubled, IAC EOR at the end.
void createScreen(CommTcp& t, const uint8_t* data, size_t size) {
  std::unique_ptr<uint8_t[]> wire(new uint8_t[2 * size + 2]);
  size_t n = 0;
  for (size_t i = 0; i < size; ++i) {
    wire[n++] = data[i];
    if (data[i] == 0xFF) wire[n++] = 0xFF;
  }
  wire[n++] = 0xFF;
  wire[n++] = 0xEF;
  t.CreateScreen(wire.get(), static_cast<int>(n));
}

void walkKeyboard(CommTcp& t, int typedPerField, int firstTyped) {
  ModelScreen& s = t.modelScreen;
  model3270::Home(t);
  for (int field = 0; field < kMaxWalkedFields; ++field) {
    for (int k = 0; k < typedPerField; ++k) model3270::TypeChar(t, kTyped[(firstTyped + field + k) & 3]);
    if (field & 1) model3270::EraseEndOfField(t);
    checkScreen(s);
    const int before = s.cursor;
    model3270::Tab(t);
    if (s.cursor <= before) break;  // round to the first field again, or none
  }
  model3270::BackTab(t);
  model3270::BackTab(t);
  model3270::Backspace(t);
  model3270::DeleteField(t);
  checkScreen(s);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Session& s = fuzz::session();
  fuzz::resetTerminal(fuzz::Mode::kIbm3270);
  fuzz::Reader in(data, size);
  const uint8_t head = in.byte();
  TerminalModel model;
  ParseTerminalModel(kModels[head & 7], &model);
  model3270::ResetScreen(s.t->modelScreen, model);
  s.t->modelLocked = 0;
  s.t->traceFile = (head & 0x10) ? s.trace : nullptr;
  if (head & 0x20) fuzz::installRecordHandler();

  const std::vector<uint8_t> rest = in.rest();
  size_t at = 0;
  for (int pieces = 0; at < rest.size() && pieces < kMaxPieces && fuzz::sessionAlive(); ++pieces) {
    size_t end = at;
    while (end < rest.size() && !(rest[end] == 0xFF && end + 1 < rest.size() && rest[end + 1] == 0xEF)) ++end;
    const size_t begin = at;
    at = end + 2;
    if (end == begin) continue;  // an empty piece
    const uint8_t ops = rest[begin];
    const uint8_t* record = rest.data() + begin + 1;
    const size_t length = end - begin - 1;

    CommTcp& t = *s.t;
    if (head & 8)
      createScreen(t, record, length);
    else
      processRecord(t, record, length);
    checkScreen(t.modelScreen);
    if (head & 0x40) SendMessageA(s.window, WM_PAINT, 0, 0);
    if (const int walk = (ops >> 2) & 7) walkKeyboard(t, walk - 1, ops >> 6);
    if (const uint8_t read = kReads[ops & 3]) {
      const std::vector<uint8_t> reply = model3270::BuildRead(t.modelScreen, read);
      if (reply.empty()) __builtin_trap();  // every reply starts with its identifier
    }
    if (ops & 0x20) model3270::Attention(t, kAids[ops >> 6]);
    checkScreen(t.modelScreen);
  }
  fuzz::pump();
  if (fuzz::sessionAlive()) s.t->traceFile = nullptr;
  fuzz::finishInput();
  return 0;
}
