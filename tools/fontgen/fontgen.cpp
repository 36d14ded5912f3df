// quillon-fontgen: turns BDF bitmap fonts into the Windows font file that
// Quillon adds at start-up.
//
//   quillon-fontgen [--copyright TEXT] [--module NAME] -o OUTPUT.fon FONT.bdf...
//
// Every BDF file (one pixel size each, glyphs encoded by Unicode code point)
// gives two raster fonts of that size: "mera_ansi" (ANSI charset, Windows-1252
// layout) and "mera_oem_linedraw" (OEM charset, code page 437 layout with the
// VT100 special graphics at 0x60..0x7E). The output is a 16-bit NE module with
// an MZ stub, one FONTDIR resource and one FONT resource (FNT version 2.0) per
// face and size.
//
// Input is checked throughout: a malformed BDF is reported with its file name
// and line and the tool exits with status 1 (2 for a bad command line).

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// Errors and limits

struct InputError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

constexpr int kMaxCell = 256;           // largest cell width or height accepted
constexpr int kMaxOffset = 1024;        // largest |offset| in a bounding box
constexpr long kMaxCodePoint = 0x10FFFF;
constexpr std::size_t kMaxFileBytes = 64u << 20;

// ---------------------------------------------------------------------------
// BDF reading

struct Box {
  int width = 0, height = 0, xOffset = 0, yOffset = 0;
};

struct Glyph {
  int advance = -1;  // DWIDTH x; -1 when the glyph gave none
  Box box;
  std::vector<uint8_t> rows;  // box.height rows of (box.width + 7) / 8 bytes, MSB leftmost
  int line = 0;               // STARTCHAR line, for messages
};

struct BdfFont {
  std::string file;
  Box boundingBox;
  int ascent = 0, descent = 0;
  std::optional<long> defaultChar;
  std::string copyright;
  std::map<uint32_t, Glyph> glyphs;  // by Unicode code point
  int cellWidth = 0, cellHeight = 0;  // a larger cell to pad the glyphs to; 0: the font's own
};

int pixelHeight(const BdfFont& font) { return font.cellHeight ? font.cellHeight : font.ascent + font.descent; }

class LineReader {
 public:
  LineReader(std::string file, const std::string& text) : file_(std::move(file)), text_(text) {}

  // Next line without its end of line; false at the end of the text.
  bool next(std::string& line) {
    if (pos_ >= text_.size()) return false;
    std::size_t end = text_.find('\n', pos_);
    if (end == std::string::npos) end = text_.size();
    line.assign(text_, pos_, end - pos_);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    pos_ = end + 1;
    ++number_;
    return true;
  }

  // Next line that holds a keyword (blank and COMMENT lines skipped), split into words.
  bool nextWords(std::vector<std::string>& words) {
    std::string line;
    while (next(line)) {
      words = split(line);
      if (!words.empty() && words[0] != "COMMENT") return true;
    }
    return false;
  }

  [[noreturn]] void fail(const std::string& message) const {
    throw InputError(file_ + ":" + std::to_string(number_) + ": " + message);
  }

  [[noreturn]] void truncated(const char* expected) const {
    throw InputError(file_ + ": file ends early (expected " + expected + ")");
  }

  int number() const { return number_; }

  static std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string w; in >> w;) words.push_back(w);
    return words;
  }

 private:
  std::string file_;
  const std::string& text_;
  std::size_t pos_ = 0;
  int number_ = 0;
};

long parseInteger(const LineReader& in, const std::string& word, long low, long high, const char* what) {
  std::size_t i = 0;
  bool negative = false;
  if (i < word.size() && (word[i] == '-' || word[i] == '+')) negative = word[i++] == '-';
  if (i == word.size()) in.fail(std::string("bad number \"") + word + "\" for " + what);
  long value = 0;
  for (; i < word.size(); ++i) {
    if (word[i] < '0' || word[i] > '9') in.fail(std::string("bad number \"") + word + "\" for " + what);
    value = value * 10 + (word[i] - '0');
    if (value > 100000000L) in.fail(std::string("number out of range for ") + what);
  }
  if (negative) value = -value;
  if (value < low || value > high)
    in.fail(std::string(what) + " " + std::to_string(value) + " is outside " + std::to_string(low) + ".." +
            std::to_string(high));
  return value;
}

void needWords(const LineReader& in, const std::vector<std::string>& words, std::size_t count) {
  if (words.size() < count)
    in.fail(words[0] + " needs " + std::to_string(count - 1) + " value" + (count == 2 ? "" : "s"));
}

