// The generated screen font file quillon100.fon, read back with a small
// reader of its own (MZ stub, NE resource table, FNT 2.0/3.0 glyphs), and the
// converter's handling of malformed BDF input.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// Reader

struct Glyph {
  int width = 0, height = 0;
  std::vector<bool> pixels;
  bool at(int x, int y) const { return pixels.at(static_cast<std::size_t>(y * width + x)); }
  bool operator==(const Glyph& o) const { return width == o.width && height == o.height && pixels == o.pixels; }
  bool operator!=(const Glyph& o) const { return !(*this == o); }
};

struct Font {
  unsigned id = 0, version = 0;
  std::string face;
  int charset = 0, pitchAndFamily = 0, pixWidth = 0, pixHeight = 0, ascent = 0, internalLeading = 0, weight = 0;
  int firstChar = 0, lastChar = 0, defaultChar = 0;
  std::map<int, Glyph> glyphs;  // by byte value

  const Glyph& glyph(int byte) const { return glyphs.at(byte); }
};

struct FontFile {
  std::string description, module;
  std::vector<Font> fonts;
  std::vector<std::pair<unsigned, std::string>> directory;  // FONTDIR: ordinal, face
};

class Reader {
 public:
  explicit Reader(std::vector<uint8_t> data) : d_(std::move(data)) {}
  unsigned u8(std::size_t at) const { return d_.at(at); }
  unsigned u16(std::size_t at) const { return u8(at) | u8(at + 1) << 8; }
  uint32_t u32(std::size_t at) const { return u16(at) | static_cast<uint32_t>(u16(at + 2)) << 16; }
  std::string cstring(std::size_t at, std::size_t end) const {
    std::string s;
    while (at < end && u8(at) != 0) s += static_cast<char>(u8(at++));
    return s;
  }
  std::string pascal(std::size_t at) const {
    std::string s;
    for (unsigned i = 0, n = u8(at); i < n; ++i) s += static_cast<char>(u8(at + 1 + i));
    return s;
  }
  std::size_t size() const { return d_.size(); }

 private:
  std::vector<uint8_t> d_;
};

std::vector<uint8_t> fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

Font readFnt(const Reader& r, std::size_t base, std::size_t length) {
  Font f;
  f.version = r.u16(base);
  EXPECT_TRUE(f.version == 0x200 || f.version == 0x300) << std::hex << f.version;
  const uint32_t size = r.u32(base + 2);
  EXPECT_LE(size, length);
  const std::size_t end = base + size;
  EXPECT_EQ(r.u16(base + 66), 0u) << "raster font";
  f.ascent = static_cast<int>(r.u16(base + 74));
  f.internalLeading = static_cast<int>(r.u16(base + 76));
  f.weight = static_cast<int>(r.u16(base + 83));
  f.charset = static_cast<int>(r.u8(base + 85));
  f.pixWidth = static_cast<int>(r.u16(base + 86));
  f.pixHeight = static_cast<int>(r.u16(base + 88));
  f.pitchAndFamily = static_cast<int>(r.u8(base + 90));
  f.firstChar = static_cast<int>(r.u8(base + 95));
  f.lastChar = static_cast<int>(r.u8(base + 96));
  f.defaultChar = f.firstChar + static_cast<int>(r.u8(base + 97));
  const uint32_t faceOffset = r.u32(base + 105);
  EXPECT_LT(faceOffset, size);
  f.face = r.cstring(base + faceOffset, end);

  const std::size_t table = base + (f.version == 0x300 ? 148 : 118);
  const std::size_t entrySize = f.version == 0x300 ? 6 : 4;
  for (int c = f.firstChar; c <= f.lastChar; ++c) {
    const std::size_t entry = table + static_cast<std::size_t>(c - f.firstChar) * entrySize;
    Glyph g;
    g.width = static_cast<int>(r.u16(entry));
    g.height = f.pixHeight;
    const uint32_t offset = f.version == 0x300 ? r.u32(entry + 2) : r.u16(entry + 2);
    const std::size_t columns = (static_cast<std::size_t>(g.width) + 7) / 8;
    if (offset + columns * static_cast<std::size_t>(g.height) > size) {
      ADD_FAILURE() << f.face << " glyph " << c << " lies outside the font resource";
      continue;
    }
    g.pixels.assign(static_cast<std::size_t>(g.width * g.height), false);
    for (int y = 0; y < g.height; ++y)
      for (int x = 0; x < g.width; ++x) {
        const unsigned byte = r.u8(base + offset + static_cast<std::size_t>(x / 8) * g.height + y);
        g.pixels[static_cast<std::size_t>(y * g.width + x)] = byte & (0x80u >> (x % 8));
      }
    f.glyphs[c] = g;
  }
  return f;
}

