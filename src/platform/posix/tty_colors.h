// Window colours (COLORREF, 0x00BBGGRR) on a terminal: the nearest entry of the
// xterm 256-colour palette, or of its first 8 or 16 colours on smaller terminals.
#pragma once

#include "platform/posix/win32_posix.h"

namespace posix {
namespace tty {

// The RGB value of xterm palette entry `index` (0..255), as a COLORREF.
COLORREF xtermColor(int index);

// The nearest palette entry to `color` among the first `count` entries (8, 16 or
// 256). With 256 the colour cube and the grey ramp are used, not the 16 system
// colours, whose values differ from one terminal's theme to the next.
int nearestColor(COLORREF color, int count);

// A colour as a direct-colour terminal takes it: 0xRRGGBB. Values below 8 would
// name the terminal's own first colours, so the darkest blues move up to 8.
int directColor(COLORREF color);

}  // namespace tty
}  // namespace posix
