// Control sequences (ESC [ or 0x9B, parameters, final byte): the fixed forms,
// the forms rewritten in place, the generic forms after the parameter scan,
// the SGR list and the replies to the host.
#include <cstdio>
#include <cstring>
#include <string_view>

#include "vt100/nvt_cells.h"
#include "vt100/nvt_screen.h"
#include "vt100/vt100_internal.h"

namespace vt100 {
namespace {

enum class Action {
  kRewriteToEsc,  // the last three bytes become ESC [ final, examined again
  kRewriteFToH,   // the final "f" becomes "H", examined again
  kNothing,
  kErase,         // arg: the erase range
  kStatusReport,
  kPositionReport,
  kUp,
  kDown,
  kRight,
  kLeft,
  kIdentify,
  kHome,
  kClearRendition,
  kResetRegion,
  kSaveCursor,
  kRestoreCursor,
  kReplaceMode,   // arg: the new replaceMode
  kNewLineMode,   // arg: the new newLineMode
  kTraceOnly,
  kVt52,
  kPrinterStatus,
  kCursorKeys,    // arg: the new cursorKeysApplication
  kAutoWrap,      // arg: the new autoWrap
};

struct FixedForm {
  std::string_view text;  // the parameter part up to and including the final byte
  Action action;
  int arg;
  const char* traceLine;
};

// Every form ends with its final byte and has only parameter bytes before it,
// so a form matches exactly when it equals the whole parameter part; no form
// is a prefix of another, so their order does not matter.
constexpr FixedForm kFixedForms[] = {
    {"0c", Action::kRewriteToEsc, 0, nullptr},
    {"0g", Action::kNothing, 0, nullptr},
    {"0J", Action::kRewriteToEsc, 0, nullptr},
    {"0K", Action::kRewriteToEsc, 0, nullptr},
    {"0m", Action::kRewriteToEsc, 0, nullptr},
    {"1i", Action::kNothing, 0, nullptr},
    {"1J", Action::kErase, kEraseAbove, nullptr},
    {"1K", Action::kErase, kEraseToStartOfLine, nullptr},
    {"2J", Action::kErase, kEraseScreen, nullptr},
    {"2K", Action::kErase, kEraseLine, nullptr},
    {"2;1y", Action::kNothing, 0, nullptr},
    {"2;2y", Action::kNothing, 0, nullptr},
    {"2;4y", Action::kNothing, 0, nullptr},
    {"2;8y", Action::kNothing, 0, nullptr},
    {"4i", Action::kNothing, 0, nullptr},
    {"5n", Action::kStatusReport, 0, nullptr},
    {"6n", Action::kPositionReport, 0, nullptr},
    {"7h", Action::kNothing, 0, nullptr},
    {"7l", Action::kNothing, 0, nullptr},
    {"A", Action::kUp, 0, nullptr},
    {"B", Action::kDown, 0, nullptr},
    {"c", Action::kIdentify, 0, nullptr},
    {"C", Action::kRight, 0, nullptr},
    {"D", Action::kLeft, 0, nullptr},
    {"f", Action::kRewriteFToH, 0, nullptr},
    {"g", Action::kNothing, 0, nullptr},
    {"H", Action::kHome, 0, nullptr},
    {"i", Action::kNothing, 0, nullptr},
    {"J", Action::kErase, kEraseBelow, nullptr},
    {"K", Action::kErase, kEraseToEndOfLine, nullptr},
    {"m", Action::kClearRendition, 0, nullptr},
    {"r", Action::kResetRegion, 0, nullptr},
    {"s", Action::kSaveCursor, 0, nullptr},
    {"u", Action::kRestoreCursor, 0, nullptr},
    {"4h", Action::kReplaceMode, 0, "\n InsertDeleteMode: Insert_mode vs. Delete_mode \n"},
    {"4l", Action::kReplaceMode, 1, "\n InsertDeleteMode: Delete_mode vs. Insert_mode \n"},
    {"20h", Action::kNewLineMode, 1, "\nTermMode: new line vs. line feed"},
    {"20l", Action::kNewLineMode, 0, "\nTermMode: line feed vs. new line"},
    {"?1h", Action::kCursorKeys, 1, "\nTermMode: Cursor Key --- Apllication vs. Cursor"},
    {"?1l", Action::kCursorKeys, 0, "\nTermMode: Cursor Key --- Cursor vs. Application"},
    {"?2l", Action::kVt52, 0, "\nTermMode: Terminal --- vt52 vs. vtansi "},
    {"?3h", Action::kTraceOnly, 0, "\nTermMode: columns --- 132 vs. 80 "},
    {"?3l", Action::kTraceOnly, 0, "\nTermMode: columns --- 80 vs. 132 "},
    {"?4h", Action::kTraceOnly, 0, "\nTermMode: Scroll Mode --- Smooth vs. Jump "},
    {"?4l", Action::kTraceOnly, 0, "\nTermMode: Scroll Mode --- Jump vs. Smooth "},
    {"?5h", Action::kTraceOnly, 0, "\nTermMode: Screen Mode --- Reverse vs. Normal "},
    {"?5l", Action::kTraceOnly, 0, "\nTermMode: Screen Mode --- Normal vs. Reverse "},
    {"?6h", Action::kTraceOnly, 0, "\nTermMode: Origin Mode --- Relative vs. Absolute "},
    {"?6l", Action::kTraceOnly, 0, "\nTermMode: Origin Mode --- Absolute vs. Relative "},
    {"?7h", Action::kAutoWrap, 1, "\nTermMode: WrapAround --- AutoWrapOn vs. AutoWrapOff "},
    {"?7l", Action::kAutoWrap, 0, "\nTermMode: WrapAround --- AutoWrapOff vs. AutoWrapOn "},
    {"?8h", Action::kTraceOnly, 0, "\nTermMode: AutokeyRepeat --- On vs. Off "},
    {"?8l", Action::kTraceOnly, 0, "\nTermMode: AutokeyRepeat --- Off vs. On "},
    {"?9h", Action::kTraceOnly, 0, "\nTermMode: Interlaced Video --- On vs. Off "},
    {"?9l", Action::kTraceOnly, 0, "\nTermMode: Interlaced Video --- Off vs. On "},
    {"?15l", Action::kPrinterStatus, 0, "\nTermMode: Request Printer Status "},
};

// The fixed forms by final byte: for each byte, the indices of the forms that
// end with it, in table order (at most kMaxFormsPerFinal share one).
constexpr int kMaxFormsPerFinal = 16;
struct FormsByFinal {
  unsigned char count[128] = {};
  unsigned char forms[128][kMaxFormsPerFinal] = {};
};

constexpr FormsByFinal indexForms() {
  FormsByFinal index{};
  int i = 0;
  for (const FixedForm& form : kFixedForms) {
    const unsigned char final = static_cast<unsigned char>(form.text.back()) & 0x7F;
    index.forms[final][index.count[final]++] = static_cast<unsigned char>(i++);
  }
  return index;
}

constexpr FormsByFinal kFormsByFinal = indexForms();

// Whether the bytes equal the form's text (of the same length). The forms are
// a few bytes long: a plain loop beats a call.
bool sameBytes(const unsigned char* bytes, std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i)
    if (bytes[i] != static_cast<unsigned char>(text[i])) return false;
  return true;
}

// The fixed form whose text is the `length` bytes ending with a final byte
// (0x40 .. 0x7F), or null.
const FixedForm* findFixedForm(const unsigned char* bytes, int length) {
  if (length < 1) return nullptr;
  const unsigned char final = bytes[length - 1] & 0x7F;
  for (int k = 0; k < kFormsByFinal.count[final]; ++k) {
    const FixedForm& form = kFixedForms[kFormsByFinal.forms[final][k]];
    if (static_cast<int>(form.text.size()) == length && sameBytes(bytes, form.text)) return &form;
  }
  return nullptr;
}

// Counts passed to the line and character operations: anything at least this
// large does the same as the whole screen, and keeps their arithmetic small.
constexpr int kMaxCount = 9999;

int clampCount(int value) { return value > kMaxCount ? kMaxCount : value; }

void positionReport(Run& run) {
  char text[32];
  const int n = std::snprintf(text, sizeof text, "\x1b[%d;%dR", run.t->cursorRow + 1, run.t->cursorColumn + 1);
  if (n > 0 && n < static_cast<int>(sizeof text)) reply(run, text, n);
}

// Carries out a fixed form whose final byte stands at `final`.
Step applyFixed(Run& run, const FixedForm& form, int final) {
  CommTcp& t = *run.t;
  unsigned char* d = run.data;
  switch (form.action) {
    case Action::kRewriteToEsc:
      // 0x9B 0 x becomes ESC [ x in place; ESC [ 0 x becomes ESC ESC [ x,
      // examined from the second ESC. Either way it ends where x stood.
      d[final - 2] = 0x1B;
      d[final - 1] = '[';
      run.pos = final - 2;
      return Step::Next;
    case Action::kRewriteFToH:
      d[final] = 'H';
      return Step::Next;
    default:
      break;
  }
  run.pos = final + 1;
  if (form.traceLine) trace(t, form.traceLine);
  const nvt::Geometry g = nvt::cellLayout(t);
  switch (form.action) {
    case Action::kErase:
      t.NvtErase(form.arg);
      break;
    case Action::kStatusReport:
      reply(run, "\x1b[0n", 4);
      break;
    case Action::kPositionReport:
      positionReport(run);
      break;
    case Action::kUp:
      if (t.cursorRow > 0) t.cursorRow -= 1;
      break;
    case Action::kDown:
      if (t.cursorRow < g.rows - 1) t.cursorRow += 1;
      break;
    case Action::kRight:
      if (t.cursorColumn < nvt::lastColumn(t, g)) t.cursorColumn += 1;
      break;
    case Action::kLeft:
      if (t.cursorColumn > 0) t.cursorColumn -= 1;
      break;
    case Action::kIdentify:
      identificationReply(run);
      break;
    case Action::kHome:
      t.cursorRow = 0;
      t.cursorColumn = 0;
      break;
    case Action::kClearRendition:
      // Bold, dim, underline, blink, reverse and hidden go; colours and the
      // line-drawing set stay.
      t.nvtCurrentAttribute &= ~static_cast<uint32_t>(0x3F);
      break;
    case Action::kResetRegion:
      t.NvtResetRegion();
      break;
    case Action::kSaveCursor:
      t.NvtSaveCursor();
      break;
    case Action::kRestoreCursor:
      t.NvtRestoreCursor();
      break;
    case Action::kReplaceMode:
      t.replaceMode = form.arg;
      break;
    case Action::kNewLineMode:
      t.newLineMode = form.arg;
      break;
    case Action::kVt52:
      t.terminalType = kTypeVt52;
      break;
    case Action::kPrinterStatus:
      reply(run, "\x1b[?13l", 6);
      break;
    case Action::kCursorKeys:
      t.cursorKeysApplication = form.arg;
      break;
    case Action::kAutoWrap:
      t.autoWrap = form.arg;
      t.wrapPending = 0;
      break;
    default:
      break;
  }
  return Step::Next;
}

void selectGraphicRendition(uint32_t& attribute, int value) {
  switch (value) {
    case 0: attribute = 0; return;
    case 1: attribute |= kAttrBold; return;
    case 2: attribute |= kAttrDim; return;
    case 4: attribute |= kAttrUnderline; return;
    case 5: attribute |= kAttrBlink; return;
    case 7: attribute |= kAttrReverse; return;
    case 8: attribute |= kAttrHidden; return;
    case 22: attribute &= ~kAttrBold; return;
    case 24: attribute &= ~kAttrUnderline; return;
    case 25: attribute &= ~kAttrBlink; return;
    case 27: attribute &= ~kAttrReverse; return;
    case 28: attribute &= ~kAttrHidden; return;
    case 39: attribute |= kAttrDefaultForeground; return;
    case 49: attribute |= kAttrDefaultBackground; return;
    default: break;
  }
  if (value >= 30 && value <= 37) attribute |= 0x40u << (value - 30);
  if (value >= 40 && value <= 47) attribute |= 0x8000u << (value - 40);
}

// A list of modes (CSI ? 7 ; 8 h, CSI 4 ; 20 l): each number is set or reset
// as its own sequence would, trace line included; numbers without a form of
// their own are passed over.
void setModes(Run& run, const char* kinds, const int* values, int entries, char final) {
  const bool privateModes = kinds[0] == '?';
  for (int k = privateModes ? 1 : 0; k < entries; ++k)
    if (kinds[k] != 'n') return;
  const int end = run.pos;  // just past the final byte
  for (int k = privateModes ? 1 : 0; k < entries; ++k) {
    char text[16];
    const int n = std::snprintf(text, sizeof text, "%s%d%c", privateModes ? "?" : "", values[k], final);
    if (n <= 0 || n >= static_cast<int>(sizeof text)) continue;
    if (const FixedForm* form = findFixedForm(reinterpret_cast<const unsigned char*>(text), n))
      applyFixed(run, *form, end - 1);
  }
  run.pos = end;
}

// The forms recognised from the parameter scan: kinds holds one character per
// entry ('n' numeric) and then the final byte.
void applyGeneric(Run& run, const char* kinds, const int* values) {
  CommTcp& t = *run.t;
  int entries = 0;  // kinds holds at most kMaxSequenceEntries + 1 characters
  while (entries <= kMaxSequenceEntries && kinds[entries] != 0) ++entries;
  entries -= 1;
  if (entries < 1) return;
  const char final = kinds[entries];
  const auto numeric = [&](int count) {
    if (entries != count) return false;
    for (int k = 0; k < count; ++k)
      if (kinds[k] != 'n') return false;
    return true;
  };
  const nvt::Geometry g = nvt::cellLayout(t);
  const long long p1 = values[0];
  const long long n1 = p1 == 0 ? 1 : p1;  // a count where 0 stands for 1

  if (final == 'm' && kinds[0] == 'n') {
    for (int k = 0; k < entries && kinds[k] == 'n'; ++k) selectGraphicRendition(t.nvtCurrentAttribute, values[k]);
  } else if ((final == 'H' || final == 'f') && numeric(1)) {
    t.cursorRow = nvt::clampInt(p1 - 1, 0, g.rows - 1);
    t.cursorColumn = 0;
  } else if ((final == 'H' || final == 'f') && numeric(2)) {
    t.cursorRow = nvt::clampInt(p1 - 1, 0, g.rows - 1);
    t.cursorColumn = nvt::clampInt(static_cast<long long>(values[1]) - 1, 0, nvt::lastColumn(t, g));
  } else if (final == 'A' && numeric(1)) {
    t.cursorRow = nvt::clampInt(t.cursorRow - n1, 0, g.rows - 1);
  } else if (final == 'B' && numeric(1)) {
    t.cursorRow = nvt::clampInt(t.cursorRow + n1, 0, g.rows - 1);
  } else if (final == 'C' && numeric(1)) {
    t.cursorColumn = nvt::clampInt(t.cursorColumn + n1, 0, nvt::lastColumn(t, g));
  } else if (final == 'D' && numeric(1)) {
    t.cursorColumn = nvt::clampInt(t.cursorColumn - n1, 0, g.columns - 1);
  } else if (final == 'L' && numeric(1)) {
    t.NvtInsertLines(clampCount(values[0]));
  } else if (final == 'M' && numeric(1)) {
    t.NvtDeleteLines(clampCount(values[0]));
  } else if (final == 'P' && numeric(1)) {
    t.NvtDeleteChars(clampCount(values[0]));
  } else if (final == 'r' && numeric(2)) {
    t.NvtSetRegion(values[0], values[1]);
  } else if (final == 'h' || final == 'l') {
    setModes(run, kinds, values, entries, final);
  }
}

// The sequence reached the end of the data: leave it for the engine to
// present again, or, when it is too long to keep, a stand-in for it.
Step holdUnfinished(Run& run, int entries) {
  if (entries <= kMaxSequenceEntries && run.length - run.pos <= kMaxHeldSequence) return Step::Stop;
  // ESC [ ! has no effect when completed (no form begins with an
  // intermediate), and it is all that is kept of the sequence.
  unsigned char* d = run.data;
  d[run.length - 3] = 0x1B;
  d[run.length - 2] = '[';
  d[run.length - 1] = '!';
  run.pos = run.length - 3;
  return Step::Stop;
}

}  // namespace

