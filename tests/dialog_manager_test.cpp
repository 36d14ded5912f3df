// The dialog manager on the headless display: the host dialog from the program's
// resource script, start states set by a dialog procedure, typing and pressing
// through the test hook, the keyboard rules, bounded text copies, the nested
// modal loop, the owner's enabled state, colours and owner drawing.
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

#include "harness.h"
#include "platform/posix/dialog.h"
#include "platform/posix/internal.h"
#include "platform/posix/resource_script.h"
#include "ui/resource.h"

namespace {

using posix::testing::pressButton;
using posix::testing::sendKey;
using posix::testing::typeInto;

// ---- a dialog procedure that does what the host dialog's procedure does ---------------

struct HostLog {
  char* buffer = nullptr;
  HWND initFocus = nullptr;
  std::vector<std::pair<int, int>> commands;  // control id, notification code
  bool vt100 = false;
  bool trace = false;
  HWND dialog = nullptr;
};
HostLog* g_host = nullptr;

INT_PTR CALLBACK hostProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      g_host->dialog = dialog;
      g_host->initFocus = reinterpret_cast<HWND>(wParam);
      g_host->buffer = reinterpret_cast<char*>(lParam);
      SendDlgItemMessageA(dialog, IDC_HOSTNAME, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("host.example"));
      SetDlgItemTextA(dialog, IDC_HOSTNAME, g_host->buffer);
      CheckRadioButton(dialog, IDC_VT100, IDC_IBM3270, IDC_IBM3270);
      return FALSE;
    case WM_COMMAND:
      // Focus notifications of the host field are not what these tests look at.
      if (LOWORD(wParam) != IDC_HOSTNAME || (HIWORD(wParam) != CBN_SETFOCUS && HIWORD(wParam) != CBN_KILLFOCUS))
        g_host->commands.emplace_back(LOWORD(wParam), HIWORD(wParam));
      if (wParam == IDOK) {
        GetDlgItemTextA(dialog, IDC_HOSTNAME, g_host->buffer, 40);
        g_host->vt100 = IsDlgButtonChecked(dialog, IDC_VT100) == BST_CHECKED;
        g_host->trace = IsDlgButtonChecked(dialog, IDC_TRACE) == BST_CHECKED;
        EndDialog(dialog, 1);
        return TRUE;
      }
      if (wParam == IDCANCEL) EndDialog(dialog, 0);
      return FALSE;
    default: return FALSE;
  }
}

// The owner: ends the open dialog when a "socket" message or its timer arrives.
std::vector<UINT>* g_ownerSeen = nullptr;
HWND g_openDialog = nullptr;
constexpr UINT kSocketMessage = WM_USER + 2;

LRESULT CALLBACK ownerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (g_ownerSeen) g_ownerSeen->push_back(msg);
  if (msg == kSocketMessage) EndDialog(g_openDialog, 42);
  if (msg == WM_TIMER && wParam == 9) {
    KillTimer(hwnd, 9);
    EndDialog(g_openDialog, 43);
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

int focusedId() { return GetDlgCtrlID(GetFocus()); }

class DialogTest : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    g_host = &log_;
    g_ownerSeen = &ownerSeen_;
    WNDCLASSA wc{};
    wc.lpfnWndProc = ownerProc;
    wc.lpszClassName = "dialog owner";
    ASSERT_NE(RegisterClassA(&wc), 0);
    owner_ = CreateWindowExA(0, "dialog owner", "Owner", WS_OVERLAPPEDWINDOW, 100, 50, 640, 480, nullptr, nullptr,
                             nullptr, nullptr);
    ASSERT_NE(owner_, nullptr);
    std::strcpy(buffer_, "default.host");
  }
  void TearDown() override {
    g_host = nullptr;
    g_ownerSeen = nullptr;
    g_openDialog = nullptr;
    ScratchTest::TearDown();
  }

  // Runs the host dialog with `handler` acting on it once its loop starts.
  INT_PTR runHost(std::function<void(HWND)> handler) {
    int calls = 0;
    posix::testing::setDialogHandler([&](HWND dialog, const std::string&) {
      ++calls;
      g_openDialog = dialog;
      if (handler) handler(dialog);
    });
    const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_HOST), owner_, hostProc,
                                           reinterpret_cast<LPARAM>(buffer_));
    EXPECT_EQ(calls, 1);
    return result;
  }

  HostLog log_;
  std::vector<UINT> ownerSeen_;
  HWND owner_ = nullptr;
  char buffer_[40] = {};
};

// ---- the host dialog's template -------------------------------------------------------------

