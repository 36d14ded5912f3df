// The colour and font choosers on the headless display: what OK stores, what
// every way of dismissing them leaves alone, malformed requests, safe face
// copies, and the messages they keep dispatching while open.
#include <climits>
#include <cstddef>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "harness.h"
#include "platform/posix/dialog.h"

namespace {

using posix::testing::pressButton;
using posix::testing::sendKey;
using posix::testing::typeInto;

constexpr int kRed = 706, kGreen = 707, kBlue = 708, kFace = 1136, kSize = 1138;
constexpr UINT kPing = WM_USER + 7;

std::function<void()>* g_onPing = nullptr;

LRESULT CALLBACK plainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kPing && g_onPing && *g_onPing) (*g_onPing)();
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

std::string textOf(HWND dialog, int id) {
  char text[128] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

// A dialog's way out other than OK.
enum class Dismiss { kCancelButton, kEscape, kClose, kNothing };
void dismiss(HWND dialog, Dismiss how) {
  switch (how) {
    case Dismiss::kCancelButton: EXPECT_TRUE(pressButton(dialog, IDCANCEL)); break;
    case Dismiss::kEscape: sendKey(dialog, VK_ESCAPE); break;
    case Dismiss::kClose: PostMessageA(dialog, WM_CLOSE, 0, 0); break;
    case Dismiss::kNothing: break;
  }
}

class CommonDialogTest : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    g_onPing = &onPing_;
    WNDCLASSA wc{};
    wc.lpfnWndProc = plainProc;
    wc.lpszClassName = "chooser test";
    ASSERT_NE(RegisterClassA(&wc), 0);
    owner_ = CreateWindowExA(0, wc.lpszClassName, "Owner", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                             nullptr, nullptr);
    ASSERT_NE(owner_, nullptr);
  }
  void TearDown() override {
    g_onPing = nullptr;
    ScratchTest::TearDown();
  }
  // `act` answers the next chooser; a chooser with no handler at all is cancelled at once.
  void answer(std::function<void(HWND)> act) {
    opened_ = 0;
    posix::testing::setDialogHandler([this, act](HWND dialog, const std::string& caption) {
      ++opened_;
      caption_ = caption;
      EXPECT_EQ(GetParent(dialog), owner_);
      EXPECT_FALSE(IsWindowEnabled(owner_));
      if (act) act(dialog);
    });
  }
  CHOOSECOLORA colorRequest(COLORREF initial, DWORD flags) {
    CHOOSECOLORA cc{};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = owner_;
    cc.rgbResult = initial;
    cc.Flags = flags;
    return cc;
  }
  CHOOSEFONTA fontRequest(LOGFONTA* lf, DWORD flags) {
    CHOOSEFONTA cf{};
    cf.lStructSize = sizeof cf;
    cf.hwndOwner = owner_;
    cf.lpLogFont = lf;
    cf.Flags = flags;
    cf.nFontType = SCREEN_FONTTYPE;
    return cf;
  }
  // A logical font with every field set, as the terminal keeps its text font.
  static LOGFONTA terminalFont() {
    LOGFONTA lf;
    std::memset(&lf, 0x5A, sizeof lf);
    lf.lfHeight = -24;
    lf.lfWidth = 7;
    lf.lfWeight = FW_BOLD;
    lf.lfCharSet = OEM_CHARSET;
    std::strcpy(lf.lfFaceName, "mera_ansi");  // the bytes after the NUL stay 0x5A
    return lf;
  }

  HWND owner_ = nullptr;
  int opened_ = 0;
  std::string caption_;
  std::function<void()> onPing_;
};

