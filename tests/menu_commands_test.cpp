// The menu commands on a real socket: the fixed byte strings, the escape-sequence
// dialog, the keep-alive toggle, copy and paste through the clipboard, the About
// box, and the templates of their two dialogs.
#include <cstring>
#include <string>
#include <vector>

#include "connected_fixture.h"
#include "platform/posix/resource_script.h"
#include "ui/menu_commands.h"
#include "ui/resource.h"

namespace {

using posix::testing::messageBoxes;

class MenuCommandTest : public OnLoopback<NvtLayoutTest> {
 protected:
  void SetUp() override {
    OnLoopback::SetUp();
    if (HasFatalFailure()) return;
    posix::testing::clearMessageBoxes();
  }
  void TearDown() override {
    posix::testing::setDialogHandler(nullptr);
    if (t) t->socketHandle = INVALID_SOCKET;  // the loopback closes its own end
    NvtLayoutTest::TearDown();
  }
  void command(UINT id) { SendMessageA(window_, WM_COMMAND, id, 0); }

  // Answers the next escape dialog with `text` and OK, or with Cancel.
  void answerEscape(const std::string& text, bool ok = true) {
    dialogs_ = 0;
    posix::testing::setDialogHandler([this, text, ok](HWND dialog, const std::string& caption) {
      ++dialogs_;
      EXPECT_EQ(caption, "Please Input Escape Sequence");
      EXPECT_TRUE(posix::testing::typeInto(dialog, IDC_ESCAPETEXT, text));
      EXPECT_TRUE(posix::testing::pressButton(dialog, ok ? IDOK : IDCANCEL));
    });
  }
  bool timerChecked() { return (GetMenuState(GetMenu(window_), IDM_TIMER, MF_BYCOMMAND) & MF_CHECKED) != 0; }

