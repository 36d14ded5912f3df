// The colour dialog: choosing the five screen colours with previews, restoring
// them on Cancel, and writing them to the settings file afterwards.
#include "ui/color_dialog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "terminal/comm_tcp.h"
#include "terminal/settings.h"
#include "ui/center_wnd.h"
#include "ui/resource.h"

namespace {

constexpr int kSampleCharacters = 48;

// One row of the dialog: its swatch button, the colour it sets and its preview.
struct ColorRow {
  int button;
  COLORREF CommTcp::*color;
  int sample;
};

const ColorRow kRows[] = {
    {IDC_COLOR_BACKGROUND, &CommTcp::backgroundColor, IDC_SAMPLE_BACKGROUND},
    {IDC_COLOR_PROTECTED_NORMAL, &CommTcp::protectedNormalColor, IDC_SAMPLE_PROTECTED_NORMAL},
    {IDC_COLOR_PROTECTED_HIGHLIGHT, &CommTcp::protectedHighLightColor, IDC_SAMPLE_PROTECTED_HIGHLIGHT},
    {IDC_COLOR_UNPROTECTED_NORMAL, &CommTcp::unprotectedNormalColor, IDC_SAMPLE_UNPROTECTED_NORMAL},
    {IDC_COLOR_UNPROTECTED_HIGHLIGHT, &CommTcp::unprotectedHighLightColor, IDC_SAMPLE_UNPROTECTED_HIGHLIGHT},
};

const ColorRow* rowOfButton(int id) {
  for (const ColorRow& r : kRows)
    if (r.button == id) return &r;
  return nullptr;
}

const ColorRow* rowOfSample(int id) {
  for (const ColorRow& r : kRows)
    if (r.sample == id) return &r;
  return nullptr;
}

// The colours in the order the terminal object declares them, which is the
// order of savedColors.
COLORREF CommTcp::*const kDeclared[] = {&CommTcp::backgroundColor, &CommTcp::unprotectedHighLightColor,
                                        &CommTcp::protectedHighLightColor, &CommTcp::unprotectedNormalColor,
                                        &CommTcp::protectedNormalColor};

// The background preview shows the background colour on itself.
void drawSample(CommTcp& t, HWND dialog, const ColorRow& row) {
  DrawColorSample(dialog, row.sample, t.backgroundColor, t.*row.color);
}

void drawAllSamples(CommTcp& t, HWND dialog) {
  for (int id : {IDC_SAMPLE_BACKGROUND, IDC_SAMPLE_UNPROTECTED_HIGHLIGHT, IDC_SAMPLE_PROTECTED_HIGHLIGHT,
                 IDC_SAMPLE_UNPROTECTED_NORMAL, IDC_SAMPLE_PROTECTED_NORMAL})
    drawSample(t, dialog, *rowOfSample(id));
}

}  // namespace

CommTcp* ColorDialogTerminal(HWND dialog) {
  const HWND main = GetParent(dialog);
  return main ? reinterpret_cast<CommTcp*>(GetWindowLongPtrA(main, 0)) : nullptr;
}

void PickColor(HWND owner, COLORREF* color) {
  // The chooser offers white custom colours; they are not kept between calls.
  COLORREF custom[16];
  std::fill(custom, custom + 16, RGB(255, 255, 255));
  CHOOSECOLORA chooser{};
  chooser.lStructSize = sizeof chooser;
  chooser.hwndOwner = owner;
  chooser.rgbResult = *color;
  chooser.lpCustColors = custom;
  chooser.Flags = CC_RGBINIT;
  if (ChooseColorA(&chooser) == 1) *color = chooser.rgbResult;
}

void DrawColorSample(HWND dialog, int id, COLORREF background, COLORREF text) {
  const HWND control = GetDlgItem(dialog, id);
  CommTcp* t = ColorDialogTerminal(dialog);
  if (!control || !t) return;
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(t->screenFont), FALSE);
  const HDC dc = GetDC(control);
  SelectObject(dc, t->screenFont);
  SetBkColor(dc, background);
  SetTextColor(dc, text);
  char label[80] = {};
  const int length = GetWindowTextA(control, label, sizeof label);
  TextOutA(dc, 0, 0, label, std::clamp(length, 0, kSampleCharacters));
  ReleaseDC(control, dc);
}

extern "C" INT_PTR CALLBACK Dlg_Color(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  CommTcp* t = ColorDialogTerminal(dialog);
  if (!t) return 0;
  const HWND main = GetParent(dialog);
  switch (message) {
    case WM_INITDIALOG:
      CenterWnd(dialog);
      for (int i = 0; i < 5; ++i) t->savedColors[i] = t->*kDeclared[i];
      return 0;

    case WM_COMMAND: {
      if (HIWORD(wParam) != BN_CLICKED) return 0;  // a double-click on a swatch is not a second press
      const int id = LOWORD(wParam);
      if (const ColorRow* row = rowOfButton(id)) {
        const HWND button = GetDlgItem(dialog, id);
        PickColor(button, &(t->*row->color));
        InvalidateRect(button, nullptr, TRUE);
        if (row->button == IDC_COLOR_BACKGROUND) {
          // Every preview stands on the background; the main window takes it at once.
          drawAllSamples(*t, dialog);
          t->InstallBackgroundBrush(main, main);
        } else {
          drawSample(*t, dialog, *row);
        }
        InvalidateRect(main, nullptr, TRUE);
        return 0;
      }
      if (id == IDC_COLOR_OK) {
        EndDialog(dialog, 1);
        return 1;
      }
      // Cancel, and Escape or the close box, which would otherwise leave the dialog
      // no way out but its buttons.
      if (id == IDC_COLOR_CANCEL || id == IDCANCEL) {
        for (int i = 0; i < 5; ++i) t->*kDeclared[i] = t->savedColors[i];
        EndDialog(dialog, 0);
      }
      return 0;
    }

    case WM_CTLCOLORBTN: {
      // A swatch shows its colour as a row of blanks.
      const ColorRow* row = rowOfButton(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)));
      if (!row) return 0;
      const HDC dc = reinterpret_cast<HDC>(wParam);
      SetBkColor(dc, t->*row->color);
      SetTextColor(dc, t->protectedNormalColor);
      TextOutA(dc, 0, 0, "         ", 9);
      return 0;
    }

    case WM_CTLCOLORSTATIC:
      drawAllSamples(*t, dialog);
      return 0;

    case WM_DRAWITEM: {
      const DRAWITEMSTRUCT* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      const ColorRow* row = item ? rowOfSample(static_cast<int>(item->CtlID)) : nullptr;
      if (!row) {
        DefWindowProcA(dialog, message, wParam, lParam);
        return 0;
      }
      SelectObject(item->hDC, t->screenFont);
      drawSample(*t, dialog, *row);
      return 0;
    }

    default:
      return 0;
  }
}

void CommTcp::ColorCommand(HWND hwnd) {
  DialogBoxParamA(instanceHandle, MAKEINTRESOURCEA(IDD_COLOR), hwnd, Dlg_Color, 0);
  if (InstallBackgroundBrush(hwnd, hwnd)) InvalidateRect(hwnd, nullptr, TRUE);
  // Saved with either button: after Cancel these are the restored colours.
  WriteColorSetting("BackGroundColor", backgroundColor);
  WriteColorSetting("UnProtectedHighLightColor", unprotectedHighLightColor);
  WriteColorSetting("ProtectedHighLightColor", protectedHighLightColor);
  WriteColorSetting("UnProtectedNormalColor", unprotectedNormalColor);
  WriteColorSetting("ProtectedNormalColor", protectedNormalColor);
}
