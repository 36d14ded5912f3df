// Terminal keys as Win32 keyboard messages (US layout, scan code set 1).
#include "platform/posix/tty_keys.h"

#include <cstdio>

namespace posix {
namespace tty {
namespace {

constexpr unsigned kScanShift = 0x2A;
constexpr unsigned kScanCtrl = 0x1D;
constexpr unsigned kScanAlt = 0x38;

// A physical key: virtual-key code, scan code, extended flag.
struct PcKey {
  UINT vk;
  unsigned scan;
  bool extended;
};

// The key that types a character, and whether Shift is held for it.
struct CharKey {
  PcKey key;
  bool shift;
};

// Scan codes of the letters A..Z.
const unsigned char kLetterScan[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                       0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                       0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};

// The punctuation keys of the US layout: unshifted and shifted character.
struct Punctuation {
  char plain;
  char shifted;
  UINT vk;
  unsigned scan;
};
const Punctuation kPunctuation[] = {
    {'-', '_', VK_OEM_MINUS, 0x0C}, {'=', '+', VK_OEM_PLUS, 0x0D},   {'[', '{', VK_OEM_4, 0x1A},
    {']', '}', VK_OEM_6, 0x1B},     {';', ':', VK_OEM_1, 0x27},      {'\'', '"', VK_OEM_7, 0x28},
    {'`', '~', VK_OEM_3, 0x29},     {'\\', '|', VK_OEM_5, 0x2B},     {',', '<', VK_OEM_COMMA, 0x33},
    {'.', '>', VK_OEM_PERIOD, 0x34}, {'/', '?', VK_OEM_2, 0x35},
};
const char kShiftedDigits[] = ")!@#$%^&*(";

unsigned digitScan(int digit) { return digit == 0 ? 0x0B : static_cast<unsigned>(0x01 + digit); }

// The key of a printable ASCII character; false for anything else.
bool charKey(char32_t c, CharKey* out) {
  if (c >= 'a' && c <= 'z') {
    *out = CharKey{PcKey{static_cast<UINT>('A' + (c - 'a')), kLetterScan[c - 'a'], false}, false};
    return true;
  }
  if (c >= 'A' && c <= 'Z') {
    *out = CharKey{PcKey{static_cast<UINT>(c), kLetterScan[c - 'A'], false}, true};
    return true;
  }
  if (c >= '0' && c <= '9') {
    const int d = static_cast<int>(c - '0');
    *out = CharKey{PcKey{static_cast<UINT>(c), digitScan(d), false}, false};
    return true;
  }
  if (c == ' ') {
    *out = CharKey{PcKey{VK_SPACE, 0x39, false}, false};
    return true;
  }
  for (int d = 0; d < 10; ++d)
    if (c == static_cast<char32_t>(kShiftedDigits[d])) {
      *out = CharKey{PcKey{static_cast<UINT>('0' + d), digitScan(d), false}, true};
      return true;
    }
  for (const Punctuation& p : kPunctuation) {
    if (c == static_cast<char32_t>(p.plain)) {
      *out = CharKey{PcKey{p.vk, p.scan, false}, false};
      return true;
    }
    if (c == static_cast<char32_t>(p.shifted)) {
      *out = CharKey{PcKey{p.vk, p.scan, false}, true};
      return true;
    }
  }
  return false;
}

// The physical key of a non-character key.
bool namedKey(Key key, PcKey* out) {
  static const struct {
    Key key;
    PcKey pc;
  } table[] = {
      {Key::kF1, {VK_F1, 0x3B, false}},        {Key::kF2, {VK_F2, 0x3C, false}},
      {Key::kF3, {VK_F3, 0x3D, false}},        {Key::kF4, {VK_F4, 0x3E, false}},
      {Key::kF5, {VK_F5, 0x3F, false}},        {Key::kF6, {VK_F6, 0x40, false}},
      {Key::kF7, {VK_F7, 0x41, false}},        {Key::kF8, {VK_F8, 0x42, false}},
      {Key::kF9, {VK_F9, 0x43, false}},        {Key::kF10, {VK_F10, 0x44, false}},
      {Key::kF11, {VK_F11, 0x57, false}},      {Key::kF12, {VK_F12, 0x58, false}},
      {Key::kUp, {VK_UP, 0x48, true}},         {Key::kDown, {VK_DOWN, 0x50, true}},
      {Key::kLeft, {VK_LEFT, 0x4B, true}},     {Key::kRight, {VK_RIGHT, 0x4D, true}},
      {Key::kHome, {VK_HOME, 0x47, true}},     {Key::kEnd, {VK_END, 0x4F, true}},
      {Key::kPageUp, {VK_PRIOR, 0x49, true}},  {Key::kPageDown, {VK_NEXT, 0x51, true}},
      {Key::kInsert, {VK_INSERT, 0x52, true}}, {Key::kDelete, {VK_DELETE, 0x53, true}},
      {Key::kBackspace, {VK_BACK, 0x0E, false}}, {Key::kBackTab, {VK_TAB, 0x0F, false}},
      {Key::kPad0, {VK_NUMPAD0, 0x52, false}}, {Key::kPad1, {VK_NUMPAD1, 0x4F, false}},
      {Key::kPad2, {VK_NUMPAD2, 0x50, false}}, {Key::kPad3, {VK_NUMPAD3, 0x51, false}},
      {Key::kPad4, {VK_NUMPAD4, 0x4B, false}}, {Key::kPad5, {VK_NUMPAD5, 0x4C, false}},
      {Key::kPad6, {VK_NUMPAD6, 0x4D, false}}, {Key::kPad7, {VK_NUMPAD7, 0x47, false}},
      {Key::kPad8, {VK_NUMPAD8, 0x48, false}}, {Key::kPad9, {VK_NUMPAD9, 0x49, false}},
      {Key::kPadEnter, {VK_RETURN, 0x1C, true}}, {Key::kPadPlus, {VK_ADD, 0x4E, false}},
      {Key::kPadMinus, {VK_SUBTRACT, 0x4A, false}}, {Key::kPadMultiply, {VK_MULTIPLY, 0x37, false}},
      {Key::kPadDivide, {VK_DIVIDE, 0x35, true}}, {Key::kPadDecimal, {VK_DECIMAL, 0x53, false}},
  };
  for (const auto& entry : table)
    if (entry.key == key) {
      *out = entry.pc;
      return true;
    }
  return false;
}

// Unicode code points of the Windows-1252 bytes 0x80..0x9F (0 where undefined).
const char32_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                  0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// One key press: what the modifiers, the key and an optional character make.
struct Press {
  bool hasKey = false;
  PcKey key{};
  unsigned mods = 0;
  bool explicitChar = false;
  unsigned char ch = 0;
};

Press pressFor(const KeyInput& in) {
  Press p;
  p.mods = in.mods;
  if (in.key != Key::kChar) {
    p.hasKey = namedKey(in.key, &p.key);
    if (in.key == Key::kBackTab) p.mods |= kShift;
    return p;
  }
  const char32_t c = in.ch;
  CharKey ck{};
  if (charKey(c, &ck)) {
    p.hasKey = true;
    p.key = ck.key;
    if (ck.shift) p.mods |= kShift;
    return p;
  }
  switch (c) {
    case 0x09: p.hasKey = true; p.key = PcKey{VK_TAB, 0x0F, false}; return p;
    case 0x0D: p.hasKey = true; p.key = PcKey{VK_RETURN, 0x1C, false}; return p;
    case 0x1B: p.hasKey = true; p.key = PcKey{VK_ESCAPE, 0x01, false}; return p;
    case 0x7F: p.hasKey = true; p.key = PcKey{VK_BACK, 0x0E, false}; return p;
    case 0x1C: p.hasKey = true; p.key = PcKey{VK_OEM_5, 0x2B, false}; p.mods |= kCtrl; return p;
    case 0x1D: p.hasKey = true; p.key = PcKey{VK_OEM_6, 0x1B, false}; p.mods |= kCtrl; return p;
    case 0x1F:
      // Ctrl+_ : TranslateMessage makes nothing of Ctrl with this key, so the
      // character travels on its own.
      p.hasKey = true;
      p.key = PcKey{VK_OEM_MINUS, 0x0C, false};
      p.mods |= kCtrl | kShift;
      p.explicitChar = true;
      p.ch = 0x1F;
      return p;
    case 0x00:
    case 0x1E:
      // Ctrl+@ and Ctrl+^ : TranslateMessage would make '@' or '^' of the digit
      // key, so only the modifiers and the character are sent.
      p.key = PcKey{0, c == 0 ? 0x03u : 0x07u, false};
      p.mods |= kCtrl | kShift;
      p.explicitChar = true;
      p.ch = static_cast<unsigned char>(c);
      return p;
    default: break;
  }
  if (c >= 0x01 && c <= 0x1A) {  // Ctrl+A .. Ctrl+Z (Ctrl+H and Ctrl+J included)
    p.hasKey = true;
    p.key = PcKey{static_cast<UINT>('A' + (c - 1)), kLetterScan[c - 1], false};
    p.mods |= kCtrl;
    return p;
  }
  // Outside ASCII: the window is an ANSI window, so the character goes as its
  // Windows-1252 byte, without a key of its own.
  p.explicitChar = true;
  p.ch = ansiByte(c);
  return p;
}

}  // namespace

LPARAM keyDownParam(unsigned scan, bool extended, bool alt) {
  unsigned long v = 1ul | ((scan & 0xFFul) << 16) | (extended ? 1ul << 24 : 0) | (alt ? 1ul << 29 : 0);
  return static_cast<LPARAM>(v);
}

LPARAM keyUpParam(unsigned scan, bool extended, bool alt) {
  const unsigned long v = static_cast<unsigned long>(keyDownParam(scan, extended, alt)) | 0xC0000000ul;
  return static_cast<LPARAM>(v);
}

unsigned char ansiByte(char32_t ch) {
  if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF)) return static_cast<unsigned char>(ch);
  for (int i = 0; i < 32; ++i)
    if (kCp1252High[i] != 0 && kCp1252High[i] == ch) return static_cast<unsigned char>(0x80 + i);
  return '?';
}

