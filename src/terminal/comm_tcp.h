// CommTcp: all state of one terminal window, and the operations on it.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/win32.h"
#include "net/tn3270e_session.h"
#include "quillon_api.h"
#include "terminal/display.h"
#include "terminal/states.h"
#include "tn3270/model_colors.h"
#include "tn3270/model_screen.h"
#include "tn3270/screen_model.h"

class TlsChannel;
class Transport;

// Called after each complete 3270 record has been shown.
typedef void (*RecordHandler)(void);

// The NVT buffers hold the live screen and four screens of history:
// 5 x 25 rows of 81 cells (80 columns and a spare one).
constexpr int kNvtColumns = 81;
constexpr int kNvtMaxRows = 25;
constexpr int kNvtBufferCells = 5 * kNvtMaxRows * kNvtColumns;
static_assert(ScreenDamage::kRows == kNvtMaxRows, "the damage record covers every live row");

// The longest Telnet command (a subnegotiation) held over a read boundary, and the
// longest unfinished escape sequence kept for the next read.
constexpr int kMaxHeldCommand = 512;
constexpr int kMaxPendingTail = 1024;

// The window's timers: the keep-alive characters, the layout that follows a resize
// and the blinking of 3270 characters.
constexpr UINT_PTR kKeepAliveTimer = 1;
constexpr UINT_PTR kLayoutTimer = 2;
constexpr UINT_PTR kBlinkTimer = 3;
// Posted by the layout timer: lay the window out for its new size.
constexpr UINT WM_LAYOUT = WM_USER + 3;

// Counts the objects that share one set of NVT buffers and fonts, so that only
// the last of a set of copies releases them.
class QUILLON_API SharedResources {
 public:
  SharedResources() = default;
  SharedResources(const SharedResources& other) : holders_(other.share()) {}
  SharedResources& operator=(const SharedResources&) = delete;
  ~SharedResources();
  bool lastHolder() const { return holders_ == nullptr || *holders_ == 1; }

 private:
  int* share() const;
  mutable int* holders_ = nullptr;
};

// The TLS channel of a connection, owned by one terminal object alone: a copy
// of the object (and so an object assigned from another) starts without one,
// so no channel is ever deleted twice. It reads as the channel pointer.
class TlsChannelSlot {
 public:
  TlsChannelSlot() = default;
  TlsChannelSlot(const TlsChannelSlot&) {}
  TlsChannelSlot& operator=(const TlsChannelSlot&) = delete;  // CommTcp's assignment copy-constructs
  TlsChannelSlot& operator=(TlsChannel* channel) {
    channel_ = channel;
    return *this;
  }
  operator TlsChannel*() const { return channel_; }
  TlsChannel* operator->() const { return channel_; }

 private:
  TlsChannel* channel_ = nullptr;
};

class QUILLON_API CommTcp {
 public:
  CommTcp();
  CommTcp(const CommTcp& other);
  CommTcp& operator=(const CommTcp& other);
  virtual ~CommTcp();

  // Start values, colours from the settings file, NVT buffers and fonts.
  // 1 ready, 0 failed (the user has been told).
  int ComTcpInit();
  // Empties the 3270 field table and the first 1920 positions of the screen arrays.
  void InitScreen();
  LRESULT WndObjectCallBackProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  // Connecting (net/connection.cpp): the Connect command and the socket's events.
  void ConnectCommand(HWND hwnd);
  LRESULT OnSocketMessage(HWND hwnd, WPARAM wParam, LPARAM lParam);

  // Keyboards (ui/keyboard_3270.cpp, ui/keyboard_vt100.cpp): a WM_KEYDOWN, and one
  // repeat of a WM_CHAR once the window handler has checked the connection.
  void KeyDown3270(HWND hwnd, WPARAM key, LPARAM lParam);
  void Char3270(HWND hwnd, WPARAM ch, LPARAM lParam);
  void KeyDownVt100(HWND hwnd, WPARAM key, LPARAM lParam);
  void CharVt100(HWND hwnd, WPARAM ch, LPARAM lParam);
  // Menu commands other than Exit and Connect (ui/menu_commands.cpp).
  void MenuCommand(HWND hwnd, UINT id);

