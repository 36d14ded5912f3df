#include "platform/posix/resource_script.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace {

using posix::DialogControl;
using posix::DialogResource;
using posix::ResourceScript;

ResourceScript parse(const std::string& text, std::map<std::string, std::string> files = {}) {
  files["test.rc"] = text;
  return posix::parseResourceScript(files, "test.rc");
}

std::string errorsOf(const ResourceScript& s) {
  std::string all;
  for (const auto& e : s.errors) all += e.describe() + "\n";
  return all;
}

// The text of the single item of menu 1 in `script`.
std::string onlyItemText(const ResourceScript& s) {
  const posix::MenuResource* m = s.findMenu(MAKEINTRESOURCE(1));
  if (m == nullptr || m->items.size() != 1) return "<no item>";
  return m->items[0].text;
}

TEST(ResourceScriptTest, ProgramScriptReadsWithoutErrors) {
  const ResourceScript& s = posix::resources();
  EXPECT_TRUE(s.errors.empty()) << errorsOf(s);
  const posix::IconResource* icon = s.findIcon(MAKEINTRESOURCE(101));
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->file, "quillon.ico");
  const posix::MenuResource* menu = s.findMenu(MAKEINTRESOURCE(101));
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(s.findMenu("#101"), menu);
  EXPECT_EQ(s.findMenu(MAKEINTRESOURCE(102)), nullptr);
  EXPECT_EQ(&posix::resources(), &s);  // read once
}

const char kDialogScript[] = R"(
#define IDD_TEST 300
#define IDC_HOST 201
#define IDI_APP 5
IDD_TEST DIALOG 10, 20, 200, 100
STYLE DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION "Connect"
FONT 8, "MS Sans Serif"
BEGIN
  LTEXT "&Host:", IDC_STATIC, 5, 6, 30, 8
  RTEXT "r", 202, 1, 2, 3, 4
  CTEXT "c", 203, 1, 2, 3, 4, SS_NOPREFIX
  EDITTEXT IDC_HOST, 40, 5, 100, 12, ES_AUTOHSCROLL
  COMBOBOX 204, 1, 2, 3, 4, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP
  LISTBOX 205, 1, 2, 3, 4, LBS_SORT | NOT WS_BORDER
  PUSHBUTTON "Cancel", IDCANCEL, 1, 2, 3, 4
  DEFPUSHBUTTON "OK", IDOK, 1, 2, 3, 4
  CHECKBOX "ch", 206, 1, 2, 3, 4
  AUTOCHECKBOX "ac", 207, 1, 2, 3, 4
  RADIOBUTTON "rb", 208, 1, 2, 3, 4
  AUTORADIOBUTTON "ar", 209, 1, 2, 3, 4, WS_GROUP | WS_TABSTOP
  AUTORADIOBUTTON "ar2", 217, 1, 2, 3, 4
  STATE3 "s3", 210, 1, 2, 3, 4
  AUTO3STATE "a3", 211, 1, 2, 3, 4
  GROUPBOX "Group", 212, 1, 2, 3, 4
  ICON IDI_APP, -1, 7, 8
  ICON "NAMEDICON", 213, 7, 8, 20, 21
  CONTROL "Custom", 214, "Button", BS_AUTOCHECKBOX | WS_TABSTOP, 1, 2, 3, 4, WS_EX_CLIENTEDGE
  CONTROL "", 215, EDIT, ES_LEFT | NOT WS_VISIBLE, -1, -2, 3, 4
  SCROLLBAR 216, 1, 2, 3, 4, SBS_VERT
END
)";