KeyInput keyFromChar(char32_t ch) {
  KeyInput in;
  in.key = Key::kChar;
  in.ch = ch;
  return in;
}

bool isMenuKey(const KeyInput& in) { return in.key == Key::kChar && in.ch == 0x1D && in.mods == 0; }

std::vector<KeyMessage> keyMessages(const KeyInput& in) {
  std::vector<KeyMessage> out;
  if (in.key == Key::kNone) return out;
  const Press p = pressFor(in);
  if (!p.hasKey && !p.explicitChar) return out;
  const bool alt = (p.mods & kAlt) != 0;
  const bool shift = (p.mods & kShift) != 0;
  const bool ctrl = (p.mods & kCtrl) != 0;
  // With Alt held, the keys are system keys (bit 29 set), as Win32 reports them.
  const UINT down = alt ? WM_SYSKEYDOWN : WM_KEYDOWN;
  const UINT up = alt ? WM_SYSKEYUP : WM_KEYUP;
  if (ctrl) out.push_back({WM_KEYDOWN, VK_CONTROL, keyDownParam(kScanCtrl, false)});
  if (shift) out.push_back({WM_KEYDOWN, VK_SHIFT, keyDownParam(kScanShift, false)});
  if (alt) out.push_back({WM_SYSKEYDOWN, VK_MENU, keyDownParam(kScanAlt, false, true)});
  if (p.hasKey) out.push_back({down, p.key.vk, keyDownParam(p.key.scan, p.key.extended, alt)});
  if (p.explicitChar)
    out.push_back({alt ? static_cast<UINT>(WM_SYSCHAR) : static_cast<UINT>(WM_CHAR), p.ch,
                   keyDownParam(p.key.scan, p.key.extended, alt)});
  if (p.hasKey) out.push_back({up, p.key.vk, keyUpParam(p.key.scan, p.key.extended, alt)});
  if (alt) out.push_back({WM_KEYUP, VK_MENU, keyUpParam(kScanAlt, false)});
  if (shift) out.push_back({WM_KEYUP, VK_SHIFT, keyUpParam(kScanShift, false)});
  if (ctrl) out.push_back({WM_KEYUP, VK_CONTROL, keyUpParam(kScanCtrl, false)});
  return out;
}

