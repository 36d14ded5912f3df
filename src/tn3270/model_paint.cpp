// Painting a model screen: each position's colours from its own attributes,
// its field's, and the base colours of the field's kind.
#include <cstdint>
#include <cstring>

#include "tn3270/field_attribute.h"
#include "tn3270/model_colors.h"
#include "tn3270/model_screen.h"
#include "tn3270/paint.h"

namespace {

// A field's text without a colour of its own. A 3279 shows the four kinds of
// field in green, red, blue and white; a 3278 in the four screen colours.
COLORREF baseColor(const CommTcp& t, bool isProtected, bool intensified) {
  if (t.modelScreen.model.color) {
    const uint8_t code = isProtected ? (intensified ? kColorWhite : kColorBlue)
                                     : (intensified ? kColorRed : kColorGreen);
    return t.modelColors[code - kColorNeutral];
  }
  if (isProtected) return intensified ? t.protectedHighLightColor : t.protectedNormalColor;
  return intensified ? t.unprotectedHighLightColor : t.unprotectedNormalColor;
}

// A colour code of the host's; neutral and anything that is no colour code give `otherwise`.
COLORREF colorOf(const CommTcp& t, uint8_t code, COLORREF otherwise) {
  if (!t.modelScreen.model.color || code <= kColorNeutral) return otherwise;
  return t.modelColors[code - kColorNeutral];
}

// The character's own attribute, else the field's.
uint8_t own(uint8_t character, uint8_t field) { return character ? character : field; }

// A highlight is a set of bits over F0: blink, reverse, underscore, intensify.
bool highlights(uint8_t highlight, uint8_t bit) {
  return highlight > kHighlightNormal && (highlight & bit & 0x0F) != 0;
}

// The look of character cell c of the field whose attribute cell is f.
ModelCellLook lookOf(const CommTcp& t, const ModelCell& c, const ModelCell& f) {
  ModelCellLook look{' ', t.backgroundColor, t.backgroundColor, false, false};
  if (c.field) return look;
  const uint8_t highlight = own(c.highlight, f.highlight);
  const auto has = [highlight](uint8_t bit) { return highlights(highlight, bit); };
  const bool intensified = fieldIsIntensified(f.fa) || has(kHighlightIntensify);
  look.fg = colorOf(t, own(c.foreground, f.foreground), baseColor(t, fieldIsProtected(f.fa), intensified));
  look.bg = colorOf(t, own(c.background, f.background), t.backgroundColor);
  if (has(kHighlightReverse)) std::swap(look.fg, look.bg);
  look.underscore = has(kHighlightUnderscore);
  look.blink = has(kHighlightBlink);
  // A hidden field keeps its colours and underscore (a password's place shows),
  // not its characters.
  if (!fieldIsNonDisplay(f.fa)) look.ch = model3270::DisplayChar(c);
  return look;
}

const ModelCell kUnformatted{};
const ModelCell kAttributeCell{0, 0, 1, 0, 0, 0, 0, 0};

// What each EBCDIC code shows as on a character position (DisplayChar's answer
// for a plain character; a null shows as a blank), worked out once; and blanks
// for every code, for what is not shown.
struct Glyphs {
  char of[256];
  char blanks[256];
  Glyphs() {
    for (int code = 0; code < 256; ++code) {
      ModelCell c{};
      c.ch = static_cast<uint8_t>(code);
      of[code] = model3270::DisplayChar(c);
      blanks[code] = ' ';
    }
  }
};

const Glyphs& glyphs() {
  static const Glyphs table;
  return table;
}

// The looks of the positions in order, following the fields in one pass.
// Neighbouring characters mostly share their field and attributes: the colours
// are worked out again only where these change.
class Looks {
 public:
  explicit Looks(const CommTcp& t)
      : t_(t), glyph_(glyphs().of), blank_(lookOf(t, kAttributeCell, kUnformatted)), look_(blank_) {
    const ModelScreen& s = t.modelScreen;
    // The positions before the first field attribute belong to the last field.
    const int first = model3270::fieldStart(s, s.positions() - 1);
    field_ = first >= 0 ? &s.cells[first] : &kUnformatted;
    hidden_ = fieldIsNonDisplay(field_->fa);
  }

  // Whether the field of the last position asked for is a non-display one.
  bool hidden() const { return hidden_; }

  // The look of the next position, whose cell is c.
  const ModelCellLook& next(const ModelCell& c) {
    if (c.field) {
      field_ = &c;
      hidden_ = fieldIsNonDisplay(c.fa);
      return blank_;
    }
    if (field_ != lookField_ || c.highlight != highlight_ || c.foreground != foreground_ ||
        c.background != background_) {
      look_ = lookOf(t_, c, *field_);
      lookField_ = field_;
      highlight_ = c.highlight;
      foreground_ = c.foreground;
      background_ = c.background;
    } else {
      // As DisplayChar: a null or a graphic escape character shows as a blank.
      look_.ch = hidden_ || c.ge ? ' ' : glyph_[c.ch];
    }
    return look_;
  }