TEST(ResourceScriptTest, DialogControlsGetTheirClassesAndDefaultStyles) {
  ResourceScript s = parse(kDialogScript);
  ASSERT_TRUE(s.errors.empty()) << errorsOf(s);
  const DialogResource* d = s.findDialog(MAKEINTRESOURCE(300));
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->x, 10);
  EXPECT_EQ(d->y, 20);
  EXPECT_EQ(d->cx, 200);
  EXPECT_EQ(d->cy, 100);
  EXPECT_EQ(d->style, 0x80C800C0u);  // the given style and DS_SETFONT for FONT
  EXPECT_EQ(d->caption, "Connect");
  EXPECT_TRUE(d->hasFont);
  EXPECT_EQ(d->fontSize, 8);
  EXPECT_EQ(d->fontFace, "MS Sans Serif");

  struct Expected {
    const char* cls;
    const char* text;
    int textId;  // -1: the text is a string
    int id;
    int x, y, cx, cy;
    DWORD style;
    DWORD exStyle;
  };
  const Expected kControls[] = {
      {"STATIC", "&Host:", -1, -1, 5, 6, 30, 8, 0x50020000, 0},
      {"STATIC", "r", -1, 202, 1, 2, 3, 4, 0x50020002, 0},
      {"STATIC", "c", -1, 203, 1, 2, 3, 4, 0x50020081, 0},
      {"EDIT", "", -1, 201, 40, 5, 100, 12, 0x50810080, 0},
      {"COMBOBOX", "", -1, 204, 1, 2, 3, 4, 0x50210003, 0},
      {"LISTBOX", "", -1, 205, 1, 2, 3, 4, 0x50000003, 0},
      {"BUTTON", "Cancel", -1, 2, 1, 2, 3, 4, 0x50010000, 0},
      {"BUTTON", "OK", -1, 1, 1, 2, 3, 4, 0x50010001, 0},
      {"BUTTON", "ch", -1, 206, 1, 2, 3, 4, 0x50010002, 0},
      {"BUTTON", "ac", -1, 207, 1, 2, 3, 4, 0x50010003, 0},
      {"BUTTON", "rb", -1, 208, 1, 2, 3, 4, 0x50000004, 0},
      {"BUTTON", "ar", -1, 209, 1, 2, 3, 4, 0x50030009, 0},
      {"BUTTON", "ar2", -1, 217, 1, 2, 3, 4, 0x50000009, 0},
      {"BUTTON", "s3", -1, 210, 1, 2, 3, 4, 0x50010005, 0},
      {"BUTTON", "a3", -1, 211, 1, 2, 3, 4, 0x50010006, 0},
      {"BUTTON", "Group", -1, 212, 1, 2, 3, 4, 0x50000007, 0},
      {"STATIC", "", 5, -1, 7, 8, 0, 0, 0x50000003, 0},
      {"STATIC", "NAMEDICON", -1, 213, 7, 8, 20, 21, 0x50000003, 0},
      {"BUTTON", "Custom", -1, 214, 1, 2, 3, 4, 0x50010003, 0x200},
      {"EDIT", "", -1, 215, -1, -2, 3, 4, 0x40000000, 0},
      {"SCROLLBAR", "", -1, 216, 1, 2, 3, 4, 0x50000001, 0},
  };
  ASSERT_EQ(d->controls.size(), sizeof(kControls) / sizeof(kControls[0]));
  for (size_t i = 0; i < d->controls.size(); ++i) {
    const DialogControl& c = d->controls[i];
    const Expected& e = kControls[i];
    SCOPED_TRACE("control " + std::to_string(i) + " (id " + std::to_string(e.id) + ")");
    EXPECT_EQ(c.className, e.cls);
    EXPECT_EQ(c.textIsId, e.textId >= 0);
    if (e.textId >= 0) {
      EXPECT_EQ(c.textId, e.textId);
    }
    EXPECT_EQ(c.text, e.text);
    EXPECT_EQ(c.id, e.id);
    EXPECT_EQ(c.x, e.x);
    EXPECT_EQ(c.y, e.y);
    EXPECT_EQ(c.cx, e.cx);
    EXPECT_EQ(c.cy, e.cy);
    EXPECT_EQ(c.style, e.style) << std::hex << c.style;
    EXPECT_EQ(c.exStyle, e.exStyle);
  }
}

