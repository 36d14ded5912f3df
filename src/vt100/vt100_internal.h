// Shared between the interpreter's main loop (control bytes, ESC sequences)
// and its control-sequence half.
#pragma once

#include "terminal/comm_tcp.h"
#include "vt100/vt100_parser.h"

namespace vt100 {

// The longest unfinished sequence left for the Telnet engine to present again
// with the next data. A control sequence cut off after more bytes than this
// is replaced by a three-byte stand-in (ESC [ !) that swallows its remainder
// without effect; other unfinished bytes beyond it are dropped. So the pending
// tail never grows past this, whatever the host sends.
constexpr int kMaxHeldSequence = 256;

// One call of the interpreter.
struct Run {
  HWND window;
  CommTcp* t;
  unsigned char* data;  // data[length] holds the 0 the interpreter stored
  int length;
  int pos;
  bool bellSounded;
};

// Whether the pass loop goes on or the call ends with pos as the exit position.
enum class Step { Next, Stop };

// A control sequence whose introducer (ESC [ or 0x9B, introducerLength bytes)
// stands at run.pos.
Step controlSequence(Run& run, int introducerLength);

// The effect of a C0 control byte (not ESC) without touching the data; used
// for controls that arrive inside a control sequence.
void carryOutControl(Run& run, unsigned char byte);

void insertChar(Run& run, unsigned char byte);
void lineDrawing(CommTcp& t, bool on);
// Writes a fixed line to the trace log when it is open.
void trace(const CommTcp& t, const char* line);
// Sends reply bytes to the host at once.
void reply(Run& run, const char* bytes, int count);
void identificationReply(Run& run);

}  // namespace vt100
