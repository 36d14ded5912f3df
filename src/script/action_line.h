// One line of the script protocol: an action name and its arguments, written
// Name(arg, arg) or Name arg arg; arguments in double quotes may hold blanks,
// commas and parentheses, with backslash escapes.
#pragma once

#include <string>
#include <vector>

struct ActionLine {
  std::string name;
  std::vector<std::string> args;
};

// Reads one line (without its line end). False, with *error saying why, for
// an unterminated string, an unbalanced parenthesis, text after the closing
// parenthesis or a name that is not a word. A line of only blanks gives an
// empty name and true.
bool ParseActionLine(const std::string& line, ActionLine* out, std::string* error);
