// The VT100 interpreter (vt100Parser) over any split of the stream into reads,
// the unfinished sequence at the end of one read carried in front of the next,
// as the Telnet engine keeps it; a 0xFF where the interpreter stops is taken as
// a two-byte command, as the engine would.
#include <cstring>
#include <memory>

#include "fuzz_support.h"
#include "vt100/vt100_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Session& s = fuzz::session();
  fuzz::resetTerminal(fuzz::Mode::kVt100);
  const fuzz::SplitInput in = fuzz::split(data, size);
  CommTcp& t = *s.t;
  FILE* trace = (in.flags & 1) ? s.trace : nullptr;
  t.traceFile = trace;
  // What the engine sets up around a parse.
  HideCaret(s.window);
  t.deviceContext = GetDC(s.window);
  SelectObject(t.deviceContext, t.screenFont);
  t.repaintPending = (in.flags & 2) ? 0 : 1;

  std::vector<uint8_t> tail;
  for (const std::vector<uint8_t>& piece : in.pieces) {
    if (!fuzz::sessionAlive()) break;
    const int length = static_cast<int>(tail.size() + piece.size());
    // Exactly the bytes and the one spare byte the interpreter may write.
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[static_cast<size_t>(length) + 1]);
    if (!tail.empty()) std::memcpy(buffer.get(), tail.data(), tail.size());
    if (!piece.empty()) std::memcpy(buffer.get() + tail.size(), piece.data(), piece.size());
    buffer[length] = 0xEE;
    tail.clear();

    int position = 0;
    ParseParameters p{s.window, t.socketHandle, trace, buffer.get(), length, &t.terminalMode};
    vt100Parser(&p, buffer.get(), &position, length);
    if (position < 0) __builtin_trap();  // the interpreter must never move back before the data
    while (position < length && buffer[position] == 0xFF && position + 2 < length && fuzz::sessionAlive()) {
      position += 2;
      vt100Parser(&p, buffer.get(), &position, length);
      if (position < 0) __builtin_trap();
    }
    // The kept tail, dropped when it has grown too long to complete.
    if (position < length && buffer[position] != 0xFF && length - position <= kMaxPendingTail)
      tail.assign(buffer.get() + position, buffer.get() + length);
  }
  if (fuzz::sessionAlive()) {
    if (t.repaintPending == 1) t.PaintNVTScreen(s.window, t.cellWidth, t.cellHeight);
    t.repaintPending = 0;
    ReleaseDC(s.window, t.deviceContext);
    ShowCaret(s.window);
    t.traceFile = nullptr;
  }
  fuzz::finishInput();
  return 0;
}
