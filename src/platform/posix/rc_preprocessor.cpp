// The preprocessor of resource scripts.
#include "platform/posix/rc_preprocessor.h"

#include <set>

#include "platform/posix/rc_expression.h"

namespace posix {
namespace rc {
namespace {

constexpr int kMaxIncludeDepth = 16;
constexpr int kMaxMacroDepth = 64;
constexpr size_t kMaxExpansion = 100000;  // tokens one macro use may produce

// ---- preprocessing ---------------------------------------------------------------------

struct Line {
  int number;
  std::string text;
};

// Removes comments (outside strings), keeping the line structure.
std::string stripComments(const std::string& in, int file, Reporter& reporter) {
  std::string out;
  out.reserve(in.size());
  const size_t n = in.size();
  bool inString = false;
  int line = 1;
  size_t i = 0;
  while (i < n) {
    char c = in[i];
    if (c == '\n') ++line;
    if (inString) {
      out += c;
      if (c == '\\' && i + 1 < n && in[i + 1] != '\n') {
        out += in[i + 1];
        i += 2;
        continue;
      }
      if (c == '"' || c == '\n') inString = false;
      ++i;
      continue;
    }
    if (c == '"') {
      inString = true;
      out += c;
      ++i;
      continue;
    }
    if (c == '/' && i + 1 < n && in[i + 1] == '/') {
      while (i < n && in[i] != '\n') ++i;
      out += ' ';
      continue;
    }
    if (c == '/' && i + 1 < n && in[i + 1] == '*') {
      int startLine = line;
      out += ' ';
      i += 2;
      while (i < n && !(in[i] == '*' && i + 1 < n && in[i + 1] == '/')) {
        if (in[i] == '\n') {
          out += '\n';
          ++line;
        }
        ++i;
      }
      if (i < n) {
        i += 2;
      } else {
        reporter.add(file, startLine, "unterminated comment");
      }
      continue;
    }
    out += c;
    ++i;
  }
  return out;
}

// Splits text into lines, joining those that end with a backslash.
std::vector<Line> logicalLines(const std::string& text) {
  std::vector<Line> lines;
  std::string current;
  int start = 1;
  int number = 1;
  bool pending = false;
  for (size_t i = 0; i < text.size(); ++number) {
    size_t end = text.find('\n', i);
    if (end == std::string::npos) end = text.size();
    std::string physical = text.substr(i, end - i);
    while (!physical.empty() && physical.back() == '\r') physical.pop_back();
    bool continued = !physical.empty() && physical.back() == '\\';
    if (continued) physical.pop_back();
    current += physical;
    pending = continued;
    if (!continued) {
      lines.push_back(Line{start, current});
      current.clear();
      start = number + 1;
    }
    i = end + 1;
  }
  if (pending) lines.push_back(Line{start, current});
  return lines;
}

class Preprocessor {
 public:
  Preprocessor(const std::map<std::string, std::string>& files, std::vector<std::string>& fileNames,
               Reporter& reporter)
      : files_(files), fileNames_(fileNames), reporter_(reporter) {
    define("RC_INVOKED", "1");
    define("_WIN32", "1");  // as for the Windows build, so both read the same branches
  }

  std::vector<Token> run(const std::string& mainFile) {
    std::string resolved;
    const std::string* text = findFile(mainFile, &resolved);
    if (text == nullptr) {
      fileNames_.push_back(mainFile);
      reporter_.add(static_cast<int>(fileNames_.size()) - 1, 0, "cannot find the resource script");
    } else {
      processFile(resolved, *text, 0);
    }
    Token end;  // placed at the last line of the main file
    end.kind = Tok::End;
    end.file = 0;
    end.line = lastLine_;
    tokens_.push_back(end);
    return std::move(tokens_);
  }

 private:
  struct Macro {
    bool function = false;
    std::vector<Token> body;
  };
  struct Condition {
    bool parentActive;
    bool active;
    bool taken;  // some branch was chosen already
    bool sawElse;
  };

  void define(const std::string& name, const std::string& body) {
    Macro m;
    lexLine(body, 0, 0, m.body, reporter_);
    macros_[name] = std::move(m);
  }

  const std::string* findFile(const std::string& name, std::string* resolved) const {
    auto it = files_.find(name);
    if (it == files_.end()) {
      std::string base = baseName(name);
      for (auto f = files_.begin(); f != files_.end(); ++f)
        if (equalsIgnoreCase(baseName(f->first), base.c_str())) {
          it = f;
          break;
        }
    }
    if (it == files_.end()) return nullptr;
    *resolved = it->first;
    return &it->second;
  }