TEST_F(CommonDialogTest, ColorOkStoresTheFieldsClampedAndLeavesCustomColoursAlone) {
  struct Case {
    DWORD flags;
    const char* shown;     // the three fields when the chooser opens
    const char* typed[3];  // nullptr: left as shown
    COLORREF expected;
  };
  const Case kCases[] = {
      {CC_RGBINIT, "1,2,3", {nullptr, nullptr, nullptr}, RGB(1, 2, 3)},
      {0, "0,0,0", {nullptr, nullptr, nullptr}, RGB(0, 0, 0)},  // rgbResult is read only with CC_RGBINIT
      {CC_RGBINIT, "1,2,3", {"255", "0", "0"}, RGB(255, 0, 0)},
      {CC_RGBINIT, "1,2,3", {"300", "-4", "abc"}, RGB(255, 0, 0)},
      {CC_RGBINIT, "1,2,3", {" 12 ", "0x10", "\b"}, RGB(12, 0, 0)},
      {CC_RGBINIT, "1,2,3", {"99999999999999999999999", "+7", "12abc"}, RGB(255, 7, 0)},
      // Hooks and templates are not offered: the plain chooser runs.
      {CC_RGBINIT | CC_ENABLEHOOK | CC_ENABLETEMPLATE | CC_FULLOPEN, "1,2,3", {"9", nullptr, nullptr}, RGB(9, 2, 3)},
  };
  static int hookCalls = 0;
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.shown) + " " + (c.typed[0] ? c.typed[0] : "-"));
    COLORREF custom[18];
    for (COLORREF& v : custom) v = 0xA5A5A5;
    CHOOSECOLORA cc = colorRequest(RGB(1, 2, 3), c.flags);
    cc.lpCustColors = custom + 1;
    cc.lpfnHook = [](HWND, UINT, WPARAM, LPARAM) -> UINT_PTR {
      ++hookCalls;
      return 0;
    };
    cc.lpTemplateName = "NO SUCH TEMPLATE";
    answer([&](HWND dialog) {
      EXPECT_EQ(textOf(dialog, kRed) + "," + textOf(dialog, kGreen) + "," + textOf(dialog, kBlue), c.shown);
      const int ids[3] = {kRed, kGreen, kBlue};
      for (int i = 0; i < 3; ++i)
        if (c.typed[i]) {
          EXPECT_TRUE(typeInto(dialog, ids[i], c.typed[i]));
        }
      sendKey(dialog, VK_RETURN);  // OK is the default button
    });
    EXPECT_EQ(ChooseColorA(&cc), TRUE);
    EXPECT_EQ(opened_, 1);
    EXPECT_EQ(caption_, "Color");
    EXPECT_EQ(cc.rgbResult, c.expected);
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    for (COLORREF v : custom) EXPECT_EQ(v, 0xA5A5A5u);
  }
  EXPECT_EQ(hookCalls, 0);
}

TEST_F(CommonDialogTest, ColorAndFontDismissedWithoutOkChangeNothing) {
  for (Dismiss how : {Dismiss::kCancelButton, Dismiss::kEscape, Dismiss::kClose, Dismiss::kNothing}) {
    SCOPED_TRACE(static_cast<int>(how));
    CHOOSECOLORA cc = colorRequest(RGB(10, 20, 30), CC_RGBINIT);
    answer([&](HWND dialog) {
      typeInto(dialog, kRed, "200");
      dismiss(dialog, how);
    });
    EXPECT_EQ(ChooseColorA(&cc), FALSE);
    EXPECT_EQ(cc.rgbResult, RGB(10, 20, 30));
    EXPECT_EQ(CommDlgExtendedError(), 0u);  // cancelled, not failed

    LOGFONTA lf = terminalFont();
    const LOGFONTA before = lf;
    CHOOSEFONTA cf = fontRequest(&lf, CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT);
    cf.iPointSize = 77;
    answer([&](HWND dialog) {
      typeInto(dialog, kFace, "Terminal");
      typeInto(dialog, kSize, "9");
      dismiss(dialog, how);
    });
    EXPECT_EQ(ChooseFontA(&cf), FALSE);
    EXPECT_EQ(std::memcmp(&lf, &before, sizeof lf), 0);
    EXPECT_EQ(cf.iPointSize, 77);
    EXPECT_TRUE(IsWindowEnabled(owner_));
    EXPECT_TRUE(posix::openDialogs().empty());
  }
  // Without a handler at all the headless display cancels both at once.
  posix::testing::setDialogHandler(nullptr);
  CHOOSECOLORA cc = colorRequest(RGB(1, 1, 1), CC_RGBINIT);
  EXPECT_EQ(ChooseColorA(&cc), FALSE);
  LOGFONTA lf = terminalFont();
  CHOOSEFONTA cf = fontRequest(&lf, CF_SCREENFONTS);
  EXPECT_EQ(ChooseFontA(&cf), FALSE);
}

