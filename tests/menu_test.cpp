#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix/resource_script.h"
#include "platform/posix/user_menu.h"

namespace {

constexpr UINT kFailed = 0xFFFFFFFF;

std::string menuString(HMENU menu, UINT item, UINT flags) {
  char buffer[128];
  int n = GetMenuStringA(menu, item, buffer, sizeof buffer, flags);
  return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

// Loads menu 1 of a script given as text; the caller destroys it.
HMENU menuFromScript(const std::string& text) {
  posix::ResourceScript s = posix::parseResourceScript({{"t.rc", text}}, "t.rc");
  EXPECT_TRUE(s.errors.empty());
  const posix::MenuResource* m = s.findMenu(MAKEINTRESOURCE(1));
  return m ? posix::createMenuFromTemplate(m->items) : nullptr;
}

struct Entry {
  const char* text;
  UINT id;                   // 0 for a popup
  std::vector<Entry> items;  // a popup's entries
};

// The menu bar of quillon.rc as the program expects it.
const std::vector<Entry> kMainMenu = {
    {"Main", 0, {{"Escape", 109, {}}, {"&Exit", 102, {}}, {"IACString", 117, {}}, {"&Timer", 118, {}}}},
    {"&Edit", 0, {{"&Copy", 114, {}}, {"&PASTE", 115, {}}, {"C&lear", 116, {}}}},
    {"Co&nnect", 103, {}},
    {"Colo&r", 107, {}},
    {"F&ont", 0, {{"&Text Font", 119, {}}, {"&LineDraw Font", 120, {}}}},
    {"&Close", 121, {}},
    {"VMS",
     0,
     {{"&Find/Search", 110, {}},   {"&SELECT/BLOCK", 111, {}}, {"&INSERT/PASTE", 112, {}},
      {"REMOVE/CUT", 113, {}},     {"Key 0", 128, {}},         {"Key 1", 129, {}},
      {"Key 2", 130, {}},          {"Key 3", 131, {}},         {"Key 4", 132, {}},
      {"Key 5", 133, {}},          {"Key 6", 134, {}},         {"Key 7", 135, {}},
      {"Key 8", 136, {}},          {"Key 9", 137, {}},         {"Key Comma , +", 138, {}},
      {"Key Minus -", 139, {}},    {"Key Period  .", 140, {}}, {"Key Enter", 141, {}}}},
    {"3270",
     0,
     {{"PA 1 KEY", 151, {}}, {"PA2 Key", 152, {}}, {"PA3 Key", 153, {}}, {"Clear Key", 154, {}},
      {"SYS/TEST REQ", 155, {}}, {"ATTN", 158, {}}, {"3279 &Colors", 157, {}}}},
    {"Enter",
     0,
     {{"LF CR NUL", 122, {}}, {"LF CR", 123, {}}, {"LF", 124, {}}, {"LF_NUL", 125, {}}, {"CR NUL", 126, {}},
      {"CR", 127, {}}}},
    {"NetCmd",
     0,
     {{"NOP", 142, {}}, {"Data Mark", 143, {}}, {"Break", 144, {}}, {"INT Process", 145, {}},
      {"Abort Output", 146, {}}, {"Are You There", 147, {}}, {"Erase Char", 148, {}}, {"Erase Line", 149, {}},
      {"Go Ahead", 150, {}}}},
    {"Refresh", 156, {}},
    {"&Help", 0, {{"&About", 105, {}}}},
};

TEST(MenuTest, MainMenuHasTheProgramsCommands) {
  HMENU bar = LoadMenuA(nullptr, MAKEINTRESOURCE(101));
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(GetMenuItemCount(bar), static_cast<int>(kMainMenu.size()));
  std::vector<posix::MenuItemView> view = posix::menuItems(bar);
  ASSERT_EQ(view.size(), kMainMenu.size());
  for (size_t i = 0; i < kMainMenu.size(); ++i) {
    const Entry& e = kMainMenu[i];
    const int pos = static_cast<int>(i);
    SCOPED_TRACE(e.text);
    EXPECT_EQ(menuString(bar, pos, MF_BYPOSITION), e.text);
    EXPECT_EQ(view[i].text, e.text);
    HMENU sub = GetSubMenu(bar, pos);
    if (e.id != 0) {
      EXPECT_EQ(GetMenuItemID(bar, pos), e.id);
      EXPECT_EQ(sub, nullptr);
      EXPECT_EQ(view[i].popup, nullptr);
      EXPECT_EQ(GetMenuState(bar, e.id, MF_BYCOMMAND), 0u);
      continue;
    }
    EXPECT_EQ(GetMenuItemID(bar, pos), kFailed);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(view[i].popup, sub);
    EXPECT_EQ(GetMenuState(bar, pos, MF_BYPOSITION), UINT(MF_POPUP) | (UINT(e.items.size()) << 8));
    ASSERT_EQ(GetMenuItemCount(sub), static_cast<int>(e.items.size()));
    for (size_t j = 0; j < e.items.size(); ++j) {
      const Entry& item = e.items[j];
      SCOPED_TRACE(item.text);
      EXPECT_EQ(GetMenuItemID(sub, static_cast<int>(j)), item.id);
      EXPECT_EQ(menuString(sub, static_cast<UINT>(j), MF_BYPOSITION), item.text);
      EXPECT_EQ(menuString(bar, item.id, MF_BYCOMMAND), item.text);  // found through the submenu
      EXPECT_EQ(GetSubMenu(sub, static_cast<int>(j)), nullptr);
    }
  }
  EXPECT_TRUE(DestroyMenu(bar));
}

TEST(MenuTest, LoadMenuByNameAndMissingMenus) {
  HMENU byName = LoadMenuA(nullptr, "#101");
  ASSERT_NE(byName, nullptr);
  HMENU byId = LoadMenuA(nullptr, MAKEINTRESOURCE(101));
  ASSERT_NE(byId, nullptr);
  EXPECT_NE(byName, byId);  // each load is a menu of its own
  CheckMenuItem(byName, 114, MF_CHECKED);
  EXPECT_EQ(GetMenuState(byId, 114, MF_BYCOMMAND), UINT(MF_UNCHECKED));
  DestroyMenu(byName);
  DestroyMenu(byId);

  const LPCSTR kMissing[] = {MAKEINTRESOURCE(999), "NOSUCHMENU", "#"};
  for (LPCSTR name : kMissing) {
    SetLastError(0);
    EXPECT_EQ(LoadMenuA(nullptr, name), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
  }
}

TEST(MenuTest, GetMenuStringCopiesWithinTheBuffer) {
  HMENU bar = LoadMenuA(nullptr, MAKEINTRESOURCE(101));
  ASSERT_NE(bar, nullptr);
  struct Case {
    int size;  // -1: no buffer
    int result;
    const char* contents;
  };
  const Case kCases[] = {
      {-1, 5, nullptr}, {0, 5, nullptr}, {1, 0, ""}, {3, 2, "&C"}, {5, 4, "&Cop"}, {6, 5, "&Copy"}, {64, 5, "&Copy"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.size);
    // A buffer of exactly `size` bytes, so the sanitizers see any write past it.
    std::unique_ptr<char[]> buffer(c.size > 0 ? new char[static_cast<size_t>(c.size)] : nullptr);
    char sentinel = 'Z';
    char* target = c.size < 0 ? nullptr : (c.size == 0 ? &sentinel : buffer.get());
    EXPECT_EQ(GetMenuStringA(bar, 114, target, c.size < 0 ? 10 : c.size, MF_BYCOMMAND), c.result);
    if (c.contents != nullptr) {
      EXPECT_STREQ(buffer.get(), c.contents);
    }
    EXPECT_EQ(sentinel, 'Z');
  }
  char small[4] = "abc";
  SetLastError(0);
  EXPECT_EQ(GetMenuStringA(bar, 114, small, -5, MF_BYCOMMAND), 0);
  EXPECT_STREQ(small, "abc");
  EXPECT_EQ(GetMenuStringA(bar, 9999, small, sizeof small, MF_BYCOMMAND), 0);
  EXPECT_EQ(GetMenuStringA(bar, 99, small, sizeof small, MF_BYPOSITION), 0);
  EXPECT_STREQ(small, "abc");
  DestroyMenu(bar);
}

const char kOptionsMenu[] = R"(
1 MENU
BEGIN
  POPUP "&File"
  BEGIN
    MENUITEM "&Open", 10, CHECKED
    MENUITEM SEPARATOR
    MENUITEM "&Gray", 11, GRAYED
    MENUITEM "&Inactive", 12, INACTIVE
    MENUITEM "Break", 13, MENUBARBREAK, CHECKED
    MENUITEM "Both", 14 CHECKED GRAYED MENUBREAK
  END
  MENUITEM "&Help", 20, HELP
END
)";

TEST(MenuTest, MenuStateReflectsTheOptions) {
  HMENU bar = menuFromScript(kOptionsMenu);
  ASSERT_NE(bar, nullptr);
  HMENU file = GetSubMenu(bar, 0);
  ASSERT_NE(file, nullptr);
  struct Case {
    HMENU menu;
    UINT item;
    UINT flags;
    UINT state;
  };
  const Case kCases[] = {
      {bar, 10, MF_BYCOMMAND, MF_CHECKED},
      {file, 1, MF_BYPOSITION, MF_SEPARATOR},
      {bar, 11, MF_BYCOMMAND, MF_GRAYED},
      {bar, 12, MF_BYCOMMAND, MF_DISABLED},
      {bar, 13, MF_BYCOMMAND, MF_MENUBARBREAK | MF_CHECKED},
      {bar, 14, MF_BYCOMMAND, MF_CHECKED | MF_GRAYED | MF_MENUBREAK},
      {bar, 20, MF_BYCOMMAND, MF_HELP},
      {bar, 0, MF_BYPOSITION, MF_POPUP | (6u << 8)},
      {bar, static_cast<UINT>(reinterpret_cast<uintptr_t>(file)), MF_BYCOMMAND, MF_POPUP | (6u << 8)},
      {bar, 99, MF_BYCOMMAND, kFailed},
      {bar, 2, MF_BYPOSITION, kFailed},
      {file, 20, MF_BYCOMMAND, kFailed},  // commands are searched downwards only
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.item);
    EXPECT_EQ(GetMenuState(c.menu, c.item, c.flags), c.state);
  }
  EXPECT_EQ(GetMenuItemID(file, 1), 0u);  // a separator
  EXPECT_EQ(GetMenuItemID(file, 6), kFailed);
  EXPECT_EQ(GetMenuItemID(file, -1), kFailed);
  DestroyMenu(bar);
}

TEST(MenuTest, CheckAndEnableReturnThePreviousState) {
  HMENU bar = menuFromScript(kOptionsMenu);
  ASSERT_NE(bar, nullptr);
  HMENU file = GetSubMenu(bar, 0);
  struct Step {
    const char* what;
    std::function<DWORD()> call;
    DWORD result;
    UINT stateAfter;  // of item 11
  };
  const Step kSteps[] = {
      {"check", [&] { return CheckMenuItem(bar, 11, MF_BYCOMMAND | MF_CHECKED); }, MF_UNCHECKED,
       MF_GRAYED | MF_CHECKED},
      {"check again", [&] { return CheckMenuItem(bar, 11, MF_CHECKED); }, MF_CHECKED, MF_GRAYED | MF_CHECKED},
      {"uncheck by position", [&] { return CheckMenuItem(file, 2, MF_BYPOSITION | MF_UNCHECKED); }, MF_CHECKED,
       MF_GRAYED},
      {"uncheck again", [&] { return CheckMenuItem(bar, 11, MF_UNCHECKED); }, MF_UNCHECKED, MF_GRAYED},
      {"enable", [&] { return DWORD(EnableMenuItem(bar, 11, MF_ENABLED)); }, MF_GRAYED, MF_ENABLED},
      {"disable", [&] { return DWORD(EnableMenuItem(bar, 11, MF_DISABLED)); }, MF_ENABLED, MF_DISABLED},
      {"gray by position", [&] { return DWORD(EnableMenuItem(file, 2, MF_BYPOSITION | MF_GRAYED)); }, MF_DISABLED,
       MF_GRAYED},
      {"check a missing item", [&] { return CheckMenuItem(bar, 77, MF_CHECKED); }, kFailed, MF_GRAYED},
      {"enable a missing item", [&] { return DWORD(EnableMenuItem(file, 9, MF_BYPOSITION)); }, kFailed, MF_GRAYED},
  };
  for (const Step& s : kSteps) {
    SCOPED_TRACE(s.what);
    EXPECT_EQ(s.call(), s.result);
    EXPECT_EQ(GetMenuState(bar, 11, MF_BYCOMMAND), s.stateAfter);
  }
  EXPECT_EQ(GetMenuState(bar, 10, MF_BYCOMMAND), UINT(MF_CHECKED));  // neighbours untouched
  EXPECT_EQ(posix::menuItems(file).at(2).flags, UINT(MF_GRAYED));
  DestroyMenu(bar);
}

// Every menu function given a handle that is not (or no longer) a menu fails
// with ERROR_INVALID_MENU_HANDLE.
void expectAllFail(HMENU menu) {
  char buffer[8] = "keep";
  struct Call {
    const char* name;
    std::function<bool()> failed;
  };
  const Call kCalls[] = {
      {"GetMenuItemCount", [&] { return GetMenuItemCount(menu) == -1; }},
      {"GetSubMenu", [&] { return GetSubMenu(menu, 0) == nullptr; }},
      {"GetMenuItemID", [&] { return GetMenuItemID(menu, 0) == kFailed; }},
      {"GetMenuStringA", [&] { return GetMenuStringA(menu, 0, buffer, sizeof buffer, MF_BYPOSITION) == 0; }},
      {"GetMenuState", [&] { return GetMenuState(menu, 0, MF_BYPOSITION) == kFailed; }},
      {"CheckMenuItem", [&] { return CheckMenuItem(menu, 0, MF_BYPOSITION | MF_CHECKED) == kFailed; }},
      {"EnableMenuItem", [&] { return EnableMenuItem(menu, 0, MF_BYPOSITION | MF_GRAYED) == -1; }},
      {"DestroyMenu", [&] { return DestroyMenu(menu) == FALSE; }},
  };
  for (const Call& c : kCalls) {
    SCOPED_TRACE(c.name);
    SetLastError(0);
    EXPECT_TRUE(c.failed());
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_MENU_HANDLE));
  }
  EXPECT_STREQ(buffer, "keep");
  EXPECT_TRUE(posix::menuItems(menu).empty());
  EXPECT_FALSE(posix::isMenuHandle(menu));
}