  bool active() const { return conditions_.empty() || conditions_.back().active; }

  void processFile(const std::string& name, const std::string& text, int depth) {
    int file = static_cast<int>(fileNames_.size());
    fileNames_.push_back(name);
    std::string body = text;
    if (body.compare(0, 3, "\xEF\xBB\xBF") == 0) body.erase(0, 3);
    std::vector<Line> lines = logicalLines(stripComments(body, file, reporter_));
    size_t base = conditions_.size();
    size_t savedBase = conditionBase_;
    conditionBase_ = base;
    for (const Line& line : lines) {
      if (depth == 0) lastLine_ = line.number;
      size_t p = 0;
      while (p < line.text.size() && isSpace(line.text[p])) ++p;
      if (p < line.text.size() && line.text[p] == '#') {
        directive(line.text.substr(p + 1), file, line.number, depth);
      } else if (active()) {
        std::vector<Token> raw;
        lexLine(line.text, file, line.number, raw, reporter_);
        for (const Token& t : raw) expandInto(t, tokens_);
      }
    }
    if (conditions_.size() > base) {
      reporter_.add(file, lines.empty() ? 0 : lines.back().number, "#if without #endif");
      conditions_.resize(base);
    }
    conditionBase_ = savedBase;
  }

  void expandInto(const Token& t, std::vector<Token>& out) {
    std::vector<std::string> hidden;
    size_t budget = kMaxExpansion;
    expand(t, hidden, 0, budget, out);
  }

  // Replaces object-like macros, a macro not being expanded inside itself.
  void expand(const Token& t, std::vector<std::string>& hidden, int depth, size_t& budget,
              std::vector<Token>& out) {
    if (budget == 0) return;
    if (t.kind == Tok::Ident) {
      auto it = macros_.find(t.text);
      if (it != macros_.end() && !it->second.function &&
          std::find(hidden.begin(), hidden.end(), t.text) == hidden.end()) {
        if (depth >= kMaxMacroDepth) {
          fail(t, "macro '" + t.text + "' nested too deeply", budget, out);
          return;
        }
        hidden.push_back(t.text);
        for (const Token& b : it->second.body) {
          Token copy = b;
          copy.file = t.file;
          copy.line = t.line;
          expand(copy, hidden, depth + 1, budget, out);
          if (budget == 0) break;
        }
        hidden.pop_back();
        return;
      }
    }
    if (--budget == 0) {
      fail(t, "macro expansion too large", budget, out);
      return;
    }
    out.push_back(t);
  }

  void fail(const Token& at, const std::string& message, size_t& budget, std::vector<Token>& out) {
    reporter_.add(at.file, at.line, message);
    Token e = at;
    e.kind = Tok::Error;
    out.push_back(e);
    budget = 0;
  }

  static std::string word(const std::string& s, size_t* pos) {
    size_t i = *pos;
    while (i < s.size() && isSpace(s[i])) ++i;
    size_t start = i;
    while (i < s.size() && isIdentChar(s[i])) ++i;
    *pos = i;
    return s.substr(start, i - start);
  }

  void directive(const std::string& text, int file, int line, int depth) {
    size_t pos = 0;
    std::string name = word(text, &pos);
    std::string rest = text.substr(pos);
    if (name == "if" || name == "ifdef" || name == "ifndef") {
      if (!active()) {
        conditions_.push_back(Condition{false, false, true, false});
        return;
      }
      bool value;
      if (name == "if") {
        value = condition(rest, file, line);
      } else {
        size_t p = 0;
        std::string macro = word(rest, &p);
        if (macro.empty()) reporter_.add(file, line, "#" + name + " needs a name");
        value = (macros_.count(macro) != 0) == (name == "ifdef");
      }
      conditions_.push_back(Condition{true, value, value, false});
      return;
    }
    if (name == "elif" || name == "else" || name == "endif") {
      if (conditions_.size() <= conditionBase_) {
        reporter_.add(file, line, "#" + name + " without #if");
        return;
      }
      Condition& c = conditions_.back();
      if (name == "endif") {
        conditions_.pop_back();
        return;
      }
      if (c.sawElse) {
        reporter_.add(file, line, "#" + name + " after #else");
        c.active = false;
        return;
      }
      if (name == "else") {
        c.active = c.parentActive && !c.taken;
        c.taken = true;
        c.sawElse = true;
      } else if (!c.parentActive || c.taken) {
        c.active = false;
      } else {
        c.active = condition(rest, file, line);
        c.taken = c.active;
      }
      return;
    }
    if (!active()) return;
    if (name == "include") {
      include(rest, file, line, depth);
    } else if (name == "define") {
      size_t p = 0;
      std::string macro = word(rest, &p);
      if (macro.empty() || isDigit(macro[0])) {
        reporter_.add(file, line, "#define needs a name");
        return;
      }
      Macro m;
      m.function = p < rest.size() && rest[p] == '(';
      if (!m.function) lexLine(rest.substr(p), file, line, m.body, reporter_);
      macros_[macro] = std::move(m);
    } else if (name == "undef") {
      size_t p = 0;
      macros_.erase(word(rest, &p));
    } else if (name == "pragma") {
      size_t p = 0;
      if (word(rest, &p) == "once") once_.insert(fileNames_[file]);
    } else if (name == "error") {
      reporter_.add(file, line, "#error" + rest);
    }
    // #line, #warning, #pragma and the rest change nothing here.
  }

