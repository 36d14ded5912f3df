// The 3279 colour dialog: the seven colours a host can name, each with a
// swatch that opens the colour chooser and a preview on the background.
#include "terminal/comm_tcp.h"
#include "terminal/settings.h"
#include "ui/center_wnd.h"
#include "ui/color_dialog.h"
#include "ui/resource.h"

namespace {

// The colours as they were when the dialog opened, for Cancel.
COLORREF g_saved[kModelColorCount];

COLORREF& colorOfRow(CommTcp& t, int row) { return t.modelColors[kModelColorSetting[row].code - kColorNeutral]; }

void drawSample(CommTcp& t, HWND dialog, int row) {
  DrawColorSample(dialog, IDC_MODEL_SAMPLE_FIRST + row, t.backgroundColor, colorOfRow(t, row));
}

// The row of a swatch or preview control, or -1.
int rowOf(int id, int first) { return id >= first && id < first + kModelColorSettings ? id - first : -1; }

}  // namespace

extern "C" INT_PTR CALLBACK Dlg_ModelColor(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  CommTcp* t = ColorDialogTerminal(dialog);
  if (!t) return 0;
  switch (message) {
    case WM_INITDIALOG:
      CenterWnd(dialog);
      for (int i = 0; i < kModelColorCount; ++i) g_saved[i] = t->modelColors[i];
      return 0;

    case WM_COMMAND: {
      if (HIWORD(wParam) != BN_CLICKED) return 0;
      const int id = LOWORD(wParam);
      const int row = rowOf(id, IDC_MODEL_COLOR_FIRST);
      if (row >= 0) {
        const HWND button = GetDlgItem(dialog, id);
        PickColor(button, &colorOfRow(*t, row));
        InvalidateRect(button, nullptr, TRUE);
        drawSample(*t, dialog, row);
        InvalidateRect(GetParent(dialog), nullptr, TRUE);
        return 0;
      }
      if (id == IDOK) {
        EndDialog(dialog, 1);
        return 1;
      }
      if (id == IDCANCEL) {
        for (int i = 0; i < kModelColorCount; ++i) t->modelColors[i] = g_saved[i];
        EndDialog(dialog, 0);
      }
      return 0;
    }

    case WM_CTLCOLORBTN: {
      const int row = rowOf(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)), IDC_MODEL_COLOR_FIRST);
      if (row < 0) return 0;
      const HDC dc = reinterpret_cast<HDC>(wParam);
      SetBkColor(dc, colorOfRow(*t, row));
      SetTextColor(dc, t->protectedNormalColor);
      TextOutA(dc, 0, 0, "         ", 9);
      return 0;
    }

    case WM_CTLCOLORSTATIC:
      for (int row = 0; row < kModelColorSettings; ++row) drawSample(*t, dialog, row);
      return 0;

    case WM_DRAWITEM: {
      const DRAWITEMSTRUCT* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      const int row = item ? rowOf(static_cast<int>(item->CtlID), IDC_MODEL_SAMPLE_FIRST) : -1;
      if (row < 0) {
        DefWindowProcA(dialog, message, wParam, lParam);
        return 0;
      }
      SelectObject(item->hDC, t->screenFont);
      drawSample(*t, dialog, row);
      return 0;
    }

    default:
      return 0;
  }
}

void ModelColorCommand(CommTcp& t, HWND hwnd) {
  DialogBoxParamA(t.instanceHandle, MAKEINTRESOURCEA(IDD_MODEL_COLOR), hwnd, Dlg_ModelColor, 0);
  InvalidateRect(hwnd, nullptr, TRUE);
  for (int row = 0; row < kModelColorSettings; ++row)
    WriteColorSetting(kModelColorSetting[row].key, colorOfRow(t, row));
}
