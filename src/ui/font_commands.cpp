// The Text Font and LineDraw Font commands: the face of either font is chosen
// with the font chooser; the layout keeps sizing it to the window.
#include <cstdio>

#include "app/shell.h"
#include "terminal/comm_tcp.h"
#include "ui/resource.h"

void CommTcp::FontCommand(HWND hwnd, UINT id) {
  const bool lineDraw = id == IDM_LINEDRAWFONT;
  LOGFONTA& description = lineDraw ? lineDrawLogFont : screenLogFont;
  description.lfCharSet = ANSI_CHARSET;  // kept even when the chooser is cancelled

  CHOOSEFONTA chooser{};
  chooser.lStructSize = sizeof chooser;
  chooser.hwndOwner = windowHandle;
  chooser.lpLogFont = &description;
  chooser.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT;
  chooser.nFontType = SCREEN_FONTTYPE;
  if (ChooseFontA(&chooser) == 0) return;

  if (lineDraw && traceFile) fprintf(traceFile, "CHARSET: %x %d \n", description.lfCharSet, description.lfCharSet);
  ReplaceFont(hwnd, lineDraw ? &lineDrawFont : &screenFont, description);
  WindowScreenSetting(hwnd, &cellWidth, &cellHeight);
  InvalidateRect(hwnd, nullptr, TRUE);
}