FontFile readFon(const std::string& path) {
  const Reader r(fileBytes(path));
  FontFile file;
  EXPECT_GE(r.size(), 0x40u);
  if (r.size() < 0x40) return file;
  EXPECT_EQ(r.u16(0), 0x5A4Du) << "MZ";
  const std::size_t ne = r.u32(0x3C);
  EXPECT_LT(ne + 0x40, r.size());
  EXPECT_EQ(r.u16(ne), 0x454Eu) << "NE";
  EXPECT_EQ(r.u8(ne + 0x36), 2u) << "target Windows";
  EXPECT_TRUE(r.u16(ne + 0x0C) & 0x8000) << "library module";

  file.module = r.pascal(ne + r.u16(ne + 0x26));
  file.description = r.pascal(r.u32(ne + 0x2C));

  std::size_t p = ne + r.u16(ne + 0x24);
  const unsigned shift = r.u16(p);
  EXPECT_LE(shift, 16u);
  const std::size_t resourceTable = p;
  p += 2;
  std::vector<uint8_t> directory;
  for (unsigned type; (type = r.u16(p)) != 0;) {
    const unsigned count = r.u16(p + 2);
    p += 8;
    for (unsigned i = 0; i < count; ++i, p += 12) {
      const std::size_t offset = static_cast<std::size_t>(r.u16(p)) << shift;
      const std::size_t length = static_cast<std::size_t>(r.u16(p + 2)) << shift;
      const unsigned id = r.u16(p + 6);
      EXPECT_LE(offset + length, r.size());
      if (type == 0x8008) {
        Font f = readFnt(r, offset, length);
        f.id = id & 0x7FFF;
        EXPECT_TRUE(id & 0x8000) << "numbered font resource";
        file.fonts.push_back(f);
      } else if (type == 0x8007) {
        EXPECT_EQ((id & 0x8000) ? std::string() : r.pascal(resourceTable + id), "FONTDIR");
        const unsigned n = r.u16(offset);
        std::size_t e = offset + 2;
        for (unsigned k = 0; k < n; ++k) {
          const unsigned ordinal = r.u16(e);
          std::size_t names = e + 2 + 113;
          const std::string device = r.cstring(names, offset + length);
          names += device.size() + 1;
          const std::string face = r.cstring(names, offset + length);
          file.directory.emplace_back(ordinal, face);
          e = names + face.size() + 1;
        }
      }
    }
  }
  return file;
}

const FontFile& generated() {
  static const FontFile file = readFon(QUILLON_GENERATED_FONT_FILE);
  return file;
}

std::vector<const Font*> facesNamed(const std::string& face) {
  std::vector<const Font*> out;
  for (const Font& f : generated().fonts)
    if (f.face == face) out.push_back(&f);
  return out;
}

// ---------------------------------------------------------------------------
// Glyph shape helpers

int fullRow(const Glyph& g) {  // first row set across the whole cell, or -1
  for (int y = 0; y < g.height; ++y) {
    bool full = true;
    for (int x = 0; x < g.width && full; ++x) full = g.at(x, y);
    if (full) return y;
  }
  return -1;
}

int fullColumn(const Glyph& g) {  // first column set over the whole cell height, or -1
  for (int x = 0; x < g.width; ++x) {
    bool full = true;
    for (int y = 0; y < g.height && full; ++y) full = g.at(x, y);
    if (full) return x;
  }
  return -1;
}

