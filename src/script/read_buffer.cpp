#include "script/read_buffer.h"

#include <cstdio>
#include <memory>

#include "tn3270/ebcdic.h"
#include "tn3270/model_screen.h"

namespace {

// The hexadecimal UTF-8 of each code of code page 037; SUB and EO show as
// blocks, DUP and FM as "*" and ";".
const char* const kUtf8Hex[256] = {
    "00", "01", "02", "03", "c29c", "09", "c286", "7f",
    "c297", "c28d", "c28e", "0b", "0c", "0d", "0e", "0f",
    "10", "11", "12", "13", "c29d", "c285", "08", "c287",
    "18", "19", "c292", "c28f", "2a", "1d", "3b", "1f",
    "c280", "c281", "c282", "c283", "c284", "0a", "17", "1b",
    "c288", "c289", "c28a", "c28b", "c28c", "05", "06", "07",
    "c290", "c291", "16", "c293", "c294", "c295", "c296", "04",
    "c298", "c299", "c29a", "c29b", "14", "15", "c29e", "e296a0",
    "20", "c2a0", "c3a2", "c3a4", "c3a0", "c3a1", "c3a3", "c3a5",
    "c3a7", "c3b1", "c2a2", "2e", "3c", "28", "2b", "7c",
    "26", "c3a9", "c3aa", "c3ab", "c3a8", "c3ad", "c3ae", "c3af",
    "c3ac", "c39f", "21", "24", "2a", "29", "3b", "c2ac",
    "2d", "2f", "c382", "c384", "c380", "c381", "c383", "c385",
    "c387", "c391", "c2a6", "2c", "25", "5f", "3e", "3f",
    "c3b8", "c389", "c38a", "c38b", "c388", "c38d", "c38e", "c38f",
    "c38c", "60", "3a", "23", "40", "27", "3d", "22",
    "c398", "61", "62", "63", "64", "65", "66", "67",
    "68", "69", "c2ab", "c2bb", "c3b0", "c3bd", "c3be", "c2b1",
    "c2b0", "6a", "6b", "6c", "6d", "6e", "6f", "70",
    "71", "72", "c2aa", "c2ba", "c3a6", "c2b8", "c386", "c2a4",
    "c2b5", "7e", "73", "74", "75", "76", "77", "78",
    "79", "7a", "c2a1", "c2bf", "c390", "5b", "c39e", "c2ae",
    "5e", "c2a3", "c2a5", "c2b7", "c2a9", "c2a7", "c2b6", "c2bc",
    "c2bd", "c2be", "c39d", "c2a8", "c2af", "5d", "c2b4", "c397",
    "7b", "41", "42", "43", "44", "45", "46", "47",
    "48", "49", "c2ad", "c3b4", "c3b6", "c3b2", "c3b3", "c3b5",
    "7d", "4a", "4b", "4c", "4d", "4e", "4f", "50",
    "51", "52", "c2b9", "c3bb", "c3bc", "c3b9", "c3ba", "c3bf",
    "5c", "c3b7", "53", "54", "55", "56", "57", "58",
    "59", "5a", "c2b2", "c394", "c396", "c392", "c393", "c395",
    "30", "31", "32", "33", "34", "35", "36", "37",
    "38", "39", "c2b3", "c39b", "c39c", "c399", "c39a", "e2978f"
};

// The graphic escape set (code page 310): the hexadecimal UTF-8 of the
// characters with a Unicode counterpart; the rest show as a blank.
const char* const kGraphicEscapeHex[256] = {
    "00", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "0e", "0f",
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    "20", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    "e28b84", "e288a7", "c2a8", "e28cbb", "e28db8", "e28db7", "e28aa2", "e28aa3",
    "e288a8", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    "e288bc", nullptr, nullptr, "e28eb8", "e28eb9", "e29482", nullptr, nullptr,
    nullptr, nullptr, "e28691", "e28693", "e289a4", "e28c88", "e28c8a", "e28692",
    "e28e95", "e2968c", "e29690", "e29680", "e29684", "e296a0", nullptr, nullptr,
    nullptr, nullptr, "e28a83", "e28a82", "c2a4", "e2978b", "c2b1", "e28690",
    "c2af", "c2b0", "e29480", "e280a2", nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, "e288a9", "e288aa", "e28aa5", "5b", "e289a5", "e28898",
    "e28dba", "e2888a", "e28db3", "e28db4", "e28db5", nullptr, "c397", "5c",
    "c3b7", nullptr, "e28887", "e28886", "e28aa4", "5d", "e289a0", "e288a3",
    "7b", "e281bc", "2b", "e2888e", "e29494", "e2948c", "e2949c", "e294b4",
    "c2a7", nullptr, "e28db2", "e28db1", "e28cb7", "e28cbd", "e28d82", "e28d89",
    "7d", "e281be", "2d", "e294bc", "e29498", "e29490", "e294a4", "e294ac",
    "c2b6", nullptr, "e28cb6", "21", "e28d92", "e28d8b", "e28d9e", "e28d9d",
    "e289a1", "e28281", "ca82", "ca83", "e28da4", "e28da5", "e28daa", "e282ac",
    nullptr, nullptr, "e28cbf", "e28d80", "e288b5", "e28a96", "e28cb9", "e28d95",
    "e281b0", "c2b9", "c2b2", "c2b3", "e281b4", "e281b5", "e281b6", "e281b7",
    "e281b8", "e281b9", nullptr, "e28dab", "e28d99", "e28d9f", "e28d8e", nullptr
};

const char* geHex(uint8_t code) { return kGraphicEscapeHex[code] ? kGraphicEscapeHex[code] : "20"; }

void hex(std::string& out, uint8_t b) {
  char text[3];
  std::snprintf(text, sizeof text, "%02x", b);
  out += text;
}

// "k=v" pairs of the extended attributes in the order the tokens give them.
void pairs(std::string& out, const uint8_t (&values)[4], const bool (&show)[4]) {
  static const char* const kKeys[4] = {"42", "45", "41", "43"};
  bool first = true;
  for (int k = 0; k < 4; ++k) {
    if (!show[k]) continue;
    if (!first) out += ',';
    first = false;
    out += kKeys[k];
    out += '=';
    hex(out, values[k]);
  }
}

// A highlight of the default shows as "f0".
uint8_t shownHighlight(uint8_t h) { return h != 0 ? h : kHighlightNormal; }

// The default model's screen as model cells.
ModelScreen fromDefaultModel(const CommTcp& t) {
  ModelScreen s;
  for (int p = 0; p < kScreenPositions; ++p) {
    ModelCell& c = s.cells[p];
    if (t.attributePositions[p] != 0) {
      c.field = 1;
      c.fa = t.attributePositions[p];
    } else if (t.screenChars[p] != 0) {
      unsigned char ch = t.screenChars[p];
      Asc_To_Ebc(&ch, 1);
      c.ch = ch;
    }
  }
  return s;
}

}  // namespace