Step controlSequence(Run& run, int introducerLength) {
  unsigned char* d = run.data;
  int start = run.pos + introducerLength;  // first byte of the parameter part
  int entries = 1;
  int final = start;
  // The numbers, gathered on the way while the parameters hold only digits
  // and ";" (the common case), so that the scan need not run again.
  int numbers[kMaxSequenceEntries];
  int count = 0;  // numbers ended by a ";"
  int value = 0;
  bool onlyNumbers = true;
  // Find the final byte. Bytes that cannot belong to a sequence end it the way
  // a VT100 ends it: CAN and SUB cancel it, ESC and 8-bit bytes (0xFF for the
  // Telnet engine included) abandon it and are examined themselves, and other
  // C0 controls are carried out at once and taken out of the sequence, which
  // goes on after them.
  for (;;) {
    if (final >= run.length) return holdUnfinished(run, entries);
    const unsigned char b = d[final];
    if (b >= 0x20 && b <= 0x3F) {
      if (b >= '0' && b <= '9') {
        value = withDigit(value, b - '0');
      } else {
        if (entries <= kMaxSequenceEntries) ++entries;
        // The scan takes kMaxSequenceEntries numbers at most, the last one
        // ended by the final byte.
        if (b == ';' && count < kMaxSequenceEntries - 1) {
          numbers[count++] = value;
          value = 0;
        } else {
          onlyNumbers = false;
        }
      }
      ++final;
      continue;
    }
    if (b >= 0x40 && b <= 0x7F) break;
    if (b == 0x18 || b == 0x1A) {
      run.pos = final + 1;
      return Step::Next;
    }
    if (b == 0x1B || b >= 0x80) {
      run.pos = final;
      return Step::Next;
    }
    carryOutControl(run, b);
    std::memmove(d + run.pos + 1, d + run.pos, static_cast<size_t>(final - run.pos));
    ++run.pos;
    ++start;
    ++final;
  }

  const unsigned char* parameters = d + start;
  const int parameterLength = final - start + 1;
  const unsigned char finalByte = d[final];  // 0x40 .. 0x7F
  // Moving or erasing ends a pending wrap; renditions, modes and reports do not.
  if (finalByte != 'm' && finalByte != 'h' && finalByte != 'l' && finalByte != 'n' && finalByte != 'c')
    run.t->wrapPending = 0;
  if (const FixedForm* form = findFixedForm(parameters, parameterLength)) return applyFixed(run, *form, final);

  run.pos = final + 1;
  char kinds[kMaxSequenceEntries + 2];
  if (onlyNumbers) {
    // What the parameter scan gives for numbers alone: an 'n' for each, then
    // the final byte.
    numbers[count++] = value;
    std::memset(kinds, 'n', static_cast<size_t>(count));
    kinds[count] = static_cast<char>(finalByte);
    kinds[count + 1] = 0;
    applyGeneric(run, kinds, numbers);
    return Step::Next;
  }
  int values[kMaxSequenceEntries];
  int consumed = 0;
  // More than the entries the scan takes: consumed without effect.
  if (convert_string(d + start, parameterLength, kinds, values, kMaxSequenceEntries, &consumed) == 1)
    applyGeneric(run, kinds, values);
  return Step::Next;
}

}  // namespace vt100
