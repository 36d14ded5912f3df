// The menu bar's keyboard and mouse navigation on a terminal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/posix/tty_menu.h"

#include "menu_nodes.h"

using namespace posix::tty;

namespace {

// Main: Escape, &Exit, a separator, &Timer, a grayed entry. Then a popup, a
// command on the bar, and a popup with a popup in it.
std::vector<MenuNode> menu() {
  return {popup("Main", {entry("Escape", 1), entry("&Exit", 2), entry("", 0, MF_SEPARATOR), entry("&Timer", 4, MF_CHECKED),
                         entry("Gray", 5, MF_GRAYED)}),
          popup("&Edit", {entry("&Copy", 10), entry("&Paste", 11)}), entry("Co&nnect", 20),
          popup("F&ont", {popup("&Sub", {entry("Deep", 30)}), entry("&Text", 31)})};
}

// One step: a key, a typed character, a click or a release.
struct Step {
  enum Kind { kKey, kChar, kPressBar, kPressEntry, kReleaseBar, kReleaseEntry } kind;
  MenuKey key = MenuKey::kEnter;
  char c = 0;
  int level = 0;
  int index = 0;
};

Step key(MenuKey k) { return Step{Step::kKey, k}; }
Step typed(char c) { return Step{Step::kChar, MenuKey::kEnter, c}; }
Step pressBar(int i) { return Step{Step::kPressBar, MenuKey::kEnter, 0, 0, i}; }
Step pressEntry(int level, int i) { return Step{Step::kPressEntry, MenuKey::kEnter, 0, level, i}; }
Step releaseBar(int i) { return Step{Step::kReleaseBar, MenuKey::kEnter, 0, 0, i}; }
Step releaseEntry(int level, int i) { return Step{Step::kReleaseEntry, MenuKey::kEnter, 0, level, i}; }

struct NavCase {
  const char* name;
  std::vector<Step> steps;  // after the menu key, which highlights "Main"
  int bar;                  // -1: closed
  std::vector<int> levels;
  UINT command;             // 0: none chosen
};

void PrintTo(const NavCase& c, std::ostream* os) { *os << c.name; }

}  // namespace

class MenuNavigationTest : public ::testing::TestWithParam<NavCase> {};

TEST_P(MenuNavigationTest, EndsWhereTheUserWent) {
  const std::vector<MenuNode> bar = menu();
  MenuNavigator nav;
  nav.open(bar, 0, false);
  UINT command = 0;
  for (const Step& s : GetParam().steps) {
    MenuResult r;
    switch (s.kind) {
      case Step::kKey: r = nav.key(bar, s.key); break;
      case Step::kChar: r = nav.character(bar, s.c); break;
      case Step::kPressBar: nav.pressBar(bar, s.index); break;
      case Step::kPressEntry: nav.pressEntry(bar, s.level, s.index); break;
      case Step::kReleaseBar: r = nav.releaseBar(bar, s.index); break;
      case Step::kReleaseEntry: r = nav.releaseEntry(bar, s.level, s.index); break;
    }
    if (r.command) {
      EXPECT_EQ(command, 0u) << "a second command";
      command = r.id;
    }
  }
  EXPECT_EQ(nav.barItem(), GetParam().bar);
  EXPECT_EQ(nav.levels(), GetParam().levels);
  EXPECT_EQ(command, GetParam().command);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, MenuNavigationTest,
    ::testing::Values(
        NavCase{"MenuKeyHighlightsTheFirstItem", {}, 0, {}, 0},
        NavCase{"EnterDropsThePopup", {key(MenuKey::kEnter)}, 0, {0}, 0},
        NavCase{"DownDropsThePopup", {key(MenuKey::kDown)}, 0, {0}, 0},
        NavCase{"UpDropsItAtTheLastEntry", {key(MenuKey::kUp)}, 0, {4}, 0},
        NavCase{"ArrowsReachExit", {key(MenuKey::kDown), key(MenuKey::kDown), key(MenuKey::kEnter)}, -1, {}, 2},
        NavCase{"SeparatorsAreSkipped", {key(MenuKey::kDown), key(MenuKey::kDown), key(MenuKey::kDown)}, 0, {3}, 0},
        NavCase{"EntriesWrapAround",
                {key(MenuKey::kDown), key(MenuKey::kEnd), key(MenuKey::kDown)}, 0, {0}, 0},
        NavCase{"GrayedEntryIsNotChosen",
                {key(MenuKey::kUp), key(MenuKey::kEnter)}, 0, {4}, 0},
        NavCase{"RightMovesAlongTheBarKeepingItDropped",
                {key(MenuKey::kDown), key(MenuKey::kRight)}, 1, {0}, 0},
        NavCase{"RightOnTheBarAlone", {key(MenuKey::kRight)}, 1, {}, 0},
        NavCase{"LeftWrapsToTheLastItem", {key(MenuKey::kLeft)}, 3, {}, 0},
        NavCase{"CommandOnTheBar", {key(MenuKey::kRight), key(MenuKey::kRight), key(MenuKey::kEnter)}, -1, {}, 20},
        NavCase{"EscapeClosesThePopupThenTheMenu", {key(MenuKey::kDown), key(MenuKey::kEscape)}, 0, {}, 0},
        NavCase{"SecondEscapeClosesTheMenu", {key(MenuKey::kDown), key(MenuKey::kEscape), key(MenuKey::kEscape)}, -1, {}, 0},
        NavCase{"NestedPopupOpensToTheRight",
                {key(MenuKey::kLeft), key(MenuKey::kDown), key(MenuKey::kRight)}, 3, {0, 0}, 0},
        NavCase{"NestedCommand",
                {key(MenuKey::kLeft), key(MenuKey::kDown), key(MenuKey::kRight), key(MenuKey::kEnter)}, -1, {}, 30},
        NavCase{"LeftClosesTheNestedPopup",
                {key(MenuKey::kLeft), key(MenuKey::kDown), key(MenuKey::kRight), key(MenuKey::kLeft)}, 3, {0}, 0},
        NavCase{"MnemonicOnTheBarDropsItsPopup", {typed('e')}, 1, {0}, 0},
        NavCase{"MnemonicOnTheBarRunsItsCommand", {typed('N')}, -1, {}, 20},
        NavCase{"MnemonicInThePopup", {key(MenuKey::kDown), typed('e')}, -1, {}, 2},
        NavCase{"UnknownMnemonicDoesNothing", {key(MenuKey::kDown), typed('q')}, 0, {0}, 0},
        NavCase{"ClickOnABarItemDropsIt", {pressBar(1)}, 1, {0}, 0},
        NavCase{"SecondClickOnItClosesTheMenu", {pressBar(1), pressBar(1)}, -1, {}, 0},
        NavCase{"ClickAndReleaseOnAnEntry", {pressBar(0), pressEntry(0, 1), releaseEntry(0, 1)}, -1, {}, 2},
        NavCase{"ReleaseElsewhereChoosesNothing", {pressBar(0), pressEntry(0, 1), releaseEntry(0, 3)}, 0, {1}, 0},
        NavCase{"ReleaseOnASeparatorChoosesNothing", {pressBar(0), pressEntry(0, 2), releaseEntry(0, 2)}, 0, {-1}, 0},
        NavCase{"CommandOnTheBarByMouse", {pressBar(2), releaseBar(2)}, -1, {}, 20},
        NavCase{"PopupBarItemReleasedStaysOpen", {pressBar(0), releaseBar(0)}, 0, {0}, 0}),
    [](const ::testing::TestParamInfo<NavCase>& info) { return std::string(info.param.name); });