TEST(ResourceScriptTest, DialogHeaders) {
  ResourceScript s = parse(R"(
1 DIALOG 0, 0, 10, 10
BEGIN
END
2 DIALOG 0, 0, 10, 10
CAPTION "Only a caption"
BEGIN
END
AboutBox DIALOGEX DISCARDABLE 1, 2, 3, 4, 77
STYLE DS_MODALFRAME | DS_CENTER
EXSTYLE WS_EX_TOOLWINDOW
FONT 9, "Segoe UI", 700, 1, 0
MENU 101
CLASS "QuillonDialog"
LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US
{
  CONTROL 101, -1, "STATIC", SS_ICON, 1, 2, 3, 4, 0, 55
  CONTROL "x", 2, 0x80, 0, 1, 2, 3, 4
  BEGIN 1, 2 END
}
)");
  ASSERT_TRUE(s.errors.empty()) << errorsOf(s);
  const DialogResource* plain = s.findDialog(MAKEINTRESOURCE(1));
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->style, 0x80880000u);  // WS_POPUP | WS_BORDER | WS_SYSMENU
  EXPECT_FALSE(plain->hasFont);
  EXPECT_FALSE(plain->extended);
  const DialogResource* captioned = s.findDialog("#2");
  ASSERT_NE(captioned, nullptr);
  EXPECT_EQ(captioned->style, 0x80C80000u);

  const DialogResource* about = s.findDialog("aboutbox");
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(s.findDialog("ABOUTBOX"), about);
  EXPECT_EQ(s.findDialog(MAKEINTRESOURCE(3)), nullptr);
  EXPECT_TRUE(about->extended);
  EXPECT_EQ(about->helpId, 77u);
  EXPECT_EQ(about->style, 0x880u | 0x40u);
  EXPECT_EQ(about->exStyle, 0x80u);
  EXPECT_EQ(about->fontSize, 9);
  EXPECT_EQ(about->fontFace, "Segoe UI");
  EXPECT_EQ(about->fontWeight, 700);
  EXPECT_TRUE(about->fontItalic);
  EXPECT_EQ(about->fontCharset, 0);
  ASSERT_TRUE(about->hasMenu);
  EXPECT_TRUE(about->menu.matches(MAKEINTRESOURCE(101)));
  ASSERT_TRUE(about->hasClass);
  EXPECT_TRUE(about->windowClass.matches("quillondialog"));
  ASSERT_EQ(about->controls.size(), 2u);
  EXPECT_TRUE(about->controls[0].textIsId);
  EXPECT_EQ(about->controls[0].textId, 101);
  EXPECT_EQ(about->controls[0].helpId, 55u);
  EXPECT_EQ(about->controls[1].className, "BUTTON");  // class ordinal 0x80
}

TEST(ResourceScriptTest, IntegerExpressions) {
  struct Case {
    const char* expr;
    int value;
  };
  const Case kCases[] = {
      {"42", 42},
      {"0x10 | 3", 19},
      {"10L", 10},
      {"0X1fUL", 31},
      {"-5", -5},
      {"~0", -1},
      {"1 + 2 * 3", 7},
      {"(1 + 2) * 3", 9},
      {"10 - 2 - 3", 5},
      {"7 & ~2", 5},
      {"0xFF & 0x0F | 0x100", 0x10F},
      {"6 ^ 3", 5},
      {"100 / 7", 14},
      {"-7 / 2", -3},
      {"7 % 3", 1},
      {"BASE + 4", 104},
      {"NESTED", 200},
      {"IDOK", 1},
      {"IDCANCEL + IDC_STATIC", 1},
      {"5 | NOT 1", 4},
      {"0xFFFFFFFF", -1},
      {"4294967297", 1},
      {"-(3 + 4)", -7},
      {"WS_CHILD | WS_VISIBLE", 0x50000000},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.expr);
    ResourceScript s = parse(std::string("#define BASE 100\n#define NESTED (BASE * 2)\n") +
                             "1 DIALOG 0, 0, 1, 1\nBEGIN\n CONTROL \"\", " + c.expr +
                             ", \"STATIC\", 0, 0, 0, 1, 1\nEND\n");
    ASSERT_TRUE(s.errors.empty()) << errorsOf(s);
    ASSERT_EQ(s.dialogs.size(), 1u);
    ASSERT_EQ(s.dialogs[0].controls.size(), 1u);
    EXPECT_EQ(s.dialogs[0].controls[0].id, c.value);
  }
}

