// What one position of the 3270 screen shows, apart from the drawing calls.
#pragma once

#include "quillon_api.h"
#include "terminal/comm_tcp.h"

struct CellLook {
  char ch;          // the character drawn: printable ASCII or a blank
  bool setsColor;   // false for non-display positions: the text colour is left as it was
  COLORREF color;   // the text colour when setsColor
};

// The look of screen position `position` (0..1919) from the screen characters,
// the owning field's attribute and the terminal's colours. A position outside
// the screen looks like a hidden one. Exported for front ends that read the
// screen as text.
QUILLON_API CellLook Look3270Cell(const CommTcp& terminal, int position);
