// The host's records to a model screen: the write commands with their write
// control character and orders, the read commands, and Write Structured
// Field, which tn3270/structured_fields.cpp takes apart.
//
// An order whose operands the record does not hold, or whose address lies
// beyond the screen, ends the record's processing there; what was written
// before it stays.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "terminal/comm_tcp.h"
#include "tn3270/field_attribute.h"
#include "tn3270/model_engine.h"

namespace model3270 {

namespace {

// The control codes a buffer position holds: null, FF, CR, SO, SI, NL, EM,
// DUP, FM, LF and SUB.
bool storedControl(uint8_t b) {
  switch (b) {
    case 0x00: case 0x0C: case 0x0D: case 0x0E: case 0x0F: case 0x15:
    case 0x19: case 0x1C: case 0x1E: case 0x25: case 0x3F:
      return true;
    default:
      return false;
  }
}

// Extended attribute values as a cell keeps them: out-of-range values mean
// the default (0). Set Attribute keeps four bits of a highlight, a field's
// attribute three.
uint8_t colorValue(uint8_t v) { return v >= 0xF0 ? v : 0; }
uint8_t highlightValue(uint8_t v, uint8_t bits) { return (v & bits) != 0 ? static_cast<uint8_t>(0xF0 | (v & bits)) : 0; }

// A character erased: the position holds a null and keeps its character attributes.
void nullCharacter(ModelCell& c) {
  c.ch = 0;
  c.ge = 0;
}

// Commands, in their two codings (channel and SNA).
bool isCommand(uint8_t c, uint8_t channel, uint8_t sna) { return c == channel || c == sna; }

// Write control character bits.
constexpr uint8_t kWccAlarm = 0x04;
constexpr uint8_t kWccRestore = 0x02;
constexpr uint8_t kWccResetMdt = 0x01;

// Nulls the unprotected characters of `count` positions from `from` (every one
// on an unformatted screen), and with `resetTags` the modified tags of the
// unprotected fields met. One pass: the protection of the field in force is
// carried along rather than looked up for each position.
void nullUnprotected(ModelScreen& s, int from, int count, bool resetTags) {
  const int f = fieldStart(s, from);
  bool isProtected = f >= 0 && fieldIsProtected(s.cells[f].fa);
  for (int k = 0; k < count; ++k) {
    ModelCell& c = s.cells[wrap(s, from + k)];
    if (c.field) {
      isProtected = fieldIsProtected(c.fa);
      if (resetTags && !isProtected) c.fa &= static_cast<uint8_t>(~kFieldModified);
    } else if (!isProtected) {
      nullCharacter(c);
    }
  }
}

// Stores c into the cells [from, to): copied as plain bytes, which the
// compiler turns into wide stores.
void fillCells(ModelCell* from, ModelCell* to, const ModelCell& c) {
  unsigned char bytes[sizeof(ModelCell)];
  std::memcpy(bytes, &c, sizeof bytes);
  for (ModelCell* cell = from; cell < to; ++cell) std::memcpy(cell, bytes, sizeof bytes);
}

// Where a cell's character lies in its bits (as cellBits gives them).
int characterShift() {
  ModelCell c{};
  c.ch = 1;
  return cellBits(c) == 1 ? 0 : 56;
}

class Writer {
 public:
  Writer(CommTcp& t, const uint8_t* data, int length)
      : s_(t.modelScreen), p_(data), end_(data + length), colors_(t.modelScreen.model.color != 0) {}

  // The orders and data of a write, from the byte after the WCC.
  void run() {
    s_.saHighlight = s_.saForeground = s_.saBackground = s_.saCharset = 0;
    bool afterOrder = true;  // Program Tab erases only when it follows a character
    while (p_ < end_) {
      const uint8_t b = *p_++;
      bool ok = true;
      bool isData = false;
      switch (b) {
        case kOrderSba: ok = setAddress(); break;
        case kOrderSf: ok = startField(); break;
        case kOrderSfe: ok = startFieldExtended(); break;
        case kOrderSa: ok = setAttribute(); break;
        case kOrderMf: ok = modifyField(); break;
        case kOrderIc: s_.cursor = s_.bufferAddress; break;
        case kOrderPt: programTab(!afterOrder); break;
        case kOrderRa: ok = repeatToAddress(); break;
        case kOrderEua: ok = eraseUnprotected(); break;
        case kOrderGe:
          if (p_ >= end_) return;
          put(*p_++, true);
          isData = true;
          break;
        default:
          if (plainCharacter(b)) {
            putCharacters(b);
            isData = true;
            break;
          }
          // Control codes other than the ones a screen stores are dropped.
          if (b < 0x40 && !storedControl(b)) break;
          put(b, false);
          // The format controls (DUP, FM, NL, EO and the like) are stored but
          // count as orders: only a character or a null makes Program Tab erase.
          isData = b == 0x00;
          break;
      }
      if (!ok) return;
      afterOrder = !isData;
    }
  }