Box parseBox(const LineReader& in, const std::vector<std::string>& words, int minSize) {
  needWords(in, words, 5);
  Box b;
  b.width = static_cast<int>(parseInteger(in, words[1], minSize, kMaxCell, "box width"));
  b.height = static_cast<int>(parseInteger(in, words[2], minSize, kMaxCell, "box height"));
  b.xOffset = static_cast<int>(parseInteger(in, words[3], -kMaxOffset, kMaxOffset, "box x offset"));
  b.yOffset = static_cast<int>(parseInteger(in, words[4], -kMaxOffset, kMaxOffset, "box y offset"));
  return b;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A quoted property value ("..." with "" standing for one quote), or the bare rest.
std::string propertyText(const std::string& line, std::size_t start) {
  std::size_t q = line.find('"', start);
  if (q == std::string::npos) {
    std::size_t b = line.find_first_not_of(" \t", start);
    return b == std::string::npos ? std::string() : line.substr(b);
  }
  std::string out;
  for (std::size_t i = q + 1; i < line.size(); ++i) {
    if (line[i] == '"') {
      if (i + 1 < line.size() && line[i + 1] == '"') {
        out += '"';
        ++i;
      } else {
        break;
      }
    } else {
      out += line[i];
    }
  }
  return out;
}

void readProperties(LineReader& in, BdfFont& font, bool& haveAscent, bool& haveDescent) {
  std::string line;
  while (in.next(line)) {
    std::vector<std::string> words = LineReader::split(line);
    if (words.empty() || words[0] == "COMMENT") continue;
    const std::string& key = words[0];
    if (key == "ENDPROPERTIES") return;
    if (key == "FONT_ASCENT") {
      needWords(in, words, 2);
      font.ascent = static_cast<int>(parseInteger(in, words[1], -kMaxCell, kMaxCell, "FONT_ASCENT"));
      haveAscent = true;
    } else if (key == "FONT_DESCENT") {
      needWords(in, words, 2);
      font.descent = static_cast<int>(parseInteger(in, words[1], -kMaxCell, kMaxCell, "FONT_DESCENT"));
      haveDescent = true;
    } else if (key == "DEFAULT_CHAR") {
      needWords(in, words, 2);
      font.defaultChar = parseInteger(in, words[1], -1, kMaxCodePoint, "DEFAULT_CHAR");
    } else if (key == "COPYRIGHT") {
      font.copyright = propertyText(line, line.find("COPYRIGHT") + 9);
    }
  }
  in.truncated("ENDPROPERTIES");
}

Glyph readGlyph(LineReader& in, const BdfFont& font, int defaultAdvance, long& encoding) {
  Glyph g;
  g.line = in.number();
  g.advance = defaultAdvance;
  bool haveEncoding = false, haveBox = false;
  std::vector<std::string> words;
  while (true) {
    if (!in.nextWords(words)) in.truncated("BITMAP and ENDCHAR");
    const std::string& key = words[0];
    if (key == "ENCODING") {
      needWords(in, words, 2);
      encoding = parseInteger(in, words[1], -1, kMaxCodePoint, "ENCODING");
      haveEncoding = true;
    } else if (key == "DWIDTH") {
      needWords(in, words, 3);
      g.advance = static_cast<int>(parseInteger(in, words[1], 0, kMaxCell, "DWIDTH"));
    } else if (key == "BBX") {
      g.box = parseBox(in, words, 0);
      haveBox = true;
    } else if (key == "BITMAP") {
      break;
    } else if (key == "ENDCHAR" || key == "STARTCHAR" || key == "ENDFONT") {
      in.fail(key + " before BITMAP");
    }
  }
  if (!haveEncoding) in.fail("glyph without ENCODING");
  if (!haveBox) in.fail("glyph without BBX");

  const Box& b = g.box;
  const Box& f = font.boundingBox;
  if (b.xOffset < f.xOffset || b.yOffset < f.yOffset || b.xOffset + b.width > f.xOffset + f.width ||
      b.yOffset + b.height > f.yOffset + f.height)
    in.fail("glyph box " + std::to_string(b.width) + "x" + std::to_string(b.height) + "+" +
            std::to_string(b.xOffset) + "+" + std::to_string(b.yOffset) + " is larger than FONTBOUNDINGBOX");

  const std::size_t bytesPerRow = (static_cast<std::size_t>(b.width) + 7) / 8;
  g.rows.assign(bytesPerRow * static_cast<std::size_t>(b.height), 0);
  std::string line;
  for (int r = 0; r < b.height; ++r) {
    if (!in.next(line)) in.truncated("bitmap rows");
    std::size_t first = line.find_first_not_of(" \t");
    std::size_t last = line.find_last_not_of(" \t");
    std::string hex = first == std::string::npos ? std::string() : line.substr(first, last - first + 1);
    if (hex == "ENDCHAR") in.fail("BITMAP has " + std::to_string(r) + " rows, BBX says " + std::to_string(b.height));
    if (hex.size() != bytesPerRow * 2)
      in.fail("bitmap row \"" + hex + "\" should have " + std::to_string(bytesPerRow * 2) + " hex digits");
    for (std::size_t k = 0; k < bytesPerRow; ++k) {
      const int hi = hexDigit(hex[2 * k]), lo = hexDigit(hex[2 * k + 1]);
      if (hi < 0 || lo < 0) in.fail("bad hex digit in bitmap row \"" + hex + "\"");
      g.rows[static_cast<std::size_t>(r) * bytesPerRow + k] = static_cast<uint8_t>(hi << 4 | lo);
    }
  }
  if (!in.nextWords(words)) in.truncated("ENDCHAR");
  if (words[0] != "ENDCHAR") in.fail("expected ENDCHAR after " + std::to_string(b.height) + " bitmap rows");
  return g;
}

BdfFont readBdf(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw InputError(path + ": cannot open");
  std::string text;
  char buffer[65536];
  while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
    text.append(buffer, static_cast<std::size_t>(file.gcount()));
    if (text.size() > kMaxFileBytes) throw InputError(path + ": file too large for a BDF font");
  }
  if (file.bad()) throw InputError(path + ": read error");

  BdfFont font;
  font.file = path;
  LineReader in(path, text);
  std::vector<std::string> words;
  if (!in.nextWords(words)) throw InputError(path + ": empty file");
  if (words[0] != "STARTFONT") in.fail("not a BDF font (no STARTFONT)");

  bool haveBox = false, haveAscent = false, haveDescent = false;
  int defaultAdvance = -1;
  long declaredGlyphs = -1;
  while (declaredGlyphs < 0) {
    if (!in.nextWords(words)) in.truncated("CHARS");
    const std::string& key = words[0];
    if (key == "FONTBOUNDINGBOX") {
      font.boundingBox = parseBox(in, words, 1);
      haveBox = true;
    } else if (key == "STARTPROPERTIES") {
      readProperties(in, font, haveAscent, haveDescent);
    } else if (key == "DWIDTH") {
      needWords(in, words, 3);
      defaultAdvance = static_cast<int>(parseInteger(in, words[1], 0, kMaxCell, "DWIDTH"));
    } else if (key == "CHARS") {
      needWords(in, words, 2);
      declaredGlyphs = parseInteger(in, words[1], 0, kMaxCodePoint + 1, "CHARS");
    } else if (key == "STARTCHAR" || key == "ENDFONT") {
      in.fail(key + " before CHARS");
    }
  }
  if (!haveBox) in.fail("no FONTBOUNDINGBOX before CHARS");
  // Without the ascent and descent properties the bounding box is the cell.
  if (!haveAscent) font.ascent = font.boundingBox.height + font.boundingBox.yOffset;
  if (!haveDescent) font.descent = -font.boundingBox.yOffset;
  if (font.ascent < 0 || font.descent < 0 || font.ascent + font.descent < 1 || font.ascent + font.descent > kMaxCell)
    in.fail("FONT_ASCENT " + std::to_string(font.ascent) + " and FONT_DESCENT " + std::to_string(font.descent) +
            " do not make a cell");

  long glyphCount = 0;
  while (true) {
    if (!in.nextWords(words)) in.truncated("ENDFONT");
    if (words[0] == "ENDFONT") break;
    if (words[0] != "STARTCHAR") in.fail("expected STARTCHAR or ENDFONT, found " + words[0]);
    long encoding = -1;
    Glyph g = readGlyph(in, font, defaultAdvance, encoding);
    if (g.advance < 0) in.fail("glyph without DWIDTH");
    ++glyphCount;
    if (encoding >= 0) font.glyphs.emplace(static_cast<uint32_t>(encoding), std::move(g));  // first one wins
  }
  if (glyphCount != declaredGlyphs)
    in.fail("CHARS says " + std::to_string(declaredGlyphs) + " glyphs, the file has " + std::to_string(glyphCount));
  return font;
}

