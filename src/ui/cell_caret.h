// The terminal's caret: a solid block of one cell that inverts what it covers.
#pragma once

#include "platform/win32.h"

// Gives `hwnd` a new caret of one cell (replacing any caret of the thread); like
// every new caret it starts hidden.
void CreateCellCaret(HWND hwnd, int cellWidth, int cellHeight);

// Destroys the caret and frees the shape `hwnd` made it with.
void DestroyCellCaret(HWND hwnd);

// Frees the shape of a window that is going away, leaving the caret alone (the
// system destroys a caret with its window).
void ReleaseCellCaretShape(HWND hwnd);
