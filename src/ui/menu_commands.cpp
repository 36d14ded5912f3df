// Menu commands other than Exit and Connect: fixed byte strings for keys a PC
// keyboard lacks, the escape-sequence dialog, the clipboard, the keep-alive timer,
// repainting and the About box.
#include <climits>
#include <cstring>

#include "net/socket_io.h"
#include "terminal/comm_tcp.h"
#include "tn3270/model_engine.h"
#include "ui/color_dialog.h"
#include "ui/menu_commands.h"
#include "ui/resource.h"
#include "vt100/nvt_cells.h"

namespace {

constexpr unsigned char ESC = 0x1B;
constexpr unsigned char IAC = 255;
constexpr unsigned char EOR = 239;

// The keep-alive timer: its id and period.
constexpr UINT kKeepAlivePeriod = 10000;

struct FixedString {
  UINT id;
  unsigned char bytes[4];
  int length;
};

// Every entry that sends the same bytes whenever it is chosen, in any mode.
constexpr FixedString kFixedStrings[] = {
    // VT220 editing keys
    {IDM_FIND, {ESC, '[', '1', '~'}, 4},
    {IDM_SELECT, {ESC, '[', '4', '~'}, 4},
    {IDM_INSERT, {ESC, '[', '2', '~'}, 4},
    {IDM_REMOVE, {ESC, '[', '3', '~'}, 4},
    // asking the host to echo: IAC DO ECHO
    {IDM_IACSTRING, {IAC, 253, 1}, 3},
    // line ends, sent once
    {IDM_LFCRNUL, {0x0A, 0x0D, 0x00}, 3},
    {IDM_LFCR, {0x0A, 0x0D}, 2},
    {IDM_LF, {0x0A}, 1},
    {IDM_LFNUL, {0x0A, 0x00}, 2},
    {IDM_CRNUL, {0x0D, 0x00}, 2},
    {IDM_CR, {0x0D}, 1},
    // the VT100 keypad in application mode
    {IDM_KEY0, {ESC, 'O', 'p'}, 3},
    {IDM_KEY1, {ESC, 'O', 'q'}, 3},
    {IDM_KEY2, {ESC, 'O', 'r'}, 3},
    {IDM_KEY3, {ESC, 'O', 's'}, 3},
    {IDM_KEY4, {ESC, 'O', 't'}, 3},
    {IDM_KEY5, {ESC, 'O', 'u'}, 3},
    {IDM_KEY6, {ESC, 'O', 'v'}, 3},
    {IDM_KEY7, {ESC, 'O', 'w'}, 3},
    {IDM_KEY8, {ESC, 'O', 'x'}, 3},
    {IDM_KEY9, {ESC, 'O', 'y'}, 3},
    {IDM_KEYCOMMA, {ESC, 'O', 'l'}, 3},
    {IDM_KEYMINUS, {ESC, 'O', 'm'}, 3},
    {IDM_KEYPERIOD, {ESC, 'O', 'n'}, 3},
    {IDM_KEYENTER, {ESC, 'O', 'M'}, 3},
    // Telnet commands in the normal data stream
    {IDM_NOP, {IAC, 241}, 2},
    {IDM_DATAMARK, {IAC, 242}, 2},
    {IDM_BREAK, {IAC, 243}, 2},
    {IDM_INTPROCESS, {IAC, 244}, 2},
    {IDM_ABORTOUTPUT, {IAC, 245}, 2},
    {IDM_AYT, {IAC, 246}, 2},
    {IDM_ERASECHAR, {IAC, 247}, 2},
    {IDM_ERASELINE, {IAC, 248}, 2},
    {IDM_GOAHEAD, {IAC, 249}, 2},
    // 3270 short records: the attention identifier and IAC EOR, nothing else
    {IDM_PA1, {0x6C, IAC, EOR}, 3},
    {IDM_PA2, {0x6E, IAC, EOR}, 3},
    {IDM_PA3, {0x6B, IAC, EOR}, 3},
    {IDM_CLEARKEY, {0x6D, IAC, EOR}, 3},
    {IDM_SYSREQ, {0xF0, IAC, EOR}, 3},
};

const FixedString* fixedStringFor(UINT id) {
  for (const FixedString& s : kFixedStrings)
    if (s.id == id) return &s;
  return nullptr;
}

// The length of the text in a block of `size` bytes: up to its NUL, or the whole
// block when it has none.
int textLength(const unsigned char* text, SIZE_T size) {
  const SIZE_T limit = size < static_cast<SIZE_T>(INT_MAX) ? size : static_cast<SIZE_T>(INT_MAX);
  const void* end = std::memchr(text, '\0', limit);
  return static_cast<int>(end ? static_cast<const unsigned char*>(end) - text : static_cast<ptrdiff_t>(limit));
}

}  // namespace