// ---------------------------------------------------------------------------
// Character layouts of the two faces

constexpr uint32_t kBlank = 0xFFFFFFFEu;       // position drawn empty (control codes)
constexpr uint32_t kUnassigned = 0xFFFFFFFFu;  // position with no character: the default glyph

using Layout = std::array<uint32_t, 256>;

const uint16_t kCp1252High[32] = {
    0x20AC, 0x0000, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x0000, 0x017D, 0x0000, 0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x0000, 0x017E, 0x0178,
};

const uint16_t kCp437Low[32] = {
    0x0000, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022, 0x25D8, 0x25CB, 0x25D9,
    0x2642, 0x2640, 0x266A, 0x266B, 0x263C, 0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7,
    0x25AC, 0x21A8, 0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,
};

const uint16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

// VT100 special graphics, drawn for the bytes 0x60..0x7E of the line-drawing set.
const uint16_t kDecGraphics[31] = {
    0x25C6, 0x2592, 0x2409, 0x240C, 0x240D, 0x240A, 0x00B0, 0x00B1, 0x2424, 0x240B, 0x2518,
    0x2510, 0x250C, 0x2514, 0x253C, 0x23BA, 0x23BB, 0x2500, 0x23BC, 0x23BD, 0x251C, 0x2524,
    0x2534, 0x252C, 0x2502, 0x2264, 0x2265, 0x03C0, 0x2260, 0x00A3, 0x00B7,
};

