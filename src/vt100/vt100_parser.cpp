// The VT100 escape-sequence interpreter: the pass loop over the received
// bytes, tilde-brace shifting, printable characters, control bytes and ESC
// sequences. Control sequences are in vt100_csi.cpp.
//
// Every pass examines the byte at the current position and the first test
// that matches decides. Bytes that nothing recognises are resolved at once the
// way a position stuck under repeated passes is given up: every byte up to the
// next one in 0x30..0x7E is dropped and that byte is shown.
//
// The interpreter never consumes a 0xFF: it is the Telnet engine's (a command
// or a doubled IAC), so the call ends on it and the engine calls again after it.
#include "vt100/vt100_parser.h"

#include <algorithm>

#include "net/socket_io.h"
#include "vt100/nvt_cells.h"
#include "vt100/nvt_screen.h"
#include "vt100/vt100_internal.h"

namespace vt100 {

void insertChar(Run& run, unsigned char byte) { nvt::insertChar(*run.t, byte); }

// The characters that follow are drawn in the line-drawing font, or again in
// the text font.
void lineDrawing(CommTcp& t, bool on) {
  if (on)
    t.nvtCurrentAttribute |= kAttrLineDrawing;
  else
    t.nvtCurrentAttribute &= ~kAttrLineDrawing;
}

void trace(const CommTcp& t, const char* line) {
  if (t.traceFile) std::fputs(line, t.traceFile);
}

void reply(Run& run, const char* bytes, int count) {
  unsigned char out[32];
  if (count <= 0 || count > static_cast<int>(sizeof out)) return;
  for (int i = 0; i < count; ++i) out[i] = static_cast<unsigned char>(bytes[i]);
  SendBytes(run.t, run.window, run.t->socketHandle, run.t->traceFile, out, count);
}

void identificationReply(Run& run) {
  static const char kIdentification[] = "\x1b[?1;2c";
  reply(run, kIdentification, 7);
}

void carryOutControl(Run& run, unsigned char byte) {
  CommTcp& t = *run.t;
  switch (byte) {
    case 0x00:
    case 0x02:
      break;
    case 0x07:
      if (!run.bellSounded) {
        run.bellSounded = true;
        if (t.display) t.display->Bell();
      }
      break;
    case 0x08:
      t.wrapPending = 0;
      if (t.cursorColumn >= 1) t.cursorColumn -= 1;
      break;
    case 0x09:
      // Fixed stops every 8 columns. Once past the last cell the column stays:
      // characters there are discarded wherever the cursor is. With auto-wrap
      // on, the last column is the last stop, as on a VT100.
      t.wrapPending = 0;
      if (t.cursorColumn < 0) t.cursorColumn = 0;
      if (t.cursorColumn < t.nvtColumns) t.cursorColumn = (t.cursorColumn / 8 + 1) * 8;
      if (nvt::autoWraps(t)) t.cursorColumn = std::min(t.cursorColumn, nvt::lastColumn(t, nvt::cellLayout(t)));
      break;
    case 0x0B:
    case 0x0C:
      insertChar(run, 0x0A);
      break;
    case 0x0E:
      lineDrawing(t, true);
      break;
    case 0x0F:
      lineDrawing(t, false);
      break;
    default:
      // LF and CR move the cursor; the other controls are shown as characters.
      insertChar(run, byte);
      break;
  }
}

}  // namespace vt100

using namespace vt100;