void CommTcp::MenuCommand(HWND hwnd, UINT id) {
  // Under TN3270E, SYSREQ and ATTN are Telnet commands (SYSREQ only with its
  // function agreed); ATTN exists only there. A refused key rings the bell.
  if ((id == IDM_SYSREQ && tn3270e::Active(*this)) || id == IDM_ATTN) {
    const bool sent = id == IDM_SYSREQ ? tn3270e::SysReq(*this) : tn3270e::Attn(*this);
    if (!sent && display) display->Bell();
    return;
  }
  // A header-less short record would break a TN3270E session: a locked
  // keyboard takes no attention key there.
  if (tn3270e::Active(*this) && modelLocked && (id == IDM_PA1 || id == IDM_PA2 || id == IDM_PA3 || id == IDM_CLEARKEY))
    return;
  // On a model screen PA1-PA3 and Clear are attentions of its own: the
  // keyboard locks, and Clear erases the screen.
  if (modelEngine() && terminalMode == kMode3270 && !modelLocked &&
      (id == IDM_PA1 || id == IDM_PA2 || id == IDM_PA3 || id == IDM_CLEARKEY)) {
    if (const FixedString* s = fixedStringFor(id)) {
      model3270::Attention(*this, s->bytes[0]);
      ShowScreenIcPos(hwnd, cellWidth, cellHeight, &cursorColumn, &cursorRow);
      damage.screen3270 = true;
      Present();
    }
    return;
  }
  if (const FixedString* s = fixedStringFor(id)) {
    unsigned char bytes[sizeof s->bytes];
    std::memcpy(bytes, s->bytes, sizeof bytes);
    SendBytes(this, hwnd, socketHandle, traceFile, bytes, s->length);
    return;
  }

  switch (id) {
    case IDM_ESCAPE: {
      char text[ESCAPE_TEXT_SIZE] = {};
      if (DialogBoxParamA(instanceHandle, MAKEINTRESOURCEA(IDD_ESCAPE), hwnd, Dlg_Escape,
                          reinterpret_cast<LPARAM>(text)) <= 0)
        return;  // cancelled (or the dialog could not be shown): nothing is sent
      text[ESCAPE_TEXT_SIZE - 1] = '\0';
      const int length = ConvertEscapeText(text, ESCAPE_TEXT_SIZE);
      if (length > 0) SendBytes(this, hwnd, socketHandle, traceFile, reinterpret_cast<unsigned char*>(text), length);
      return;
    }

    case IDM_COPY: {
      if (OpenClipboard(hwnd)) {
        EmptyClipboard();
        CloseClipboard();
      }
      if (nvtChars == nullptr) return;
      const int size = GetPossibleClipboardLen(selStartColumn, selStartRow, selEndColumn, selEndRow);
      if (size <= 0) return;
      HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, static_cast<SIZE_T>(size));
      if (mem == nullptr) return;
      char* text = static_cast<char*>(GlobalLock(mem));
      if (text == nullptr) {
        GlobalFree(mem);  // an unfilled block is never handed over
        return;
      }
      FromScreenCopyToClipboard(text, selStartColumn, selStartRow, selEndColumn, selEndRow);
      GlobalUnlock(mem);
      // Once handed over the block is the clipboard's; otherwise it is still ours.
      if (!OpenClipboard(hwnd)) {
        GlobalFree(mem);
        return;
      }
      if (SetClipboardData(CF_TEXT, mem) == nullptr) GlobalFree(mem);
      CloseClipboard();
      return;
    }

    case IDM_PASTE: {
      if (!IsClipboardFormatAvailable(CF_TEXT)) return;
      if (!OpenClipboard(hwnd)) return;
      clipboardData = GetClipboardData(CF_TEXT);
      if (clipboardData != nullptr) {
        // The text ends at its NUL, and never beyond the block, whatever it holds.
        const SIZE_T size = GlobalSize(clipboardData);
        if (unsigned char* text = static_cast<unsigned char*>(GlobalLock(clipboardData))) {
          const int length = textLength(text, size);
          if (length > 0) SendBytes(this, hwnd, socketHandle, traceFile, text, length);
          GlobalUnlock(clipboardData);
        }
      }
      clipboardData = nullptr;
      CloseClipboard();
      return;
    }

    case IDM_CLEAR:
      PaintNVTScreen(hwnd, cellWidth, cellHeight);
      SetCaretPos(nvt::pixel(cursorColumn, cellWidth), nvt::pixel(cursorRow, cellHeight));
      return;

    case IDM_TIMER: {
      HMENU menu = GetMenu(hwnd);
      const UINT state = menu ? GetMenuState(menu, IDM_TIMER, MF_BYCOMMAND) : static_cast<UINT>(-1);
      if (state == static_cast<UINT>(-1)) {
        // No Timer entry to carry the mark: the timer's own state decides.
        if (!KillTimer(hwnd, kKeepAliveTimer)) SetTimer(hwnd, kKeepAliveTimer, kKeepAlivePeriod, nullptr);
        return;
      }
      if (state & MF_CHECKED) {
        CheckMenuItem(menu, IDM_TIMER, MF_BYCOMMAND | MF_UNCHECKED);
        KillTimer(hwnd, kKeepAliveTimer);
      } else {
        SetTimer(hwnd, kKeepAliveTimer, kKeepAlivePeriod, nullptr);
        CheckMenuItem(menu, IDM_TIMER, MF_BYCOMMAND | MF_CHECKED);
      }
      return;
    }

    case IDM_REFRESH:
      InvalidateRect(hwnd, nullptr, TRUE);
      return;

    case IDM_ABOUT:
      DialogBoxParamA(instanceHandle, MAKEINTRESOURCEA(IDD_ABOUT), hwnd, Dlg_About, 0);
      return;

    case IDM_COLOR:
      ColorCommand(hwnd);
      return;
    case IDM_MODELCOLORS:
      ModelColorCommand(*this, hwnd);
      return;
    case IDM_TEXTFONT:
    case IDM_LINEDRAWFONT:
      FontCommand(hwnd, id);
      return;

    case IDM_CLOSE:  // on the menu bar, but it does nothing
    default:
      return;
  }
}