TEST(ResourceScriptTest, StyleExpressionsApplyToTheDefaultStyleInOrder) {
  struct Case {
    const char* statement;
    DWORD style;
  };
  const Case kCases[] = {
      {"PUSHBUTTON \"b\", 1, 0, 0, 1, 1, NOT WS_TABSTOP", 0x50000000},
      {"PUSHBUTTON \"b\", 1, 0, 0, 1, 1, NOT WS_TABSTOP | WS_TABSTOP", 0x50010000},
      {"PUSHBUTTON \"b\", 1, 0, 0, 1, 1, WS_TABSTOP | NOT WS_TABSTOP", 0x50000000},
      {"EDITTEXT 1, 0, 0, 1, 1, ES_MULTILINE | NOT WS_BORDER | WS_VSCROLL", 0x50210004},
      {"LTEXT \"t\", 1, 0, 0, 1, 1, NOT WS_GROUP | SS_CENTER", 0x50000001},
      {"CONTROL \"\", 1, \"BUTTON\", NOT WS_VISIBLE | WS_DISABLED, 0, 0, 1, 1", 0x48000000},
      {"CONTROL \"\", 1, \"BUTTON\", 0, 0, 0, 1, 1", 0x50000000},
      {"GROUPBOX \"g\", 1, 0, 0, 1, 1, WS_GROUP", 0x50020007},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.statement);
    ResourceScript s = parse(std::string("1 DIALOG 0, 0, 1, 1\nBEGIN\n") + c.statement + "\nEND\n");
    ASSERT_TRUE(s.errors.empty()) << errorsOf(s);
    ASSERT_EQ(s.dialogs.size(), 1u);
    ASSERT_EQ(s.dialogs[0].controls.size(), 1u);
    EXPECT_EQ(s.dialogs[0].controls[0].style, c.style) << std::hex << s.dialogs[0].controls[0].style;
  }
}

TEST(ResourceScriptTest, StringLiterals) {
  struct Case {
    const char* literal;
    std::string text;
  };
  const Case kCases[] = {
      {R"("&File")", "&File"},
      {R"("a""b")", "a\"b"},
      {R"("quote\"d")", "quote\"d"},
      {R"("tab\there")", "tab\there"},
      {R"("line\nnext")", "line\nnext"},
      {R"("back\\slash")", "back\\slash"},
      {R"("\101\x42\x4")", "AB\x04"},
      {R"("odd\q")", "odd\\q"},
      {R"("a" "b")", "ab"},
      {R"("cut\0here")", "cut"},
      {R"("// not a comment /* nor this */")", "// not a comment /* nor this */"},
      {R"(L"wide")", "wide"},
      {R"("")", ""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.literal);
    ResourceScript s = parse(std::string("1 MENU\nBEGIN\n MENUITEM ") + c.literal + ", 5\nEND\n");
    ASSERT_TRUE(s.errors.empty()) << errorsOf(s);
    EXPECT_EQ(onlyItemText(s), c.text);
  }
}