Layout ansiLayout() {
  Layout m;
  for (int b = 0; b < 256; ++b) m[b] = static_cast<uint32_t>(b);
  for (int b = 0; b < 0x20; ++b) m[b] = kBlank;
  m[0x7F] = kBlank;
  for (int b = 0; b < 32; ++b) m[0x80 + b] = kCp1252High[b] ? kCp1252High[b] : kUnassigned;
  return m;
}

Layout oemLineDrawLayout() {
  Layout m;
  for (int b = 0; b < 32; ++b) m[b] = kCp437Low[b] ? kCp437Low[b] : kBlank;
  for (int b = 0x20; b < 0x7F; ++b) m[b] = static_cast<uint32_t>(b);
  m[0x7F] = 0x2302;
  for (int b = 0; b < 128; ++b) m[0x80 + b] = kCp437High[b];
  for (int b = 0; b < 31; ++b) m[0x60 + b] = kDecGraphics[b];
  return m;
}

struct FaceSpec {
  const char* name;
  uint8_t charset;
  Layout layout;
};

// ---------------------------------------------------------------------------
// Glyph cells

// One glyph as a cell of width x height pixels, row-major, one byte per pixel.
struct Cell {
  int width = 0, height = 0;
  std::vector<uint8_t> pixels;
  bool at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x] != 0; }
};

Cell blankCell(int width, int height) {
  return Cell{width, height, std::vector<uint8_t>(static_cast<std::size_t>(width) * height, 0)};
}

// Places a glyph on the cell: its origin at the left edge, on the baseline
// `ascent` rows below the top. Pixels outside the cell are dropped.
Cell renderGlyph(const Glyph& g, int width, int height, int ascent) {
  Cell c = blankCell(width, height);
  const std::size_t bytesPerRow = (static_cast<std::size_t>(g.box.width) + 7) / 8;
  const int top = ascent - (g.box.yOffset + g.box.height);
  for (int r = 0; r < g.box.height; ++r) {
    const int y = top + r;
    if (y < 0 || y >= height) continue;
    for (int col = 0; col < g.box.width; ++col) {
      const int x = g.box.xOffset + col;
      if (x < 0 || x >= width) continue;
      const uint8_t byte = g.rows[static_cast<std::size_t>(r) * bytesPerRow + static_cast<std::size_t>(col) / 8];
      if (byte & (0x80 >> (col % 8))) c.pixels[static_cast<std::size_t>(y) * width + x] = 1;
    }
  }
  return c;
}

// Puts a cell in the middle of a larger one. Pixels on the glyph's edges are
// carried out to the new edges, so that box-drawing strokes still meet their
// neighbours' while letters, which stay clear of the edges, keep their shape.
Cell padCell(const Cell& c, int width, int height) {
  if (c.width == width && c.height == height) return c;
  Cell out = blankCell(width, height);
  const int left = (width - c.width) / 2, top = (height - c.height) / 2;
  for (int y = 0; y < height; ++y) {
    const int sy = std::clamp(y - top, 0, c.height - 1);
    for (int x = 0; x < width; ++x) {
      const int sx = std::clamp(x - left, 0, c.width - 1);
      out.pixels[static_cast<std::size_t>(y) * width + x] = c.at(sx, sy) ? 1 : 0;
    }
  }
  return out;
}

// The VT100 scan lines 1, 3, 7 and 9 (U+23BA..U+23BD), for fonts that lack
// them: horizontal strokes as thick as the box-drawing line (scan line 5),
// at the top, a quarter, three quarters and the bottom of the cell.
std::optional<Cell> scanLine(uint32_t codePoint, const std::optional<Cell>& horizontal, int width, int height) {
  static const std::map<uint32_t, int> kLines = {{0x23BA, 1}, {0x23BB, 3}, {0x23BC, 7}, {0x23BD, 9}};
  auto it = kLines.find(codePoint);
  if (it == kLines.end()) return std::nullopt;
  int middle = (height - 1) / 2, thickness = 1;
  if (horizontal) {
    for (int y = 0; y < height; ++y) {
      bool full = true;
      for (int x = 0; x < width && full; ++x) full = horizontal->at(x, y);
      if (!full) continue;
      middle = y;
      thickness = 1;
      while (middle + thickness < height) {
        bool next = true;
        for (int x = 0; x < width && next; ++x) next = horizontal->at(x, middle + thickness);
        if (!next) break;
        ++thickness;
      }
      break;
    }
  }
  const int bottom = height - thickness;
  int row = 0;
  switch (it->second) {
    case 1: row = 0; break;
    case 3: row = middle / 2; break;
    case 7: row = (middle + bottom) / 2; break;
    default: row = bottom; break;
  }
  Cell c = blankCell(width, height);
  for (int y = row; y < row + thickness && y < height; ++y)
    for (int x = 0; x < width; ++x) c.pixels[static_cast<std::size_t>(y) * width + x] = 1;
  return c;
}

struct RasterFace {
  const FaceSpec* spec;
  int width = 0, height = 0, ascent = 0;
  uint8_t defaultChar = '?';
  std::array<Cell, 256> cells;
};

