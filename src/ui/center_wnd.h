#pragma once

#include "platform/win32.h"
#include "quillon_api.h"

// Moves a window so that its centre is the centre of its parent, or of the
// desktop when it has none; its size is unchanged.
extern "C" QUILLON_API void CenterWnd(HWND hwnd);