  // Window geometry and painting (ui/window_layout.cpp).
  // Makes a solid brush of backgroundColor the class background and the brush of
  // the window's DC; a failure is reported in a message box owned by `boxOwner`.
  // 1 when the class took it.
  int InstallBackgroundBrush(HWND hwnd, HWND boxOwner);
  // The window is going: its brush is deleted, and a class still holding it
  // gets back the brush it was registered with.
  void ReleaseBackgroundBrush(HWND hwnd);
  void PlaceCaret();          // the caret onto the cursor cell
  void MarkNvtPageChanged();  // the VT100 page in view is drawn whole at the next paint
  void RepaintScreen(HWND hwnd);  // the screen of the current mode, through the window's DC
  // Makes *font from the description, replacing (and deleting) the old one.
  void ReplaceFont(HWND hwnd, HFONT* font, const LOGFONTA& description);

  // The colour dialog and the font choosers (ui/color_dialog.cpp, ui/font_commands.cpp).
  void ColorCommand(HWND hwnd);
  void FontCommand(HWND hwnd, UINT id);  // IDM_TEXTFONT or IDM_LINEDRAWFONT

  // Inbound 3270 data stream (tn3270/inbound_*.cpp).
  int CreateScreen(unsigned char* data, int length);
  void CreateScreenMenu(unsigned char* record, int length);
  int repeatto(uint32_t start, uint32_t stop, uint8_t ch);
  int RepeatEraseTo(uint32_t start, uint32_t stop);
  int close_field(uint32_t begin, uint32_t end, uint8_t attribute);
  int input_3270_FieldIndex(uint8_t* attributes);

  // Field navigation and the record sent to the host (tn3270/fields.cpp, tn3270/outbound.cpp).
  int FindNextInputCursorPos(uint32_t position, uint32_t* found);
  int FindPrevInputCursorPos(uint32_t position, uint32_t* found);
  int PutFieldInfoToBuff(const char* data, unsigned int length);
  int build_input(unsigned char* out, uint8_t aid, int column, int row);
  int send_message_host_x();
  void send_message_NewTrans();
  int build_input2(int column, int row);
  void ShowScreenIcPos(HWND hwnd, int cellWidth, int cellHeight, int* column, int* row);

  // NVT screen buffer operations (vt100/nvt_*.cpp). Rows are screen rows; the
  // margins come from scrollRegion.
  void NvtLineFeed();       // line feed movement, with the new-line-mode return to column 0
  void NvtIndex();          // the same movement without that return
  void NvtScrollUp();       // the bottom margin was passed
  void NvtReverseIndex();
  void NvtErase(int range); // one of the NvtEraseRange values
  void NvtInsertLines(int count);
  void NvtDeleteLines(int count);
  void NvtDeleteChars(int count);
  void NvtSaveCursor();
  void NvtRestoreCursor();
  void NvtResetRegion();
  void NvtSetRegion(int top, int bottom);  // 1-based, 0 meaning the default 1 and 24
  // Where a cell is kept in nvtChars / nvtAttributes: buffer row 0 is the
  // oldest history row, row 4 * nvtRows the top screen row; a row's cells are
  // contiguous. Rows outside the buffer wrap into it.
  int NvtCellIndex(int bufferRow, int column) const;

  // NVT painting and the clipboard text of a selection (vt100/nvt_paint.cpp, vt100/nvt_clipboard.cpp).
  void PaintNVTScreen(HWND hwnd, int cellWidth, int cellHeight);
  void PaintNVTScreenClip(int startColumn, int startRow, int endColumn, int endRow);
  int GetPossibleClipboardLen(int startColumn, int startRow, int endColumn, int endRow);
  void FromScreenCopyToClipboard(char* text, int startColumn, int startRow, int endColumn, int endRow);