TEST_F(DialogTest, HostDialogTemplateHasTheControlsOfTheTable) {
  const posix::DialogResource* d = posix::resources().findDialog(MAKEINTRESOURCEA(IDD_HOST));
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->caption, "Destination Host");
  EXPECT_EQ(d->cx, 268);
  EXPECT_EQ(d->cy, 146);
  EXPECT_EQ(d->fontSize, 8);
  EXPECT_EQ(d->fontFace, "MS Sans Serif");
  EXPECT_EQ(d->style, 0x80C800C0u);  // what the Windows resource compiler makes of it too
  struct Expected {
    const char* cls;
    int id;
    const char* text;
    DWORD style;
  };
  // The styles are those the Windows resource compiler gives the same script.
  const Expected kControls[] = {
      {"COMBOBOX", IDC_HOSTNAME, "", 0x50210142},  {"BUTTON", -1, "Term Type", 0x50000007},
      {"BUTTON", IDC_VT100, "VT100", 0x50030009},  {"BUTTON", IDC_IBM3270, "IBM 3270", 0x50000009},
      {"BUTTON", IDC_TRACE, " Trace Check", 0x50030003}, {"STATIC", -1, "Trace To A Log File", 0x50020000},
      {"STATIC", -1, "Host Name", 0x50020000},     {"STATIC", -1, "3270 Model", 0x50020000},
      {"COMBOBOX", IDC_MODEL, "", 0x50210003},     {"BUTTON", IDOK, "OK", 0x50030001},
      {"BUTTON", IDCANCEL, "Cancel", 0x50010000},
  };
  ASSERT_EQ(d->controls.size(), std::size(kControls));
  for (size_t i = 0; i < std::size(kControls); ++i) {
    SCOPED_TRACE(kControls[i].text);
    EXPECT_EQ(d->controls[i].className, kControls[i].cls);
    EXPECT_EQ(d->controls[i].id, kControls[i].id);
    EXPECT_EQ(d->controls[i].text, kControls[i].text);
    EXPECT_EQ(d->controls[i].style, kControls[i].style) << std::hex << d->controls[i].style;
    // Every control lies inside the dialog.
    EXPECT_LE(d->controls[i].x + d->controls[i].cx, d->cx);
    EXPECT_LE(d->controls[i].y + d->controls[i].cy, d->cy);
  }
}

TEST_F(DialogTest, HostDialogOpensWithItsCaptionControlsAndStartStates) {
  const INT_PTR result = runHost([&](HWND dialog) {
    char caption[64];
    GetWindowTextA(dialog, caption, sizeof caption);
    EXPECT_STREQ(caption, "Destination Host");
    EXPECT_EQ(GetParent(dialog), owner_);  // the terminal object is found through it
    RECT client;
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, 268 * 2);  // 8 x 16 base units: two pixels per dialog unit
    EXPECT_EQ(client.bottom, 146 * 2);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_FALSE(IsWindowEnabled(owner_));

    struct Expected {
      int id;
      const char* cls;
      const char* text;
    };
    const Expected kControls[] = {{IDC_HOSTNAME, "ComboBox", "default.host"}, {IDC_VT100, "Button", "VT100"},
                                  {IDC_IBM3270, "Button", "IBM 3270"},        {IDC_TRACE, "Button", " Trace Check"},
                                  {IDOK, "Button", "OK"},                     {IDCANCEL, "Button", "Cancel"}};
    for (const Expected& e : kControls) {
      SCOPED_TRACE(e.id);
      const HWND control = GetDlgItem(dialog, e.id);
      ASSERT_NE(control, nullptr);
      EXPECT_EQ(GetParent(control), dialog);
      EXPECT_EQ(GetDlgCtrlID(control), e.id);
      char cls[32], text[64];
      GetClassNameA(control, cls, sizeof cls);
      GetWindowTextA(control, text, sizeof text);
      EXPECT_STREQ(cls, e.cls);
      EXPECT_STREQ(text, e.text);
    }
    // The list holds the default host; the field shows the buffer.
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_HOSTNAME, CB_GETCOUNT, 0, 0), 1);
    char item[64] = {};
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_HOSTNAME, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(item)), 12);
    EXPECT_STREQ(item, "host.example");
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_VT100), BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_IBM3270), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_TRACE), BST_UNCHECKED);
    // The procedure answered FALSE; the dialog's focus still lands on the first tab stop.
    EXPECT_EQ(focusedId(), IDC_HOSTNAME);

    // A display can list the open dialog with its controls.
    ASSERT_EQ(posix::openDialogs(), std::vector<HWND>{dialog});
    posix::DialogView view;
    ASSERT_TRUE(posix::viewDialog(dialog, &view));
    EXPECT_EQ(view.caption, "Destination Host");
    ASSERT_EQ(view.controls.size(), 11u);
    EXPECT_EQ(view.controls[0].kind, posix::ControlKind::kComboBox);
    EXPECT_TRUE(view.controls[0].editable);
    EXPECT_TRUE(view.controls[0].focused);
    EXPECT_EQ(view.controls[0].rect.bottom - view.controls[0].rect.top, 16);  // the one-line field
    EXPECT_EQ(view.controls[1].kind, posix::ControlKind::kGroupBox);
    EXPECT_EQ(view.controls[3].kind, posix::ControlKind::kRadioButton);
    EXPECT_EQ(view.controls[3].check, BST_CHECKED);
    EXPECT_EQ(view.controls[9].kind, posix::ControlKind::kDefPushButton);
    EXPECT_TRUE(view.controls[9].isDefault);
    EXPECT_EQ(view.controls[9].rect.left, 60 * 2);
    // What a click at a point of the dialog reaches: the radio button over its group box,
    // the group box only where nothing else is.
    EXPECT_EQ(posix::controlAt(dialog, POINT{(30 + 2) * 2, (58 + 2) * 2}), GetDlgItem(dialog, IDC_VT100));
    EXPECT_EQ(posix::controlAt(dialog, POINT{(16 + 2) * 2, (42 + 50) * 2}), view.controls[1].handle);
    EXPECT_EQ(posix::controlAt(dialog, POINT{2, 2}), nullptr);
  });
  // Nothing pressed: the headless display cancels, which the procedure ends with 0.
  EXPECT_EQ(result, 0);
  EXPECT_EQ(log_.commands, (std::vector<std::pair<int, int>>{{IDCANCEL, BN_CLICKED}}));
  EXPECT_TRUE(IsWindowEnabled(owner_));
  EXPECT_FALSE(IsWindow(log_.dialog));
  EXPECT_TRUE(posix::openDialogs().empty());
}