bool run(const Glyph& g, int x0, int y0, int x1, int y1) {  // inclusive horizontal or vertical run all set
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x)
      if (!g.at(x, y)) return false;
  return true;
}

bool blank(const Glyph& g) {
  for (bool b : g.pixels)
    if (b) return false;
  return true;
}

// ---------------------------------------------------------------------------
// The generated file

TEST(FontFile, ModuleHeadersNamesAndDirectory) {
  const FontFile& file = generated();
  ASSERT_FALSE(file.fonts.empty());
  EXPECT_EQ(file.description.rfind("FONTRES 100,96,96 : ", 0), 0u) << file.description;
  EXPECT_FALSE(file.module.empty());
  // The directory names every font resource with its face.
  std::set<std::pair<unsigned, std::string>> fonts, directory(file.directory.begin(), file.directory.end());
  for (const Font& f : file.fonts) fonts.emplace(f.id, f.face);
  EXPECT_EQ(directory, fonts);
  EXPECT_EQ(file.directory.size(), file.fonts.size());
}

TEST(FontFile, BothFacesFixedPitchAtTheSameSizes) {
  const std::vector<const Font*> ansi = facesNamed("mera_ansi"), oem = facesNamed("mera_oem_linedraw");
  ASSERT_FALSE(ansi.empty());
  EXPECT_EQ(ansi.size() + oem.size(), generated().fonts.size()) << "no other faces";
  std::map<std::string, std::set<int>> heights;
  for (const auto& [faces, charset] : {std::pair{ansi, 0}, std::pair{oem, 255}}) {
    for (const Font* f : faces) {
      SCOPED_TRACE(f->face + " " + std::to_string(f->pixHeight));
      EXPECT_EQ(f->charset, charset);
      EXPECT_EQ(f->pitchAndFamily & 1, 0) << "fixed pitch has the low bit clear";
      EXPECT_EQ(f->pitchAndFamily & 0xF0, 0x30) << "FF_MODERN";
      EXPECT_EQ(f->internalLeading, 0) << "lfHeight -N must pick the N-pixel font";
      EXPECT_EQ(f->weight, 400);
      EXPECT_GT(f->pixWidth, 0);
      EXPECT_GT(f->ascent, 0);
      EXPECT_LT(f->ascent, f->pixHeight);
      EXPECT_LE(f->firstChar, 0x20);
      EXPECT_EQ(f->lastChar, 0xFF);
      for (const auto& [c, g] : f->glyphs) EXPECT_EQ(g.width, f->pixWidth) << "char " << c;
      EXPECT_TRUE(heights[f->face].insert(f->pixHeight).second) << "one font per size";
    }
  }
  EXPECT_EQ(heights["mera_ansi"], heights["mera_oem_linedraw"]);
  const std::set<int>& sizes = heights["mera_ansi"];
  EXPECT_TRUE(sizes.count(24)) << "the start-up size";
  EXPECT_LE(*sizes.begin(), 12);
  EXPECT_GE(*sizes.rbegin(), 32);
}

TEST(FontFile, LineDrawingStrokesSpanTheCell) {
  for (const Font* f : facesNamed("mera_oem_linedraw")) {
    SCOPED_TRACE(f->pixHeight);
    const Glyph& horizontal = f->glyph('q');
    const Glyph& vertical = f->glyph('x');
    const int row = fullRow(horizontal), column = fullColumn(vertical);
    ASSERT_GE(row, 0) << "'q' joins its neighbours left and right";
    ASSERT_GE(column, 0) << "'x' joins the rows above and below";
    const int right = f->pixWidth - 1, bottom = f->pixHeight - 1;
    // Corners, tees and the cross reach exactly the edges their shape names.
    struct Joins {
      char ch;
      bool left, right, up, down;
    };
    for (const Joins& j : {Joins{'j', true, false, true, false}, Joins{'k', true, false, false, true},
                           Joins{'l', false, true, false, true}, Joins{'m', false, true, true, false},
                           Joins{'n', true, true, true, true}, Joins{'t', false, true, true, true},
                           Joins{'u', true, false, true, true}, Joins{'v', true, true, true, false},
                           Joins{'w', true, true, false, true}}) {
      const Glyph& g = f->glyph(j.ch);
      SCOPED_TRACE(std::string(1, j.ch));
      EXPECT_EQ(run(g, 0, row, column, row), j.left);
      EXPECT_EQ(run(g, column, row, right, row), j.right);
      EXPECT_EQ(run(g, column, 0, column, row), j.up);
      EXPECT_EQ(run(g, column, row, column, bottom), j.down);
    }
    // Scan lines 1, 3, 5, 7, 9: full-width strokes from the top to the bottom.
    int previous = -1;
    for (char c : std::string("opqrs")) {
      const int y = fullRow(f->glyph(c));
      EXPECT_GT(y, previous) << c;
      previous = y;
    }
    EXPECT_EQ(fullRow(f->glyph('o')), 0);
    EXPECT_TRUE(run(f->glyph('s'), 0, bottom, right, bottom));
    // Code page 437 keeps its own box drawing above 0x7F.
    EXPECT_EQ(f->glyph(0xC4), horizontal);
    EXPECT_EQ(f->glyph(0xB3), vertical);
  }
}