  // 3270 painting (tn3270/paint.cpp).
  void PaintScreen(HWND hwnd, int cellWidth, int cellHeight);
  void ShowScreen(HWND hwnd, int cellWidth, int cellHeight, int* column, int* row);

  HWND windowHandle{};
  HDC deviceContext{};
  SOCKET socketHandle{};
  HINSTANCE instanceHandle{};
  int32_t resizePending{};
  FieldEntry fieldTable[kMaxFields]{};
  int32_t fieldCount{};
  int32_t currentField{};
  uint32_t cursorAddress{};
  uint32_t bufferAddress{};
  int32_t terminalMode{};
  int32_t dontRetryCount{};
  int32_t wontRetryCount{};
  uint8_t outboundRecord[4096]{};
  int32_t outboundLength{};
  uint8_t recordBuffer[8092]{};
  int32_t recordFill{};
  uint8_t screenChars[kScreenArraySize]{};
  uint8_t attributePositions[kScreenArraySize]{};
  uint8_t positionAttribute[kScreenArraySize]{};
  RecordHandler recordHandler{};
  FILE* traceFile{};
  int32_t lastVirtualKey{};
  int32_t traceRequested{};
  int32_t cellWidth{};
  int32_t cellHeight{};
  int32_t clientWidth{};
  int32_t clientHeight{};
  int32_t nvtColumns{};
  int32_t nvtRows{};
  int32_t cursorColumn{};
  int32_t cursorRow{};
  COLORREF backgroundColor{};
  COLORREF unprotectedHighLightColor{};
  COLORREF protectedHighLightColor{};
  COLORREF unprotectedNormalColor{};
  COLORREF protectedNormalColor{};
  COLORREF savedColors[5]{};
  uint8_t aid{};
  HFONT screenFont{};
  HFONT lineDrawFont{};
  LOGFONTA screenLogFont{};
  LOGFONTA lineDrawLogFont{};
  int32_t connected{};
  char hostName[40]{};
  char echoChar{};
  char typedChars[120]{};
  int32_t typedCount{};
  int32_t nvtViewTop{};
  char* nvtChars{};
  uint32_t* nvtAttributes{};
  uint32_t nvtCurrentAttribute{};
  RECT scrollRegion{};
  int32_t terminalType{};
  int32_t savedCursorColumn{};
  int32_t savedCursorRow{};
  uint32_t savedAttribute{};
  int32_t selStartColumn{};
  int32_t selStartRow{};
  int32_t selEndColumn{};
  int32_t selEndRow{};
  HANDLE clipboardData{};
  int32_t selecting{};
  int32_t newLineMode{};
  int32_t replaceMode{};
  int32_t repaintPending{};  // a whole NVT repaint is due at the end of the batch: no cells are noted meanwhile
  uint8_t receiveBuffer[4096]{};
  uint8_t pendingTail[4096]{};
  int32_t pendingTailLength{};
  // A Telnet command cut by the end of a read, completed by the next one.
  uint8_t heldCommand[kMaxHeldCommand]{};
  int32_t heldCommandLength{};
  // 1 when the current connection was made to a "passive:" host name: the
  // opening negotiation is not sent and the host negotiates first.
  int32_t passiveNegotiation{};
  // The stored row of NVT buffer row 0: the buffer rows are a ring, so that
  // scrolling moves this instead of the rows (see NvtCellIndex).
  int32_t nvtRingTop{};
  // Refusals (IAC DONT x) sent on this connection for each option x that the
  // host offered with IAC WILL and that is not one of ours; a host that keeps
  // offering gets only a few.
  uint8_t willRefusals[256]{};
  // The whole host text of the last host dialog (hostName keeps its first 39
  // characters), and what the connection made from a host text asked for.
  char hostText[256]{};
  char connectName[256]{};  // the host name or address connected to
  char luName[9]{};         // "LU@host": sent with the 3270 terminal type
  int32_t tlsRequested{};   // "tls:": the connection is wrapped in TLS
  int32_t tlsState{};       // a kTls* value
  TlsChannelSlot tlsChannel;  // owned; null without TLS
  // VT100 modes the host sets; every connect starts from a VT100's power-up
  // state (ResetVt100Modes).
  int32_t cursorKeysApplication{};  // CSI ? 1 h: the cursor keys send ESC O A .. ESC O D
  int32_t keypadApplication{};      // ESC =: the numeric keypad sends ESC O p .. ESC O y and the like
  int32_t autoWrap{};               // CSI ? 7 h: a character after the last column goes to the next row
  int32_t wrapPending{};            // the last column was written with autoWrap on; the next character wraps
  // NAWS: 1 once the host has agreed to it (DO NAWS); the rows last reported.
  int32_t nawsAgreed{};
  int32_t nawsReportedRows{};
  // How the connection's bytes travel (plain or TLS), chosen when it is made;
  // null before any connection (plain).
  const Transport* transport{};
  // What changed on the screen since it was last shown, and who shows it
  // (the window's painter, or nothing for quillon-script); not owned.
  ScreenDamage damage;
  Display* display{};
  // The 3270 model the terminal is ([3270] Model= in the settings file) and,
  // for every model but the default 3278-2, its screen (tn3270/model_*).
  ModelScreen modelScreen;
  int32_t modelLocked{};  // after an attention the keyboard waits for the host's restore
  // The model screen runs for every model but the default, and for the default under TN3270E.
  bool modelEngine() const { return !IsDefaultModel(modelScreen.model) || tn3270e.active(); }
  // The sixteen colours of a 3279 (tn3270/model_colors.h), read at start-up.
  COLORREF modelColors[kModelColorCount]{};
  // The cells the layout divided the client area into: 81 x 26, or a model
  // screen's size with a spare column and two rows.
  int32_t layoutColumns{};
  int32_t layoutRows{};
  int32_t blinkHidden{};   // blinking 3270 characters are in their dark half
  int32_t blinkRunning{};  // the blink timer runs: the model screen has blinking characters
  Tn3270eState tn3270e;     // TN3270E on this connection (net/tn3270e_session.h)
  // Gives the window the shape of what it shows now: when a model screen
  // changes size (or the mode changes), the window is resized so that the
  // cells keep their size, as far as the work area allows (a child window
  // keeps its size), and the fonts are laid out again.
  void FitWindowToScreen(HWND hwnd);