TEST(ResourceScriptTest, MenuOptionsAndMenuEx) {
  ResourceScript s = parse(R"(
1 MENU DISCARDABLE
BEGIN
  POPUP "&File", GRAYED
  BEGIN
    MENUITEM "a", 10, CHECKED, GRAYED
    MENUITEM "b", 11, INACTIVE MENUBARBREAK
    MENUITEM SEPARATOR
    MENUITEM "c", -1, MENUBREAK
  END
  MENUITEM "&Help", 20, HELP
END
2 MENUEX
BEGIN
  POPUP "&Edit", 30, MFT_STRING, MFS_ENABLED
  BEGIN
    MENUITEM "x", 31, MFT_RADIOCHECK, MFS_CHECKED | MFS_GRAYED
    MENUITEM "", 0, MFT_SEPARATOR
    MENUITEM "y", 32
  END
END
)");
  ASSERT_TRUE(s.errors.empty()) << errorsOf(s);
  const posix::MenuResource* m = s.findMenu(MAKEINTRESOURCE(1));
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(m->items.size(), 2u);
  EXPECT_EQ(m->items[0].flags, UINT(MF_POPUP | MF_GRAYED));
  const auto& file = m->items[0].items;
  ASSERT_EQ(file.size(), 4u);
  EXPECT_EQ(file[0].flags, UINT(MF_CHECKED | MF_GRAYED));
  EXPECT_EQ(file[1].flags, UINT(MF_DISABLED | MF_MENUBARBREAK));
  EXPECT_EQ(file[2].flags, UINT(MF_SEPARATOR));
  EXPECT_EQ(file[3].id, 0xFFFFu);  // MENU ids are 16-bit
  EXPECT_EQ(file[3].flags, UINT(MF_MENUBREAK));
  EXPECT_EQ(m->items[1].flags, UINT(MF_HELP));

  const posix::MenuResource* ex = s.findMenu(MAKEINTRESOURCE(2));
  ASSERT_NE(ex, nullptr);
  EXPECT_TRUE(ex->extended);
  ASSERT_EQ(ex->items.size(), 1u);
  EXPECT_EQ(ex->items[0].id, 30u);
  ASSERT_EQ(ex->items[0].items.size(), 3u);
  EXPECT_EQ(ex->items[0].items[0].flags, 0x200u | MF_CHECKED | MF_GRAYED | MF_DISABLED);
  EXPECT_EQ(ex->items[0].items[1].flags, UINT(MF_SEPARATOR));
  EXPECT_EQ(ex->items[0].items[2].id, 32u);
}

TEST(ResourceScriptTest, OtherResourcesAreSkipped) {
  ResourceScript s = parse(R"(
LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US
#ifndef VS_VERSION_INFO
#define VS_VERSION_INFO 1
#endif
VS_VERSION_INFO VERSIONINFO
 FILEVERSION 1,0,0,1
 PRODUCTVERSION 1,0,0,1
 FILEFLAGSMASK 0x3fL
 FILEOS 0x40004L
BEGIN
    BLOCK "StringFileInfo"
    BEGIN
        BLOCK "040904b0"
        BEGIN
            VALUE "FileDescription", "Ends with END"
            VALUE "Braces", "{ {"
        END
    END
    BLOCK "VarFileInfo" { VALUE "Translation", 0x409, 1200 }
END
STRINGTABLE DISCARDABLE
BEGIN
    1 "one"
    2, "two BEGIN"
END
IDR_ACCEL ACCELERATORS
BEGIN
    "^C", 114, ASCII
    VK_F1, 105, VIRTKEY
END
1 24 "quillon.exe.manifest"
3 RCDATA { 1, 2, "three" }
4 BITMAP logo.bmp
7 MENU
BEGIN
    MENUITEM "After", 70
END
)");
  EXPECT_TRUE(s.errors.empty()) << errorsOf(s);
  ASSERT_EQ(s.menus.size(), 1u);
  EXPECT_EQ(s.menus[0].items.at(0).text, "After");
  EXPECT_TRUE(s.dialogs.empty());
  EXPECT_TRUE(s.icons.empty());
}