TEST(FontFile, TextFaceHasLettersWhereTheLineDrawingFaceHasLines) {
  const std::vector<const Font*> ansi = facesNamed("mera_ansi"), oem = facesNamed("mera_oem_linedraw");
  ASSERT_EQ(ansi.size(), oem.size());
  for (std::size_t i = 0; i < ansi.size(); ++i) {
    const Font& a = *ansi[i];
    const Font* o = nullptr;
    for (const Font* f : oem)
      if (f->pixHeight == a.pixHeight) o = f;
    ASSERT_NE(o, nullptr) << a.pixHeight;
    SCOPED_TRACE(a.pixHeight);
    EXPECT_EQ(fullRow(a.glyph('q')), -1) << "ANSI 'q' is a letter";
    EXPECT_EQ(fullColumn(a.glyph('x')), -1) << "ANSI 'x' is a letter";
    EXPECT_NE(a.glyph('`'), o->glyph('`'));
    for (int c = 0x20; c <= 0x5F; ++c) EXPECT_EQ(a.glyph(c), o->glyph(c)) << "char " << c;
    EXPECT_TRUE(blank(a.glyph(' ')));
    EXPECT_FALSE(blank(a.glyph(0xE9))) << "Latin-1 e acute";
    EXPECT_NE(a.glyph(0xE9), o->glyph(0xE9)) << "the two faces differ above 0x7F";
    // A Windows-1252 position without a character shows the default character.
    EXPECT_EQ(a.glyph(0x81), a.glyph(a.defaultChar));
    EXPECT_FALSE(blank(a.glyph(a.defaultChar)));
  }
}

// ---------------------------------------------------------------------------
// The converter

struct ToolResult {
  bool exited = false;
  int status = -1;
  std::string errors;
};

class FontGenTool : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quillon-fontgen-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    for (const char* name : {"/in.bdf", "/out.fon", "/out.fon.tmp", "/errors"}) unlink((dir_ + name).c_str());
    rmdir(dir_.c_str());
  }

  // `cell` is appended to the input's name: "@WxH" pads the glyphs to that cell.
  ToolResult convert(const std::string& bdf, const std::string& cell = "") {
    std::ofstream(dir_ + "/in.bdf", std::ios::binary) << bdf;
    const std::string input = dir_ + "/in.bdf", output = dir_ + "/out.fon", errors = dir_ + "/errors";
    // A sanitizer report must not pass for the tool's own error exit.
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e) {
      const std::string entry = *e;
      if (entry.rfind("ASAN_OPTIONS=", 0) != 0 && entry.rfind("UBSAN_OPTIONS=", 0) != 0)
        environment.push_back(entry);
    }
    const char* asan = std::getenv("ASAN_OPTIONS");
    const char* ubsan = std::getenv("UBSAN_OPTIONS");
    environment.push_back(std::string("ASAN_OPTIONS=") + (asan ? asan : "") + ":exitcode=86");
    environment.push_back(std::string("UBSAN_OPTIONS=") + (ubsan ? ubsan : "") + ":exitcode=87");
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = {QUILLON_FONTGEN_FILE, "-o", output, input + cell};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
      const int fd = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (fd >= 0) dup2(fd, 2);
      execve(argv[0], argv.data(), envp.data());
      _exit(127);
    }
    ToolResult result;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
      result.exited = true;
      result.status = WEXITSTATUS(status);
    }
    std::ifstream in(errors);
    result.errors.assign(std::istreambuf_iterator<char>(in), {});
    return result;
  }

  std::string dir_;
};

