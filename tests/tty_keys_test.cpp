// Terminal keys as the Win32 keyboard messages of a PC keyboard.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/posix/testing.h"
#include "platform/posix/tty_keys.h"

using posix::tty::Key;
using posix::tty::KeyInput;
using posix::tty::KeyMessage;

namespace {

KeyInput key(Key k, unsigned mods = 0) {
  KeyInput in;
  in.key = k;
  in.mods = mods;
  return in;
}

KeyInput ch(char32_t c) { return posix::tty::keyFromChar(c); }

KeyMessage down(UINT vk, unsigned long lParam) { return {WM_KEYDOWN, vk, static_cast<LPARAM>(lParam)}; }
KeyMessage up(UINT vk, unsigned long lParam) { return {WM_KEYUP, vk, static_cast<LPARAM>(lParam)}; }
KeyMessage chr(WPARAM c, unsigned long lParam) { return {WM_CHAR, c, static_cast<LPARAM>(lParam)}; }

const KeyMessage kShiftDown = down(VK_SHIFT, 0x002A0001);
const KeyMessage kShiftUp = up(VK_SHIFT, 0xC02A0001);
const KeyMessage kCtrlDown = down(VK_CONTROL, 0x001D0001);
const KeyMessage kCtrlUp = up(VK_CONTROL, 0xC01D0001);

struct KeyCase {
  const char* name;
  KeyInput input;
  std::vector<KeyMessage> messages;
};

void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }

}  // namespace