TEST(ResourceScriptTest, Preprocessing) {
  std::map<std::string, std::string> files = {
      {"ids.h", "#pragma once\n#define ID_A 11\n#define ID_B \\\n   12\n#include <windows.h>\n"},
  };
  ResourceScript s = parse(
      "// leading comment\r\n"
      "#include \"res\\ids.h\"\r\n"
      "#include \"ids.h\"\r\n"
      "#define FEATURE 2\r\n"
      "#define GONE 1\r\n"
      "#undef GONE\r\n"
      "1 MENU\r\n"
      "BEGIN\r\n"
      "  MENUITEM \"a\", ID_A /* trailing\r\n"
      "  MENUITEM \"commented out\", 99\r\n"
      "  */\r\n"
      "#ifdef ID_B\r\n"
      "  MENUITEM \"b\", ID_B\r\n"
      "#else\r\n"
      "  MENUITEM \"not b\", 98\r\n"
      "#endif\r\n"
      "#if 0\r\n"
      "  MENUITEM \"never\", 97 #bogus\r\n"
      "#elif defined(FEATURE) && FEATURE > 1\r\n"
      "  MENUITEM \"feature\", 13\r\n"
      "#else\r\n"
      "  MENUITEM \"else\", 96\r\n"
      "#endif\r\n"
      "#ifndef GONE\r\n"
      "  MENUITEM \"undefined\", 14\r\n"
      "#endif\r\n"
      "#if !defined RC_INVOKED\r\n"
      "  MENUITEM \"outside rc\", 95\r\n"
      "#endif\r\n"
      "END\r\n",
      files);
  ASSERT_TRUE(s.errors.empty()) << errorsOf(s);
  const posix::MenuResource* m = s.findMenu(MAKEINTRESOURCE(1));
  ASSERT_NE(m, nullptr);
  std::vector<std::pair<std::string, UINT>> items;
  for (const auto& i : m->items) items.emplace_back(i.text, i.id);
  std::vector<std::pair<std::string, UINT>> expected = {{"a", 11}, {"b", 12}, {"feature", 13}, {"undefined", 14}};
  EXPECT_EQ(items, expected);
}

TEST(ResourceScriptTest, ResourceNames) {
  ResourceScript s = parse(R"(
MainMenu MENU BEGIN MENUITEM "x", 1 END
"Quoted" MENU BEGIN END
(100 + 1) ICON "a.ico"
AppIcon ICON app.ico
)");
  ASSERT_TRUE(s.errors.empty()) << errorsOf(s);
  EXPECT_NE(s.findMenu("MAINMENU"), nullptr);
  EXPECT_NE(s.findMenu("mainmenu"), nullptr);
  EXPECT_NE(s.findMenu("quoted"), nullptr);
  EXPECT_EQ(s.findMenu("Main"), nullptr);
  EXPECT_EQ(s.findMenu("#0"), nullptr);
  ASSERT_NE(s.findIcon("#101"), nullptr);
  EXPECT_EQ(s.findIcon(MAKEINTRESOURCE(101))->file, "a.ico");
  ASSERT_NE(s.findIcon("APPICON"), nullptr);
  EXPECT_EQ(s.findIcon("APPICON")->file, "app.ico");
  EXPECT_EQ(s.findIcon("#"), nullptr);
  EXPECT_EQ(s.findIcon("#1x"), nullptr);
  EXPECT_EQ(s.findIcon("#99999999999"), nullptr);
}

