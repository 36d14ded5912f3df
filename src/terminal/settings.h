// The colour settings file: ".\quillon.ini", section GLOBALS.
#pragma once

#include "platform/win32.h"

// The settings file, relative to the current directory.
#define QUILLON_SETTINGS_FILE ".\\quillon.ini"
#define QUILLON_SETTINGS_SECTION "GLOBALS"

// Parses "%d,%d,%d" (red, green, blue) as the C library's scanf would, keeping the
// low eight bits of each number. Components that do not convert keep the value
// from `fallback`. Returns the number of components converted.
int ParseColorTriple(const char* text, COLORREF fallback, COLORREF* color);

// Reads one colour key; the default applies to a missing file or key and to
// every component the stored value does not hold.
COLORREF ReadColorSetting(const char* key, const char* defaultValue);
// Writes one colour key as "%d,%d,%d".
void WriteColorSetting(const char* key, COLORREF color);

// [VT100] AutoWrap: 0 starts every connection with auto-wrap off, anything
// else (and a missing key) with it on.
#define QUILLON_VT100_SECTION "VT100"
int ReadAutoWrapSetting();