RasterFace buildFace(const BdfFont& font, const FaceSpec& spec) {
  RasterFace face;
  face.spec = &spec;
  face.height = font.ascent + font.descent;
  face.ascent = font.ascent;

  // Fixed pitch: every glyph the face uses has the same advance.
  const Glyph* widthSource = nullptr;
  uint32_t widthCodePoint = 0;
  auto use = [&](uint32_t cp) -> const Glyph* {
    auto it = font.glyphs.find(cp);
    if (it == font.glyphs.end()) return nullptr;
    const Glyph& g = it->second;
    if (!widthSource) {
      widthSource = &g;
      widthCodePoint = cp;
    } else if (g.advance != widthSource->advance) {
      char message[160];
      std::snprintf(message, sizeof message, "%s:%d: not fixed pitch: U+%04X is %d wide, U+%04X is %d wide",
                    font.file.c_str(), g.line, static_cast<unsigned>(cp), g.advance,
                    static_cast<unsigned>(widthCodePoint), widthSource->advance);
      throw InputError(message);
    }
    return &g;
  };
  std::array<const Glyph*, 256> sources{};
  for (int b = 0; b < 256; ++b)
    if (spec.layout[b] != kBlank && spec.layout[b] != kUnassigned) sources[b] = use(spec.layout[b]);
  const Glyph* fallback = nullptr;
  uint32_t fallbackCodePoint = '?';
  if (font.defaultChar && *font.defaultChar >= 0 && font.glyphs.count(static_cast<uint32_t>(*font.defaultChar)))
    fallbackCodePoint = static_cast<uint32_t>(*font.defaultChar);
  fallback = use(fallbackCodePoint);
  if (!widthSource) throw InputError(font.file + ": no glyph of face " + spec.name + " is in the font");
  face.width = widthSource->advance;
  if (face.width < 1) throw InputError(font.file + ": glyphs have no width (DWIDTH 0)");

  // Glyphs are drawn on the font's own cell, then padded to the cell asked for.
  const int naturalWidth = face.width, naturalHeight = face.height;
  if (font.cellWidth) {
    if (font.cellWidth < naturalWidth || font.cellHeight < naturalHeight)
      throw InputError(font.file + ": the cell " + std::to_string(font.cellWidth) + "x" +
                       std::to_string(font.cellHeight) + " is smaller than the font's " +
                       std::to_string(naturalWidth) + "x" + std::to_string(naturalHeight));
    face.width = font.cellWidth;
    face.height = font.cellHeight;
    face.ascent += (face.height - naturalHeight) / 2;
  }
  auto render = [&](const Glyph& g) {
    return padCell(renderGlyph(g, naturalWidth, naturalHeight, font.ascent), face.width, face.height);
  };

  const Cell blank = blankCell(face.width, face.height);
  const Cell defaultCell = fallback ? render(*fallback) : blank;
  std::optional<Cell> horizontal;
  if (auto it = font.glyphs.find(0x2500); it != font.glyphs.end() && it->second.advance == naturalWidth)
    horizontal = render(it->second);

  bool defaultPlaced = false;
  for (int b = 0; b < 256; ++b) {
    const uint32_t cp = spec.layout[b];
    if (cp == kBlank) {
      face.cells[b] = blank;
    } else if (sources[b]) {
      face.cells[b] = render(*sources[b]);
      if (fallback && cp == fallbackCodePoint && !defaultPlaced) {
        face.defaultChar = static_cast<uint8_t>(b);
        defaultPlaced = true;
      }
    } else if (auto line = scanLine(cp, horizontal, face.width, face.height)) {
      face.cells[b] = *line;
    } else {
      face.cells[b] = defaultCell;
    }
  }
  return face;
}

// ---------------------------------------------------------------------------
// Output

class Bytes {
 public:
  void u8(unsigned v) { data_.push_back(static_cast<uint8_t>(v)); }
  void u16(unsigned v) {
    u8(v & 0xFF);
    u8(v >> 8 & 0xFF);
  }
  void u32(uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  }
  void text(const std::string& s, std::size_t field) {  // fixed-size field, zero padded
    for (std::size_t i = 0; i < field; ++i) u8(i < s.size() ? static_cast<uint8_t>(s[i]) : 0);
  }
  void cstring(const std::string& s) {
    for (char c : s) u8(static_cast<uint8_t>(c));
    u8(0);
  }
  void pascal(const std::string& s) {
    u8(static_cast<unsigned>(s.size()));
    for (char c : s) u8(static_cast<uint8_t>(c));
  }
  void append(const std::vector<uint8_t>& v) { data_.insert(data_.end(), v.begin(), v.end()); }
  void padTo(std::size_t multiple) {
    while (data_.size() % multiple) u8(0);
  }
  void put16(std::size_t at, unsigned v) {
    data_.at(at) = static_cast<uint8_t>(v & 0xFF);
    data_.at(at + 1) = static_cast<uint8_t>(v >> 8 & 0xFF);
  }
  void put32(std::size_t at, uint32_t v) {
    put16(at, v & 0xFFFF);
    put16(at + 2, v >> 16);
  }
  std::size_t size() const { return data_.size(); }
  const std::vector<uint8_t>& data() const { return data_; }