TEST_F(DialogTest, InitDialogGetsTheFirstTabStopAndTheParameter) {
  runHost([&](HWND dialog) { EXPECT_EQ(log_.initFocus, GetDlgItem(dialog, IDC_HOSTNAME)); });
  EXPECT_EQ(log_.buffer, buffer_);
}

// ---- typing and pressing through the hook -------------------------------------------------------

TEST_F(DialogTest, TypingAndPressingFillTheDialogAndOkEndsIt) {
  const INT_PTR result = runHost([&](HWND dialog) {
    EXPECT_TRUE(typeInto(dialog, IDC_HOSTNAME, "10.0.0.1"));  // replaces the selected default
    EXPECT_TRUE(pressButton(dialog, IDC_VT100));
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_IBM3270), BST_UNCHECKED);  // auto radio: the group follows
    EXPECT_TRUE(pressButton(dialog, IDC_TRACE));
    EXPECT_TRUE(pressButton(dialog, IDOK));
    EXPECT_TRUE(IsWindowEnabled(owner_));  // EndDialog enables the owner at once
  });
  EXPECT_EQ(result, 1);
  EXPECT_STREQ(buffer_, "10.0.0.1");
  EXPECT_TRUE(log_.vt100);
  EXPECT_TRUE(log_.trace);
  int edits = 0;
  for (const auto& c : log_.commands) edits += c == std::make_pair(IDC_HOSTNAME, CBN_EDITCHANGE) ? 1 : 0;
  EXPECT_EQ(edits, 8);
  EXPECT_NE(std::find(log_.commands.begin(), log_.commands.end(), std::make_pair(IDC_VT100, BN_CLICKED)),
            log_.commands.end());
  EXPECT_EQ(log_.commands.back(), std::make_pair(IDOK, BN_CLICKED));
}

TEST_F(DialogTest, BackspaceAndTheTextLimitApplyToTyping) {
  runHost([&](HWND dialog) {
    SendDlgItemMessageA(dialog, IDC_HOSTNAME, CB_LIMITTEXT, 6, 0);
    typeInto(dialog, IDC_HOSTNAME, "abcdefgh");  // two too many
    char text[40];
    GetDlgItemTextA(dialog, IDC_HOSTNAME, text, sizeof text);
    EXPECT_STREQ(text, "abcdef");
    posix::testing::pumpDialog(dialog);
    PostMessageA(GetDlgItem(dialog, IDC_HOSTNAME), WM_CHAR, '\b', 1);
    posix::testing::pumpDialog(dialog);
    GetDlgItemTextA(dialog, IDC_HOSTNAME, text, sizeof text);
    EXPECT_STREQ(text, "abcde");
    // Picking from the list replaces the text and tells the procedure.
    EXPECT_TRUE(posix::testing::chooseItem(dialog, IDC_HOSTNAME, 0));
    GetDlgItemTextA(dialog, IDC_HOSTNAME, text, sizeof text);
    EXPECT_STREQ(text, "host.example");
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_HOSTNAME, CB_GETCURSEL, 0, 0), 0);
  });
  EXPECT_NE(std::find(log_.commands.begin(), log_.commands.end(), std::make_pair(IDC_HOSTNAME, CBN_SELCHANGE)),
            log_.commands.end());
}

// ---- keyboard rules -----------------------------------------------------------------------------------