  // The VT100 modes of a new connection: normal cursor keys and keypad,
  // auto-wrap as [VT100] AutoWrap in the settings file says (on by default).
  void ResetVt100Modes();
  // Tells the host the screen's size again (IAC SB NAWS) when it has agreed
  // to NAWS and the size changed since it was last told.
  void SendWindowSize(HWND hwnd);

  // Shows what `damage` records through `display` (nothing without one) and
  // clears the record.
  void Present();

  // Bytes the next read may deliver: the receive buffer keeps room for the held
  // command and the pending tail in front of the data and a terminator after it.
  int receiveRoom() const;

 private:
  void onCreate(HWND hwnd, WPARAM wParam, LPARAM lParam);
  void onCommand(HWND hwnd, UINT id);
  void onChar(HWND hwnd, WPARAM ch, LPARAM lParam);
  void onTimer(HWND hwnd, WPARAM id);
  void onSize(HWND hwnd, LPARAM lParam);
  void onLayout(HWND hwnd);
  void onSetFocus(HWND hwnd);
  void onPaint(HWND hwnd);
  void onVScroll(HWND hwnd, WPARAM wParam);
  void onMouse(HWND hwnd, UINT message, LPARAM lParam);
  SharedResources shared_;
  HBRUSH ownBrush_{};  // the background brush this window installed last
};
