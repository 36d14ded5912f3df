// Measuring the text font into the cell size and rescaling the pixel geometry.
#include "app/shell.h"
#include "terminal/comm_tcp.h"

extern "C" void WindowScreenSetting(HWND hwnd, int* cellWidth, int* cellHeight) {
  CommTcp* terminal = reinterpret_cast<CommTcp*>(GetWindowLongPtrA(hwnd, 0));
  if (!terminal || !cellWidth || !cellHeight) return;
  int oldWidth = *cellWidth;
  int oldHeight = *cellHeight;

  HDC dc = GetDC(hwnd);
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  if (oldWidth <= 0) oldWidth = tm.tmAveCharWidth;
  if (oldHeight <= 0) oldHeight = tm.tmHeight;

  SelectObject(dc, terminal->screenFont);
  tm = TEXTMETRICA{};
  GetTextMetricsA(dc, &tm);
  *cellWidth = tm.tmAveCharWidth;
  *cellHeight = tm.tmHeight;
  SetBkColor(dc, terminal->backgroundColor);
  SetTextColor(dc, terminal->protectedNormalColor);
  ReleaseDC(hwnd, dc);

  // Without a device context there are no metrics; never divide by zero.
  if (oldWidth <= 0) oldWidth = 1;
  if (oldHeight <= 0) oldHeight = 1;
  RECT& r = terminal->scrollRegion;
  r.top = r.top / oldHeight * *cellHeight;
  r.bottom = r.bottom / oldHeight * *cellHeight;
  r.left = r.left / oldWidth * *cellWidth;
  r.right = r.right / oldWidth * *cellWidth;
}