 private:
  std::vector<uint8_t> data_;
};

constexpr unsigned kFntVersion = 0x0200;
constexpr std::size_t kFntHeaderSize = 118;   // version 2.0 header
constexpr std::size_t kFontDirEntrySize = 113;  // header fields up to dfReserved (the bits pointer)
constexpr unsigned kFirstChar = 0x00, kLastChar = 0xFF;
constexpr unsigned kFamilyModern = 0x30;  // FF_MODERN; low bit clear: fixed pitch

// One FNT resource (version 2.0) of a face at one size.
std::vector<uint8_t> fntResource(const RasterFace& face, const std::string& copyright) {
  const unsigned width = static_cast<unsigned>(face.width), height = static_cast<unsigned>(face.height);
  const unsigned bytesPerColumn = (width + 7) / 8;
  const std::size_t glyphBytes = static_cast<std::size_t>(bytesPerColumn) * height;
  const std::size_t entries = kLastChar - kFirstChar + 2;  // plus the blank after the last character
  const std::size_t bitsOffset = kFntHeaderSize + entries * 4;
  const std::size_t faceOffset = bitsOffset + entries * glyphBytes;
  const std::size_t total = faceOffset + std::strlen(face.spec->name) + 1;
  // The character table holds 16-bit offsets.
  if (faceOffset > 0xFFFF) throw InputError("glyphs of " + std::to_string(width) + "x" + std::to_string(height) +
                                            " are too large for a version 2.0 font resource");

  Bytes f;
  f.u16(kFntVersion);
  f.u32(static_cast<uint32_t>(total));
  f.text(copyright.substr(0, 59), 60);
  f.u16(0);                                  // dfType: raster
  f.u16((height * 72 + 48) / 96);            // dfPoints at 96 dpi
  f.u16(96);                                 // dfVertRes
  f.u16(96);                                 // dfHorizRes
  f.u16(static_cast<unsigned>(face.ascent)); // dfAscent
  f.u16(0);                                  // dfInternalLeading: lfHeight -N picks the N-pixel font
  f.u16(0);                                  // dfExternalLeading
  f.u8(0);                                   // dfItalic
  f.u8(0);                                   // dfUnderline
  f.u8(0);                                   // dfStrikeOut
  f.u16(400);                                // dfWeight
  f.u8(face.spec->charset);
  f.u16(width);                              // dfPixWidth: fixed pitch
  f.u16(height);                             // dfPixHeight
  f.u8(kFamilyModern);                       // dfPitchAndFamily
  f.u16(width);                              // dfAvgWidth
  f.u16(width);                              // dfMaxWidth
  f.u8(kFirstChar);
  f.u8(kLastChar);
  f.u8(face.defaultChar - kFirstChar);       // relative to the first character
  f.u8(' ' - kFirstChar);                    // dfBreakChar
  f.u16(static_cast<unsigned>((entries * bytesPerColumn + 1) / 2 * 2));  // dfWidthBytes
  f.u32(0);                                  // dfDevice: none
  f.u32(static_cast<uint32_t>(faceOffset));  // dfFace
  f.u32(0);                                  // dfBitsPointer
  f.u32(static_cast<uint32_t>(bitsOffset));  // dfBitsOffset
  f.u8(0);                                   // dfReserved
  for (std::size_t i = 0; i < entries; ++i) {
    f.u16(width);
    f.u16(static_cast<unsigned>(bitsOffset + i * glyphBytes));
  }
  // Each glyph: byte-wide columns left to right, each column all rows top down.
  const Cell blank = blankCell(face.width, face.height);
  for (std::size_t i = 0; i < entries; ++i) {
    const Cell& c = i < 256 ? face.cells[i] : blank;
    for (unsigned column = 0; column < bytesPerColumn; ++column) {
      for (unsigned y = 0; y < height; ++y) {
        unsigned byte = 0;
        for (unsigned bit = 0; bit < 8; ++bit) {
          const unsigned x = column * 8 + bit;
          if (x < width && c.at(static_cast<int>(x), static_cast<int>(y))) byte |= 0x80u >> bit;
        }
        f.u8(byte);
      }
    }
  }
  f.cstring(face.spec->name);
  if (f.size() != total) throw std::logic_error("FNT size mismatch");
  return f.data();
}

struct FontResource {
  unsigned id;
  std::vector<uint8_t> data;
  std::string face;
};

std::vector<uint8_t> fontDirectory(const std::vector<FontResource>& fonts) {
  Bytes d;
  d.u16(static_cast<unsigned>(fonts.size()));
  for (const FontResource& font : fonts) {
    d.u16(font.id);
    for (std::size_t i = 0; i < kFontDirEntrySize; ++i) d.u8(font.data[i]);
    d.cstring("");  // device name
    d.cstring(font.face);
  }
  return d.data();
}

constexpr unsigned kAlignShift = 4;
constexpr std::size_t kNeOffset = 0x80;

