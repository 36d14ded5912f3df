// Typing into the 3270 screen's fields. Typed characters wait in typedChars
// until the cursor leaves the field or an attention key commits them into
// it; the keyboard (ui/keyboard_3270.cpp) maps keys to these operations and
// shows their echo.
#pragma once

#include <cstdint>

#include "terminal/comm_tcp.h"

namespace fields {

constexpr int kTypedCapacity = static_cast<int>(sizeof(CommTcp::typedChars));
constexpr uint8_t kEnterAid = 0x7D;

// The cursor's buffer position. It may lie off the screen (a column run past
// the end of the last row, or a cursor never placed), so it is kept wide.
long long cursorPosition(const CommTcp& t);
inline bool onScreen(long long p) { return p >= 0 && p < kScreenPositions; }

// Keeps the count of pending characters within the buffer.
void boundTypedCount(CommTcp& t);
// The pending input is over: nothing typed remains.
void endPendingInput(CommTcp& t);

// Whether x may be typed at the cursor: the cursor is on the screen, the
// pending buffer has room, and the field takes it (not protected; a digit
// for a numeric field).
bool mayType(const CommTcp& t, unsigned char x);
// Traces the typed character and returns what its echo shows: a blank in a
// non-display field and for a typed null.
char echoOf(const CommTcp& t, unsigned char x);
// x joins the pending input.
void addTyped(CommTcp& t, unsigned char x);

// Backspace: the last pending character is dropped (the screen keeps it
// until the next typed character replaces it). True when the cursor moved.
bool dropTyped(CommTcp& t);
// Right arrow: the skipped cell counts as a typed blank. True when the cursor moved.
bool skipRight(CommTcp& t);

// Stores the pending characters into the current field and ends the pending
// input. Returns how many cells from the cursor on the commit cleared, to be
// shown blank (0 when nothing was pending).
int commitTyped(CommTcp& t);
// The cursor to the next (previous) input field. False when there is none.
bool cursorToField(CommTcp& t, bool forward);
// Home: the next search for an input field starts from the screen's first.
void searchFromFirstField(CommTcp& t);
// Enter and the PF keys: the pending input is stored and the record for
// t.aid built in outboundRecord.
void buildAttentionRecord(CommTcp& t);

}  // namespace fields
