// The key codes the terminal library reports, as keys.
#include <gtest/gtest.h>

#include "platform/posix/tty_display.h"

#define NCURSES_WIDECHAR 1
#include <curses.h>

using posix::tty::Key;
using posix::tty::keyFromCursesCode;

TEST(TtyCursesKeysTest, FunctionKeysBeyondTwelveAreShiftedOnes) {
  struct Case {
    int code;
    Key key;
    unsigned mods;
  };
  const Case cases[] = {
      {KEY_F(1), Key::kF1, 0},
      {KEY_F(12), Key::kF12, 0},
      {KEY_F(13), Key::kF1, posix::tty::kShift},
      {KEY_F(22), Key::kF10, posix::tty::kShift},
      {KEY_F(24), Key::kF12, posix::tty::kShift},
      {KEY_F(25), Key::kF1, posix::tty::kCtrl},
      {KEY_BACKSPACE, Key::kBackspace, 0},
      {KEY_BTAB, Key::kBackTab, 0},
      {KEY_ENTER, Key::kPadEnter, 0},
      {KEY_A1, Key::kPad7, 0},
      {KEY_B2, Key::kPad5, 0},
      {KEY_C3, Key::kPad3, 0},
      {KEY_DC, Key::kDelete, 0},
      {KEY_IC, Key::kInsert, 0},
      {KEY_SLEFT, Key::kLeft, posix::tty::kShift},
      {KEY_PPAGE, Key::kPageUp, 0},
      {KEY_MOUSE, Key::kNone, 0},
      {KEY_RESIZE, Key::kNone, 0},
  };
  for (const Case& c : cases) {
    const posix::tty::KeyInput in = keyFromCursesCode(c.code);
    EXPECT_EQ(in.key, c.key) << c.code;
    EXPECT_EQ(in.mods, c.mods) << c.code;
  }
}

TEST(TtyCursesKeysTest, TaughtSequencesComeBackAsTheirKeys) {
  const auto& sequences = posix::tty::keySequences();
  ASSERT_FALSE(sequences.empty());
  for (size_t i = 0; i < sequences.size(); ++i)
    EXPECT_EQ(keyFromCursesCode(posix::tty::kFirstSequenceCode + static_cast<int>(i)), sequences[i].input) << i;
  EXPECT_EQ(keyFromCursesCode(posix::tty::kFirstSequenceCode + static_cast<int>(sequences.size())).key, Key::kNone);
  // The codes stay below what ncurses keeps of a key code (16 bits).
  EXPECT_LT(posix::tty::kFirstSequenceCode + static_cast<int>(sequences.size()), 0x10000);
}
