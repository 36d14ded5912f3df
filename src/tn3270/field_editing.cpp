// Typing into the 3270 screen's fields: the pending input and its commit.
#include "tn3270/field_editing.h"

#include <cstdio>
#include <cstring>

#include "tn3270/field_access.h"
#include "tn3270/field_attribute.h"

namespace fields {

namespace {

// Passed to the field searches: no position given, move on from the current field.
constexpr uint32_t kNoPosition = 10000;

bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// The attribute of the field owning a position; off the screen, no field.
uint8_t attributeAt(const CommTcp& t, long long p) { return onScreen(p) ? t.positionAttribute[p] : 0; }

int currentFieldLength(const CommTcp& t) {
  if (t.currentField < 0 || t.currentField >= validFieldCount(t)) return 0;
  return static_cast<int>(screenSpan(t.fieldTable[t.currentField]));
}

}  // namespace

long long cursorPosition(const CommTcp& t) {
  return static_cast<long long>(t.cursorRow) * kScreenColumns + t.cursorColumn;
}

void boundTypedCount(CommTcp& t) {
  if (t.typedCount < 0) t.typedCount = 0;
  if (t.typedCount > kTypedCapacity) t.typedCount = kTypedCapacity;
}

// Moving right in the next field then counts blanks rather than characters of this one.
void endPendingInput(CommTcp& t) {
  t.typedCount = 0;
  std::memset(t.typedChars, 0, sizeof t.typedChars);
}

bool mayType(const CommTcp& t, unsigned char x) {
  const long long p = cursorPosition(t);
  // Further keys are refused until a commit once the pending buffer is full.
  if (!onScreen(p) || t.typedCount >= kTypedCapacity) return false;
  const uint8_t next = attributeAt(t, p + 1);
  if (fieldIsProtected(next)) return false;
  return !fieldIsNumeric(next) || isDigit(x & 0x7F);
}

char echoOf(const CommTcp& t, unsigned char x) {
  const uint8_t own = attributeAt(t, cursorPosition(t));
  if (t.traceFile) std::fprintf(t.traceFile, " image5 [%2x]  Input Char: %c \n", own, x);
  // A typed null would not be drawn, leaving the cursor behind the count.
  return fieldIsNonDisplay(own) || x == 0 ? ' ' : static_cast<char>(x);
}

void addTyped(CommTcp& t, unsigned char x) {
  if (t.typedCount >= 0 && t.typedCount < kTypedCapacity) t.typedChars[t.typedCount++] = static_cast<char>(x);
}

bool dropTyped(CommTcp& t) {
  const uint8_t a = attributeAt(t, cursorPosition(t) - 1);
  if (!fieldIsModified(a) || fieldIsProtected(a) || t.cursorColumn < 1 || t.typedCount < 1) return false;
  --t.typedCount;
  --t.cursorColumn;
  return true;
}

bool skipRight(CommTcp& t) {
  const uint8_t a = attributeAt(t, cursorPosition(t) + 1);
  if (!fieldIsModified(a) || fieldIsProtected(a) || t.cursorColumn >= kScreenColumns || t.typedCount >= kTypedCapacity)
    return false;
  ++t.cursorColumn;
  if (t.typedChars[t.typedCount] == 0) t.typedChars[t.typedCount] = ' ';
  ++t.typedCount;
  return true;
}

int commitTyped(CommTcp& t) {
  int cells = 0;
  if (t.typedCount != 0) {
    t.PutFieldInfoToBuff(t.typedChars, static_cast<unsigned int>(t.typedCount));
    t.echoChar = ' ';
    cells = currentFieldLength(t) - t.typedCount;
  }
  endPendingInput(t);
  return cells > 0 ? cells : 0;
}

bool cursorToField(CommTcp& t, bool forward) {
  uint32_t q = 0;
  const int found = forward ? t.FindNextInputCursorPos(kNoPosition, &q) : t.FindPrevInputCursorPos(kNoPosition, &q);
  if (!found) return false;
  if (t.traceFile)
    std::fprintf(t.traceFile, "\n CursorPos Next Simpltst %d=(r %d,c %d) \n", static_cast<int>(q),
                 static_cast<int>(q / kScreenColumns), static_cast<int>(q % kScreenColumns));
  t.cursorRow = static_cast<int32_t>(q / kScreenColumns);
  t.cursorColumn = static_cast<int32_t>(q % kScreenColumns);
  return true;
}

// The search moving forward from the last field wraps to the first.
void searchFromFirstField(CommTcp& t) {
  const int count = validFieldCount(t);
  if (count > 0) t.currentField = count - 1;
}

void buildAttentionRecord(CommTcp& t) {
  t.PutFieldInfoToBuff(t.typedChars, static_cast<unsigned int>(t.typedCount));
  t.outboundLength = 0;
  t.send_message_NewTrans();
}

}  // namespace fields