// A two-glyph font in a 4 x 6 cell: '?' fills its box, 'A' is a 2 x 2 mark
// one pixel in from the left, standing on the baseline.
std::string smallFont(const std::string& boundingBox = "FONTBOUNDINGBOX 4 6 0 -2\n",
                      const std::string& aBox = "BBX 2 2 1 0\n", const std::string& aRows = "C0\n40\n",
                      const std::string& tail = "ENDFONT\n", const std::string& chars = "CHARS 2\n") {
  return "STARTFONT 2.1\nFONT test\nSIZE 6 75 75\n" + boundingBox +
         "STARTPROPERTIES 3\nFONT_ASCENT 4\nFONT_DESCENT 2\nDEFAULT_CHAR 63\nENDPROPERTIES\n" + chars +
         "STARTCHAR question\nENCODING 63\nSWIDTH 500 0\nDWIDTH 4 0\nBBX 4 6 0 -2\nBITMAP\n"
         "F0\nF0\nF0\nF0\nF0\nF0\nENDCHAR\n"
         "STARTCHAR A\nENCODING 65\nSWIDTH 500 0\nDWIDTH 4 0\n" +
         aBox + "BITMAP\n" + aRows + "ENDCHAR\n" + tail;
}

TEST_F(FontGenTool, ConvertsAWellFormedFontAndPlacesGlyphsOnTheBaseline) {
  const ToolResult result = convert(smallFont());
  ASSERT_TRUE(result.exited);
  ASSERT_EQ(result.status, 0) << result.errors;
  const FontFile file = readFon(dir_ + "/out.fon");
  ASSERT_EQ(file.fonts.size(), 2u);
  for (const Font& f : file.fonts) {
    EXPECT_EQ(f.pixHeight, 6);
    EXPECT_EQ(f.pixWidth, 4);
    EXPECT_EQ(f.ascent, 4);
    const Glyph& a = f.glyph('A');
    std::string picture;
    for (int y = 0; y < a.height; ++y)
      for (int x = 0; x < a.width; ++x) picture += a.at(x, y) ? '#' : '.';
    EXPECT_EQ(picture, "........" ".##." "..#." "........") << f.face;
    // Glyphs the source lacks are its default character.
    EXPECT_EQ(f.glyph('B'), f.glyph('?')) << f.face;
    EXPECT_EQ(f.defaultChar, '?');
  }
}

std::string picture(const Glyph& g) {
  std::string p;
  for (int y = 0; y < g.height; ++y) {
    for (int x = 0; x < g.width; ++x) p += g.at(x, y) ? '#' : '.';
    p += '|';
  }
  return p;
}

TEST_F(FontGenTool, PadsGlyphsToALargerCellCarryingEdgePixelsOut) {
  const ToolResult result = convert(smallFont(), "@6x8");
  ASSERT_TRUE(result.exited);
  ASSERT_EQ(result.status, 0) << result.errors;
  const FontFile file = readFon(dir_ + "/out.fon");
  ASSERT_EQ(file.fonts.size(), 2u);
  for (const Font& f : file.fonts) {
    SCOPED_TRACE(f.face);
    EXPECT_EQ(f.pixWidth, 6);
    EXPECT_EQ(f.pixHeight, 8);
    EXPECT_EQ(f.ascent, 5) << "the baseline moves down with the glyphs";
    // The letter keeps its shape, one pixel in from each side.
    EXPECT_EQ(picture(f.glyph('A')), "......|......|......|..##..|...#..|......|......|......|");
    // A glyph that fills its cell still fills the larger one: strokes meet.
    EXPECT_EQ(picture(f.glyph('?')), "######|######|######|######|######|######|######|######|");
  }
}