// The DOS stub: prints a line and exits.
void writeMzStub(Bytes& out) {
  static const uint8_t kCode[] = {0x0E, 0x1F, 0xBA, 0x0E, 0x00, 0xB4, 0x09, 0xCD, 0x21, 0xB8, 0x01, 0x4C, 0xCD, 0x21};
  out.u8('M');
  out.u8('Z');
  out.u16(kNeOffset % 512);  // bytes in the last page
  out.u16((kNeOffset + 511) / 512);
  out.u16(0);       // relocations
  out.u16(4);       // header paragraphs
  out.u16(0);       // minimum extra paragraphs
  out.u16(0xFFFF);  // maximum extra paragraphs
  out.u16(0);       // SS
  out.u16(0xB8);    // SP
  out.u16(0);       // checksum
  out.u16(0);       // IP
  out.u16(0);       // CS
  out.u16(0x40);    // relocation table
  out.u16(0);       // overlay
  while (out.size() < 0x3C) out.u8(0);
  out.u32(kNeOffset);
  for (uint8_t b : kCode) out.u8(b);
  const char* message = "This is a Windows font file.\r\n$";
  for (const char* p = message; *p; ++p) out.u8(static_cast<uint8_t>(*p));
  while (out.size() < kNeOffset) out.u8(0);
}

std::vector<uint8_t> fonFile(const std::vector<FontResource>& fonts, const std::string& module,
                             const std::string& description) {
  if (fonts.empty() || fonts.size() > 0x7FFF) throw InputError("no fonts to write");
  const std::vector<uint8_t> directory = fontDirectory(fonts);

  // The tables between the NE header and the resources, offsets from the NE header.
  Bytes t;
  const std::size_t neHeaderSize = 0x40;
  const std::size_t resourceTable = neHeaderSize;  // the segment table is empty
  t.u16(kAlignShift);
  t.u16(0x8007);  // RT_FONTDIR
  t.u16(1);
  t.u32(0);
  const std::size_t dirEntry = t.size();
  t.u16(0);  // offset, filled below
  t.u16(0);  // length
  t.u16(0x0050);  // moveable, preload
  t.u16(0);  // name offset, filled below
  t.u32(0);
  t.u16(0x8008);  // RT_FONT
  t.u16(static_cast<unsigned>(fonts.size()));
  t.u32(0);
  const std::size_t fontEntries = t.size();
  for (const FontResource& font : fonts) {
    t.u16(0);
    t.u16(0);
    t.u16(0x1030);  // moveable, pure, discardable
    t.u16(0x8000 | font.id);
    t.u32(0);
  }
  t.u16(0);  // end of types
  t.put16(dirEntry + 6, static_cast<unsigned>(t.size()));
  t.pascal("FONTDIR");
  t.u8(0);  // end of resource names
  const std::size_t residentNames = resourceTable + t.size();
  t.pascal(module);
  t.u16(0);
  t.u8(0);
  const std::size_t moduleRefs = resourceTable + t.size();  // empty
  const std::size_t importedNames = moduleRefs;
  t.u8(0);
  const std::size_t entryTable = resourceTable + t.size();
  t.u16(0);
  const std::size_t entryTableSize = 2;
  const std::size_t nonResident = kNeOffset + resourceTable + t.size();
  const std::string fontres = "FONTRES 100,96,96 : " + description;
  if (fontres.size() > 255 || module.size() > 255) throw InputError("module name or description too long");
  Bytes n;
  n.pascal(fontres);
  n.u16(0);
  n.u8(0);

  Bytes out;
  writeMzStub(out);
  out.u8('N');
  out.u8('E');
  out.u8(5);   // linker version
  out.u8(10);  // linker revision
  out.u16(static_cast<unsigned>(entryTable));
  out.u16(static_cast<unsigned>(entryTableSize));
  out.u32(0);       // CRC
  out.u16(0x8300);  // library module, Windows application type
  out.u16(0);       // automatic data segment
  out.u16(0);       // heap
  out.u16(0);       // stack
  out.u32(0);       // CS:IP
  out.u32(0);       // SS:SP
  out.u16(0);       // segments
  out.u16(0);       // module references
  out.u16(static_cast<unsigned>(n.size()));
  out.u16(static_cast<unsigned>(resourceTable));  // segment table
  out.u16(static_cast<unsigned>(resourceTable));
  out.u16(static_cast<unsigned>(residentNames));
  out.u16(static_cast<unsigned>(moduleRefs));
  out.u16(static_cast<unsigned>(importedNames));
  out.u32(static_cast<uint32_t>(nonResident));
  out.u16(0);  // movable entry points
  out.u16(kAlignShift);
  out.u16(0);     // resource segments
  out.u8(2);      // target: Windows
  out.u8(0);      // other flags
  out.u16(0);     // return thunks
  out.u16(0);     // segment reference thunks
  out.u16(0);     // minimum code swap area
  out.u16(0x0300);  // expected Windows version 3.0
  const std::size_t tableStart = out.size();
  out.append(t.data());
  out.append(n.data());

  // Resources, each on an alignment boundary, lengths in alignment units.
  const std::size_t unit = std::size_t{1} << kAlignShift;
  auto place = [&](const std::vector<uint8_t>& data, std::size_t entry) {
    out.padTo(unit);
    const std::size_t offset = out.size() / unit, length = (data.size() + unit - 1) / unit;
    if (offset > 0xFFFF || length > 0xFFFF) throw InputError("font file too large");
    out.put16(tableStart + entry, static_cast<unsigned>(offset));
    out.put16(tableStart + entry + 2, static_cast<unsigned>(length));
    out.append(data);
  };
  place(directory, dirEntry);
  for (std::size_t i = 0; i < fonts.size(); ++i) place(fonts[i].data, fontEntries + i * 12);
  out.padTo(unit);
  return out.data();
}