 private:
  int positions() const { return s_.positions(); }
  // The next position, round to 0 after the last (a compare: this runs for every character).
  void advance() {
    const int next = s_.bufferAddress + 1;
    s_.bufferAddress = static_cast<uint16_t>(next < positions() ? next : 0);
  }
  bool have(int n) const { return end_ - p_ >= n; }
  // The buffer address, which every order keeps below the screen size; the
  // stretches stored from it rely on that.
  int here() const { return s_.bufferAddress < positions() ? s_.bufferAddress : 0; }

  // The address operand of an order, or -1 when it lies beyond the screen.
  int address() {
    const int a = DecodeAddress(p_[0], p_[1]);
    p_ += 2;
    if (a < positions()) return a;
    addressFault_ = true;
    return -1;
  }

  // A character with the attributes Set Attribute left in force.
  ModelCell character(uint8_t ch, bool ge) const {
    const uint8_t isGe = ge ? 1 : 0;
    return ModelCell{ch, 0, 0, isGe, s_.saHighlight, s_.saForeground, s_.saBackground, s_.saCharset};
  }

  void put(uint8_t ch, bool ge) {
    s_.cells[s_.bufferAddress] = character(ch, ge);
    advance();
  }

  static bool plainCharacter(uint8_t b) { return b >= 0x40 && b != 0xFF; }

  // A run of characters, the bulk of most records, in one loop with the
  // position and the record pointer in locals: `first`, then every plain
  // character that follows it. Each cell is stored in one piece: the
  // attributes Set Attribute left in force with the character put in.
  void putCharacters(uint8_t first) {
    const uint64_t c = cellBits(character(0, false));
    const int shift = characterShift();
    ModelCell* cell = s_.cells + here();
    ModelCell* const last = s_.cells + positions();
    const uint8_t* p = p_;
    uint8_t b = first;
    for (;;) {
      const uint64_t v = c | static_cast<uint64_t>(b) << shift;
      std::memcpy(cell, &v, sizeof v);
      if (++cell >= last) cell = s_.cells;
      if (p == end_) break;
      b = *p;
      if (!plainCharacter(b)) break;
      ++p;
    }
    p_ = p;
    s_.bufferAddress = static_cast<uint16_t>(cell - s_.cells);
  }

  bool setAddress() {
    if (!have(2)) return false;
    const int a = address();
    if (a < 0) return false;
    s_.bufferAddress = static_cast<uint16_t>(a);
    return true;
  }

  void placeField(uint8_t fa) {
    ModelCell& c = s_.cells[s_.bufferAddress];
    c = ModelCell{};
    c.field = 1;
    c.fa = fa;
  }

  bool startField() {
    if (!have(1)) return false;
    placeField(*p_++);
    advance();
    return true;
  }

  // The attribute pairs of SFE and MF onto the field attribute cell c.
  void applyPairs(ModelCell& c, int count) {
    for (int k = 0; k < count; ++k, p_ += 2) {
      const uint8_t type = p_[0], value = p_[1];
      switch (type) {
        case kXaField: c.fa = value; break;
        case kXaHighlight: c.highlight = highlightValue(value, 0x07); break;
        case kXaForeground: c.foreground = colors_ ? colorValue(value) : 0; break;
        case kXaBackground: c.background = colors_ ? colorValue(value) : 0; break;
        case kXaCharset: c.charset = value == 0xF1 ? value : 0; break;
        default: break;  // attributes this terminal does not have are passed over
      }
    }
  }

  bool startFieldExtended() {
    if (!have(1)) return false;
    const int count = *p_++;
    if (!have(2 * count)) return false;
    placeField(0);
    applyPairs(s_.cells[s_.bufferAddress], count);
    advance();
    return true;
  }

  bool modifyField() {
    if (!have(1)) return false;
    const int count = *p_++;
    if (!have(2 * count)) return false;
    ModelCell& c = s_.cells[s_.bufferAddress];
    if (!c.field) {
      p_ += 2 * count;  // not a field attribute: nothing to modify
      return true;
    }
    applyPairs(c, count);
    advance();
    return true;
  }

  bool setAttribute() {
    if (!have(2)) return false;
    const uint8_t type = p_[0], value = p_[1];
    p_ += 2;
    switch (type) {
      case kXaAll: s_.saHighlight = s_.saForeground = s_.saBackground = s_.saCharset = 0; break;
      case kXaHighlight: s_.saHighlight = highlightValue(value, 0x0F); break;
      case kXaForeground: s_.saForeground = colors_ ? colorValue(value) : 0; break;
      case kXaBackground: s_.saBackground = colors_ ? colorValue(value) : 0; break;
      case kXaCharset: s_.saCharset = value == 0xF1 || value == 0xF8 ? value : 0; break;
      default: break;
    }
    return true;
  }

  bool repeatToAddress() {
    if (!have(3)) return false;
    const int stop = address();
    bool ge = false;
    if (*p_ == kOrderGe) {
      ge = true;
      ++p_;
      if (!have(1)) return false;
    }
    const uint8_t ch = *p_++;
    if (stop < 0) return false;
    // Up to the stop address; the stop address itself repeats the whole screen.
    const ModelCell c = character(ch, ge);
    const int a = here();
    if (stop > a) {
      fillCells(s_.cells + a, s_.cells + stop, c);
    } else {
      fillCells(s_.cells + a, s_.cells + positions(), c);
      fillCells(s_.cells, s_.cells + stop, c);
    }
    s_.bufferAddress = static_cast<uint16_t>(stop);
    return true;
  }

