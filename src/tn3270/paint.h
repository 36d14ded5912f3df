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

// What one position of a model screen (every model but the default) shows:
// the character, its colours after highlighting, and whether it is underscored
// or blinks. The field attribute positions and a position outside the screen
// show as blanks on the background.
struct ModelCellLook {
  char ch;
  COLORREF fg;
  COLORREF bg;
  bool underscore;
  bool blink;
};
QUILLON_API ModelCellLook LookModelCell(const CommTcp& terminal, int position);

// Paints the model screen into the DC (its cells, then the spare column and
// the rows below it as background); blinking characters are left out while
// `terminal.blinkHidden`. `inRuns`: the font is fixed pitch, one cell wide.
void PaintModelScreen(const CommTcp& terminal, HDC dc, int cellWidth, int cellHeight, bool inRuns);
// Whether any position of the model screen blinks.
bool ModelScreenBlinks(const CommTcp& terminal);
