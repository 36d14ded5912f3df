#include "record_generator.h"

#include <algorithm>
#include <iterator>

#include "tn3270/ebcdic.h"

namespace records {

namespace {

// Graphic Escape codes with a glyph of their own. Other codes show nothing
// defined, so a comparison of them would compare noise.
constexpr uint8_t kGraphicEscape[] = {
    0x40, 0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x80, 0x83, 0x84, 0x85, 0x8A, 0x8B, 0x8C, 0x8D,
    0x8E, 0x8F, 0x90, 0x91, 0x92, 0x93, 0x94, 0x95, 0x9A, 0x9B, 0x9C, 0x9D, 0x9E, 0x9F, 0xA0, 0xA1, 0xA2, 0xA3,
    0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF, 0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB6, 0xB7, 0xB8, 0xBA, 0xBB, 0xBC, 0xBD,
    0xBE, 0xBF, 0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF, 0xD0,
    0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF, 0xE0, 0xE1, 0xE2, 0xE3,
    0xE4, 0xE5, 0xE6, 0xE7, 0xEA, 0xEB, 0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7,
    0xF8, 0xF9, 0xFB, 0xFC, 0xFD, 0xFE};

// Colours: default, neutral and the fifteen others.
uint8_t colour(Prng& p) { return p.percent(15) ? 0x00 : static_cast<uint8_t>(0xF0 + p.below(16)); }

}  // namespace

uint64_t Prng::next() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

uint8_t code6(uint32_t value) { return addressCodeTable[value & 0x3F]; }

RecordGenerator::RecordGenerator(uint64_t seed, int rows, int columns)
    : prng_(seed), alternateRows_(rows), alternateColumns_(columns) {}

uint32_t RecordGenerator::address() {
  const uint32_t last = size() - 1, cols = static_cast<uint32_t>(columns_);
  switch (prng_.below(10)) {
    case 0: return 0;
    case 1: return last - prng_.below(3);
    case 2: return prng_.below(static_cast<uint32_t>(rows_)) * cols + (prng_.percent(50) ? 0 : cols - 1);
    default: return prng_.below(size());
  }
}

void RecordGenerator::addressBytes(std::vector<uint8_t>& out, uint32_t at) {
  if (prng_.percent(50)) {
    out.push_back(code6(at >> 6));
    out.push_back(code6(at));
  } else {
    out.push_back(static_cast<uint8_t>((at >> 8) & 0x3F));
    out.push_back(static_cast<uint8_t>(at & 0xFF));
  }
}

void RecordGenerator::setAddress(std::vector<uint8_t>& out, uint32_t at) {
  out.push_back(0x11);
  addressBytes(out, at);
}

bool RecordGenerator::besideField(uint32_t at) const {
  const uint32_t n = size();
  return std::any_of(fields_.begin(), fields_.end(),
                     [&](uint32_t f) { return (f + 1) % n == at || (at + 1) % n == f; });
}

void RecordGenerator::character(std::vector<uint8_t>& out) {
  const uint32_t r = prng_.below(100);
  if (r < 4) {
    out.push_back(0x00);
  } else if (r < 6) {
    out.push_back(prng_.percent(50) ? 0x1C : 0x1E);  // DUP, FM
  } else if (r < 10) {
    out.push_back(0x08);
    out.push_back(kGraphicEscape[prng_.below(static_cast<uint32_t>(std::size(kGraphicEscape)))]);
  } else {
    out.push_back(static_cast<uint8_t>(0x40 + prng_.below(0xC0)));  // 0x40..0xFF
  }
}

// Extended attribute pairs (type, value). Character attributes (SA) carry
// foreground colour and highlighting; field ones (SFE, MF) the field
// attribute and the character set as well.
void RecordGenerator::attributePairs(std::vector<uint8_t>& out, bool forField) {
  static constexpr uint8_t kFieldHighlight[] = {0x00, 0xF0, 0xF1, 0xF2, 0xF4};
  static constexpr uint8_t kHighlight[] = {0x00, 0xF0, 0xF1, 0xF2, 0xF4, 0xF8};
  switch (prng_.below(forField ? 5 : 3)) {
    case 0: out.push_back(0x42), out.push_back(colour(prng_)); break;
    case 1:
      out.push_back(0x41);
      out.push_back(forField ? kFieldHighlight[prng_.below(5)] : kHighlight[prng_.below(6)]);
      break;
    case 2:
      if (forField) out.push_back(0xC0), out.push_back(code6(prng_.below(64)));
      else out.push_back(0x00), out.push_back(0x00);  // all character attributes back to default
      break;
    // No background colour (0x45): the reference keeps a stale background on
    // characters written over a field attribute and prints the foreground in
    // its place, so the screens could not be compared.
    case 3: out.push_back(0x42), out.push_back(colour(prng_)); break;
    default: out.push_back(0x43), out.push_back(prng_.percent(50) ? 0x00 : 0xF1); break;
  }
}

void RecordGenerator::item(std::vector<uint8_t>& out) {
  const Last before = last_;
  last_ = Last::other;
  switch (prng_.below(20)) {
    case 0: case 1: case 2: case 3: case 4: {
      const uint32_t n = 1 + prng_.below(prng_.percent(10) ? 200 : 20);
      for (uint32_t i = 0; i < n; ++i) character(out);
      last_ = Last::characters;
      break;
    }
    case 5: case 6: case 7: setAddress(out, address()); break;
    case 8: case 9: {
      const uint32_t at = address();
      setAddress(out, at);
      if (besideField(at)) break;
      fields_.push_back(at);
      out.push_back(0x1D);
      out.push_back(code6(prng_.below(64)));
      break;
    }
    case 10: case 11: {
      const uint32_t at = address();
      setAddress(out, at);
      if (besideField(at)) break;
      fields_.push_back(at);
      const uint32_t pairs = prng_.below(5);
      out.push_back(0x29);
      out.push_back(static_cast<uint8_t>(pairs));
      for (uint32_t i = 0; i < pairs; ++i) attributePairs(out, true);
      break;
    }
    case 12: case 13:
      out.push_back(0x28);
      attributePairs(out, false);
      break;
    case 14: {
      // Mostly a field attribute this screen holds; else any cell.
      const bool field = !fields_.empty() && prng_.percent(85);
      setAddress(out, field ? fields_[prng_.below(static_cast<uint32_t>(fields_.size()))] : address());
      const uint32_t pairs = prng_.below(4);
      out.push_back(0x2C);
      out.push_back(static_cast<uint8_t>(pairs));
      for (uint32_t i = 0; i < pairs; ++i) attributePairs(out, true);
      break;
    }
    case 15:
      out.push_back(0x3C);
      addressBytes(out, address());
      character(out);
      break;
    case 16:
      // Erase Unprotected to Address right after Set Buffer Address: s3270
      // takes the protection of the first positions from the field it last
      // found by an address or a new field, not from the buffer, so after
      // Program Tab, Modify Field or a character over that field's attribute
      // it erases what a terminal would keep, or keeps what it would erase.
      setAddress(out, address());
      out.push_back(0x12);
      addressBytes(out, address());
      break;
    case 17: out.push_back(0x13); break;
    default:
      // No Program Tab right after one that followed characters: when that
      // one goes round to address 0, s3270 still counts the next as following
      // characters and nulls the screen's first field, even a protected one.
      if (before == Last::tabAfterCharacters) {
        last_ = before;
        break;
      }
      out.push_back(0x05);
      if (before == Last::characters) last_ = Last::tabAfterCharacters;
      break;
  }
}

std::vector<uint8_t> RecordGenerator::next() {
  std::vector<uint8_t> out;
  const uint32_t kind = prng_.below(100);
  if (kind < 5) {
    out.push_back(0x6F);  // Erase All Unprotected: no orders
    return out;
  }
  if (kind < 15) {
    out.push_back(0xF5);
    rows_ = 24, columns_ = 80;
    fields_.clear();
  } else if (kind < 30) {
    out.push_back(0x7E);
    rows_ = alternateRows_, columns_ = alternateColumns_;
    fields_.clear();
  } else {
    out.push_back(0xF1);
  }
  // WCC: reset, restore and reset-MDT bits, as a coded byte or a bare one.
  const uint32_t wcc = prng_.below(8);
  out.push_back(prng_.percent(60) ? code6(wcc) : static_cast<uint8_t>(wcc));
  last_ = Last::other;
  const uint32_t items = prng_.below(14);
  for (uint32_t i = 0; i < items; ++i) item(out);
  return out;
}

}  // namespace records