// Each key as a PC keyboard reports it: virtual key, scan code in bits 16-23,
// the extended flag in bit 24, repeat count 1, the release bits on key-up.
class KeyMessagesTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeyMessagesTest, AreThoseOfAPcKeyboard) {
  EXPECT_EQ(posix::tty::keyMessages(GetParam().input), GetParam().messages);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyMessagesTest,
    ::testing::Values(
        KeyCase{"LowerCaseLetter", ch('a'), {down('A', 0x001E0001), up('A', 0xC01E0001)}},
        KeyCase{"CapitalLetterHoldsShift", ch('A'), {kShiftDown, down('A', 0x001E0001), up('A', 0xC01E0001), kShiftUp}},
        KeyCase{"DigitRow", ch('7'), {down('7', 0x00080001), up('7', 0xC0080001)}},
        KeyCase{"ShiftedPunctuation", ch('~'), {kShiftDown, down(VK_OEM_3, 0x00290001), up(VK_OEM_3, 0xC0290001), kShiftUp}},
        KeyCase{"CtrlC", ch(0x03), {kCtrlDown, down('C', 0x002E0001), up('C', 0xC02E0001), kCtrlUp}},
        KeyCase{"CtrlH", ch(0x08), {kCtrlDown, down('H', 0x00230001), up('H', 0xC0230001), kCtrlUp}},
        KeyCase{"DelIsBackspace", ch(0x7F), {down(VK_BACK, 0x000E0001), up(VK_BACK, 0xC00E0001)}},
        KeyCase{"BackspaceKey", key(Key::kBackspace), {down(VK_BACK, 0x000E0001), up(VK_BACK, 0xC00E0001)}},
        KeyCase{"Return", ch('\r'), {down(VK_RETURN, 0x001C0001), up(VK_RETURN, 0xC01C0001)}},
        KeyCase{"KeypadEnterIsExtended", key(Key::kPadEnter), {down(VK_RETURN, 0x011C0001), up(VK_RETURN, 0xC11C0001)}},
        KeyCase{"Tab", ch('\t'), {down(VK_TAB, 0x000F0001), up(VK_TAB, 0xC00F0001)}},
        KeyCase{"ShiftTab", key(Key::kBackTab), {kShiftDown, down(VK_TAB, 0x000F0001), up(VK_TAB, 0xC00F0001), kShiftUp}},
        KeyCase{"Escape", ch(0x1B), {down(VK_ESCAPE, 0x00010001), up(VK_ESCAPE, 0xC0010001)}},
        KeyCase{"F1", key(Key::kF1), {down(VK_F1, 0x003B0001), up(VK_F1, 0xC03B0001)}},
        KeyCase{"F10IsAPlainKey", key(Key::kF10), {down(VK_F10, 0x00440001), up(VK_F10, 0xC0440001)}},
        KeyCase{"F12", key(Key::kF12), {down(VK_F12, 0x00580001), up(VK_F12, 0xC0580001)}},
        KeyCase{"ShiftF5", key(Key::kF5, posix::tty::kShift), {kShiftDown, down(VK_F5, 0x003F0001), up(VK_F5, 0xC03F0001), kShiftUp}},
        KeyCase{"ArrowIsExtended", key(Key::kUp), {down(VK_UP, 0x01480001), up(VK_UP, 0xC1480001)}},
        KeyCase{"Home", key(Key::kHome), {down(VK_HOME, 0x01470001), up(VK_HOME, 0xC1470001)}},
        KeyCase{"End", key(Key::kEnd), {down(VK_END, 0x014F0001), up(VK_END, 0xC14F0001)}},
        KeyCase{"PageDown", key(Key::kPageDown), {down(VK_NEXT, 0x01510001), up(VK_NEXT, 0xC1510001)}},
        KeyCase{"Insert", key(Key::kInsert), {down(VK_INSERT, 0x01520001), up(VK_INSERT, 0xC1520001)}},
        KeyCase{"Delete", key(Key::kDelete), {down(VK_DELETE, 0x01530001), up(VK_DELETE, 0xC1530001)}},
        // The keypad shares scan codes with the editing keys but is not extended.
        KeyCase{"Keypad7", key(Key::kPad7), {down(VK_NUMPAD7, 0x00470001), up(VK_NUMPAD7, 0xC0470001)}},
        KeyCase{"Keypad0", key(Key::kPad0), {down(VK_NUMPAD0, 0x00520001), up(VK_NUMPAD0, 0xC0520001)}},
        KeyCase{"KeypadPlus", key(Key::kPadPlus), {down(VK_ADD, 0x004E0001), up(VK_ADD, 0xC04E0001)}},
        KeyCase{"KeypadDivideIsExtended", key(Key::kPadDivide), {down(VK_DIVIDE, 0x01350001), up(VK_DIVIDE, 0xC1350001)}},
        KeyCase{"KeypadDecimal", key(Key::kPadDecimal), {down(VK_DECIMAL, 0x00530001), up(VK_DECIMAL, 0xC0530001)}},
        // TranslateMessage makes nothing of Ctrl with the minus key: the character comes along.
        KeyCase{"CtrlUnderscore", ch(0x1F),
                {kCtrlDown, kShiftDown, down(VK_OEM_MINUS, 0x000C0001), chr(0x1F, 0x000C0001),
                 up(VK_OEM_MINUS, 0xC00C0001), kShiftUp, kCtrlUp}},
        // It would make '^' of the 6 key: only the modifiers and the character.
        KeyCase{"CtrlCaret", ch(0x1E), {kCtrlDown, kShiftDown, chr(0x1E, 0x00070001), kShiftUp, kCtrlUp}},
        KeyCase{"Latin1Character", ch(0xE9), {chr(0xE9, 0x00000001)}},
        KeyCase{"EuroSignIsItsAnsiByte", ch(0x20AC), {chr(0x80, 0x00000001)}},
        KeyCase{"NoAnsiByte", ch(0x4E2D), {chr('?', 0x00000001)}},
        KeyCase{"AltIsASystemKey", key(Key::kF1, posix::tty::kAlt),
                {{WM_SYSKEYDOWN, VK_MENU, 0x20380001}, {WM_SYSKEYDOWN, VK_F1, 0x203B0001},
                 {WM_SYSKEYUP, VK_F1, static_cast<LPARAM>(0xE03B0001)}, up(VK_MENU, 0xC0380001)}},
        KeyCase{"NoKey", key(Key::kNone), {}}),
    [](const ::testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });

TEST(TtyKeysTest, CtrlCloseBracketIsTheMenuKeyAndNothingElseIs) {
  EXPECT_TRUE(posix::tty::isMenuKey(ch(0x1D)));
  EXPECT_FALSE(posix::tty::isMenuKey(ch(0x1B)));
  EXPECT_FALSE(posix::tty::isMenuKey(ch(']')));
  EXPECT_FALSE(posix::tty::isMenuKey(key(Key::kF10)));
}

// What the program's window finally receives once the message loop has translated
// the key-downs: the characters, with the key-down's lParam.
struct Typed {
  std::string chars;
  std::vector<LPARAM> charParams;
  std::vector<UINT> keyDowns;
};

Typed* g_typed = nullptr;

LRESULT CALLBACK recordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (g_typed && msg == WM_CHAR) {
    g_typed->chars += static_cast<char>(wParam);
    g_typed->charParams.push_back(lParam);
  }
  if (g_typed && msg == WM_KEYDOWN) g_typed->keyDowns.push_back(static_cast<UINT>(wParam));
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

struct TypedCase {
  const char* name;
  KeyInput input;
  std::string chars;
};

void PrintTo(const TypedCase& c, std::ostream* os) { *os << c.name; }

class TranslatedKeyTest : public ::testing::TestWithParam<TypedCase> {
 protected:
  void SetUp() override {
    posix::testing::resetPlatform();
    WNDCLASSA wc{};
    wc.lpfnWndProc = recordingProc;
    wc.lpszClassName = "TtyKeyRecorder";
    ASSERT_NE(RegisterClassA(&wc), 0);
    hwnd_ = CreateWindowExA(0, "TtyKeyRecorder", "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd_, nullptr);
    g_typed = &typed_;
  }
  void TearDown() override {
    g_typed = nullptr;
    posix::testing::resetPlatform();
  }
  void type(const KeyInput& in) {
    for (const KeyMessage& m : posix::tty::keyMessages(in)) PostMessageA(hwnd_, m.message, m.wParam, m.lParam);
    posix::testing::pumpUntilIdle();
  }
  HWND hwnd_ = nullptr;
  Typed typed_;
};

TEST_P(TranslatedKeyTest, ReachesTheWindowAsTheCharacterItTypes) {
  type(GetParam().input);
  EXPECT_EQ(typed_.chars, GetParam().chars);
  // Every key that went down came up again.
  for (int vk : {VK_SHIFT, VK_CONTROL, VK_MENU}) EXPECT_GE(GetKeyState(vk), 0) << vk;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, TranslatedKeyTest,
    ::testing::Values(TypedCase{"Lower", ch('q'), "q"}, TypedCase{"Upper", ch('Q'), "Q"},
                      TypedCase{"Tilde", ch('~'), "~"}, TypedCase{"Percent", ch('%'), "%"},
                      TypedCase{"Quote", ch('"'), "\""}, TypedCase{"Space", ch(' '), " "},
                      TypedCase{"CtrlC", ch(0x03), "\x03"}, TypedCase{"CtrlZ", ch(0x1A), "\x1a"},
                      TypedCase{"CtrlH", ch(0x08), "\x08"}, TypedCase{"Backspace", ch(0x7F), "\x08"},
                      TypedCase{"Return", ch('\r'), "\r"}, TypedCase{"CtrlJ", ch('\n'), "\n"},
                      TypedCase{"Escape", ch(0x1B), "\x1b"}, TypedCase{"CtrlBackslash", ch(0x1C), "\x1c"},
                      TypedCase{"CtrlCloseBracket", ch(0x1D), "\x1d"}, TypedCase{"CtrlCaret", ch(0x1E), "\x1e"},
                      TypedCase{"CtrlUnderscore", ch(0x1F), "\x1f"}, TypedCase{"CtrlAt", ch(0x00), std::string(1, '\0')},
                      TypedCase{"ShiftTab", key(Key::kBackTab), "\t"}, TypedCase{"Keypad5", key(Key::kPad5), "5"},
                      TypedCase{"KeypadMinus", key(Key::kPadMinus), "-"}, TypedCase{"KeypadEnter", key(Key::kPadEnter), "\r"},
                      TypedCase{"F1", key(Key::kF1), ""}, TypedCase{"Delete", key(Key::kDelete), ""},
                      TypedCase{"Left", key(Key::kLeft), ""}),
    [](const ::testing::TestParamInfo<TypedCase>& info) { return std::string(info.param.name); });

// The VT100 keyboard tells the keypad and the Backspace key apart by what the
// character's lParam and the last key-down say.
TEST_F(TranslatedKeyTest, KeypadAndBackspaceCharactersCarryTheirKeys) {
  type(key(Key::kPad5));
  ASSERT_EQ(typed_.charParams.size(), 1u);
  EXPECT_EQ((typed_.charParams[0] >> 16) & 0xFF, 0x4C);
  type(ch('5'));
  ASSERT_EQ(typed_.charParams.size(), 2u);
  EXPECT_EQ((typed_.charParams[1] >> 16) & 0xFF, 0x06);
  type(key(Key::kPadEnter));
  ASSERT_EQ(typed_.charParams.size(), 3u);
  EXPECT_NE(typed_.charParams[2] & (1 << 24), 0);
  typed_.keyDowns.clear();
  type(ch(0x7F));
  type(ch(0x08));
  EXPECT_EQ(typed_.keyDowns, (std::vector<UINT>{VK_BACK, VK_CONTROL, 'H'}));
}

TEST(TtyKeySequencesTest, CoverWhatTmuxAndXtermSend) {
  struct Expected {
    const char* bytes;
    Key key;
    unsigned mods;
  };
  const Expected expected[] = {
      {"\x1bOP", Key::kF1, 0},
      {"\x1b[1;2P", Key::kF1, posix::tty::kShift},
      {"\x1b[24;2~", Key::kF12, posix::tty::kShift},
      {"\x1b[15~", Key::kF5, 0},
      {"\x1b[21~", Key::kF10, 0},
      {"\x1b[1;5A", Key::kUp, posix::tty::kCtrl},
      {"\x1bOA", Key::kUp, 0},
      {"\x1b[D", Key::kLeft, 0},
      {"\x1b[1~", Key::kHome, 0},
      {"\x1b[4~", Key::kEnd, 0},
      {"\x1b[3~", Key::kDelete, 0},
      {"\x1b[Z", Key::kBackTab, 0},
      {"\x1bOp", Key::kPad0, 0},
      {"\x1bOy", Key::kPad9, 0},
      {"\x1bOM", Key::kPadEnter, 0},
      {"\x1bOk", Key::kPadPlus, 0},
      {"\x1bOn", Key::kPadDecimal, 0},
  };
  const auto& all = posix::tty::keySequences();
  for (const Expected& e : expected) {
    bool found = false;
    for (const auto& s : all)
      if (s.bytes == e.bytes) {
        found = true;
        EXPECT_EQ(s.input.key, e.key) << &e.bytes[1];
        EXPECT_EQ(s.input.mods, e.mods) << &e.bytes[1];
      }
    EXPECT_TRUE(found) << &e.bytes[1];
  }
}

// A key decoder cannot tell a sequence from a longer one it begins, nor serve two
// meanings of one sequence.
TEST(TtyKeySequencesTest, NoneIsAPrefixOfAnother) {
  const auto& all = posix::tty::keySequences();
  std::set<std::string> seen;
  for (const auto& a : all) {
    EXPECT_TRUE(seen.insert(a.bytes).second) << &a.bytes[1];
    for (const auto& b : all) {
      if (&a == &b) continue;
      EXPECT_NE(b.bytes.compare(0, a.bytes.size(), a.bytes), 0) << &a.bytes[1] << " " << &b.bytes[1];
    }
  }
}
