// The colour dialog and the font commands, driven as the user drives them: the
// menu command, the swatch buttons, the colour and font choosers, OK and Cancel;
// what is painted and what the settings file holds afterwards.
#include <cstdio>
#include <functional>
#include <string>

#include "harness.h"
#include "ui/resource.h"

namespace {

constexpr int kRed = 706, kGreen = 707, kBlue = 708;  // the colour chooser's fields
constexpr int kFace = 1136, kSize = 1138;            // the font chooser's fields

class ColorFontTest : public OpenTerminalTest {
 protected:
  void SetUp() override {
    OpenTerminalTest::SetUp();
    if (HasFatalFailure()) return;
    // The window laid out, so that painting and the cell follow its size.
    SendMessageA(window_, WM_SIZE, 0, MAKELPARAM(810, 520));
    posix::testing::advanceClock(100);
  }
  // Answers the colour dialog with `colorDialog` and every colour chooser it opens
  // with the next of `picks` (nullptr: Cancel).
  void answer(std::function<void(HWND)> colorDialog, std::vector<const char*> picks = {}) {
    picks_ = std::move(picks);
    posix::testing::setDialogHandler([this, colorDialog](HWND dialog, const std::string& caption) {
      if (caption == "Dialog") {
        colorDialog(dialog);
        return;
      }
      if (caption != "Color" || picks_.empty()) return;
      const char* pick = picks_.front();
      picks_.erase(picks_.begin());
      if (!pick) return;  // left open: cancelled
      int r = 0, g = 0, b = 0;
      std::sscanf(pick, "%d,%d,%d", &r, &g, &b);
      posix::testing::typeInto(dialog, kRed, std::to_string(r));
      posix::testing::typeInto(dialog, kGreen, std::to_string(g));
      posix::testing::typeInto(dialog, kBlue, std::to_string(b));
      posix::testing::pressButton(dialog, IDOK);
    });
  }
  std::string setting(const char* key) {
    char value[64] = {};
    GetPrivateProfileStringA("GLOBALS", key, "", value, sizeof value, ".\\quillon.ini");
    return value;
  }
  const posix::Cell* cellOf(HWND hwnd, int column, int row) { return posix::testing::grid(hwnd)->at(column, row); }
  std::vector<const char*> picks_;
};

TEST_F(ColorFontTest, RedBackgroundWithOkIsPaintedAndSaved) {
  answer(
      [](HWND dialog) {
        posix::testing::pressButton(dialog, IDC_COLOR_BACKGROUND);
        posix::testing::pressButton(dialog, IDC_COLOR_OK);
      },
      {"255,0,0"});
  const COLORREF protectedNormal = t->protectedNormalColor;
  SendMessageA(window_, WM_COMMAND, IDM_COLOR, 0);
  EXPECT_EQ(t->backgroundColor, RGB(255, 0, 0));
  EXPECT_EQ(setting("BackGroundColor"), "255,0,0");
  char expected[16];
  std::snprintf(expected, sizeof expected, "%d,%d,%d", GetRValue(protectedNormal), GetGValue(protectedNormal),
                GetBValue(protectedNormal));
  EXPECT_EQ(setting("ProtectedNormalColor"), expected);
  posix::testing::pumpUntilIdle();
  EXPECT_EQ(cellOf(window_, 40, 12)->bg, RGB(255, 0, 0));
  // The file holds the five keys in one section, in the order written.
  const std::string file = readFile("quillon.ini");
  const size_t background = file.find("BackGroundColor=255,0,0");
  ASSERT_NE(background, std::string::npos);
  EXPECT_LT(background, file.find("UnProtectedHighLightColor="));
  EXPECT_LT(file.find("UnProtectedHighLightColor="), file.find("ProtectedHighLightColor=", background + 30));
  EXPECT_LT(file.find("UnProtectedNormalColor="), file.find("\nProtectedNormalColor="));
}

TEST_F(ColorFontTest, CancelRestoresRepaintsAndSavesTheOldColours) {
  const COLORREF background = t->backgroundColor;
  const COLORREF text = t->unprotectedNormalColor;
  COLORREF during = 0;
  answer(
      [&](HWND dialog) {
        posix::testing::pressButton(dialog, IDC_COLOR_BACKGROUND);
        posix::testing::pressButton(dialog, IDC_COLOR_UNPROTECTED_NORMAL);
        during = t->unprotectedNormalColor;
        posix::testing::pumpUntilIdle();  // the main window repaints behind the dialog
        EXPECT_EQ(cellOf(window_, 40, 12)->bg, RGB(0, 0, 255));
        posix::testing::pressButton(dialog, IDC_COLOR_CANCEL);
      },
      {"0,0,255", "1,2,3"});
  SendMessageA(window_, WM_COMMAND, IDM_COLOR, 0);
  EXPECT_EQ(during, RGB(1, 2, 3));
  EXPECT_EQ(t->backgroundColor, background);
  EXPECT_EQ(t->unprotectedNormalColor, text);
  posix::testing::pumpUntilIdle();
  EXPECT_EQ(cellOf(window_, 40, 12)->bg, background);
  char expected[16];
  std::snprintf(expected, sizeof expected, "%d,%d,%d", GetRValue(text), GetGValue(text), GetBValue(text));
  EXPECT_EQ(setting("UnProtectedNormalColor"), expected);
}

TEST_F(ColorFontTest, SavedColourIsReadBackAtTheNextStart) {
  answer(
      [](HWND dialog) {
        posix::testing::pressButton(dialog, IDC_COLOR_UNPROTECTED_NORMAL);
        posix::testing::pressButton(dialog, IDC_COLOR_OK);
      },
      {"12,34,56"});
  SendMessageA(window_, WM_COMMAND, IDM_COLOR, 0);
  DestroyWindow(window_);
  posix::testing::resetPlatform();
  createMainWindow();
  EXPECT_EQ(terminal()->unprotectedNormalColor, RGB(12, 34, 56));
}

TEST_F(ColorFontTest, CancelledChooserAndEscapeKeepTheColours) {
  const COLORREF highlight = t->protectedHighLightColor;
  answer(
      [](HWND dialog) {
        posix::testing::pressButton(dialog, IDC_COLOR_PROTECTED_HIGHLIGHT);
        posix::testing::pressButton(dialog, IDC_COLOR_PROTECTED_NORMAL);
        posix::testing::sendKey(dialog, VK_ESCAPE);  // leaves like Cancel
      },
      {nullptr, "9,9,9"});
  SendMessageA(window_, WM_COMMAND, IDM_COLOR, 0);
  EXPECT_EQ(t->protectedHighLightColor, highlight);
  EXPECT_NE(t->protectedNormalColor, RGB(9, 9, 9));
  EXPECT_EQ(posix::testing::messageBoxes().size(), 0u);
}

TEST_F(ColorFontTest, SwatchesAndPreviewsShowTheirColours) {
  t->backgroundColor = RGB(0, 0, 0);
  t->protectedNormalColor = RGB(0, 200, 0);
  t->unprotectedHighLightColor = RGB(250, 250, 0);
  bool checked = false;
  answer([&](HWND dialog) {
    posix::testing::pumpDialog(dialog);  // the dialog as first shown
    const HWND swatch = GetDlgItem(dialog, IDC_COLOR_PROTECTED_NORMAL);
    EXPECT_EQ(cellOf(swatch, 0, 0)->bg, RGB(0, 200, 0));
    const HWND preview = GetDlgItem(dialog, IDC_SAMPLE_UNPROTECTED_HIGHLIGHT);
    EXPECT_EQ(posix::testing::rowText(preview, 0, 27), "UnProtected highlight Color");
    EXPECT_EQ(cellOf(preview, 0, 0)->fg, RGB(250, 250, 0));
    EXPECT_EQ(cellOf(preview, 0, 0)->bg, RGB(0, 0, 0));
    const HWND ok = GetDlgItem(dialog, IDC_COLOR_OK);  // other buttons are left alone
    EXPECT_NE(posix::testing::rowText(ok, 0, 60).find("OK"), std::string::npos);
    checked = true;
    posix::testing::pressButton(dialog, IDC_COLOR_OK);
  });
  SendMessageA(window_, WM_COMMAND, IDM_COLOR, 0);
  EXPECT_TRUE(checked);
}

TEST_F(ColorFontTest, CancelledFontChooserStillResetsTheCharacterSet) {
  t->lineDrawLogFont.lfCharSet = OEM_CHARSET;
  const HFONT before = t->lineDrawFont;
  posix::testing::setDialogHandler([](HWND, const std::string&) {});  // left open: cancelled
  SendMessageA(window_, WM_COMMAND, IDM_LINEDRAWFONT, 0);
  EXPECT_EQ(t->lineDrawLogFont.lfCharSet, 0);
  EXPECT_EQ(t->lineDrawFont, before);
  // The next layout makes the font with it.
  SendMessageA(window_, WM_SIZE, 0, MAKELPARAM(810, 520));
  posix::testing::advanceClock(100);
  LOGFONTA made{};
  GetObjectA(t->lineDrawFont, sizeof made, &made);
  EXPECT_EQ(made.lfCharSet, 0);
}

TEST_F(ColorFontTest, ChosenTextFaceStaysAndTheWindowDecidesItsSize) {
  posix::testing::setDialogHandler([](HWND dialog, const std::string& caption) {
    if (caption != "Font") return;
    posix::testing::typeInto(dialog, kFace, "Courier New");
    posix::testing::typeInto(dialog, kSize, "12");
    posix::testing::pressButton(dialog, IDOK);
  });
  SendMessageA(window_, WM_COMMAND, IDM_TEXTFONT, 0);
  EXPECT_STREQ(t->screenLogFont.lfFaceName, "Courier New");
  LOGFONTA made{};
  GetObjectA(t->screenFont, sizeof made, &made);
  EXPECT_STREQ(made.lfFaceName, "Courier New");
  EXPECT_EQ(t->cellHeight, std::abs(made.lfHeight));  // the cell measured from the chosen font
  SendMessageA(window_, WM_SIZE, 0, MAKELPARAM(810, 520));
  posix::testing::advanceClock(100);
  EXPECT_STREQ(t->screenLogFont.lfFaceName, "Courier New");
  EXPECT_EQ(t->screenLogFont.lfHeight, 520 / 26);
  EXPECT_EQ(t->cellHeight, 20);
}

TEST_F(ColorFontTest, ChosenLineDrawFontIsTracedWithItsCharacterSet) {
  t->traceFile = std::fopen("telntlog.txt", "w");
  ASSERT_NE(t->traceFile, nullptr);
  posix::testing::setDialogHandler([](HWND dialog, const std::string& caption) {
    if (caption == "Font") posix::testing::pressButton(dialog, IDOK);
  });
  SendMessageA(window_, WM_COMMAND, IDM_LINEDRAWFONT, 0);
  std::fclose(t->traceFile);
  t->traceFile = nullptr;
  EXPECT_EQ(readFile("telntlog.txt"), "CHARSET: 0 0 \n");
}

}  // namespace
