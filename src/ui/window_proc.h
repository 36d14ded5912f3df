// The window procedure's own questions about the window.
#pragma once

#include "platform/win32.h"

class CommTcp;

// The window still holds the terminal object t: a modal loop on the way (a
// message box, a dialog) may have closed it.
bool WindowHolds(HWND hwnd, const CommTcp& t);
