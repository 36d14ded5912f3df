#include "ds3270.h"

#include <algorithm>
#include <array>

namespace demohost::ds3270 {

namespace {

// The six-bit values 0..63 as graphic codes, for addresses and attributes.
constexpr uint8_t kAddressCodes[64] = {
    0x40, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F,
    0x50, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0x5A, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F,
    0x60, 0x61, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F,
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0x7A, 0x7B, 0x7C, 0x7D, 0x7E, 0x7F};

// Printable ASCII 0x20..0x7E in EBCDIC (code page 037, with the brackets and
// the circumflex where 3270 terminals commonly put them).
constexpr uint8_t kToEbcdic[95] = {
    0x40, 0x5A, 0x7F, 0x7B, 0x5B, 0x6C, 0x50, 0x7D, 0x4D, 0x5D, 0x5C, 0x4E, 0x6B, 0x60, 0x4B, 0x61,  //  !"#$%&'()*+,-./
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0x7A, 0x5E, 0x4C, 0x7E, 0x6E, 0x6F,  // 0-9 :;<=>?
    0x7C, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6,  // @A-O
    0xD7, 0xD8, 0xD9, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xAD, 0xE0, 0xBD, 0x5F, 0x6D,  // P-Z [\]^_
    0x79, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96,  // `a-o
    0x97, 0x98, 0x99, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xC0, 0x4F, 0xD0, 0xA1};       // p-z {|}~

std::array<char, 256> makeToAscii() {
  std::array<char, 256> table{};
  for (int c = 0x20; c <= 0x7E; ++c) table[kToEbcdic[c - 0x20]] = static_cast<char>(c);
  // The code page 037 places of the brackets and the circumflex, as other terminals send them.
  table[0xBA] = '[';
  table[0xBB] = ']';
  table[0xB0] = '^';
  table[0x6A] = '|';
  return table;
}

const std::array<char, 256> kToAscii = makeToAscii();

}  // namespace

uint8_t toEbcdic(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 0x20 && u <= 0x7E ? kToEbcdic[u - 0x20] : 0x40;
}

char toAscii(uint8_t e) { return kToAscii[e]; }

const std::vector<uint8_t>& readPartitionQuery() {
  // Write Structured Field; the field: length 5, Read Partition, partition FF, Query.
  static const std::vector<uint8_t> record{0xF3, 0x00, 0x05, 0x01, 0xFF, 0x02};
  return record;
}

void encodeAddress(int address, uint8_t out[2]) {
  const unsigned a = static_cast<unsigned>(address) % kMaxPositions;
  if (a < 4096) {
    out[0] = kAddressCodes[(a >> 6) & 0x3F];
    out[1] = kAddressCodes[a & 0x3F];
  } else {
    out[0] = static_cast<uint8_t>(a >> 8);
    out[1] = static_cast<uint8_t>(a & 0xFF);
  }
}

int decodeAddress(uint8_t first, uint8_t second) {
  if ((first & 0xC0) == 0) return ((first & 0x3F) << 8) | second;
  return ((first & 0x3F) << 6) | (second & 0x3F);
}

Writer Writer::eraseWrite() { return Writer(0xF5, 0xC3, Geometry{}); }

Writer Writer::eraseWriteAlternate(const Geometry& screen) { return Writer(0x7E, 0xC3, screen); }

// 0x01 is the Write command's other code, which terminals accept as well; with
// this one the terminal's field table, modified flags included, stays as it was.
Writer Writer::write(const Geometry& screen) { return Writer(0x01, 0xC2, screen); }

void Writer::addAddress(int address) {
  uint8_t code[2];
  encodeAddress(static_cast<int>(static_cast<unsigned>(address) % static_cast<unsigned>(screen_.positions())), code);
  bytes_.push_back(code[0]);
  bytes_.push_back(code[1]);
}

Writer& Writer::at(int row, int column) { return at(screen_.address(row, column)); }

Writer& Writer::at(int address) {
  bytes_.push_back(0x11);
  addAddress(address);
  return *this;
}

Writer& Writer::field(uint8_t attribute) {
  bytes_.push_back(0x1D);
  bytes_.push_back(attribute);
  return *this;
}

Writer& Writer::field(uint8_t attribute, uint8_t colour, uint8_t highlight) {
  const uint8_t count = static_cast<uint8_t>(1 + (colour != 0) + (highlight != 0));
  bytes_.insert(bytes_.end(), {0x29, count, kAttrField, attribute});
  if (colour != 0) bytes_.insert(bytes_.end(), {kAttrColour, colour});
  if (highlight != 0) bytes_.insert(bytes_.end(), {kAttrHighlight, highlight});
  return *this;
}

Writer& Writer::character(uint8_t type, uint8_t value) {
  bytes_.insert(bytes_.end(), {0x28, type, value});
  return *this;
}

Writer& Writer::text(const std::string& ascii) {
  for (char c : ascii) bytes_.push_back(toEbcdic(c));
  return *this;
}

Writer& Writer::cursor() {
  bytes_.push_back(0x13);
  return *this;
}

Writer& Writer::repeatTo(int row, int column, char c) {
  bytes_.push_back(0x3C);
  addAddress(screen_.address(row, column));
  bytes_.push_back(toEbcdic(c));
  return *this;
}

std::string Inbound::fieldAt(int address) const {
  std::string text;
  for (const Field& f : fields)
    if (f.address == address) text = f.text;  // the last one sent counts
  return text;
}

Inbound parseInbound(const std::vector<uint8_t>& record, int positions) {
  Inbound in;
  const size_t n = record.size();
  if (n == 0) return in;
  in.aid = record[0];
  if (n < 3) return in;
  in.cursor = decodeAddress(record[1], record[2]);
  if (in.cursor >= positions) in.cursor = -1;
  Inbound::Field* current = nullptr;
  for (size_t i = 3; i < n; ++i) {
    if (record[i] == 0x11) {
      if (i + 2 >= n) break;  // an address cut short
      const int a = decodeAddress(record[i + 1], record[i + 2]);
      i += 2;
      current = nullptr;
      if (a < positions) {
        in.fields.push_back(Inbound::Field{a, {}});
        current = &in.fields.back();
      }
      continue;
    }
    if (current == nullptr) continue;  // data before any address, or for a field off the screen
    const char c = toAscii(record[i]);
    if (c != '\0' && current->text.size() < static_cast<size_t>(positions)) current->text.push_back(c);
  }
  return in;
}

bool parseQueryReply(const std::vector<uint8_t>& record, Capabilities& out) {
  out = Capabilities{};
  const size_t n = record.size();
  if (n == 0 || record[0] != kAidStructuredField) return false;
  // Each structured field: a 2-byte length that counts itself (0: up to the end
  // of the record), 0x81 for a Query Reply, the query code, then its body.
  for (size_t i = 1; n - i >= 4;) {
    size_t length = (static_cast<size_t>(record[i]) << 8) | record[i + 1];
    if (length == 0) length = n - i;
    if (length < 4 || length > n - i) break;
    const uint8_t* f = record.data() + i;
    i += length;
    if (f[2] != 0x81) continue;
    if (f[3] == 0x81 && length >= 10) {
      // Usable Area: two flag bytes, then the width and the height in cells.
      const int columns = (f[6] << 8) | f[7];
      const int rows = (f[8] << 8) | f[9];
      // The panels need at least the default size, and the addresses reach no further than 14 bits do.
      if (columns >= kColumns && rows >= kRows && columns <= kMaxPositions / kRows &&
          rows * columns <= kMaxPositions) {
        out.rows = rows;
        out.columns = columns;
      }
    } else if (f[3] == 0x86 && length >= 6) {
      // Color: flags, the number of pairs, then the pairs of colour attribute
      // value and the colour the terminal shows for it, the default's first.
      // Colours are offered when one of blue..yellow shows as a colour of its
      // own, not as the default, black or neutral white.
      const size_t pairs = std::min<size_t>(f[5], (length - 6) / 2);
      for (size_t p = 1; p < pairs; ++p) {
        const uint8_t value = f[6 + 2 * p], shown = f[7 + 2 * p];
        if (value >= kBlue && value <= kYellow && shown >= kBlue && shown != kWhite) out.colour = true;
      }
    }
  }
  return true;
}

}  // namespace demohost::ds3270