const std::vector<KeySequence>& keySequences() {
  static const std::vector<KeySequence> all = [] {
    std::vector<KeySequence> v;
    auto add = [&](const std::string& bytes, Key key, unsigned mods = 0) {
      KeyInput in;
      in.key = key;
      in.mods = mods;
      v.push_back(KeySequence{bytes, in});
    };
    const std::string csi = "\x1b[", ss3 = "\x1bO";
    // F1-F4 (SS3 P..S, the CSI forms of older xterms and of rxvt, the Linux console's).
    const Key f14[] = {Key::kF1, Key::kF2, Key::kF3, Key::kF4};
    for (int i = 0; i < 4; ++i) {
      const char final = static_cast<char>('P' + i);
      add(ss3 + final, f14[i]);
      add(csi + std::to_string(11 + i) + "~", f14[i]);
      add(csi + "[" + static_cast<char>('A' + i), f14[i]);
      for (unsigned m = 1; m <= 7; ++m) add(csi + "1;" + std::to_string(m + 1) + final, f14[i], m);
    }
    add(csi + "[E", Key::kF5);
    // F5-F12 and the editing keys: CSI n ~ and CSI n ; m ~.
    const struct {
      int code;
      Key key;
    } tilde[] = {{15, Key::kF5},     {17, Key::kF6},   {18, Key::kF7},       {19, Key::kF8},
                 {20, Key::kF9},     {21, Key::kF10},  {23, Key::kF11},      {24, Key::kF12},
                 {2, Key::kInsert},  {3, Key::kDelete}, {5, Key::kPageUp},   {6, Key::kPageDown},
                 {1, Key::kHome},    {4, Key::kEnd},   {7, Key::kHome},      {8, Key::kEnd}};
    for (const auto& t : tilde) {
      add(csi + std::to_string(t.code) + "~", t.key);
      for (unsigned m = 1; m <= 7; ++m) add(csi + std::to_string(t.code) + ";" + std::to_string(m + 1) + "~", t.key, m);
    }
    // Cursor keys, Home and End: CSI x, SS3 x (application cursor mode), CSI 1 ; m x.
    const struct {
      char final;
      Key key;
    } cursor[] = {{'A', Key::kUp},   {'B', Key::kDown}, {'C', Key::kRight},
                  {'D', Key::kLeft}, {'H', Key::kHome}, {'F', Key::kEnd}};
    for (const auto& c : cursor) {
      add(csi + c.final, c.key);
      add(ss3 + c.final, c.key);
      for (unsigned m = 1; m <= 7; ++m) add(csi + "1;" + std::to_string(m + 1) + c.final, c.key, m);
    }
    add(csi + "Z", Key::kBackTab);
    // The numeric keypad in application mode.
    const Key digits[] = {Key::kPad0, Key::kPad1, Key::kPad2, Key::kPad3, Key::kPad4,
                          Key::kPad5, Key::kPad6, Key::kPad7, Key::kPad8, Key::kPad9};
    for (int d = 0; d < 10; ++d) add(ss3 + static_cast<char>('p' + d), digits[d]);
    add(ss3 + "M", Key::kPadEnter);
    add(ss3 + "k", Key::kPadPlus);
    add(ss3 + "l", Key::kPadPlus);  // the separator: the key the PC has in the VT100 comma's place
    add(ss3 + "m", Key::kPadMinus);
    add(ss3 + "j", Key::kPadMultiply);
    add(ss3 + "o", Key::kPadDivide);
    add(ss3 + "n", Key::kPadDecimal);
    return v;
  }();
  return all;
}

}  // namespace tty
}  // namespace posix