 private:
  const CommTcp& t_;
  const char* const glyph_;
  const ModelCellLook blank_;  // a field attribute's position
  ModelCellLook look_;
  const ModelCell* field_;
  bool hidden_;                           // the field is non-display
  const ModelCell* lookField_ = nullptr;  // what look_ was worked out for
  uint8_t highlight_ = 0, foreground_ = 0, background_ = 0;
};

// The bits of a cell (as cellBits gives them) that are not its character.
uint64_t allButCharacter() {
  ModelCell c{0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  return model3270::cellBits(c);
}

bool sameRun(const ModelCellLook& a, const ModelCellLook& b) {
  return a.fg == b.fg && a.bg == b.bg && a.underscore == b.underscore && a.blink == b.blink;
}

// Draws runs of cells into the DC, setting the font and colours only where
// they change from the run before.
class RunPainter {
 public:
  RunPainter(const CommTcp& t, HDC dc, int cellWidth, int cellHeight)
      : t_(t), dc_(dc), cellWidth_(cellWidth), cellHeight_(cellHeight) {}
  ~RunPainter() {
    if (underscored_) DeleteObject(underscored_);
  }
  RunPainter(const RunPainter&) = delete;
  RunPainter& operator=(const RunPainter&) = delete;

  void draw(int column, int row, const char* text, int length, const ModelCellLook& look) {
    if (look.underscore && !underscored_) {
      LOGFONTA description = t_.screenLogFont;
      description.lfUnderline = 1;
      underscored_ = CreateFontIndirectA(&description);
    }
    HFONT font = look.underscore && underscored_ ? underscored_ : t_.screenFont;
    if (!started_ || font != font_) SelectObject(dc_, font);
    if (!started_ || look.fg != fg_) SetTextColor(dc_, look.fg);
    if (!started_ || look.bg != bg_) SetBkColor(dc_, look.bg);
    started_ = true;
    font_ = font;
    fg_ = look.fg;
    bg_ = look.bg;
    TextOutA(dc_, column * cellWidth_, row * cellHeight_, text, length);
  }

 private:
  const CommTcp& t_;
  HDC dc_;
  int cellWidth_, cellHeight_;
  HFONT underscored_ = nullptr;
  bool started_ = false;  // font_, fg_ and bg_ are what the DC holds
  HFONT font_ = nullptr;
  COLORREF fg_ = 0, bg_ = 0;
};

}  // namespace

ModelCellLook LookModelCell(const CommTcp& t, int position) {
  const ModelScreen& s = t.modelScreen;
  if (position < 0 || position >= s.positions()) return lookOf(t, kAttributeCell, kUnformatted);
  const int field = model3270::fieldStart(s, position);
  return lookOf(t, s.cells[position], field >= 0 ? s.cells[field] : kUnformatted);
}

bool ModelScreenBlinks(const CommTcp& t) {
  // A character blinks by its own highlighting, else by its field's (as lookOf has it).
  const ModelScreen& s = t.modelScreen;
  const int n = s.positions();
  const int first = model3270::fieldStart(s, n - 1);
  uint8_t fieldHighlight = first >= 0 ? s.cells[first].highlight : 0;
  for (int p = 0; p < n; ++p) {
    const ModelCell& c = s.cells[p];
    if (c.field)
      fieldHighlight = c.highlight;
    else if (highlights(own(c.highlight, fieldHighlight), kHighlightBlink))
      return true;
  }
  return false;
}

void PaintModelScreen(const CommTcp& t, HDC dc, int cellWidth, int cellHeight, bool inRuns) {
  const ModelScreen& s = t.modelScreen;
  const int columns = s.columns;
  const Glyphs& glyph = glyphs();
  Looks looks(t);
  RunPainter painter(t, dc, cellWidth, cellHeight);
  char text[kMaxModelColumns + 1];
  for (int row = 0; row < s.rows; ++row) {
    // Each row in runs of cells of one look (with `inRuns`; otherwise cell by cell).
    const ModelCell* line = s.cells + row * columns;
    ModelCellLook run{};
    int first = 0;
    int length = 0;
    int column = 0;
    while (column < columns) {
      const ModelCell& c = line[column++];
      const ModelCellLook& look = looks.next(c);
      if (length > 0 && (!inRuns || !sameRun(look, run))) {
        painter.draw(first, row, text, length, run);
        first = column - 1;
        length = 0;
      }
      if (length == 0) run = look;
      const bool dark = run.blink && t.blinkHidden;
      text[length++] = dark ? ' ' : look.ch;
      if (!inRuns || c.field) continue;
      // The cells after c that differ from it in their character alone are
      // characters of its field with its attributes: they have its look, and
      // only their characters are needed.
      const char* shows = dark || looks.hidden() || c.ge ? glyph.blanks : glyph.of;
      const uint64_t mask = allButCharacter();
      const uint64_t same = model3270::cellBits(c) & mask;
      for (; column < columns && (model3270::cellBits(line[column]) & mask) == same; ++column)
        text[length++] = shows[line[column].ch];
    }
    painter.draw(first, row, text, length, run);
  }
  // The spare column and the rows below the screen stay background.
  SelectObject(dc, t.screenFont);
  SetBkColor(dc, t.backgroundColor);
  std::memset(text, ' ', sizeof text);
  for (int row = 0; row < s.rows + 2; ++row) {
    const int from = row < s.rows ? s.columns : 0;
    TextOutA(dc, from * cellWidth, row * cellHeight, text, s.columns + 1 - from);
  }
}