TEST_F(FontGenTool, RejectsACellThatIsMalformedOrSmallerThanTheFont) {
  for (const char* cell : {"@3x6", "@4x5", "@6x", "@0x8", "@6x8x", "@x8", "@6x999"}) {
    SCOPED_TRACE(cell);
    const ToolResult result = convert(smallFont(), cell);
    ASSERT_TRUE(result.exited) << "the tool crashed: " << result.errors;
    EXPECT_EQ(result.status, 1) << result.errors;
    EXPECT_EQ(result.errors.rfind("quillon-fontgen: ", 0), 0u) << result.errors;
    EXPECT_EQ(access((dir_ + "/out.fon").c_str(), F_OK), -1) << "no output for a bad cell";
  }
}

TEST_F(FontGenTool, RejectsMalformedInputWithAMessage) {
  const std::string good = smallFont();
  struct Case {
    const char* name;
    std::string bdf;
  };
  const Case cases[] = {
      {"empty file", ""},
      {"not a BDF", std::string("\x7f" "ELF\x01\x01\x01\0\0\0", 10)},
      {"truncated in a bitmap", good.substr(0, good.find("40\nENDCHAR"))},
      {"truncated before ENDFONT", smallFont("FONTBOUNDINGBOX 4 6 0 -2\n", "BBX 2 2 1 0\n", "C0\n40\n", "")},
      {"truncated in the properties", good.substr(0, good.find("ENDPROPERTIES"))},
      {"bad BITMAP hex", smallFont("FONTBOUNDINGBOX 4 6 0 -2\n", "BBX 2 2 1 0\n", "C0\n4G\n")},
      {"short bitmap row", smallFont("FONTBOUNDINGBOX 4 6 0 -2\n", "BBX 2 2 1 0\n", "C0\n4\n")},
      {"fewer rows than BBX", smallFont("FONTBOUNDINGBOX 4 6 0 -2\n", "BBX 2 2 1 0\n", "C0\n")},
      {"glyph wider than the box", smallFont("FONTBOUNDINGBOX 4 6 0 -2\n", "BBX 5 2 0 0\n", "C0\n40\n")},
      {"glyph above the box", smallFont("FONTBOUNDINGBOX 4 6 0 -2\n", "BBX 2 2 1 3\n", "C0\n40\n")},
      {"glyph left of the box", smallFont("FONTBOUNDINGBOX 4 6 0 -2\n", "BBX 2 2 -1 0\n", "C0\n40\n")},
      {"huge glyph", smallFont("FONTBOUNDINGBOX 4 6 0 -2\n", "BBX 99999999999 2 0 0\n", "C0\n40\n")},
      {"negative glyph size", smallFont("FONTBOUNDINGBOX 4 6 0 -2\n", "BBX -2 2 0 0\n", "C0\n40\n")},
      {"missing FONTBOUNDINGBOX", smallFont("")},
      {"bounding box without values", smallFont("FONTBOUNDINGBOX 4\n")},
      {"CHARS count wrong", smallFont("FONTBOUNDINGBOX 4 6 0 -2\n", "BBX 2 2 1 0\n", "C0\n40\n", "ENDFONT\n",
                                      "CHARS 3\n")},
      {"glyph without BBX", smallFont("FONTBOUNDINGBOX 4 6 0 -2\n", "", "C0\n40\n")},
      {"not fixed pitch", smallFont("FONTBOUNDINGBOX 4 6 0 -2\n", "DWIDTH 3 0\nBBX 2 2 1 0\n", "C0\n40\n")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ToolResult result = convert(c.bdf);
    ASSERT_TRUE(result.exited) << "the tool crashed: " << result.errors;
    EXPECT_EQ(result.status, 1) << result.errors;
    EXPECT_EQ(result.errors.rfind("quillon-fontgen: ", 0), 0u) << result.errors;
    EXPECT_EQ(result.errors.find("Sanitizer"), std::string::npos) << result.errors;
    EXPECT_EQ(access((dir_ + "/out.fon").c_str(), F_OK), -1) << "no output for bad input";
  }
}

}  // namespace