// Each script is followed by a good icon resource; `recovers` tells whether the
// parser is expected to find it after the error.
TEST(ResourceScriptTest, MalformedScriptsReportErrors) {
  std::string deepPopups;
  for (int i = 0; i < 100; ++i) deepPopups += "POPUP \"p\" BEGIN ";
  std::string deepParens = "1 DIALOG 0, 0, " + std::string(500, '(') + "1" + std::string(500, ')') + ", 1 BEGIN END";
  std::string explosive = "#define A0 x x\n";
  for (int i = 1; i < 40; ++i)
    explosive += "#define A" + std::to_string(i) + " A" + std::to_string(i - 1) + " A" + std::to_string(i - 1) + "\n";
  explosive += "A39 MENU BEGIN END";

  struct Case {
    const char* name;
    std::string script;
    const char* error;
    bool recovers;
  };
  const Case kCases[] = {
      {"unterminated string", "1 MENU BEGIN MENUITEM \"abc, 1\nEND", "unterminated string", true},
      {"missing END", "1 MENU BEGIN POPUP \"x\" BEGIN MENUITEM \"a\", 1 END", "expected MENUITEM, POPUP or END", false},
      {"missing END at end of file", "1 DIALOG 0, 0, 1, 1 BEGIN LTEXT \"a\", 1, 0, 0, 1, 1", "", false},
      {"unknown style name", "1 DIALOG 0,0,10,10 BEGIN LTEXT \"x\", 1, 0, 0, 10, 10, SS_BOGUS END",
       "unknown name 'SS_BOGUS'", true},
      {"unknown name in header", "1 DIALOG 0, 0, WIDTH, 10\nBEGIN\nEND", "unknown name 'WIDTH'", true},
      {"division by zero", "1 DIALOG 0, 0, 1, 1 BEGIN CONTROL \"\", 1 / 0, \"STATIC\", 0, 0, 0, 1, 1 END",
       "division by zero", true},
      {"duplicate", "9 ICON \"first.ico\"", "duplicate ICON resource 9", true},
      {"missing comma", "1 DIALOG 0 0 10 10 BEGIN END", "expected ','", true},
      {"bad menu option", "1 MENU BEGIN MENUITEM \"a\", 1, BOGUS END", "expected a menu item option", true},
      {"unknown control", "1 DIALOG 0, 0, 1, 1 BEGIN WIDGET \"x\", 1, 0, 0, 1, 1 END", "expected a control or END",
       true},
      {"bad control class", "1 DIALOG 0, 0, 1, 1 BEGIN CONTROL \"\", 1, 7, 0, 0, 0, 1, 1 END",
       "unknown control class", true},
      {"icon without file", "1 ICON\n", "expected the icon's file name", true},
      {"stray punctuation", "$$ ;", "expected a resource", true},
      {"stray END", "END", "expected a resource", true},
      {"no type", "1 ,", "expected a resource type", true},
      {"missing include", "#include \"nothere.h\"", "cannot find included file", true},
      {"endif without if", "#endif", "#endif without #if", true},
      {"if without endif", "#if 1\n#define X 1", "#if without #endif", true},
      {"else after else", "#if 0\n#else\n#else\n#endif", "#else after #else", true},
      {"bad #if", "#if (1\n#endif", "expected ')'", true},
      {"#error", "#error stop here", "#error stop here", true},
      {"unterminated comment", "/* never closed", "unterminated comment", false},
      {"self include", "#include \"test.rc\"", "nested too deeply", true},
      {"deep menus", "1 MENU BEGIN " + deepPopups, "menus nested too deeply", false},
      {"deep expression", deepParens, "nested too deeply", true},
      {"macro explosion", explosive, "macro expansion too large", true},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ResourceScript s = parse(c.script + "\n9 ICON \"ok.ico\"\n");
    ASSERT_FALSE(s.errors.empty());
    EXPECT_NE(errorsOf(s).find(c.error), std::string::npos) << errorsOf(s);
    EXPECT_LE(s.errors.size(), 101u);
    const posix::IconResource* icon = s.findIcon(MAKEINTRESOURCE(9));
    if (c.recovers) {
      ASSERT_NE(icon, nullptr);
      EXPECT_TRUE(icon->file == "ok.ico" || icon->file == "first.ico") << icon->file;
    }
    EXPECT_TRUE(s.menus.empty());
    EXPECT_TRUE(s.dialogs.empty());
  }
}