std::vector<std::string> ReadBufferLines(const CommTcp& t, bool ebcdic) {
  std::unique_ptr<ModelScreen> converted;
  if (!t.modelEngine()) converted = std::make_unique<ModelScreen>(fromDefaultModel(t));
  const ModelScreen& s = converted ? *converted : t.modelScreen;
  std::vector<std::string> lines;
  uint8_t last[4] = {0, 0, kHighlightNormal, 0};  // the attributes of the last character shown
  for (int r = 0; r < s.rows; ++r) {
    std::string line;
    for (int col = 0; col < s.columns; ++col) {
      const ModelCell& c = s.cells[r * s.columns + col];
      if (col > 0) line += ' ';
      if (c.field) {
        line += "SF(c0=";
        hex(line, static_cast<uint8_t>(0xC0 | (c.fa & 0x3D)));
        const uint8_t values[4] = {c.foreground, c.background, c.highlight, c.charset};
        const bool show[4] = {c.foreground != 0, c.background != 0, c.highlight != 0, c.charset != 0};
        if (show[0] || show[1] || show[2] || show[3]) line += ',';
        pairs(line, values, show);
        line += ')';
        continue;
      }
      const uint8_t values[4] = {c.foreground, c.background, shownHighlight(c.highlight), c.charset};
      bool show[4];
      bool changed = false;
      for (int k = 0; k < 4; ++k) changed |= (show[k] = values[k] != last[k]);
      if (changed) {
        line += "SA(";
        pairs(line, values, show);
        line += ") ";
        for (int k = 0; k < 4; ++k) last[k] = values[k];
      }
      if (ebcdic) {
        if (c.ge) {
          line += "GE(";
          hex(line, c.ch);
          line += ')';
        } else {
          hex(line, c.ch);
        }
      } else {
        line += c.ge ? geHex(c.ch) : kUtf8Hex[c.ch];
      }
    }
    lines.push_back(std::move(line));
  }
  return lines;
}