TEST_F(DialogTest, TabShiftTabAndArrowsMoveTheFocus) {
  struct Step {
    UINT key;
    bool shift;
    int focus;      // id that has the focus afterwards
    int checked;    // radio button checked afterwards
  };
  // The checked radio button is the group's tab stop; arrows move within the group
  // and select the automatic radio buttons they land on.
  const Step kSteps[] = {
      {VK_TAB, false, IDC_IBM3270, IDC_IBM3270}, {VK_TAB, false, IDC_TRACE, IDC_IBM3270},
      {VK_TAB, false, IDC_MODEL, IDC_IBM3270},   {VK_TAB, false, IDOK, IDC_IBM3270},
      {VK_TAB, false, IDCANCEL, IDC_IBM3270},    {VK_TAB, false, IDC_HOSTNAME, IDC_IBM3270},
      {VK_TAB, true, IDCANCEL, IDC_IBM3270},     {VK_TAB, true, IDOK, IDC_IBM3270},
      {VK_TAB, true, IDC_MODEL, IDC_IBM3270},    {VK_TAB, true, IDC_TRACE, IDC_IBM3270},
      {VK_TAB, true, IDC_IBM3270, IDC_IBM3270},  {VK_UP, false, IDC_VT100, IDC_VT100},
      {VK_DOWN, false, IDC_IBM3270, IDC_IBM3270}, {VK_DOWN, false, IDC_VT100, IDC_VT100},
      {VK_RIGHT, false, IDC_IBM3270, IDC_IBM3270}, {VK_LEFT, false, IDC_VT100, IDC_VT100},
      {VK_TAB, false, IDC_TRACE, IDC_VT100},     {VK_TAB, true, IDC_VT100, IDC_VT100},
      {VK_TAB, false, IDC_TRACE, IDC_VT100},     {VK_DOWN, false, IDC_TRACE, IDC_VT100},  // a group of one
  };
  runHost([&](HWND dialog) {
    ASSERT_EQ(focusedId(), IDC_HOSTNAME);
    for (size_t i = 0; i < std::size(kSteps); ++i) {
      SCOPED_TRACE(i);
      sendKey(dialog, kSteps[i].key, kSteps[i].shift);
      EXPECT_EQ(focusedId(), kSteps[i].focus);
      EXPECT_EQ(IsDlgButtonChecked(dialog, kSteps[i].checked), BST_CHECKED);
      const int other = kSteps[i].checked == IDC_VT100 ? IDC_IBM3270 : IDC_VT100;
      EXPECT_EQ(IsDlgButtonChecked(dialog, other), BST_UNCHECKED);
    }
  });
}

TEST_F(DialogTest, SpaceTogglesTheCheckBoxAndPressesPushButtons) {
  const INT_PTR result = runHost([&](HWND dialog) {
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_TRACE)), TRUE);
    sendKey(dialog, VK_SPACE);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_TRACE), BST_CHECKED);
    sendKey(dialog, VK_SPACE);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_TRACE), BST_UNCHECKED);
    sendKey(dialog, VK_SPACE);
    sendKey(dialog, VK_TAB);  // the model list
    sendKey(dialog, VK_TAB);  // OK
    sendKey(dialog, VK_SPACE);
  });
  EXPECT_EQ(result, 1);
  EXPECT_TRUE(log_.trace);
  EXPECT_EQ(log_.commands, (std::vector<std::pair<int, int>>{{IDC_TRACE, BN_CLICKED},
                                                            {IDC_TRACE, BN_CLICKED},
                                                            {IDC_TRACE, BN_CLICKED},
                                                            {IDC_MODEL, CBN_SETFOCUS},
                                                            {IDC_MODEL, CBN_KILLFOCUS},
                                                            {IDOK, BN_CLICKED}}));
}

TEST_F(DialogTest, EnterPressesTheDefaultOrFocusedButtonAndEscapeCancels) {
  struct Case {
    int focus;
    UINT key;
    INT_PTR result;
    int command;
  };
  const Case kCases[] = {
      {IDC_HOSTNAME, VK_RETURN, 1, IDOK},  // the default push button
      {IDC_TRACE, VK_RETURN, 1, IDOK},
      {IDCANCEL, VK_RETURN, 0, IDCANCEL},  // a focused push button takes Enter
      {IDC_HOSTNAME, VK_ESCAPE, 0, IDCANCEL},
      {IDOK, VK_ESCAPE, 0, IDCANCEL},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.focus);
    log_.commands.clear();
    const INT_PTR result = runHost([&](HWND dialog) {
      SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, c.focus)), TRUE);
      sendKey(dialog, c.key);
    });
    EXPECT_EQ(result, c.result);
    ASSERT_FALSE(log_.commands.empty());
    EXPECT_EQ(log_.commands.front(), std::make_pair(c.command, static_cast<int>(BN_CLICKED)));
  }
}

// ---- bounded text copies --------------------------------------------------------------------------------

TEST_F(DialogTest, GetDlgItemTextCopiesNoMoreThanTheBufferHolds) {
  struct Case {
    int size;
    UINT result;
    const char* text;  // nullptr: the buffer is left alone
  };
  const Case kCases[] = {{1, 0, ""},          {2, 1, "a"},          {6, 5, "abcde"}, {7, 6, "abcdef"},
                         {40, 6, "abcdef"},   {0, 0, nullptr},      {-3, 0, nullptr}};
  runHost([&](HWND dialog) {
    SetDlgItemTextA(dialog, IDC_HOSTNAME, "abcdef");
    for (const Case& c : kCases) {
      SCOPED_TRACE(c.size);
      char buffer[48];
      std::memset(buffer, 'X', sizeof buffer);
      EXPECT_EQ(GetDlgItemTextA(dialog, IDC_HOSTNAME, buffer, c.size), c.result);
      if (c.text) {
        EXPECT_STREQ(buffer, c.text);
        EXPECT_EQ(buffer[c.size], 'X');  // nothing past the given size
      } else {
        EXPECT_EQ(buffer[0], 'X');
      }
    }
    char missing[4] = "XYZ";
    EXPECT_EQ(GetDlgItemTextA(dialog, 4242, missing, sizeof missing), 0u);
    EXPECT_STREQ(missing, "");
    EXPECT_EQ(GetDlgItemTextA(dialog, IDC_HOSTNAME, nullptr, 10), 0u);
  });
}