// ---------------------------------------------------------------------------

// "FONT.bdf@8x18" pads that font's glyphs to an 8 x 18 cell; without "@" the
// font keeps its own cell.
std::string splitCell(const std::string& input, int* width, int* height) {
  const std::size_t at = input.rfind('@');
  if (at == std::string::npos || input.find('/', at) != std::string::npos) return input;
  int w = 0, h = 0;
  char x = 0, rest = 0;
  if (std::sscanf(input.c_str() + at + 1, "%d%c%d%c", &w, &x, &h, &rest) != 3 || x != 'x' || w < 1 || h < 1 ||
      w > kMaxCell || h > kMaxCell)
    throw InputError(input + ": the cell after '@' must be WIDTHxHEIGHT, each 1.." + std::to_string(kMaxCell));
  *width = w;
  *height = h;
  return input.substr(0, at);
}

int usage() {
  std::fputs("usage: quillon-fontgen [--copyright TEXT] [--module NAME] -o OUTPUT.fon FONT.bdf[@WxH]...\n", stderr);
  return 2;
}

std::string moduleFromPath(const std::string& path) {
  std::size_t slash = path.find_last_of("/\\");
  std::string stem = path.substr(slash == std::string::npos ? 0 : slash + 1);
  stem = stem.substr(0, stem.find('.'));
  std::string m;
  for (char c : stem)
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || c == '_')
      m += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return m.empty() ? std::string("FONTS") : m;
}

}  // namespace

int main(int argc, char** argv) {
  std::string output, copyright, module;
  bool haveCopyright = false;
  std::vector<std::string> inputs;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "-o" || arg == "--copyright" || arg == "--module") && i + 1 < argc) {
      const std::string value = argv[++i];
      if (arg == "-o") output = value;
      else if (arg == "--module") module = value;
      else {
        copyright = value;
        haveCopyright = true;
      }
    } else if (!arg.empty() && arg[0] == '-') {
      return usage();
    } else {
      inputs.push_back(arg);
    }
  }
  if (output.empty() || inputs.empty()) return usage();
  if (module.empty()) module = moduleFromPath(output);

  static const FaceSpec kFaces[] = {
      {"mera_ansi", 0, ansiLayout()},
      {"mera_oem_linedraw", 255, oemLineDrawLayout()},
  };

  try {
    std::vector<BdfFont> fonts;
    for (const std::string& input : inputs) {
      int width = 0, height = 0;
      const std::string path = splitCell(input, &width, &height);
      fonts.push_back(readBdf(path));
      fonts.back().cellWidth = width;
      fonts.back().cellHeight = height;
    }
    std::sort(fonts.begin(), fonts.end(),
              [](const BdfFont& a, const BdfFont& b) { return pixelHeight(a) < pixelHeight(b); });
    for (std::size_t i = 1; i < fonts.size(); ++i)
      if (pixelHeight(fonts[i]) == pixelHeight(fonts[i - 1]))
        throw InputError(fonts[i].file + ": same pixel height as " + fonts[i - 1].file);
    if (!haveCopyright) copyright = fonts.front().copyright;

    std::vector<FontResource> resources;
    for (const FaceSpec& spec : kFaces) {
      for (const BdfFont& font : fonts) {
        const RasterFace face = buildFace(font, spec);
        resources.push_back({static_cast<unsigned>(resources.size() + 1), fntResource(face, copyright), spec.name});
      }
    }
    const int low = pixelHeight(fonts.front());
    const int high = pixelHeight(fonts.back());
    const std::string sizes = low == high ? std::to_string(low) : std::to_string(low) + "-" + std::to_string(high);
    const std::vector<uint8_t> file = fonFile(resources, module, "mera_ansi, mera_oem_linedraw " + sizes + " px");

    const std::string temporary = output + ".tmp";
    {
      std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
      if (!out.flush()) throw InputError(temporary + ": cannot write");
    }
    if (std::rename(temporary.c_str(), output.c_str()) != 0) {
      std::remove(temporary.c_str());
      throw InputError(output + ": cannot write");
    }
  } catch (const InputError& e) {
    std::fprintf(stderr, "quillon-fontgen: %s\n", e.what());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quillon-fontgen: internal error: %s\n", e.what());
    return 1;
  }
  return 0;
}