  int dialogs_ = 0;
};

TEST_F(MenuCommandTest, FixedEntriesSendTheirExactBytes) {
  const struct {
    UINT id;
    const char* bytes;
  } cases[] = {
      {IDM_FIND, "1B 5B 31 7E"},     {IDM_SELECT, "1B 5B 34 7E"},  {IDM_INSERT, "1B 5B 32 7E"},
      {IDM_REMOVE, "1B 5B 33 7E"},   {IDM_IACSTRING, "FF FD 01"},  {IDM_LFCRNUL, "0A 0D 00"},
      {IDM_LFCR, "0A 0D"},           {IDM_LF, "0A"},               {IDM_LFNUL, "0A 00"},
      {IDM_CRNUL, "0D 00"},          {IDM_CR, "0D"},               {IDM_KEY0, "1B 4F 70"},
      {IDM_KEY1, "1B 4F 71"},        {IDM_KEY2, "1B 4F 72"},       {IDM_KEY3, "1B 4F 73"},
      {IDM_KEY4, "1B 4F 74"},        {IDM_KEY5, "1B 4F 75"},       {IDM_KEY6, "1B 4F 76"},
      {IDM_KEY7, "1B 4F 77"},        {IDM_KEY8, "1B 4F 78"},       {IDM_KEY9, "1B 4F 79"},
      {IDM_KEYCOMMA, "1B 4F 6C"},    {IDM_KEYMINUS, "1B 4F 6D"},   {IDM_KEYPERIOD, "1B 4F 6E"},
      {IDM_KEYENTER, "1B 4F 4D"},    {IDM_NOP, "FF F1"},           {IDM_DATAMARK, "FF F2"},
      {IDM_BREAK, "FF F3"},          {IDM_INTPROCESS, "FF F4"},    {IDM_ABORTOUTPUT, "FF F5"},
      {IDM_AYT, "FF F6"},            {IDM_ERASECHAR, "FF F7"},     {IDM_ERASELINE, "FF F8"},
      {IDM_GOAHEAD, "FF F9"},        {IDM_PA1, "6C FF EF"},        {IDM_PA2, "6E FF EF"},
      {IDM_PA3, "6B FF EF"},         {IDM_CLEARKEY, "6D FF EF"},   {IDM_SYSREQ, "F0 FF EF"},
  };
  for (const auto& c : cases) {
    command(c.id);
    EXPECT_EQ(sent(), c.bytes) << "command " << c.id;
  }
  EXPECT_TRUE(messageBoxes().empty());
}

TEST_F(MenuCommandTest, ThreeTwoSeventyEntriesLeaveTheLocalScreenAlone) {
  t->terminalMode = 15;
  t->screenChars[0] = 0xC1;
  t->typedChars[0] = 'x';
  t->typedCount = 1;
  t->aid = 0x7D;
  command(IDM_CLEARKEY);
  EXPECT_EQ(sent(), "6D FF EF");
  EXPECT_EQ(t->screenChars[0], 0xC1);
  EXPECT_EQ(t->typedCount, 1);
  EXPECT_EQ(t->aid, 0x7D);
}

TEST_F(MenuCommandTest, EscapeDialogTurnsCaretBracketIntoEscape) {
  const struct {
    const char* text;
    const char* bytes;
  } cases[] = {
      {"^[[2J", "1B 5B 32 4A"},
      {"^[", "1B"},
      {"a^b", "61 5E 62"},
      {"x^", "78 5E"},           // a caret at the end stays a caret
      {"^^[", "5E 1B"},          // pairs are read left to right
      {"^[^[", "1B 1B"},
      {"[^", "5B 5E"},
  };
  for (const auto& c : cases) {
    answerEscape(c.text);
    command(IDM_ESCAPE);
    EXPECT_EQ(dialogs_, 1) << c.text;
    EXPECT_EQ(sent(), c.bytes) << c.text;
  }
}

TEST_F(MenuCommandTest, EscapeTextStopsAtTheBufferAndEmptyOrCancelledSendsNothing) {
  answerEscape(std::string(150, 'q'));
  command(IDM_ESCAPE);
  EXPECT_EQ(loop.hostReceives(300), std::vector<uint8_t>(ESCAPE_TEXT_SIZE - 1, 'q'));

  answerEscape("^[A");
  command(IDM_ESCAPE);
  EXPECT_EQ(sent(), "1B 41");
  answerEscape("^[B", false);  // the earlier text is not sent again
  command(IDM_ESCAPE);
  EXPECT_EQ(dialogs_, 1);
  EXPECT_EQ(sent(), "");
  answerEscape("");
  command(IDM_ESCAPE);
  EXPECT_EQ(sent(), "");
  EXPECT_TRUE(messageBoxes().empty());
}

TEST_F(MenuCommandTest, TimerTogglesTheTimerAndItsCheckMark) {
  EXPECT_FALSE(timerChecked());
  command(IDM_TIMER);
  EXPECT_TRUE(timerChecked());
  command(IDM_TIMER);
  EXPECT_FALSE(timerChecked());
  EXPECT_FALSE(KillTimer(window_, 1));  // no timer left running
  command(IDM_TIMER);
  EXPECT_TRUE(KillTimer(window_, 1));
}

TEST_F(MenuCommandTest, CloseAndTheSettingsDialogsSendNothing) {
  t->connected = 1;
  for (UINT id : {IDM_CLOSE, IDM_COLOR, IDM_TEXTFONT, IDM_LINEDRAWFONT}) {
    command(id);
    EXPECT_EQ(sent(), "") << id;
  }
  EXPECT_TRUE(IsWindow(window_));
  EXPECT_EQ(t->socketHandle, static_cast<SOCKET>(loop.client));
  EXPECT_TRUE(messageBoxes().empty());
}

TEST_F(MenuCommandTest, WithoutASocketSendingEntriesReportIt) {
  t->socketHandle = INVALID_SOCKET;
  for (UINT id : {IDM_GOAHEAD, IDM_PA1, IDM_KEY0}) {
    posix::testing::clearMessageBoxes();
    command(id);
    ASSERT_EQ(messageBoxes().size(), 1u) << id;
    EXPECT_EQ(messageBoxes()[0].caption, "INVALID_SOCKET Before Sending");
  }
}

TEST_F(MenuCommandTest, CopyPutsTheSelectionOnTheClipboard) {
  std::memcpy(t->nvtChars + t->NvtCellIndex(kLive + 2, 0), "hello world", 11);
  std::memcpy(t->nvtChars + t->NvtCellIndex(kLive + 3, 0), "second", 6);
  posix::testing::setClipboardBytes(std::string("old text", 9));
  const struct {
    int startColumn, startRow, endColumn, endRow;
    std::string text;
  } cases[] = {
      {0, 2, 4, 2, "hello"},
      {10, 2, 6, 2, "world"},
      {8, 2, 2, 3, "rld" + std::string(80 - 11, ' ') + "\r\nsec"},
  };
  for (const auto& c : cases) {
    t->selStartColumn = c.startColumn;
    t->selStartRow = c.startRow;
    t->selEndColumn = c.endColumn;
    t->selEndRow = c.endRow;
    command(IDM_COPY);
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
    EXPECT_EQ(posix::testing::clipboardText(), c.text);
  }
  t->terminalMode = 15;  // 3270 mode copies the last VT100 selection as well
  command(IDM_COPY);
  EXPECT_EQ(posix::testing::clipboardText(), cases[2].text);
  EXPECT_EQ(sent(), "");
}

TEST_F(MenuCommandTest, PasteSendsTheClipboardTextUpToItsEnd) {
  const struct {
    const char* what;
    std::string block;
    std::string wire;
  } cases[] = {
      {"text and its NUL", std::string("ls -l\r\n\0", 8), "ls -l\r\n"},
      {"nothing after the NUL", std::string("ab\0cd\0", 6), "ab"},
      {"a block without a NUL", "xyz", "xyz"},
      {"bytes above 127 unchanged", std::string("\xFF\x1B[A\0", 5), "\xFF\x1B[A"},
  };
  for (const auto& c : cases) {
    posix::testing::setClipboardBytes(c.block);
    command(IDM_PASTE);
    const std::vector<uint8_t> got = loop.hostReceives(300);
    EXPECT_EQ(std::string(got.begin(), got.end()), c.wire) << c.what;
    EXPECT_EQ(t->clipboardData, nullptr);
  }
  // The clipboard was closed again: another window can open it.
  EXPECT_TRUE(OpenClipboard(nullptr));
  EXPECT_TRUE(CloseClipboard());

  posix::testing::setClipboardBytes(std::string(1, '\0'));
  command(IDM_PASTE);
  posix::testing::clearClipboard();
  command(IDM_PASTE);
  EXPECT_EQ(sent(), "");
  EXPECT_TRUE(messageBoxes().empty());
}

TEST_F(MenuCommandTest, ClearPutsTheCaretOnTheCursorAndRefreshInvalidates) {
  t->cursorColumn = 7;
  t->cursorRow = 3;
  ASSERT_TRUE(CreateCaret(window_, nullptr, cw, ch));  // as the window has while it has the focus
  command(IDM_CLEAR);
  POINT p{};
  ASSERT_TRUE(GetCaretPos(&p));
  EXPECT_EQ(p.x, 7 * cw);
  EXPECT_EQ(p.y, 3 * ch);

  posix::testing::pumpUntilIdle();
  RECT r{};
  EXPECT_FALSE(GetUpdateRect(window_, &r, FALSE));
  command(IDM_REFRESH);
  EXPECT_TRUE(GetUpdateRect(window_, &r, FALSE));
}

TEST_F(MenuCommandTest, AboutShowsTheBuildDateAndTime) {
  std::string caption, compiled;
  posix::testing::setDialogHandler([&](HWND dialog, const std::string& c) {
    caption = c;
    char text[128] = {};
    GetDlgItemTextA(dialog, IDC_COMPILED, text, sizeof text);
    compiled = text;
    EXPECT_TRUE(posix::testing::pressButton(dialog, IDOK));
  });
  command(IDM_ABOUT);
  EXPECT_EQ(caption, "About TN3270");
  // "A" an upper-case letter, "a" a lower-case one, "9" a digit, "_" a digit or a blank.
  const std::string shape = "(Compiled: Aaa _9 9999, 99:99:99)\n";
  bool matches = compiled.size() == shape.size();
  for (size_t i = 0; matches && i < shape.size(); ++i) {
    const char c = compiled[i];
    switch (shape[i]) {
      case 'A': matches = c >= 'A' && c <= 'Z'; break;
      case 'a': matches = c >= 'a' && c <= 'z'; break;
      case '9': matches = c >= '0' && c <= '9'; break;
      case '_': matches = c == ' ' || (c >= '0' && c <= '9'); break;
      default: matches = c == shape[i]; break;
    }
  }
  EXPECT_TRUE(matches) << compiled;
  EXPECT_EQ(sent(), "");
}

// The styles the Windows resource compiler gives these templates' controls.
TEST(MenuDialogTemplateTest, ControlsHaveTheSameStylesAsOnWindows) {
  const struct {
    int dialog;
    std::vector<std::pair<int, DWORD>> controls;  // id, style
  } cases[] = {
      {IDD_ABOUT, {{-1, 0x50000003}, {-1, 0x50020000}, {-1, 0x50020000}, {IDC_COMPILED, 0x50020000}, {IDOK, 0x50030001}}},
      {IDD_ESCAPE, {{-1, 0x50020000}, {IDC_ESCAPETEXT, 0x50810080}, {IDOK, 0x50030001}, {IDCANCEL, 0x50010000}}},
  };
  for (const auto& c : cases) {
    const posix::DialogResource* d = posix::resources().findDialog(MAKEINTRESOURCEA(c.dialog));
    ASSERT_NE(d, nullptr) << c.dialog;
    EXPECT_EQ(d->style, 0x80C800C0u) << c.dialog;
    ASSERT_EQ(d->controls.size(), c.controls.size()) << c.dialog;
    for (size_t i = 0; i < c.controls.size(); ++i) {
      EXPECT_EQ(d->controls[i].id, c.controls[i].first) << c.dialog << " control " << i;
      EXPECT_EQ(d->controls[i].style, c.controls[i].second) << c.dialog << " control " << i;
    }
  }
  const posix::DialogResource* about = posix::resources().findDialog(MAKEINTRESOURCEA(IDD_ABOUT));
  ASSERT_NE(about, nullptr);
  EXPECT_TRUE(about->controls[0].textIsId);
  EXPECT_EQ(about->controls[0].textId, IDI_QUILLON);
  EXPECT_EQ(about->controls[1].text,
            "This is an IBM 3270 or UNIX VT Terminal Emulation Program, which should run on Windows with TCP/IP "
            "support,");
  EXPECT_EQ(about->controls[3].text, "< Date and Time Compiled >");
}

// The clipboard holds blocks only while a window has it open, and frees what it replaces.
TEST_F(MenuCommandTest, ClipboardTakesBlocksOnlyWhileOpen) {
  HGLOBAL a = GlobalAlloc(GMEM_MOVEABLE, 4);
  std::memcpy(GlobalLock(a), "one", 4);
  GlobalUnlock(a);
  EXPECT_EQ(SetClipboardData(CF_TEXT, a), nullptr);  // not open
  EXPECT_EQ(GetClipboardData(CF_TEXT), nullptr);
  ASSERT_TRUE(OpenClipboard(window_));
  EXPECT_FALSE(OpenClipboard(GetDesktopWindow()));  // held by another window
  EXPECT_TRUE(EmptyClipboard());
  EXPECT_EQ(SetClipboardData(CF_TEXT, a), a);
  EXPECT_EQ(GetClipboardData(CF_TEXT), a);
  HGLOBAL b = GlobalAlloc(GMEM_MOVEABLE, 4);
  std::memcpy(GlobalLock(b), "two", 4);
  GlobalUnlock(b);
  EXPECT_EQ(SetClipboardData(CF_TEXT, b), b);
  EXPECT_EQ(GlobalSize(a), 0u);  // the replaced block was freed
  EXPECT_TRUE(CloseClipboard());
  EXPECT_FALSE(CloseClipboard());
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
  EXPECT_EQ(posix::testing::clipboardText(), "two");
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_TRUE(EmptyClipboard());
  EXPECT_TRUE(CloseClipboard());
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT));
  EXPECT_EQ(GlobalSize(b), 0u);
}

}  // namespace
