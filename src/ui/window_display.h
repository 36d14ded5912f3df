// How the terminal window shows its model: the Display every window starts with.
#pragma once

#include <cstdint>

#include "terminal/display.h"
#include "platform/win32.h"

class CommTcp;

// The window painter. It keeps nothing of its own (what changed is in each
// terminal's damage record), so all windows share the one object.
Display* WindowDisplay();

// Selects the font and colours an NVT cell with this attribute word is drawn
// with when it is drawn alone: blinking or reverse cells in the highlight
// colours, line-drawing cells in the line-drawing font.
void SelectNvtCellStyle(const CommTcp& t, HDC dc, uint32_t attribute);
