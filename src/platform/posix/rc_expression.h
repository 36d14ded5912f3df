// Integer expressions of resource scripts and of #if lines.
#pragma once

#include "platform/posix/rc_lexer.h"

namespace posix {
namespace rc {

constexpr int kMaxExpressionDepth = 200;

// How an expression treats names that are neither macros nor known constants.
enum class Names {
  kStrict,       // an error
  kLenient,      // zero (values that are read and dropped)
  kPreprocessor  // zero, and the operators of #if (! && || comparisons) are available
};

// Integer expressions, 32-bit, with C's precedence. In a resource statement,
// `A | NOT B` removes B's bits from what the terms before it (and the
// statement's default style) have set.
class Evaluator {
 public:
  Evaluator(Cursor& cursor, Names names) : c_(cursor), names_(names) {}

  uint32_t expression() { return style(0); }

  uint32_t style(uint32_t base) {
    if (names_ == Names::kPreprocessor) return binary(1);
    uint32_t value = base;
    for (;;) {
      if (isKeyword(c_.peek(), "NOT")) {
        c_.next();
        value &= ~binary(kXorPrecedence);
      } else {
        value |= binary(kXorPrecedence);
      }
      if (!isPunct(c_.peek(), "|")) return value;
      c_.next();
    }
  }

 private:
  static constexpr int kXorPrecedence = 4;

  int precedence(const Token& t) const {
    if (t.kind != Tok::Punct) return -1;
    const std::string& p = t.text;
    if (p == "|") return 3;
    if (p == "^") return 4;
    if (p == "&") return 5;
    if (p == "+" || p == "-") return 9;
    if (p == "*" || p == "/" || p == "%") return 10;
    if (names_ != Names::kPreprocessor) return -1;
    if (p == "||") return 1;
    if (p == "&&") return 2;
    if (p == "==" || p == "!=") return 6;
    if (p == "<" || p == ">" || p == "<=" || p == ">=") return 7;
    if (p == "<<" || p == ">>") return 8;
    return -1;
  }

  uint32_t binary(int minPrecedence) {
    uint32_t left = unary();
    for (;;) {
      const Token& op = c_.peek();
      int prec = precedence(op);
      if (prec < minPrecedence) return left;
      c_.next();
      uint32_t right = binary(prec + 1);
      left = apply(op, left, right);
    }
  }

  uint32_t apply(const Token& op, uint32_t l, uint32_t r) const {
    const std::string& p = op.text;
    if (p == "|") return l | r;
    if (p == "^") return l ^ r;
    if (p == "&") return l & r;
    if (p == "+") return l + r;
    if (p == "-") return l - r;
    if (p == "*") return l * r;
    if (p == "/" || p == "%") {
      if (r == 0) throw errorAt(op, "division by zero");
      int32_t a = toSigned(l);
      int32_t b = toSigned(r);
      if (b == -1) return p == "/" ? 0u - l : 0u;  // INT_MIN / -1 wraps instead of trapping
      return static_cast<uint32_t>(p == "/" ? a / b : a % b);
    }
    if (p == "<<") return l << (r & 31);
    if (p == ">>") return l >> (r & 31);
    if (p == "||") return (l || r) ? 1 : 0;
    if (p == "&&") return (l && r) ? 1 : 0;
    if (p == "==") return l == r ? 1 : 0;
    if (p == "!=") return l != r ? 1 : 0;
    if (p == "<") return toSigned(l) < toSigned(r) ? 1 : 0;
    if (p == ">") return toSigned(l) > toSigned(r) ? 1 : 0;
    if (p == "<=") return toSigned(l) <= toSigned(r) ? 1 : 0;
    return toSigned(l) >= toSigned(r) ? 1 : 0;  // ">="
  }

  uint32_t unary() {
    struct Depth {
      explicit Depth(int& d) : d_(d) { ++d_; }
      ~Depth() { --d_; }
      int& d_;
    } depth(depth_);
    const Token& t = c_.peek();
    if (depth_ > kMaxExpressionDepth) throw errorAt(t, "expression nested too deeply");
    if (isPunct(t, "-")) {
      c_.next();
      return 0u - unary();
    }
    if (isPunct(t, "~")) {
      c_.next();
      return ~unary();
    }
    if (isPunct(t, "+")) {
      c_.next();
      return unary();
    }
    if (names_ == Names::kPreprocessor && isPunct(t, "!")) {
      c_.next();
      return unary() == 0 ? 1 : 0;
    }
    if (names_ != Names::kPreprocessor && isKeyword(t, "NOT")) {
      c_.next();
      return ~unary();
    }
    return primary();
  }

  uint32_t primary() {
    const Token& t = c_.peek();
    if (t.kind == Tok::Number) {
      c_.next();
      return t.value;
    }
    if (isPunct(t, "(")) {
      c_.next();
      uint32_t v = expression();
      if (!isPunct(c_.peek(), ")")) throw errorAt(c_.peek(), "expected ')', found " + describe(c_.peek()));
      c_.next();
      return v;
    }
    if (t.kind == Tok::Ident) {
      uint32_t v = 0;
      if (lookupConstant(t.text, &v) || names_ != Names::kStrict) {
        c_.next();
        return v;
      }
      throw errorAt(t, "unknown name '" + t.text + "'");
    }
    throw errorAt(t, "expected a number, found " + describe(t));
  }

  Cursor& c_;
  Names names_;
  int depth_ = 0;
};

}  // namespace rc
}  // namespace posix