TEST_F(DialogTest, DialogItemIntegers) {
  struct Case {
    const char* text;
    BOOL isSigned;
    UINT value;
    BOOL translated;
  };
  const Case kCases[] = {{"  42", FALSE, 42, TRUE},  {"-17", TRUE, static_cast<UINT>(-17), TRUE},
                         {"-17", FALSE, 0, FALSE},   {"12ab", FALSE, 12, TRUE},
                         {"", FALSE, 0, FALSE},      {"4294967296", FALSE, 0, FALSE},
                         {"2147483648", TRUE, 0, FALSE}, {"4294967295", FALSE, 4294967295u, TRUE}};
  runHost([&](HWND dialog) {
    for (const Case& c : kCases) {
      SCOPED_TRACE(c.text);
      SetDlgItemTextA(dialog, IDC_HOSTNAME, c.text);
      BOOL translated = -1;
      EXPECT_EQ(GetDlgItemInt(dialog, IDC_HOSTNAME, &translated, c.isSigned), c.value);
      EXPECT_EQ(translated, c.translated);
    }
    SetDlgItemInt(dialog, IDC_HOSTNAME, static_cast<UINT>(-5), TRUE);
    char text[16];
    GetDlgItemTextA(dialog, IDC_HOSTNAME, text, sizeof text);
    EXPECT_STREQ(text, "-5");
  });
}

// ---- the nested modal loop and the owner ------------------------------------------------------------

TEST_F(DialogTest, SocketEventsAndPaintForTheOwnerAreHandledWhileTheDialogIsOpen) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  // What the socket layer does for a selected socket: a readable descriptor posts the owner a message.
  const int watch = posix::addWatch(fds[0], POLLIN, [&](short) {
    char byte;
    if (read(fds[0], &byte, 1) == 1) PostMessageA(owner_, kSocketMessage, static_cast<WPARAM>(fds[0]), 1);
  });
  ShowWindow(owner_, SW_SHOW);
  const INT_PTR result = runHost([&](HWND) {
    ownerSeen_.clear();
    InvalidateRect(owner_, nullptr, TRUE);
    ASSERT_EQ(write(fds[1], "x", 1), 1);
  });
  EXPECT_EQ(result, 42);  // the owner's handler ended the dialog from inside its loop
  EXPECT_NE(std::find(ownerSeen_.begin(), ownerSeen_.end(), kSocketMessage), ownerSeen_.end());
  EXPECT_NE(std::find(ownerSeen_.begin(), ownerSeen_.end(), static_cast<UINT>(WM_PAINT)), ownerSeen_.end());
  // The owner is active and focused again.
  EXPECT_TRUE(IsWindowEnabled(owner_));
  EXPECT_EQ(GetActiveWindow(), owner_);
  EXPECT_EQ(GetFocus(), owner_);
  posix::removeWatch(watch);
  close(fds[0]);
  close(fds[1]);
}

TEST_F(DialogTest, TimersOfOtherWindowsRunInTheDialogLoop) {
  SetTimer(owner_, 9, 10, nullptr);
  const INT_PTR result = runHost([&](HWND) { std::this_thread::sleep_for(std::chrono::milliseconds(30)); });
  EXPECT_EQ(result, 43);
}

TEST_F(DialogTest, AnOwnerDisabledBeforeStaysDisabled) {
  EnableWindow(owner_, FALSE);
  runHost([&](HWND) { EXPECT_FALSE(IsWindowEnabled(owner_)); });
  EXPECT_FALSE(IsWindowEnabled(owner_));
}

TEST_F(DialogTest, MissingTemplateOrOwnerFails) {
  int calls = 0;
  posix::testing::setDialogHandler([&](HWND, const std::string&) { ++calls; });
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(999), owner_, hostProc, 0), -1);
  EXPECT_EQ(DialogBoxParamA(nullptr, "NOSUCHDIALOG", owner_, hostProc, 0), -1);
  EXPECT_EQ(DialogBoxParamA(nullptr, nullptr, owner_, hostProc, 0), -1);
  EXPECT_EQ(CreateDialogParamA(nullptr, MAKEINTRESOURCEA(999), owner_, hostProc, 0), nullptr);
  EXPECT_FALSE(EndDialog(owner_, 1));  // not a dialog
  EXPECT_TRUE(IsWindowEnabled(owner_));
  const HWND gone = owner_;
  DestroyWindow(gone);
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_HOST), gone, hostProc, 0), 0);
  EXPECT_EQ(calls, 0);
}

// Ignores IDCANCEL: only the forced end can close it.
INT_PTR CALLBACK stubbornProc(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG ? TRUE : FALSE; }