TEST(ResourceScriptTest, ErrorsNameTheFileAndLine) {
  ResourceScript s = parse("#include \"bad.h\"\n1 MENU\nBEGIN\n  MENUITEM \"ok\", 1\n  MENUITEM \"x\", NOPE\nEND\n",
                           {{"bad.h", "\n\n#if\n#endif\n"}});
  ASSERT_EQ(s.errors.size(), 2u) << errorsOf(s);
  EXPECT_EQ(s.errors[0].file, "bad.h");
  EXPECT_EQ(s.errors[0].line, 3);
  EXPECT_EQ(s.errors[1].file, "test.rc");
  EXPECT_EQ(s.errors[1].line, 5);
  EXPECT_NE(s.errors[1].message.find("NOPE"), std::string::npos);

  // Running out of text is reported at the main script's last line, not an included file's.
  ResourceScript truncated = parse("#include \"ids.h\"\n1 MENU\nBEGIN\n", {{"ids.h", "\n\n\n\n\n\n"}});
  ASSERT_EQ(truncated.errors.size(), 1u) << errorsOf(truncated);
  EXPECT_EQ(truncated.errors[0].file, "test.rc");
  EXPECT_EQ(truncated.errors[0].line, 3);
}

TEST(ResourceScriptTest, SelfReferringMacrosStop) {
  ResourceScript s = parse("#define A B\n#define B A\nA MENU BEGIN END\n");
  EXPECT_TRUE(s.errors.empty()) << errorsOf(s);
  EXPECT_NE(s.findMenu("A"), nullptr);
}

// Every prefix of a script, and copies with bytes changed, must parse without
// faults (run under the sanitizers) and keep their results well-formed.
TEST(ResourceScriptTest, DamagedScriptsNeverFault) {
  const std::string base = std::string(kDialogScript) +
                           "1 MENU BEGIN POPUP \"&File\" BEGIN MENUITEM \"a\\tb\", 1, CHECKED END END\n"
                           "#if defined(X) || 1\n2 ICON \"q.ico\"\n#endif\n";
  for (size_t n = 0; n <= base.size(); ++n) {
    ResourceScript s = parse(base.substr(0, n));
    for (const auto& d : s.dialogs) EXPECT_LE(d.controls.size(), 21u);
  }
  const char kNoise[] = "\"\\{}(),|#/*\n0xNOT END BEGIN";
  uint32_t seed = 12345;
  for (int round = 0; round < 1500; ++round) {
    std::string text = base;
    for (int k = 0; k < 3; ++k) {
      seed = seed * 1103515245u + 12345u;
      size_t pos = (seed >> 8) % text.size();
      seed = seed * 1103515245u + 12345u;
      text[pos] = kNoise[(seed >> 8) % (sizeof(kNoise) - 1)];
    }
    parse(text);
  }
}

// ---- icons and cursors ----

const HINSTANCE kInstance = reinterpret_cast<HINSTANCE>(0x400000);

TEST(ResourceScriptTest, LoadIconAndCursor) {
  HICON icon = LoadIconA(kInstance, MAKEINTRESOURCE(101));
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(LoadIconA(kInstance, "#101"), icon);
  EXPECT_EQ(LoadIconA(kInstance, MAKEINTRESOURCE(101)), icon);

  HICON stock = LoadIconA(nullptr, IDI_APPLICATION);
  ASSERT_NE(stock, nullptr);
  EXPECT_NE(stock, icon);
  EXPECT_EQ(LoadIconA(nullptr, IDI_APPLICATION), stock);
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  ASSERT_NE(arrow, nullptr);
  EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), arrow);
  EXPECT_NE(LoadCursorA(nullptr, MAKEINTRESOURCE(32513)), arrow);  // IDC_IBEAM

  struct Missing {
    const char* what;
    void* handle;
  };
  SetLastError(0);
  const Missing kMissing[] = {
      {"script icon that does not exist", LoadIconA(kInstance, MAKEINTRESOURCE(999))},
      {"icon by an unknown name", LoadIconA(kInstance, "NOSUCHICON")},
      {"script icon with a null instance", LoadIconA(nullptr, MAKEINTRESOURCE(101))},
      {"stock icon from the program's resources", LoadIconA(kInstance, IDI_APPLICATION)},
      {"unknown stock cursor", LoadCursorA(nullptr, MAKEINTRESOURCE(1))},
      {"cursor from the program's resources", LoadCursorA(kInstance, IDC_ARROW)},
  };
  for (const Missing& m : kMissing) EXPECT_EQ(m.handle, nullptr) << m.what;
  EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
}

}  // namespace
