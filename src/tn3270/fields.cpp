// Field navigation on the 3270 screen: moving the cursor between input fields,
// storing typed characters into the current field, and placing the cursor after
// a screen from the host.
#include <cstdio>
#include <functional>

#include "terminal/comm_tcp.h"
#include "tn3270/field_access.h"
#include "tn3270/field_attribute.h"

namespace {

// The position passed when no position is given: the search moves on from the
// current field.
constexpr uint32_t kNoPosition = 10000;

bool isInput(const FieldEntry& f) { return !fieldIsProtected(f.attribute); }

// The first input field (in index order) that holds the position, or -1.
int inputFieldAt(const CommTcp& t, uint32_t position) {
  const int count = fields::validFieldCount(t);
  for (int i = 0; i < count; ++i) {
    const FieldEntry& f = t.fieldTable[i];
    if (!isInput(f)) continue;
    if (f.begin <= position && static_cast<uint64_t>(position) < static_cast<uint64_t>(f.begin) + f.length) return i;
  }
  return -1;
}

// True when currentField names a valid entry that is an input field. An index
// left over from an earlier screen with more fields counts as no current field.
bool currentIsInput(const CommTcp& t) {
  return t.currentField >= 0 && t.currentField < fields::validFieldCount(t) && isInput(t.fieldTable[t.currentField]);
}

// Steps from `start` by `step` (+1 or -1), wrapping, until an input field or
// `start` again; the field reached.
int stepToInput(const CommTcp& t, int start, int step) {
  const int count = fields::validFieldCount(t);
  int i = start;
  while (!isInput(t.fieldTable[i])) {
    i = (i + step + count) % count;
    if (i == start) break;
  }
  return i;
}

// Looks for an input field holding the position (step 2 of both searches).
// Returns true when the search is finished: the current field is an input field.
bool findAtPosition(CommTcp& t, uint32_t position, uint32_t* found, int* result) {
  if (position == kNoPosition) return false;
  const int index = inputFieldAt(t, position);
  if (index >= 0) {
    t.currentField = index;
    *found = fields::screenOffset(t.fieldTable[index].begin);
    *result = 1;
  }
  return currentIsInput(t);
}

}  // namespace

int CommTcp::FindNextInputCursorPos(uint32_t position, uint32_t* found) {
  uint32_t scratch = 0;
  if (!found) found = &scratch;
  *found = 0;
  int result = 0;
  if (findAtPosition(*this, position, found, &result)) {
    if (traceFile) std::fprintf(traceFile, "attrib = %x", fieldTable[currentField].attribute);
    return result;
  }
  const int count = fields::validFieldCount(*this);
  if (count == 0) return 0;
  const int start = (currentField < 0 || currentField >= count - 1) ? 0 : currentField + 1;
  currentField = stepToInput(*this, start, +1);
  *found = fields::screenOffset(fieldTable[currentField].begin);
  return 1;
}

int CommTcp::FindPrevInputCursorPos(uint32_t position, uint32_t* found) {
  uint32_t scratch = 0;
  if (!found) found = &scratch;
  *found = 0;
  int result = 0;
  if (traceFile)
    std::fprintf(traceFile, "CursorIndex %d, CurrentCursorPos %d=(r: %d, c %d) \n", currentField,
                 static_cast<int>(position), static_cast<int>(position / kScreenColumns),
                 static_cast<int>(position % kScreenColumns));
  if (findAtPosition(*this, position, found, &result)) return result;
  const int count = fields::validFieldCount(*this);
  if (count == 0) return 0;
  const int start = (currentField <= 0 || currentField >= count) ? count - 1 : currentField - 1;
  currentField = stepToInput(*this, start, -1);
  *found = fields::screenOffset(fieldTable[currentField].begin);
  if (traceFile) std::fprintf(traceFile, "\n Finished CursorIndex %d \n", currentField);
  return 1;
}

int CommTcp::PutFieldInfoToBuff(const char* data, unsigned int length) {
  if (length == 0 || data == nullptr) return 0;
  if (currentField < 0 || currentField >= fields::validFieldCount(*this)) return 0;

  // The pending-input buffer is the usual source; never read past its end.
  const std::less<const char*> before;
  const char* typedEnd = typedChars + sizeof typedChars;
  if (!before(data, typedChars) && before(data, typedEnd)) {
    const unsigned int room = static_cast<unsigned int>(typedEnd - data);
    if (length > room) length = room;
  }

  FieldEntry& f = fieldTable[currentField];
  f.modified = 1;
  // Typed characters up to the first null, then nulls to the end of the field;
  // characters beyond the field's length are dropped.
  const uint32_t span = fields::screenSpan(f);
  bool ended = false;
  for (uint32_t i = 0; i < span; ++i) {
    if (!ended && (i >= length || data[i] == 0)) ended = true;
    screenChars[f.begin + i] = ended ? 0 : static_cast<uint8_t>(data[i]);
  }
  return 0;
}

void CommTcp::ShowScreenIcPos(HWND, int, int, int* column, int* row) {
  if (modelEngine()) {
    // A model screen shows the cursor where the host or the keyboard put it.
    const int p = model3270::wrap(modelScreen, modelScreen.cursor);
    cursorAddress = static_cast<uint32_t>(p);
    if (column) *column = p % modelScreen.columns;
    if (row) *row = p / modelScreen.columns;
    return;
  }
  if (cursorAddress >= static_cast<uint32_t>(kScreenPositions)) cursorAddress = 0;
  int c = static_cast<int>(cursorAddress % kScreenColumns);
  int r = static_cast<int>(cursorAddress / kScreenColumns);
  uint32_t q = 0;
  if (FindNextInputCursorPos(cursorAddress, &q) == 1) {
    c = static_cast<int>(q % kScreenColumns);
    r = static_cast<int>(q / kScreenColumns);
  }
  if (column) *column = c;
  if (row) *row = r;
}