namespace {

// Nothing matched at run.pos: drop every byte up to the next one in
// 0x30..0x7E and show that one. When no such byte follows, an ESC may yet be
// completed by the next data and is left unconsumed; anything else is dropped.
Step unrecognised(Run& run) {
  int k = run.pos;
  while (k < run.length && run.data[k] != 0xFF && !(run.data[k] >= 0x30 && run.data[k] <= 0x7E)) ++k;
  if (k < run.length && run.data[k] != 0xFF) {
    insertChar(run, run.data[k]);
    run.pos = k + 1;
    return Step::Next;
  }
  if (k == run.length && run.data[run.pos] == 0x1B && run.length - run.pos <= kMaxHeldSequence) return Step::Stop;
  run.pos = k;  // the end of the data, or the 0xFF the engine deals with
  return Step::Next;
}

// SS2 / SS3: the next byte alone in the line-drawing set.
Step singleShift(Run& run) {
  if (run.pos + 1 >= run.length) return Step::Stop;  // the byte it shifts has not arrived
  const unsigned char next = run.data[run.pos + 1];
  lineDrawing(*run.t, true);
  if (next == 0xFF) {
    lineDrawing(*run.t, false);
    run.pos += 1;
    return Step::Next;
  }
  insertChar(run, next);
  lineDrawing(*run.t, false);
  run.pos += 2;
  return Step::Next;
}

Step controlByte(Run& run, unsigned char byte) {
  CommTcp& t = *run.t;
  switch (byte) {
    case 0x0B:
    case 0x0C:
      run.data[run.pos] = 0x0A;  // examined again as a line feed
      return Step::Next;
    case 0x84:
      t.NvtIndex();
      break;
    case 0x85:
      t.cursorColumn = 0;
      run.data[run.pos] = 0x84;
      return Step::Next;
    case 0x88:  // tab set: not supported
    case 0x9C:  // string terminator
      break;
    case 0x8D:
      t.NvtReverseIndex();
      break;
    case 0x8E:
    case 0x8F:
      return singleShift(run);
    case 0x9A:
      identificationReply(run);
      break;
    default:
      if (byte < 0x20) {
        carryOutControl(run, byte);
        break;
      }
      return unrecognised(run);
  }
  run.pos += 1;
  return Step::Next;
}

// ESC ( / ESC ) / ESC #: the byte after the designator decides.
Step designation(Run& run, const char* threeByteForms, bool otherByteConsumesTwo) {
  if (run.pos + 2 >= run.length) return Step::Stop;  // its last byte has not arrived
  const unsigned char third = run.data[run.pos + 2];
  for (const char* f = threeByteForms; *f; ++f) {
    if (third == static_cast<unsigned char>(*f)) {
      run.pos += 3;
      return Step::Next;
    }
  }
  if (!otherByteConsumesTwo) return unrecognised(run);
  run.pos += 2;  // the byte is examined as data
  return Step::Next;
}

Step escapeSequence(Run& run) {
  CommTcp& t = *run.t;
  unsigned char* d = run.data;
  const int p = run.pos;
  switch (d[p + 1]) {  // d[length] is 0, so d[p + 1] is always there
    case '\\':  // string terminator
    case 'c':  // reset: not done
    case 'F':
    case 'G':
      break;
    case '<':
      if (t.terminalType == kTypeVt52) t.terminalType = kTypeVt100;  // VT52 mode back to ANSI mode
      break;
    case 'n':
    case 'o':
      lineDrawing(t, true);
      break;
    case '(':
      if (p + 2 >= run.length) return Step::Stop;  // the designated set has not arrived
      if (d[p + 2] == '0') lineDrawing(t, true);
      if (d[p + 2] == 'B') lineDrawing(t, false);
      return designation(run, "0BA12", true);
    case ')':
      return designation(run, "AB012", true);
    case '*':
    case '+':
      // G2 / G3 designations (a VT100 has neither): the set's final byte is
      // consumed with them, without effect.
      if (p + 2 >= run.length) return Step::Stop;
      run.pos += d[p + 2] >= 0x30 && d[p + 2] <= 0x7E ? 3 : 2;
      return Step::Next;
    case '#':
      return designation(run, "34568", false);
    case 'N':
    case 'O':
      if (p + 2 >= run.length) return Step::Stop;  // the byte it shifts has not arrived
      d[p + 1] = d[p + 1] == 'N' ? 0x8E : 0x8F;
      run.pos += 1;
      return Step::Next;
    case 'D':
      d[p + 1] = 0x84;
      run.pos += 1;
      return Step::Next;
    case 'E':
      t.cursorColumn = 0;
      d[p + 1] = 0x84;
      run.pos += 1;
      return Step::Next;
    case 'H':
      d[p + 1] = 0x88;
      run.pos += 1;
      return Step::Next;
    case 'M':
      d[p + 1] = 0x8D;
      run.pos += 1;
      return Step::Next;
    case 'Z':
      d[p + 1] = 0x9A;
      run.pos += 1;
      return Step::Next;
    case 'I':
      d[p + 1] = 'M';  // examined again as ESC M
      return Step::Next;
    case '7':
      t.NvtSaveCursor();
      break;
    case '8':
      t.wrapPending = 0;
      t.NvtRestoreCursor();
      break;
    case '1':
      trace(t, "\nTermMode: Graphic Processor --- On vs. Off ");
      break;
    case '2':
      trace(t, "\nTermMode: Grahpic Processor --- Off vs. On ");
      break;
    case '=':
      trace(t, "\nTermMode: Key Pad Mode --- Application vs. Numeric ");
      t.keypadApplication = 1;
      break;
    case '>':
      trace(t, "\nTermMode: Key Pad Mode --- Numeric vs. Application ");
      t.keypadApplication = 0;
      break;
    case 'A':
      t.wrapPending = 0;
      if (t.cursorRow > nvt::geometry(t).top) t.cursorRow -= 1;
      break;
    case 'B':
      t.wrapPending = 0;
      if (t.cursorRow < nvt::geometry(t).bottom) t.cursorRow += 1;
      break;
    case 'C':
      t.wrapPending = 0;
      if (t.cursorColumn < nvt::lastColumn(t, nvt::cellLayout(t))) t.cursorColumn += 1;
      break;
    case 'J':
      t.NvtErase(kEraseRowsFromCursor);
      break;
    case 'K':
      t.NvtErase(kEraseToEndOfLine);
      break;
    case 'Y':
      // Two address bytes follow; they are skipped (wait for them when cut off).
      for (int k = p + 2; k < p + 4; ++k) {
        if (k >= run.length) return Step::Stop;
        if (d[k] == 0xFF) {
          run.pos = k;
          return Step::Next;
        }
      }
      run.pos += 4;
      return Step::Next;
    case '[':
      return controlSequence(run, 2);
    default:
      return unrecognised(run);
  }
  run.pos += 2;
  return Step::Next;
}

// One pass at run.pos (< length).
Step examine(Run& run) {
  unsigned char* d = run.data;
  const unsigned char byte = d[run.pos];
  if (byte == 0x00) {
    run.pos += 1;
    return Step::Next;
  }

  // Tilde-brace shifting. A "~" that ended the previous data enters GB mode
  // only when the very next byte is "{".
  if (hzState == 2) {
    if (byte == '{') {
      insertChar(run, '{');
      hzState = 1;
      run.pos += 1;
      return Step::Next;
    }
    hzState = 0;
  }
  if (byte == '~') {
    const unsigned char next = d[run.pos + 1];
    if (next == '{' || next == '}') {
      insertChar(run, '~');
      insertChar(run, next);
      hzState = 0;
      run.pos += 2;
      return Step::Next;
    }
    if (run.pos == run.length - 1) {
      insertChar(run, '~');
      hzState = 2;
      run.pos += 1;
      return Step::Next;
    }
  }

  if (byte >= 0x20 && byte <= 0x7E) {
    // This byte and the printable bytes after it, up to the next "~" (which
    // has its own pass), go in one run.
    int end = run.pos + 1;
    while (end < run.length && d[end] >= 0x20 && d[end] <= 0x7E && d[end] != '~') ++end;
    nvt::insertPrintable(*run.t, d + run.pos, end - run.pos, hzState == 1 ? 0x80 : 0);
    run.pos = end;
    return Step::Next;
  }
  if (byte == 0xFF) return Step::Stop;
  if (byte == 0x1B) return escapeSequence(run);
  if (byte == 0x9B) return controlSequence(run, 1);
  return controlByte(run, byte);
}

}  // namespace

void vt100::interpret(CommTcp& t, HWND window, unsigned char* data, int* position, int length) {
  if (!data || !position || length < 0) return;
  data[length] = 0;
  Run run{window, &t, data, length, *position < 0 ? 0 : *position, false};
  while (run.pos < run.length) {
    if (examine(run) == Step::Stop) break;
  }
  *position = run.pos;
}

extern "C" void vt100Parser(ParseParameters* context, unsigned char* data, int* position, int length) {
  if (!context || !data || !position || length < 0) return;
  CommTcp* t = reinterpret_cast<CommTcp*>(GetWindowLongPtrA(context->window, 0));
  if (!t) {
    // No terminal to show anything on: consume the data up to the engine's next byte.
    data[length] = 0;
    int pos = *position < 0 ? 0 : *position;
    while (pos < length && data[pos] != 0xFF) ++pos;
    *position = pos;
    return;
  }
  vt100::interpret(*t, context->window, data, position, length);
  t->Present();
}