TEST_F(DialogTest, WithoutAHandlerDialogsAreCancelledAndNeverHang) {
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_HOST), owner_, hostProc,
                            reinterpret_cast<LPARAM>(buffer_)),
            0);
  EXPECT_EQ(log_.commands, (std::vector<std::pair<int, int>>{{IDCANCEL, BN_CLICKED}}));
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_HOST), owner_, stubbornProc, 0), IDCANCEL);
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_HOST), nullptr, stubbornProc, 0), IDCANCEL);
  EXPECT_TRUE(IsWindowEnabled(owner_));
}

// Never validates: its WM_PAINT comes back for ever.
LRESULT CALLBACK neverPaintsProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return msg == WM_PAINT ? 0 : DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST_F(DialogTest, AWindowThatNeverValidatesCannotHoldTheDialogOpen) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = neverPaintsProc;
  wc.lpszClassName = "never paints";
  ASSERT_NE(RegisterClassA(&wc), 0);
  const HWND bad = CreateWindowExA(0, "never paints", "", WS_POPUP | WS_VISIBLE, 0, 0, 80, 40, nullptr, nullptr,
                                   nullptr, nullptr);
  ASSERT_NE(bad, nullptr);
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_HOST), owner_, stubbornProc, 0), IDCANCEL);
  DestroyWindow(bad);
}

TEST_F(DialogTest, DestroyingTheOwnerEndsTheDialog) {
  const INT_PTR result = runHost([&](HWND dialog) {
    PostMessageA(owner_, WM_CLOSE, 0, 0);  // as a closing connection does
    posix::testing::pumpDialog(dialog);
    EXPECT_FALSE(IsWindow(dialog));
  });
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(IsWindow(owner_));
  EXPECT_TRUE(posix::openDialogs().empty());
}

TEST_F(DialogTest, WmQuitEndsTheDialogAndReachesTheOuterLoop) {
  const INT_PTR result = runHost([&](HWND) { PostQuitMessage(3); });
  EXPECT_EQ(result, 0);
  posix::testing::pumpUntilIdle();
  EXPECT_EQ(posix::testing::quitCode(), 3);
}

TEST_F(DialogTest, DialogsNestAndEachGetsTheHandler) {
  std::vector<HWND> seen;
  INT_PTR inner = 0;
  posix::testing::setDialogHandler([&](HWND dialog, const std::string&) {
    seen.push_back(dialog);
    if (seen.size() == 1) {
      inner = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_HOST), dialog, stubbornProc, 0);
      EXPECT_TRUE(IsWindowEnabled(dialog));  // the outer dialog is usable again
      EXPECT_TRUE(IsWindow(dialog));
      pressButton(dialog, IDOK);
    } else {
      EXPECT_FALSE(IsWindowEnabled(seen[0]));
      EXPECT_EQ(posix::openDialogs().size(), 2u);
      EndDialog(dialog, 7);
    }
  });
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(IDD_HOST), owner_, hostProc, reinterpret_cast<LPARAM>(buffer_)),
            1);
  EXPECT_EQ(inner, 7);
  EXPECT_EQ(seen.size(), 2u);
}

// ---- other templates: edit fields, lists, owner drawing, colours ---------------------------------------------

const char kProbeScript[] = R"(
PROBE DIALOG 0, 0, 160, 80
STYLE DS_MODALFRAME | WS_POPUP | WS_CAPTION
CAPTION "Probe"
FONT 8, "MS Sans Serif"
BEGIN
  EDITTEXT 300, 4, 4, 80, 12, ES_AUTOHSCROLL | ES_NUMBER
  CONTROL "", 301, "ComboBox", CBS_DROPDOWNLIST | CBS_SORT | WS_TABSTOP, 4, 20, 80, 60
  LTEXT "&Label", 302, 4, 36, 40, 8
  CONTROL "", 303, "Button", BS_OWNERDRAW | WS_TABSTOP, 90, 4, 36, 12
  PUSHBUTTON "&Apply", 305, 90, 40, 40, 14
  DEFPUSHBUTTON "OK", IDOK, 90, 60, 40, 14
END
)";

struct ProbeLog {
  std::vector<std::pair<int, int>> commands;
  std::vector<UINT> colorMessages;
  DRAWITEMSTRUCT drawn{};
  int drawCount = 0;
  HBRUSH red = nullptr;
  LRESULT userAnswer = 0;
};
ProbeLog* g_probe = nullptr;

INT_PTR CALLBACK probeProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: return TRUE;
    case WM_COMMAND:
      g_probe->commands.emplace_back(LOWORD(wParam), HIWORD(wParam));
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, LOWORD(wParam));
      return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORDLG:
      g_probe->colorMessages.push_back(msg);
      SetTextColor(reinterpret_cast<HDC>(wParam), RGB(0, 0, 255));
      SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 0, 0));
      return reinterpret_cast<INT_PTR>(g_probe->red);
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      g_probe->drawn = *item;
      ++g_probe->drawCount;
      SetBkColor(item->hDC, RGB(0, 255, 0));
      TextOutA(item->hDC, 0, 0, "##", 2);
      return TRUE;
    }
    case WM_USER + 3:
      SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 77);
      return TRUE;
    default: return FALSE;
  }
}

class ProbeDialogTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    script_ = posix::parseResourceScript({{"probe.rc", kProbeScript}}, "probe.rc");
    ASSERT_TRUE(script_.errors.empty());
    probe_.red = CreateSolidBrush(RGB(255, 0, 0));
    g_probe = &probe_;
  }
  void TearDown() override {
    g_probe = nullptr;
    DialogTest::TearDown();
  }
  INT_PTR run(std::function<void(HWND)> handler) {
    posix::testing::setDialogHandler([&](HWND dialog, const std::string&) { handler(dialog); });
    return posix::runDialog(*script_.findDialog("PROBE"), nullptr, owner_, probeProc, 0);
  }
  posix::ResourceScript script_;
  ProbeLog probe_;
};

TEST_F(ProbeDialogTest, InitDialogTrueFocusesTheFirstTabStopWithItsTextSelected) {
  run([&](HWND dialog) {
    EXPECT_EQ(focusedId(), 300);
    SetDlgItemTextA(dialog, 300, "123");
    SendMessageA(dialog, WM_NEXTDLGCTL, 0, FALSE);  // next
    SendMessageA(dialog, WM_NEXTDLGCTL, 1, FALSE);  // previous: back to the edit field, all selected
    DWORD start = 9, end = 9;
    SendDlgItemMessageA(dialog, 300, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 3u);
    typeInto(dialog, 300, "4x5");  // ES_NUMBER refuses the letter
    char text[16];
    GetDlgItemTextA(dialog, 300, text, sizeof text);
    EXPECT_STREQ(text, "45");
  });
  EXPECT_NE(std::find(probe_.commands.begin(), probe_.commands.end(), std::make_pair(300, EN_CHANGE)),
            probe_.commands.end());
}

TEST_F(ProbeDialogTest, SortedListSelectionAndNotifications) {
  run([&](HWND dialog) {
    const HWND list = GetDlgItem(dialog, 301);
    for (const char* s : {"delta", "Alpha", "charlie", "bravo"}) SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    const char* kOrder[] = {"Alpha", "bravo", "charlie", "delta"};
    for (int i = 0; i < 4; ++i) {
      char item[16];
      ASSERT_EQ(SendMessageA(list, CB_GETLBTEXTLEN, i, 0), static_cast<LRESULT>(std::strlen(kOrder[i])));
      SendMessageA(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
      EXPECT_STREQ(item, kOrder[i]);
    }
    EXPECT_EQ(SendMessageA(list, CB_GETLBTEXTLEN, 4, 0), CB_ERR);
    EXPECT_EQ(SendMessageA(list, CB_SETCURSEL, 2, 0), 2);
    char text[16];
    GetWindowTextA(list, text, sizeof text);
    EXPECT_STREQ(text, "charlie");
    EXPECT_EQ(SendMessageA(list, CB_SETCURSEL, 9, 0), CB_ERR);  // out of range clears the choice
    EXPECT_EQ(SendMessageA(list, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(GetWindowTextLengthA(list), 0);
    EXPECT_EQ(SendMessageA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("BRAVO")), 1);
    // Keys pick entries in a list without a field, and each pick is notified.
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list), TRUE);
    sendKey(dialog, VK_DOWN);
    sendKey(dialog, VK_DOWN);
    EXPECT_EQ(SendMessageA(list, CB_GETCURSEL, 0, 0), 1);
    PostMessageA(list, WM_CHAR, 'd', 1);
    posix::testing::pumpDialog(dialog);
    EXPECT_EQ(SendMessageA(list, CB_GETCURSEL, 0, 0), 3);
    // While the list is open Enter closes it rather than pressing OK.
    sendKey(dialog, VK_F4);
    EXPECT_EQ(SendMessageA(list, CB_GETDROPPEDSTATE, 0, 0), TRUE);
    sendKey(dialog, VK_RETURN);
    EXPECT_EQ(SendMessageA(list, CB_GETDROPPEDSTATE, 0, 0), FALSE);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(SendMessageA(list, CB_RESETCONTENT, 0, 0), CB_OKAY);
    EXPECT_EQ(SendMessageA(list, CB_GETCOUNT, 0, 0), 0);
  });
  int selChanges = 0;
  for (const auto& c : probe_.commands) selChanges += c == std::make_pair(301, CBN_SELCHANGE) ? 1 : 0;
  EXPECT_EQ(selChanges, 3);
  EXPECT_NE(std::find(probe_.commands.begin(), probe_.commands.end(), std::make_pair(301, CBN_SELENDOK)),
            probe_.commands.end());
}