TEST_F(CommonDialogTest, MalformedRequestsFailWithoutADialog) {
  LOGFONTA lf = terminalFont();
  const auto color = [&](std::function<void(CHOOSECOLORA&)> spoil) {
    CHOOSECOLORA cc = colorRequest(0, 0);
    spoil(cc);
    return ChooseColorA(&cc);
  };
  const auto font = [&](std::function<void(CHOOSEFONTA&)> spoil) {
    CHOOSEFONTA cf = fontRequest(&lf, 0);
    spoil(cf);
    return ChooseFontA(&cf);
  };
  const std::pair<std::function<BOOL()>, DWORD> kCases[] = {
      {[] { return ChooseColorA(nullptr); }, CDERR_INITIALIZATION},
      {[&] { return color([](CHOOSECOLORA& cc) { cc.lStructSize = 0; }); }, CDERR_STRUCTSIZE},
      {[&] { return color([](CHOOSECOLORA& cc) { ++cc.lStructSize; }); }, CDERR_STRUCTSIZE},
      {[&] { return color([](CHOOSECOLORA& cc) { cc.hwndOwner = reinterpret_cast<HWND>(0x7777); }); },
       CDERR_DIALOGFAILURE},
      {[] { return ChooseFontA(nullptr); }, CDERR_INITIALIZATION},
      {[&] { return font([](CHOOSEFONTA& cf) { --cf.lStructSize; }); }, CDERR_STRUCTSIZE},
      {[&] { return font([](CHOOSEFONTA& cf) { cf.lpLogFont = nullptr; }); }, CDERR_INITIALIZATION},
      {[&] { return font([](CHOOSEFONTA& cf) {
         cf.Flags = CF_LIMITSIZE;
         cf.nSizeMin = 12;
         cf.nSizeMax = 8;
       }); },
       CFERR_MAXLESSTHANMIN},
  };
  for (size_t i = 0; i < std::size(kCases); ++i) {
    SCOPED_TRACE(i);
    answer([](HWND dialog) { pressButton(dialog, IDOK); });
    EXPECT_EQ(kCases[i].first(), FALSE);
    EXPECT_EQ(opened_, 0);
    EXPECT_EQ(CommDlgExtendedError(), kCases[i].second);
  }
}

TEST_F(CommonDialogTest, FontOkWritesFaceAndHeightOnlyOrExplainsAndStaysOpen) {
  struct Case {
    DWORD flags;
    const char* face;  // typed; nullptr: "Courier New" picked from the list
    const char* size;
    const char* storedFace;  // nullptr: rejected with a message box
    LONG height;
    INT tenths;
  };
  const Case kCases[] = {
      {0, nullptr, "12", "Courier New", -12, 120},
      {0, "Any Face", "10.5", "Any Face", -11, 105},
      {0, "Terminal", " 8 ", "Terminal", -8, 80},
      {0, "Terminal", "4096", "Terminal", -4096, 40960},
      {CF_FORCEFONTEXIST, "courier new", "7.", "Courier New", -7, 70},
      {CF_LIMITSIZE, "Terminal", "12", "Terminal", -12, 120},
      {0, "Terminal", "abc", nullptr, 0, 0},
      {0, "Terminal", "0", nullptr, 0, 0},
      {0, "Terminal", "4097", nullptr, 0, 0},
      {0, "Terminal", "1.2.3", nullptr, 0, 0},
      {0, "\b", "12", nullptr, 0, 0},
      {CF_FORCEFONTEXIST, "Any Face", "12", nullptr, 0, 0},
      {CF_LIMITSIZE, "Terminal", "13", nullptr, 0, 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.face ? c.face : "(list)") + " / " + c.size);
    posix::testing::clearMessageBoxes();
    LOGFONTA lf = terminalFont();
    const LOGFONTA before = lf;
    CHOOSEFONTA cf = fontRequest(&lf, CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | c.flags);
    cf.nSizeMin = 8;
    cf.nSizeMax = 12;
    cf.nFontType = 0;
    cf.rgbColors = RGB(1, 2, 3);
    answer([&](HWND dialog) {
      EXPECT_EQ(textOf(dialog, kFace), "mera_ansi");
      EXPECT_EQ(textOf(dialog, kSize), "24");
      if (c.face) {
        EXPECT_TRUE(typeInto(dialog, kFace, c.face));
      } else {
        const LRESULT at = SendDlgItemMessageA(dialog, kFace, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                               reinterpret_cast<LPARAM>("Courier New"));
        EXPECT_TRUE(posix::testing::chooseItem(dialog, kFace, static_cast<int>(at)));
      }
      EXPECT_TRUE(typeInto(dialog, kSize, c.size));
      EXPECT_TRUE(pressButton(dialog, IDOK));
      if (!c.storedFace) {
        EXPECT_TRUE(IsWindow(dialog));  // still open for a correction
        ASSERT_EQ(posix::testing::messageBoxes().size(), 1u);
        EXPECT_EQ(posix::testing::messageBoxes()[0].caption, "Font");
        EXPECT_EQ(posix::testing::messageBoxes()[0].owner, dialog);
      }
    });
    const BOOL chosen = ChooseFontA(&cf);
    if (!c.storedFace) {
      EXPECT_EQ(chosen, FALSE);
      EXPECT_EQ(std::memcmp(&lf, &before, sizeof lf), 0);
      continue;
    }
    EXPECT_EQ(chosen, TRUE);
    EXPECT_EQ(caption_, "Font");
    EXPECT_STREQ(lf.lfFaceName, c.storedFace);
    EXPECT_EQ(lf.lfHeight, c.height);
    EXPECT_EQ(cf.iPointSize, c.tenths);
    EXPECT_EQ(cf.nFontType, SCREEN_FONTTYPE);
    EXPECT_EQ(cf.rgbColors, RGB(1, 2, 3));
    // Everything between the height and the face is the caller's, the character set included.
    EXPECT_EQ(std::memcmp(&lf.lfWidth, &before.lfWidth, offsetof(LOGFONTA, lfFaceName) - offsetof(LOGFONTA, lfWidth)),
              0);
    EXPECT_EQ(lf.lfCharSet, OEM_CHARSET);
    EXPECT_EQ(lf.lfFaceName[LF_FACESIZE - 1], '\0');
  }
}

