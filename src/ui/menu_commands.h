// The dialog procedures of the menu commands: the escape-sequence dialog and the
// About box.
#pragma once

#include "platform/win32.h"
#include "quillon_api.h"

// Bytes of the escape dialog's text buffer, its terminating NUL included.
#define ESCAPE_TEXT_SIZE 120

extern "C" {
// The parameter is the caller's ESCAPE_TEXT_SIZE-byte buffer: OK copies the edit
// field's text into it and ends with 1; Cancel ends with 0 and leaves it alone.
QUILLON_API INT_PTR CALLBACK Dlg_Escape(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Shows the build date and time; OK ends it.
QUILLON_API INT_PTR CALLBACK Dlg_About(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
}

// Turns each "^[" of the NUL-terminated text into the Escape character, in place,
// reading no further than `size` bytes; returns the length of the result, which is
// NUL-terminated (within `size`).
int ConvertEscapeText(char* text, int size);
