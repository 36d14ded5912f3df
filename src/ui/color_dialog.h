// The colour dialog and the font choosers of the screen settings.
#pragma once

#include "platform/win32.h"
#include "quillon_api.h"

extern "C" {
// The colour dialog: a swatch per colour opens the colour chooser; the main
// window repaints at once; Cancel puts the colours back as they were.
QUILLON_API INT_PTR CALLBACK Dlg_Color(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
}

// Runs the colour chooser starting from *color; stores the choice unless cancelled.
void PickColor(HWND owner, COLORREF* color);
// Draws the first 48 characters of a preview control's text in the text font
// and the given colours.
void DrawColorSample(HWND dialog, int id, COLORREF background, COLORREF text);
