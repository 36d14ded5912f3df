// The embedding interface: another program types into the terminal window and
// is called after each 3270 record, which it can read back in a simple form.
// All of these must be called on the thread that runs the window's messages.
#pragma once

#include "platform/win32.h"
#include "quillon_api.h"
#include "terminal/comm_tcp.h"

// The size of the buffer ncTcpGetWholeScreen writes into: a whole record.
#define QUILLON_RECORD_BUFFER_SIZE 8092

extern "C" {
// Types `length` bytes into the window as characters (WM_CHAR, each handled by
// the keyboard of the current mode before the next), followed by a Return.
// Returns 1, or 0 when there was nothing to type or no terminal window.
QUILLON_API int ncTcpOutput(HWND window, const char* text, int length);
// Installs the function called after each complete 3270 record of that window;
// returns 1, or 0 when *window is no terminal window.
QUILLON_API int ncTcpSetEventHandler(HWND* window, RecordHandler handler);
// Copies the record being handled into `out` in a simple form (orders as small
// codes, text in ASCII, IAC EOR as a carriage return) at the record's own
// positions and stores the length of the result, up to and including that
// carriage return, in *length. `out` must hold QUILLON_RECORD_BUFFER_SIZE bytes.
// Meant for the record handler; returns 0.
QUILLON_API int ncTcpGetWholeScreen(HWND* window, unsigned char* out, int* length);
// Reserved; returns 0.
QUILLON_API int ncTcpGetString3270(void);
}
