#include "script/action_line.h"

#include <cctype>

namespace {

bool blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// A quoted string from line[*i] (the opening quote); *i ends after the closing one.
bool quoted(const std::string& line, size_t* i, std::string* out, std::string* error) {
  for (size_t k = *i + 1; k < line.size(); ++k) {
    char c = line[k];
    if (c == '"') {
      *i = k + 1;
      return true;
    }
    if (c == '\\' && k + 1 < line.size()) {
      c = line[++k];
      switch (c) {
        case 'n': c = '\n'; break;
        case 'r': c = '\r'; break;
        case 't': c = '\t'; break;
        case 'b': c = '\b'; break;
        case 'f': c = '\f'; break;
        case 'e': c = '\x1B'; break;
        default: break;  // \\, \" and any other character stand for themselves
      }
    }
    *out += c;
  }
  *error = "unterminated string";
  return false;
}

// Arguments up to `end` (')' inside parentheses, or the end of the line):
// separated by commas inside parentheses, by blanks or commas outside.
bool arguments(const std::string& line, size_t* i, bool inParens, std::vector<std::string>* args, std::string* error) {
  bool expectMore = false;  // after a comma an argument must follow
  for (;;) {
    while (*i < line.size() && blank(line[*i])) ++*i;
    if (*i >= line.size()) {
      if (inParens) {
        *error = "missing )";
        return false;
      }
      if (expectMore) args->emplace_back();
      return true;
    }
    const char c = line[*i];
    if (c == ')') {
      if (!inParens) {
        *error = "unexpected )";
        return false;
      }
      if (expectMore) args->emplace_back();
      ++*i;
      return true;
    }
    if (c == ',') {
      args->emplace_back();  // no argument before this comma: an empty one
      expectMore = true;
      ++*i;
      continue;
    }
    std::string arg;
    if (c == '"') {
      if (!quoted(line, i, &arg, error)) return false;
    } else {
      while (*i < line.size() && !blank(line[*i]) && line[*i] != ',' && line[*i] != ')' && line[*i] != '(' &&
             line[*i] != '"')
        arg += line[(*i)++];
      if (*i < line.size() && (line[*i] == '(' || line[*i] == '"')) {
        *error = std::string("unexpected ") + line[*i];
        return false;
      }
    }
    args->push_back(arg);
    expectMore = false;
    // After an argument: a separator or the end.
    while (*i < line.size() && blank(line[*i])) ++*i;
    if (*i < line.size() && line[*i] == ',') {
      ++*i;
      expectMore = true;
    }
  }
}

}  // namespace

bool ParseActionLine(const std::string& line, ActionLine* out, std::string* error) {
  *out = ActionLine{};
  std::string ignored;
  if (!error) error = &ignored;
  size_t i = 0;
  while (i < line.size() && blank(line[i])) ++i;
  if (i >= line.size()) return true;
  while (i < line.size() && (std::isalnum(static_cast<unsigned char>(line[i])) || line[i] == '_'))
    out->name += line[i++];
  if (out->name.empty()) {
    *error = "an action name must come first";
    return false;
  }
  while (i < line.size() && blank(line[i])) ++i;
  if (i < line.size() && line[i] == '(') {
    ++i;
    if (!arguments(line, &i, true, &out->args, error)) return false;
    while (i < line.size() && blank(line[i])) ++i;
    if (i < line.size()) {
      *error = "text after )";
      return false;
    }
    return true;
  }
  return arguments(line, &i, false, &out->args, error);
}