  void include(const std::string& rest, int file, int line, int depth) {
    size_t p = 0;
    while (p < rest.size() && isSpace(rest[p])) ++p;
    if (p < rest.size() && rest[p] == '<') return;  // a system header: its names are built in
    if (p >= rest.size() || rest[p] != '"') {
      reporter_.add(file, line, "#include expects \"file\"");
      return;
    }
    size_t close = rest.find('"', p + 1);
    if (close == std::string::npos) {
      reporter_.add(file, line, "unterminated #include file name");
      return;
    }
    std::string name = rest.substr(p + 1, close - p - 1);
    std::string resolved;
    const std::string* text = findFile(name, &resolved);
    if (text == nullptr) {
      if (!isSystemHeader(name)) reporter_.add(file, line, "cannot find included file \"" + name + "\"");
      return;
    }
    if (once_.count(resolved)) return;
    if (depth + 1 >= kMaxIncludeDepth) {
      reporter_.add(file, line, "#include nested too deeply");
      return;
    }
    processFile(resolved, *text, depth + 1);
  }

  bool condition(const std::string& text, int file, int line) {
    std::vector<Token> raw;
    lexLine(text, file, line, raw, reporter_);
    std::vector<Token> tokens;
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i].kind == Tok::Ident && raw[i].text == "defined") {
        size_t j = i + 1;
        bool paren = j < raw.size() && isPunct(raw[j], "(");
        if (paren) ++j;
        if (j >= raw.size() || raw[j].kind != Tok::Ident) {
          reporter_.add(file, line, "'defined' needs a name");
          return false;
        }
        Token value = raw[j];
        value.kind = Tok::Number;
        value.value = macros_.count(raw[j].text) ? 1 : 0;
        ++j;
        if (paren) {
          if (j >= raw.size() || !isPunct(raw[j], ")")) {
            reporter_.add(file, line, "expected ')' after 'defined'");
            return false;
          }
          ++j;
        }
        tokens.push_back(value);
        i = j - 1;
      } else {
        expandInto(raw[i], tokens);
      }
    }
    Token end;
    end.kind = Tok::End;
    end.file = file;
    end.line = line;
    tokens.push_back(end);
    Cursor cursor(tokens);
    try {
      Evaluator evaluator(cursor, Names::kPreprocessor);
      uint32_t value = evaluator.expression();
      if (cursor.peek().kind != Tok::End)
        throw errorAt(cursor.peek(), "unexpected " + describe(cursor.peek()) + " in #if");
      return value != 0;
    } catch (const ParseError& e) {
      reporter_.add(e);
      return false;
    }
  }

  const std::map<std::string, std::string>& files_;
  std::vector<std::string>& fileNames_;
  Reporter& reporter_;
  std::map<std::string, Macro> macros_;
  std::vector<Condition> conditions_;
  size_t conditionBase_ = 0;
  std::set<std::string> once_;
  std::vector<Token> tokens_;
  int lastLine_ = 0;
};

}  // namespace

std::vector<Token> preprocess(const std::map<std::string, std::string>& files, std::vector<std::string>& fileNames,
                              Reporter& reporter, const std::string& mainFile) {
  Preprocessor preprocessor(files, fileNames, reporter);
  return preprocessor.run(mainFile);
}

}  // namespace rc
}  // namespace posix
