// Reading a resource script: the limits, text helpers, tokens, the error
// reporter, the lexer and the token cursor, shared by the preprocessor, the
// expression evaluator and the statement parser.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/posix/resource_script.h"

namespace posix {
namespace rc {

constexpr size_t kMaxErrors = 100;

// ---- text helpers ------------------------------------------------------------

inline char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

inline bool equalsIgnoreCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size(); ++i)
    if (b[i] == '\0' || upper(a[i]) != upper(b[i])) return false;
  return b[i] == '\0';
}

inline bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }
inline bool isDigit(char c) { return c >= '0' && c <= '9'; }
inline bool isIdentStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
inline bool isIdentChar(char c) { return isIdentStart(c) || isDigit(c); }
inline int hexValue(char c) {
  if (isDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

inline std::string baseName(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

inline int32_t toSigned(uint32_t v) {
  return v <= 0x7FFFFFFFu ? static_cast<int32_t>(v) : -static_cast<int32_t>(~v) - 1;
}

// The value of a constant of the Windows headers that scripts use.
bool lookupConstant(const std::string& name, uint32_t* value);
// Headers of the Windows SDK that scripts include; the constants stand in for them.
bool isSystemHeader(const std::string& name);

// ---- tokens -----------------------------------------------------------------------

enum class Tok { Ident, Number, String, Punct, Error, End };

struct Token {
  Tok kind = Tok::End;
  std::string text;  // identifier, punctuator or the decoded string
  std::string raw;   // as written
  uint32_t value = 0;
  int file = 0;
  int line = 0;
};

// Thrown by the parsers. An empty message means the problem was already reported.
struct ParseError {
  std::string message;
  int file;
  int line;
};

inline ParseError errorAt(const Token& t, std::string message) { return ParseError{std::move(message), t.file, t.line}; }

inline bool isPunct(const Token& t, const char* p) { return t.kind == Tok::Punct && t.text == p; }
inline bool isKeyword(const Token& t, const char* word) { return t.kind == Tok::Ident && equalsIgnoreCase(t.text, word); }
inline bool isOpen(const Token& t) { return isPunct(t, "{") || isKeyword(t, "BEGIN"); }
inline bool isClose(const Token& t) { return isPunct(t, "}") || isKeyword(t, "END"); }

inline std::string describe(const Token& t) {
  switch (t.kind) {
    case Tok::End:
      return "end of file";
    case Tok::String:
      return "string \"" + t.text + "\"";
    default:
      return "'" + t.raw + "'";
  }
}

class Reporter {
 public:
  Reporter(std::vector<ResourceError>& errors, const std::vector<std::string>& files)
      : errors_(errors), files_(files) {}
  void add(int file, int line, const std::string& message) {
    if (errors_.size() > kMaxErrors) return;
    std::string name = file >= 0 && static_cast<size_t>(file) < files_.size() ? files_[file] : "?";
    if (errors_.size() == kMaxErrors)
      errors_.push_back(ResourceError{name, line, "too many errors; the rest are not reported"});
    else
      errors_.push_back(ResourceError{name, line, message});
  }
  void add(const ParseError& e) {
    if (!e.message.empty()) add(e.file, e.line, e.message);
  }
  bool full() const { return errors_.size() > kMaxErrors; }

 private:
  std::vector<ResourceError>& errors_;
  const std::vector<std::string>& files_;
};

// Splits one logical line into tokens. Strings are decoded: "" is a quote, and
// backslash escapes are those of C (\n \t \\ \" \a \b \f \r \v, octal and \x hex).
void lexLine(const std::string& s, int file, int line, std::vector<Token>& out, Reporter& reporter);

// ---- reading tokens ------------------------------------------------------------------

// A position in a token list that always ends with an End token. Reading an
// Error token (one the lexer already reported) fails whatever is being parsed.
class Cursor {
 public:
  explicit Cursor(const std::vector<Token>& tokens) : tokens_(tokens) {}
  const Token& peek(size_t ahead = 0) const {
    const Token& t = raw(pos_ + ahead);
    if (t.kind == Tok::Error) throw ParseError{"", t.file, t.line};
    return t;
  }
  const Token& next() {
    const Token& t = peek();
    if (t.kind != Tok::End) ++pos_;
    return t;
  }
  // Access without the Error check, for skipping.
  const Token& raw(size_t index) const { return tokens_[std::min(index, tokens_.size() - 1)]; }
  const Token& previous() const { return raw(pos_ == 0 ? 0 : pos_ - 1); }
  size_t position() const { return pos_; }
  void seek(size_t pos) { pos_ = std::min(pos, tokens_.size() - 1); }

 private:
  const std::vector<Token>& tokens_;
  size_t pos_ = 0;
};

}  // namespace rc
}  // namespace posix
