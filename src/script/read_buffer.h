// ReadBuffer's lines: each row of the 3270 screen as tokens, one a position.
// A field attribute is "SF(c0=..[,42=..][,45=..][,41=..][,43=..])"; a
// character is the hexadecimal of its EBCDIC code, or in Ascii of the UTF-8
// bytes of its character, preceded by "SA(..)" when its character
// attributes differ from those of the character before it.
#pragma once

#include <string>
#include <vector>

#include "quillon.h"

// The screen of a model, or the default model's screen read into the same form.
std::vector<std::string> ReadBufferLines(const CommTcp& t, bool ebcdic);