TEST(MenuNavigatorTest, AMenuThatShrankClosesOrDropsWhatIsGone) {
  std::vector<MenuNode> bar = menu();
  MenuNavigator nav;
  nav.open(bar, 3, true);
  nav.key(bar, MenuKey::kRight);  // into Font's nested popup
  ASSERT_EQ(nav.levels().size(), 2u);
  bar[3].items[0].items.clear();
  bar[3].items[0].flags = 0;  // the nested popup became a plain entry
  nav.key(bar, MenuKey::kDown);
  EXPECT_EQ(nav.levels().size(), 1u);
  bar.resize(2);
  EXPECT_FALSE(nav.key(bar, MenuKey::kEnter).command);
  EXPECT_FALSE(nav.isOpen());
  EXPECT_EQ(nav.popupAt(bar, 0), nullptr);
}

TEST(MenuLabelTest, MnemonicsAndLiteralAmpersands) {
  struct Case {
    const char* text;
    const char* shown;
    int mnemonic;
  };
  const Case cases[] = {{"&Exit", "Exit", 0},    {"C&lear", "Clear", 1}, {"A&&B", "A&B", -1},
                        {"Key Comma , +", "Key Comma , +", -1}, {"x&", "x&", -1}, {"", "", -1}};
  for (const Case& c : cases) {
    const MenuLabel l = menuLabel(c.text);
    EXPECT_EQ(l.text, c.shown) << c.text;
    EXPECT_EQ(l.mnemonic, c.mnemonic) << c.text;
  }
}

TEST(MenuLayoutTest, PopupsHangBelowTheirItemAndStayOnTheScreen) {
  const std::vector<MenuNode> bar = menu();
  MenuNavigator nav;
  nav.open(bar, 1, true);
  MenuLayout l = layoutMenu(bar, nav, 82, 28);
  EXPECT_EQ(l.barStart, (std::vector<int>{0, 6, 12, 21}));
  EXPECT_EQ(l.barEnd, (std::vector<int>{6, 12, 21, 27}));
  ASSERT_EQ(l.boxes.size(), 1u);
  EXPECT_EQ(l.boxes[0].x, 6);
  EXPECT_EQ(l.boxes[0].y, 2);
  EXPECT_EQ(l.boxes[0].width, 9);  // "Paste" with frame, check column and margin
  EXPECT_EQ(l.boxes[0].height, 4);
  // On a narrow screen the popup moves left to fit.
  l = layoutMenu(bar, nav, 12, 28);
  EXPECT_EQ(l.boxes[0].x, 3);
  nav.open(bar, 3, true);
  nav.key(bar, MenuKey::kRight);
  l = layoutMenu(bar, nav, 82, 28);
  ASSERT_EQ(l.boxes.size(), 2u);
  EXPECT_EQ(l.boxes[1].x, l.boxes[0].x + l.boxes[0].width - 1);
  EXPECT_EQ(l.boxes[1].y, l.boxes[0].y + 1);
}
