// The keyboard on a model screen: typing into unprotected fields (setting
// the field's modified tag), the cursor moves between fields, the erase keys.
#include <cstring>

#include "tn3270/field_attribute.h"
#include "tn3270/model_engine.h"

namespace model3270 {

namespace {

// Digits, the decimal point, the minus sign and DUP are what a numeric field takes.
bool numericChar(uint8_t e) { return (e >= 0xF0 && e <= 0xF9) || e == 0x4B || e == 0x60 || e == 0x1C; }

bool autoSkip(uint8_t fa) { return (fa & (kFieldProtected | kFieldNumeric)) == (kFieldProtected | kFieldNumeric); }

void setModified(ModelScreen& s, int p) {
  const int f = fieldStart(s, p);
  if (f >= 0) s.cells[f].fa |= kFieldModified;
}

// The positions of the field holding p, from p to its end (to the screen's end
// when unformatted).
int restOfField(const ModelScreen& s, int p) { return formatted(s) ? fieldLength(s, p) : s.positions() - p; }

}  // namespace

bool TypeChar(CommTcp& t, uint8_t ebcdic) {
  ModelScreen& s = t.modelScreen;
  if (t.modelLocked) return false;
  const int p = wrap(s, s.cursor);
  if (!inputPosition(s, p)) return false;
  const int f = fieldStart(s, p);
  if (f >= 0 && fieldIsNumeric(s.cells[f].fa) && !numericChar(ebcdic)) return false;
  // A typed character has the default character attributes.
  ModelCell& c = s.cells[p];
  c = ModelCell{};
  c.ch = ebcdic;
  setModified(s, p);
  int next = wrap(s, p + 1);
  if (s.cells[next].field) {
    // Past the end of the field: an autoskip field sends the cursor on to the
    // next input field; any other field's attribute is stepped over.
    const int on = autoSkip(s.cells[next].fa) ? nextInputField(s, next) : -1;
    next = on >= 0 ? on : wrap(s, next + 1);
  }
  s.cursor = static_cast<uint16_t>(next);
  MirrorLegacy(t);
  return true;
}

void CursorTo(CommTcp& t, int position) { t.modelScreen.cursor = static_cast<uint16_t>(wrap(t.modelScreen, position)); }

void Tab(CommTcp& t) {
  ModelScreen& s = t.modelScreen;
  const int next = nextInputField(s, s.cursor);
  s.cursor = static_cast<uint16_t>(next >= 0 ? next : 0);
}

void BackTab(CommTcp& t) {
  ModelScreen& s = t.modelScreen;
  const int p = wrap(s, s.cursor);
  const int f = fieldStart(s, p);
  if (inputPosition(s, p) && f >= 0 && p != wrap(s, f + 1)) {
    s.cursor = static_cast<uint16_t>(wrap(s, f + 1));
    return;
  }
  const int previous = previousInputField(s, p);
  s.cursor = static_cast<uint16_t>(previous >= 0 ? previous : 0);
}

void Home(CommTcp& t) {
  ModelScreen& s = t.modelScreen;
  const int first = nextInputField(s, s.positions() - 1);
  s.cursor = static_cast<uint16_t>(first >= 0 ? first : 0);
}

bool Backspace(CommTcp& t) {
  ModelScreen& s = t.modelScreen;
  const int p = wrap(s, s.cursor);
  const int back = wrap(s, p - 1);
  if (t.modelLocked || s.cells[back].field || !inputPosition(s, p)) return false;
  s.cursor = static_cast<uint16_t>(back);
  return true;
}

bool EraseEndOfField(CommTcp& t) {
  ModelScreen& s = t.modelScreen;
  const int p = wrap(s, s.cursor);
  if (t.modelLocked || !inputPosition(s, p)) return false;
  const int n = restOfField(s, p);
  for (int k = 0; k < n; ++k) s.cells[wrap(s, p + k)] = ModelCell{};
  setModified(s, p);
  MirrorLegacy(t);
  return true;
}

bool DeleteField(CommTcp& t) {
  ModelScreen& s = t.modelScreen;
  const int p = wrap(s, s.cursor);
  if (t.modelLocked || !inputPosition(s, p)) return false;
  const int f = fieldStart(s, p);
  s.cursor = static_cast<uint16_t>(f >= 0 ? wrap(s, f + 1) : 0);
  return EraseEndOfField(t);
}

void MirrorLegacy(CommTcp& t) {
  const ModelScreen& s = t.modelScreen;
  t.InitScreen();
  if (s.rows != kScreenRows || s.columns != kScreenColumns) return;
  for (int p = 0; p < kScreenPositions; ++p) {
    const ModelCell& c = s.cells[p];
    if (c.field) {
      t.screenChars[p] = 0x20;
      t.attributePositions[p] = c.fa != 0 ? c.fa : 0x40;
    } else if (c.ch != 0) {
      t.screenChars[p] = static_cast<uint8_t>(DisplayChar(c));
    }
  }
  // The field table: one entry a field attribute, in buffer order.
  const int first = fieldStart(s, 0);
  if (first < 0) {
    t.close_field(0, kScreenPositions, kFieldProtected);
    return;
  }
  for (int p = 0; p < kScreenPositions; ++p) {
    if (!s.cells[p].field) continue;
    const int end = p + 1 + fieldLength(s, p + 1);
    if (end <= kScreenPositions) {
      t.close_field(static_cast<uint32_t>(p + 1), static_cast<uint32_t>(end), s.cells[p].fa);
    } else {
      // A field that wraps past the last position: its part at the top of
      // the screen is stamped with its attribute as well.
      t.close_field(static_cast<uint32_t>(p + 1), kScreenPositions, s.cells[p].fa);
      std::memset(t.positionAttribute, s.cells[p].fa, static_cast<size_t>(end - kScreenPositions));
    }
    if (fieldIsModified(s.cells[p].fa) && t.fieldCount > 0) t.fieldTable[t.fieldCount - 1].modified = 1;
  }
}

}  // namespace model3270
