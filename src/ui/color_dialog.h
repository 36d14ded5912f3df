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
// The terminal of the main window that owns a colour dialog.
class CommTcp;
CommTcp* ColorDialogTerminal(HWND dialog);

// The 3279 colour dialog (menu "3279 Colors"): a swatch per colour, the
// screen repainted at once, Cancel puts them back; the colours are written to
// the settings file afterwards.
extern "C" QUILLON_API INT_PTR CALLBACK Dlg_ModelColor(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void ModelColorCommand(CommTcp& t, HWND hwnd);