  bool eraseUnprotected() {
    if (!have(2)) return false;
    const int stop = address();
    if (stop < 0) return false;
    // Up to the stop address; the stop address itself erases the whole screen.
    const int from = s_.bufferAddress;
    const int count = stop > from ? stop - from : stop - from + positions();
    nullUnprotected(s_, from, count, false);
    s_.bufferAddress = static_cast<uint16_t>(stop);
    return true;
  }

  // Program Tab: on to the first character position of an unprotected field
  // that lies at or after the address (address 0 when the next one lies
  // before it); a field attribute right after an unprotected one is no
  // character position, so that field is passed over. After data, the rest
  // of the field the data ended in is nulled first, character attributes and
  // all, up to the next field attribute, the end of the screen or where the
  // tab goes, whichever comes first: data that ended in the last position
  // leaves the address at 0, and nothing of the screen is nulled then.
  void programTab(bool erase) {
    const int c = s_.bufferAddress;
    int target = 0;
    for (int k = 1; k <= positions(); ++k) {
      const int t = wrap(s_, c + k);
      const ModelCell& before = s_.cells[wrap(s_, t - 1)];
      if (before.field && !fieldIsProtected(before.fa) && !s_.cells[t].field) {
        target = t >= c ? t : 0;
        break;
      }
    }
    if (erase)
      for (int p = c; p < positions() && p != target && !s_.cells[p].field; ++p) s_.cells[p] = ModelCell{};
    s_.bufferAddress = static_cast<uint16_t>(target);
  }

  ModelScreen& s_;
  const uint8_t* p_;
  const uint8_t* end_;
  const bool colors_;  // a 3279: a monochrome 3278 keeps no colours

 public:
  bool addressFault_ = false;  // an order's address lay beyond the screen
};

void resetModifiedTags(ModelScreen& s) {
  const int n = s.positions();
  for (int p = 0; p < n; ++p)
    if (s.cells[p].field) s.cells[p].fa &= static_cast<uint8_t>(~kFieldModified);
}

// On an unformatted screen every position is cleared, character attributes
// and all, as by an erase that keeps the screen's size.
void eraseAllUnprotected(ModelScreen& s) {
  const int n = s.positions();
  if (formatted(s)) {
    nullUnprotected(s, 0, n, true);
  } else {
    for (int p = 0; p < n; ++p) s.cells[p] = ModelCell{};
  }
  const int first = nextInputField(s, n - 1);
  s.cursor = static_cast<uint16_t>(first >= 0 ? first : 0);
}

}  // namespace

RecordFault ProcessRecord(CommTcp& t, const uint8_t* record, int length) {
  ModelScreen& s = t.modelScreen;
  if (record == nullptr || length <= 0) return RecordFault::kNone;
  const uint8_t command = record[0];
  if (t.traceFile) std::fprintf(t.traceFile, " \n3270 command 0x%02x, %d bytes\n", command, length);

  if (isCommand(command, 0x02, 0xF2) || isCommand(command, 0x06, 0xF6) || isCommand(command, 0x0E, 0x6E)) {
    SendRead(t, command);
    return RecordFault::kNone;
  }
  if (isCommand(command, 0x11, 0xF3)) {
    if (s.model.extended) StructuredFields(t, record + 1, length - 1);
    return RecordFault::kNone;
  }
  if (isCommand(command, 0x0F, 0x6F)) {
    eraseAllUnprotected(s);
    s.aid = kAidNone;
    t.modelLocked = 0;
    return RecordFault::kNone;
  }
  const bool erase = isCommand(command, 0x05, 0xF5);
  const bool eraseAlternate = isCommand(command, 0x0D, 0x7E);
  if (!erase && !eraseAlternate && !isCommand(command, 0x01, 0xF1)) {
    if (t.traceFile) std::fprintf(t.traceFile, " \nUnknown 3270 command 0x%02x\n", command);
    return RecordFault::kCommandReject;
  }
  if (erase || eraseAlternate) EraseScreen(s, eraseAlternate);
  // A write needs its write control character (an erase is done without it).
  if (length < 2) return RecordFault::kCommandReject;
  const uint8_t wcc = record[1];
  // (An erased screen has no fields whose tags could be set.)
  if ((wcc & kWccResetMdt) && !erase && !eraseAlternate) resetModifiedTags(s);
  // A write without Set Buffer Address writes where the cursor stands.
  if (!erase && !eraseAlternate) s.bufferAddress = s.cursor;
  Writer writer(t, record + 2, length - 2);
  writer.run();
  if (wcc & kWccRestore) {
    s.aid = kAidNone;
    t.modelLocked = 0;
  }
  if ((wcc & kWccAlarm) && t.display) t.display->Bell();
  return writer.addressFault_ ? RecordFault::kOperationCheck : RecordFault::kNone;
}

}  // namespace model3270