TEST_F(ProbeDialogTest, ColoursComeFromTheProcedureAndOwnerDrawnButtonsDrawThemselves) {
  run([&](HWND dialog) {
    posix::testing::pumpDialog(dialog);  // paints
    const HWND label = GetDlgItem(dialog, 302);
    const posix::CellGrid* cells = posix::testing::grid(label);
    ASSERT_NE(cells, nullptr);
    EXPECT_EQ(posix::testing::rowText(label, 0, 5), "Label");  // the mnemonic's '&' is not shown
    EXPECT_EQ(cells->at(0, 0)->fg, RGB(0, 0, 255));
    EXPECT_EQ(cells->at(0, 0)->bg, RGB(255, 0, 0));
    EXPECT_EQ(cells->at(9, 0)->bg, RGB(255, 0, 0));  // the brush fills the rest
    const posix::CellGrid* face = posix::testing::grid(dialog);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->at(0, 0)->bg, RGB(255, 0, 0));  // WM_CTLCOLORDLG
    EXPECT_NE(std::find(probe_.colorMessages.begin(), probe_.colorMessages.end(), WM_CTLCOLORDLG),
              probe_.colorMessages.end());

    const HWND swatch = GetDlgItem(dialog, 303);
    ASSERT_GE(probe_.drawCount, 1);
    EXPECT_EQ(probe_.drawn.CtlType, static_cast<UINT>(ODT_BUTTON));
    EXPECT_EQ(probe_.drawn.CtlID, 303u);
    EXPECT_EQ(probe_.drawn.hwndItem, swatch);
    EXPECT_EQ(probe_.drawn.rcItem.right, 36 * 2);
    EXPECT_EQ(posix::testing::rowText(swatch, 0, 2), "##");
    EXPECT_EQ(posix::testing::grid(swatch)->at(0, 0)->bg, RGB(0, 255, 0));
    // Pressing it is a command like any button's.
    pressButton(dialog, 303);
    EXPECT_EQ(probe_.commands.back(), std::make_pair(303, static_cast<int>(BN_CLICKED)));
    // The procedure's message result goes back to the sender.
    EXPECT_EQ(SendMessageA(dialog, WM_USER + 3, 0, 0), 77);
  });
}

TEST_F(ProbeDialogTest, MnemonicsClickButtonsAndLabelsPassTheFocusOn) {
  run([&](HWND dialog) {
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, 305)), TRUE);
    PostMessageA(GetFocus(), WM_CHAR, 'a', 1);  // a button does not want characters
    posix::testing::pumpDialog(dialog);
    EXPECT_EQ(probe_.commands.back(), std::make_pair(305, static_cast<int>(BN_CLICKED)));
    PostMessageA(GetFocus(), WM_SYSCHAR, 'L', 1);
    posix::testing::pumpDialog(dialog);
    EXPECT_EQ(focusedId(), 303);  // the tab stop after the label
  });
}

TEST_F(ProbeDialogTest, DialogUnitsAndDisabledControls) {
  run([&](HWND dialog) {
    RECT r{4, 8, 160, 80};
    EXPECT_TRUE(MapDialogRect(dialog, &r));
    EXPECT_EQ(r.left, 8);
    EXPECT_EQ(r.top, 16);
    EXPECT_EQ(r.right, 320);
    EXPECT_EQ(r.bottom, 160);
    EXPECT_EQ(GetDialogBaseUnits(), MAKELONG(8, 16));
    EXPECT_FALSE(MapDialogRect(owner_, &r));
    // A disabled default button: Enter does nothing, pressing it is refused.
    EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
    sendKey(dialog, VK_RETURN);
    EXPECT_FALSE(pressButton(dialog, IDOK));
    EXPECT_TRUE(IsWindowVisible(dialog));
    // Tab skips it.
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, 305)), TRUE);
    sendKey(dialog, VK_TAB);
    EXPECT_EQ(focusedId(), 300);
  });
  EXPECT_TRUE(std::none_of(probe_.commands.begin(), probe_.commands.end(),
                           [](const std::pair<int, int>& c) { return c.first == IDOK; }));
}

TEST_F(ProbeDialogTest, IsDialogMessageLeavesOtherWindowsAlone) {
  run([&](HWND dialog) {
    MSG msg{};
    msg.hwnd = owner_;
    msg.message = WM_KEYDOWN;
    msg.wParam = VK_TAB;
    EXPECT_FALSE(IsDialogMessageA(dialog, &msg));
    msg.hwnd = GetDlgItem(dialog, 300);
    EXPECT_TRUE(IsDialogMessageA(dialog, &msg));
    EXPECT_FALSE(IsDialogMessageA(dialog, nullptr));
  });
}

TEST_F(ProbeDialogTest, ModelessDialogsLiveUntilDestroyed) {
  const posix::DialogResource& templ = *script_.findDialog("PROBE");
  const HWND dialog = posix::createDialog(templ, nullptr, owner_, probeProc, 0);
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(IsWindowEnabled(owner_));  // only modal dialogs disable their owner
  EXPECT_EQ(posix::openDialogs(), std::vector<HWND>{dialog});
  const HFONT font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(SendDlgItemMessageA(dialog, 300, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(font));
  const int objects = posix::testing::liveGdiObjects();
  DestroyWindow(dialog);
  EXPECT_EQ(posix::testing::liveGdiObjects(), objects - 1);  // the dialog's font goes with it
  EXPECT_TRUE(posix::openDialogs().empty());
}

}  // namespace