TEST(MenuTest, StaleAndInvalidHandlesFail) {
  HMENU bar = LoadMenuA(nullptr, MAKEINTRESOURCE(101));
  ASSERT_NE(bar, nullptr);
  HMENU sub = GetSubMenu(bar, 0);
  ASSERT_NE(sub, nullptr);
  EXPECT_TRUE(posix::isMenuHandle(sub));
  ASSERT_TRUE(DestroyMenu(bar));
  {
    SCOPED_TRACE("destroyed menu bar");
    expectAllFail(bar);
  }
  {
    SCOPED_TRACE("popup of the destroyed bar");
    expectAllFail(sub);
  }
  for (HMENU bogus : {static_cast<HMENU>(nullptr), reinterpret_cast<HMENU>(0x1234),
                      reinterpret_cast<HMENU>(~static_cast<uintptr_t>(0))}) {
    SCOPED_TRACE("never a menu");
    expectAllFail(bogus);
  }
  HMENU again = LoadMenuA(nullptr, MAKEINTRESOURCE(101));
  EXPECT_NE(again, bar);  // handles are not reused
  EXPECT_NE(GetSubMenu(again, 0), sub);
  DestroyMenu(again);
}

TEST(MenuTest, DestroyingAPopupLeavesItsParentSound) {
  HMENU bar = LoadMenuA(nullptr, MAKEINTRESOURCE(101));
  ASSERT_NE(bar, nullptr);
  HMENU edit = GetSubMenu(bar, 1);
  ASSERT_TRUE(DestroyMenu(edit));
  EXPECT_EQ(GetSubMenu(bar, 1), nullptr);
  EXPECT_EQ(GetMenuState(bar, 1, MF_BYPOSITION), UINT(MF_POPUP));  // no entries left
  EXPECT_EQ(GetMenuState(bar, 114, MF_BYCOMMAND), kFailed);        // &Copy went with it
  EXPECT_EQ(menuString(bar, 1, MF_BYPOSITION), "&Edit");
  EXPECT_EQ(posix::menuItems(bar).at(1).popup, nullptr);
  EXPECT_EQ(menuString(bar, 105, MF_BYCOMMAND), "&About");  // later popups still searched
  EXPECT_TRUE(DestroyMenu(bar));
}

}  // namespace