TEST_F(CommonDialogTest, FontStartsFromTheLogicalFontAndCopiesFacesWithinItsBuffer) {
  struct Case {
    DWORD flags;
    LONG height;
    const char* face;
    const char* shownFace;
    const char* shownSize;
    bool listed;  // the record's face is in the list
  };
  const Case kCases[] = {
      {CF_INITTOLOGFONTSTRUCT, -24, "mera_oem_linedraw", "mera_oem_linedraw", "24", true},
      {CF_INITTOLOGFONTSTRUCT, 20, "terminal", "Terminal", "20", true},  // the listed spelling
      {CF_INITTOLOGFONTSTRUCT, 0, "", "Courier New", "16", false},       // the GDI's height for 0
      {CF_INITTOLOGFONTSTRUCT, INT_MIN, "System", "System", "4096", true},
      {0, -24, "mera_ansi", "Courier New", "16", false},  // not read without the flag
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.face);
    LOGFONTA lf = terminalFont();
    lf.lfHeight = c.height;
    std::strcpy(lf.lfFaceName, c.face);
    CHOOSEFONTA cf = fontRequest(&lf, c.flags);
    answer([&](HWND dialog) {
      EXPECT_EQ(textOf(dialog, kFace), c.shownFace);
      EXPECT_EQ(textOf(dialog, kSize), c.shownSize);
      EXPECT_EQ(SendDlgItemMessageA(dialog, kFace, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                    reinterpret_cast<LPARAM>(c.face)) != CB_ERR,
                c.listed);
    });
    EXPECT_EQ(ChooseFontA(&cf), FALSE);
  }

  // A face that fills every byte without a NUL, in a record with nothing after it,
  // and a typed face longer than the record holds: both end as 31 bytes and a NUL.
  const std::string longName(40, 'Q');
  for (bool typed : {false, true}) {
    SCOPED_TRACE(typed);
    auto lf = std::make_unique<LOGFONTA>(terminalFont());
    std::memset(lf->lfFaceName, 'X', LF_FACESIZE);
    CHOOSEFONTA cf = fontRequest(lf.get(), CF_INITTOLOGFONTSTRUCT);
    answer([&](HWND dialog) {
      EXPECT_EQ(textOf(dialog, kFace), std::string(LF_FACESIZE, 'X'));
      if (typed) typeInto(dialog, kFace, longName);
      pressButton(dialog, IDOK);
    });
    EXPECT_EQ(ChooseFontA(&cf), TRUE);
    EXPECT_EQ(std::string(lf->lfFaceName), std::string(LF_FACESIZE - 1, typed ? 'Q' : 'X'));
  }
}

TEST_F(CommonDialogTest, ChooserKeepsDispatchingPostedMessagesWhileOpen) {
  // The user answers only when a message posted to another window arrives, so
  // the chooser's own loop must have dispatched it.
  const HWND other = CreateWindowExA(0, "chooser test", "Other", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                     nullptr, nullptr, nullptr);
  HWND open = nullptr;
  answer([&](HWND dialog) {
    open = dialog;
    PostMessageA(other, kPing, 0, 0);
  });
  onPing_ = [&] {
    typeInto(open, kRed, "255");
    pressButton(open, IDOK);
  };
  CHOOSECOLORA cc = colorRequest(RGB(0, 0, 0), 0);
  EXPECT_EQ(ChooseColorA(&cc), TRUE);
  EXPECT_EQ(cc.rgbResult, RGB(255, 0, 0));
}

}  // namespace
