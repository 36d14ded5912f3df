#include "script/script_session.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "net/host_text.h"
#include "net/trace_log.h"
#include "tn3270/field_attribute.h"
#include "tn3270/code_page.h"
#include "tn3270/model_engine.h"
#include "tn3270/paint.h"
#include "vt100/nvt_cells.h"

namespace {

constexpr char kPumpClass[] = "QuillonScriptPump";
constexpr UINT_PTR kPumpTimer = 1;
constexpr UINT kPumpInterval = 20;  // ms: the longest a wait sleeps between looks
constexpr int kNvtLiveRow = 4 * kNvtMaxRows;  // buffer row of the NVT screen's top row

ScriptSession* g_session = nullptr;
unsigned long g_records = 0;  // complete 3270 records shown so far

// The script's terminal is never seen, so nothing is drawn and no bell rings.
// Where the window would draw the whole NVT view, the view is settled as that
// drawing leaves it, so that the script reads the cells the window shows.
class Unseen : public Display {
 public:
  void Bell() override {}
  void Present(CommTcp& t) override {
    if (t.damage.nvtView) nvt::settleView(t);
    t.damage.Clear();
  }
};

Unseen g_unseen;

double now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}


// The field (an input field when `input`) holding screen position p, or -1.
int fieldAt(const CommTcp& t, int p, bool input) {
  const int count = std::min<int>(t.fieldCount, kMaxFields);
  for (int f = 0; f < count; ++f) {
    const FieldEntry& e = t.fieldTable[f];
    if ((input && fieldIsProtected(e.attribute)) || e.length == 0) continue;
    const int offset = (p - static_cast<int>(e.begin) + kScreenPositions) % kScreenPositions;
    if (offset < static_cast<int>(e.length)) return f;
  }
  return -1;
}
int inputFieldAt(const CommTcp& t, int p) { return fieldAt(t, p, true); }

}  // namespace

ScriptSession* CurrentScriptSession() { return g_session; }

void ScriptSession::RecordArrived() { ++g_records; }

ScriptSession::ScriptSession() {
  g_session = this;
  ncTcpWSARegWSAStartup();
  ncTcpRegisterClass(3, GetModuleHandleA(nullptr));
  // A window of our own whose timer bounds every wait of the message loop.
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kPumpClass;
  RegisterClassA(&wc);
  pumpWindow_ = CreateWindowExA(0, kPumpClass, "", 0, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance, nullptr);
  if (pumpWindow_) SetTimer(pumpWindow_, kPumpTimer, kPumpInterval, nullptr);
}

ScriptSession::~ScriptSession() {
  Disconnect();
  if (pumpWindow_) DestroyWindow(pumpWindow_);
  ncTcpWSARegWSACleanup();
  g_session = nullptr;
}

CommTcp* ScriptSession::terminal() const {
  if (!window_ || !IsWindow(window_)) return nullptr;
  return reinterpret_cast<CommTcp*>(GetWindowLongPtrA(window_, 0));
}

bool ScriptSession::ensureWindow(std::string* error) {
  if (terminal()) return true;
  window_ = nullptr;
  // Hidden: the script is the only one who looks at it.
  ncTcpCreateSocketObj(&window_, nullptr, "Quillon", QUILLON_WINDOW_STYLE & ~WS_VISIBLE, GetModuleHandleA(nullptr));
  if (!terminal()) {
    *error = "the terminal window could not be created";
    return false;
  }
  ncTcpSetEventHandler(&window_, &ScriptSession::RecordArrived);
  terminal()->display = &g_unseen;
  // A sized window lays its screen out when its layout timer fires; this one
  // is laid out at once, so that what a host sends straight after the
  // connection lands on a screen of its final shape.
  SendMessageA(window_, WM_TIMER, kLayoutTimer, 0);
  if (!terminal()) {
    *error = "the terminal window could not be created";
    return false;
  }
  return true;
}

bool ScriptSession::Connect(const std::string& host, double seconds, std::string* error) {
  if (Connected()) {
    *error = "already connected";
    return false;
  }
  Disconnect();
  if (!ensureWindow(error)) return false;
  CommTcp* t = terminal();
  t->terminalType = kTypeIbm3270;  // an IBM 3270 display, as the host dialog chooses by default
  if (modelGiven_) model3270::ResetScreen(t->modelScreen, model_);
  t->terminalMode |= kModeIBM3270;
  messages_.clear();
  // A trace that cannot be made private is refused; its message fails the Connect.
  if (trace && !t->traceFile) t->traceFile = OpenTraceLog(window_);
  locked_ = false;
  ncTcpConnectToHost(window_, host.c_str(), &t->socketHandle);
  // The reasons the terminal gave follow `why`, each once (a failed connection
  // shows the same report for each of its opening sends).
  const auto fail = [&](std::string why) {
    for (const std::string& m : TakeMessages())
      if (why.find(m) == std::string::npos) why += (why.empty() ? "" : "; ") + m;
    *error = why;
    Disconnect();
    return false;
  };
  bool reached = false;  // the connection was made, whatever came after
  const bool done = Pump(
      [&] {
        const CommTcp* c = terminal();
        if (c && c->connected == 1) reached = true;
        return !messages_.empty() || !c || c->socketHandle == INVALID_SOCKET || c->connected == 1;
      },
      seconds);
  if (!messages_.empty() || !Connected() || !done) {
    if (reached && !Connected()) return fail("the host closed the connection");
    return fail(!messages_.empty() ? "" : !done ? "timed out connecting to " + host : "the host closed the connection");
  }
  HostText parsed;
  ParseHostText(host, &parsed, nullptr);
  hostName_ = parsed.name;
  luName_ = parsed.lu;
  port_ = parsed.port != 0 ? parsed.port : parsed.tls ? kTelnetsPort : 23;
  // A 3270 host settles into 3270 mode and sends its first screen at once;
  // a host that starts no 3270 negotiation within a second is an NVT host.
  const unsigned long records = g_records;
  Pump([&] { return In3270() || !Connected(); }, 1.0);
  if (Negotiating()) Pump([&] { return !Negotiating(); }, seconds);
  if (In3270()) Pump([&] { return g_records != records || !Connected(); }, 1.0);
  // A host that took the connection and closed it again is no session.
  if (!Connected()) return fail("the host closed the connection");
  return true;
}

void ScriptSession::Disconnect() {
  if (window_ && IsWindow(window_)) SendMessageA(window_, WM_CLOSE, 0, 0);
  window_ = nullptr;
  locked_ = false;
  // The quit message the closed window posted is taken here.
  Pump([] { return true; }, 0);
}

bool ScriptSession::Connected() const {
  const CommTcp* t = terminal();
  return t && t->connected == 1 && t->socketHandle != INVALID_SOCKET;
}

bool ScriptSession::In3270() const { return Connected() && terminal()->terminalMode == kMode3270; }

bool ScriptSession::Negotiating() const {
  // Some of BINARY, TERMINAL-TYPE and END-OF-RECORD agreed, but not all; or
  // TN3270E offered and not yet agreed or refused.
  if (!Connected() || In3270()) return false;
  const Tn3270eState& e = terminal()->tn3270e;
  return (terminal()->terminalMode & (kModeBinary | kModeTerminalType | kModeEOR)) != 0 ||
         (e.phase >= Tn3270eState::kOffered && e.phase < Tn3270eState::kActive);
}

bool ScriptSession::ModelMode() const {
  const CommTcp* t = terminal();
  return t && t->modelEngine();
}

int ScriptSession::Rows() const { return ModelMode() ? terminal()->modelScreen.rows : kScreenRows; }
int ScriptSession::Columns() const { return ModelMode() ? terminal()->modelScreen.columns : kScreenColumns; }

TerminalModel ScriptSession::Model() const {
  const CommTcp* t = terminal();
  return t ? t->modelScreen.model : modelGiven_ ? model_ : ReadModelSetting();
}

void ScriptSession::ModelBackTab() {
  if (CommTcp* t = terminal()) model3270::BackTab(*t);
}

bool ScriptSession::ModelErase(bool wholeField) {
  CommTcp* t = terminal();
  return t && (wholeField ? model3270::DeleteField(*t) : model3270::EraseEndOfField(*t));
}

bool ScriptSession::Formatted() const {
  if (ModelMode()) return In3270() && model3270::formatted(terminal()->modelScreen);
  return In3270() && terminal()->fieldCount > 0;
}

bool ScriptSession::Locked() const {
  // A model screen's keyboard waits for the host's keyboard restore.
  if (ModelMode()) return Connected() && terminal()->modelLocked != 0;
  return locked_ && g_records < unlockAt_ && Connected();
}

bool ScriptSession::Tls() const {
  const CommTcp* t = terminal();
  return t && t->tlsState == kTlsEstablished;
}

bool ScriptSession::CursorProtected() const {
  if (!Formatted()) return false;
  const CommTcp* t = terminal();
  if (ModelMode()) {
    // The field the cursor's position belongs to, its attribute position included.
    const int f = model3270::fieldStart(t->modelScreen, t->modelScreen.cursor);
    return f >= 0 && fieldIsProtected(t->modelScreen.cells[f].fa);
  }
  return inputFieldAt(*t, t->cursorRow * kScreenColumns + t->cursorColumn) < 0;
}

namespace {
// The 3270 cursor's screen position. Typing runs the column on past the end
// of a row: such a cursor stands at the start of the next row.
int position3270(const CommTcp& t) {
  const long long p = static_cast<long long>(t.cursorRow) * kScreenColumns + t.cursorColumn;
  return static_cast<int>(std::clamp<long long>(p, 0, kScreenPositions - 1));
}
}  // namespace

int ScriptSession::CursorRow() const {
  const CommTcp* t = terminal();
  if (ModelMode()) return t->modelScreen.cursor / t->modelScreen.columns;
  if (t && t->terminalMode == kMode3270) return position3270(*t) / kScreenColumns;
  return t ? std::clamp<int>(t->cursorRow, 0, kScreenRows - 1) : 0;
}

int ScriptSession::CursorColumn() const {
  const CommTcp* t = terminal();
  if (ModelMode()) return t->modelScreen.cursor % t->modelScreen.columns;
  if (t && t->terminalMode == kMode3270) return position3270(*t) % kScreenColumns;
  return t ? std::clamp<int>(t->cursorColumn, 0, kScreenColumns - 1) : 0;
}

bool ScriptSession::cellsAsLastRead(const CommTcp* t) const {
  static_assert(kScreenPositions <= kScreenArraySize, "the cells compared are on the screen");
  return t && t->terminalMode == kMode3270 && lastCells_.size() == 2 * kScreenPositions &&
         std::memcmp(lastCells_.data(), t->screenChars, kScreenPositions) == 0 &&
         std::memcmp(lastCells_.data() + kScreenPositions, t->positionAttribute, kScreenPositions) == 0;
}

const std::vector<std::string>& ScriptSession::modelScreenText(const CommTcp& t) const {
  const ModelScreen& s = t.modelScreen;
  lastCells_.clear();
  lastScreen_.assign(static_cast<size_t>(s.rows), std::string(static_cast<size_t>(s.columns), ' '));
  // Whether the field in force hides its characters, carried along the screen.
  const int start = model3270::fieldStart(s, 0);
  bool hidden = start >= 0 && fieldIsNonDisplay(s.cells[start].fa);
  for (int p = 0; p < s.positions(); ++p) {
    const ModelCell& c = s.cells[p];
    if (c.field) {
      hidden = fieldIsNonDisplay(c.fa);
      continue;
    }
    if (!hidden) lastScreen_[p / s.columns][p % s.columns] = model3270::DisplayChar(c);
  }
  return lastScreen_;
}

const std::vector<std::string>& ScriptSession::hostScreen() const {
  const CommTcp* t = terminal();
  if (t && t->modelEngine() && t->terminalMode == kMode3270) return modelScreenText(*t);
  // The 3270 text follows from the screen's characters and attributes alone:
  // while they are as at the last look, the 1,920 cells are not read again.
  if (cellsAsLastRead(t)) return lastScreen_;
  lastScreen_.assign(kScreenRows, std::string(kScreenColumns, ' '));
  lastCells_.clear();
  if (!t) return lastScreen_;
  for (int r = 0; r < kScreenRows; ++r) {
    for (int c = 0; c < kScreenColumns; ++c) {
      char ch = ' ';
      if (t->terminalMode == kMode3270) {
        ch = Look3270Cell(*t, r * kScreenColumns + c).ch;
      } else if (t->nvtChars) {
        const int i = t->NvtCellIndex(kNvtLiveRow + r, c);
        if (i >= 0 && i < kNvtBufferCells) ch = t->nvtChars[i];
      }
      lastScreen_[r][c] = static_cast<unsigned char>(ch) >= 0x20 && static_cast<unsigned char>(ch) < 0x7F ? ch : ' ';
    }
  }
  if (t->terminalMode == kMode3270) {
    lastCells_.assign(t->screenChars, t->screenChars + kScreenPositions);
    lastCells_.insert(lastCells_.end(), t->positionAttribute, t->positionAttribute + kScreenPositions);
  }
  return lastScreen_;
}

const std::vector<std::string>& ScriptSession::Screen() const {
  const std::vector<std::string>& host = hostScreen();
  // Characters typed but not yet stored into their field show where the
  // window echoed them: the cells before the cursor.
  const CommTcp* t = terminal();
  if (!t || t->terminalMode != kMode3270 || t->typedCount <= 0) return host;
  typedScreen_ = host;
  const int n = std::clamp<int>(t->typedCount, 0, static_cast<int>(sizeof t->typedChars));
  const long long p = static_cast<long long>(t->cursorRow) * kScreenColumns + t->cursorColumn;
  for (int i = 0; i < n; ++i) {
    const long long q = p - n + i;
    if (q < 0 || q >= kScreenPositions) continue;
    const unsigned char ch = static_cast<unsigned char>(t->typedChars[i]);
    const bool hidden = fieldIsNonDisplay(t->positionAttribute[q]);
    typedScreen_[q / kScreenColumns][q % kScreenColumns] = hidden || ch < 0x20 || ch >= 0x7F ? ' ' : static_cast<char>(ch);
  }
  return typedScreen_;
}

unsigned long ScriptSession::OutputCount() {
  // Output is what the host sends: in 3270 mode its records, in NVT mode what
  // it changes on the screen (which only the host's bytes change).
  const CommTcp* t = terminal();
  if (t && t->terminalMode == kMode3270) {
    if (g_records != recordsSeen_) {
      recordsSeen_ = g_records;
      ++outputCount_;
    }
    return outputCount_;
  }
  const std::vector<std::string>& screen = hostScreen();
  if (screen != lastNvtScreen_) {
    ++outputCount_;
    lastNvtScreen_ = screen;
  }
  return outputCount_;
}

void ScriptSession::Char(unsigned char c) {
  if (window_ && IsWindow(window_)) SendMessageA(window_, WM_CHAR, c, 1);
}

void ScriptSession::KeyDown(UINT key) {
  if (window_ && IsWindow(window_)) SendMessageA(window_, WM_KEYDOWN, key, 1);
}

void ScriptSession::Command(UINT id) {
  if (window_ && IsWindow(window_)) SendMessageA(window_, WM_COMMAND, id, 0);
}

std::string ScriptSession::AssignedLu() const {
  const CommTcp* t = terminal();
  if (!t || !Connected()) return std::string();
  return std::string(t->tn3270e.assignedLu, strnlen(t->tn3270e.assignedLu, sizeof t->tn3270e.assignedLu - 1));
}

bool ScriptSession::InTn3270e() const { return Connected() && terminal()->tn3270e.active(); }

bool ScriptSession::Attn() {
  CommTcp* t = terminal();
  return t && tn3270e::Attn(*t);
}

void ScriptSession::SetAid(uint8_t aid) {
  if (CommTcp* t = terminal()) t->aid = aid;
}

namespace {
bool fieldOfCursor(const CommTcp* t, bool input, int* begin, int* length, int* offset) {
  if (!t || t->terminalMode != kMode3270) return false;
  const int p = t->cursorRow * kScreenColumns + t->cursorColumn;
  const int f = fieldAt(*t, p, input);
  if (f < 0) return false;
  *begin = static_cast<int>(t->fieldTable[f].begin) % kScreenPositions;
  *length = std::min<int>(static_cast<int>(t->fieldTable[f].length), kScreenPositions);
  *offset = (p - *begin + kScreenPositions) % kScreenPositions;
  return true;
}
}  // namespace

namespace {
// The same on a model screen.
bool modelFieldOfCursor(const CommTcp& t, bool input, int* begin, int* length, int* offset) {
  const ModelScreen& s = t.modelScreen;
  const int p = s.cursor;
  const int f = model3270::fieldStart(s, p);
  if (f < 0 || f == p || (input && fieldIsProtected(s.cells[f].fa))) return false;
  const int n = s.positions();
  *begin = (f + 1) % n;
  *length = model3270::fieldLength(s, *begin);
  *offset = (p - *begin + n) % n;
  return true;
}
}  // namespace

bool ScriptSession::CursorField(int* begin, int* length, int* offset) const {
  if (ModelMode()) return modelFieldOfCursor(*terminal(), true, begin, length, offset);
  return fieldOfCursor(terminal(), true, begin, length, offset);
}

bool ScriptSession::CursorAnyField(int* begin, int* length, int* offset) const {
  if (ModelMode()) return modelFieldOfCursor(*terminal(), false, begin, length, offset);
  return fieldOfCursor(terminal(), false, begin, length, offset);
}

void ScriptSession::Attention(const std::function<void()>& send) {
  const bool in3270 = In3270();
  send();
  if (in3270) {
    locked_ = true;
    unlockAt_ = g_records + 1;
  }
}

bool ScriptSession::MoveCursor(int row, int column) {
  CommTcp* t = terminal();
  if (!t) return false;
  if (t->modelEngine()) {
    model3270::CursorTo(*t, row * t->modelScreen.columns + column);
    return true;
  }
  const int p = row * kScreenColumns + column;
  const int field = Formatted() ? inputFieldAt(*t, p) : -1;
  if (field >= 0) {
    // The keyboard types into its field from the field's start, one position
    // a character, and commits the run into the field with Tab or an
    // attention key. The cursor is where the next character lands only when
    // it stands right after that run. Otherwise, or to go back, the field is
    // entered afresh with Tab (committing what was typed) and the run starts
    // empty at the field's start.
    const int begin = static_cast<int>(t->fieldTable[field].begin) % kScreenPositions;
    const int target = (p - begin + kScreenPositions) % kScreenPositions;
    const auto typingHere = [&] {
      const CommTcp* u = terminal();
      return u && u->currentField == field &&
             u->cursorRow * kScreenColumns + u->cursorColumn == begin + u->typedCount;
    };
    if (!typingHere() || t->typedCount > target) {
      if (t->currentField == field) Char(9);
      for (int k = 0; k <= t->fieldCount && (t = terminal()) && t->currentField != field; ++k) Char(9);
      if (!typingHere()) return false;
    }
    // On to the target, typing again what the field holds (a null as a
    // blank) so that it stays as it is; where a numeric field refuses the
    // blank, the Right key may still pass.
    for (int guard = 0; guard < kScreenPositions && (t = terminal()) && t->typedCount < target; ++guard) {
      const int before = t->typedCount;
      const unsigned char held = t->screenChars[(begin + before) % kScreenPositions];
      Char(held > 0x20 && held < 0x7F ? held : ' ');
      if ((t = terminal()) && t->typedCount == before) KeyDown(VK_RIGHT);
      if (!(t = terminal()) || t->typedCount == before) return false;
    }
    return typingHere();
  }
  // Elsewhere a click puts the cursor there; the keyboard stays in its field.
  const int w = std::max(t->cellWidth, 1), h = std::max(t->cellHeight, 1);
  const LPARAM at = MAKELPARAM(column * w + w / 2, row * h + h / 2);
  SendMessageA(window_, WM_LBUTTONDOWN, MK_LBUTTON, at);
  if (IsWindow(window_)) SendMessageA(window_, WM_LBUTTONUP, 0, at);
  return true;
}

bool ScriptSession::Type(unsigned char c, std::string* refused) {
  const CommTcp* t = terminal();
  if (!t || t->terminalMode != kMode3270) {
    Char(c);
    return true;
  }
  if (t->modelEngine()) {
    CommTcp* m = terminal();
    const ModelScreen& s = m->modelScreen;
    const int f = model3270::fieldStart(s, s.cursor);
    if (model3270::TypeChar(*m, kLatin1ToEbcdic[c])) return true;
    *refused = m->modelLocked                              ? "keyboard locked"
               : !model3270::inputPosition(s, s.cursor)    ? "the cursor is in a protected field"
               : f >= 0 && fieldIsNumeric(s.cells[f].fa)   ? "the field takes digits only"
                                                           : "the keyboard refused the character";
    return false;
  }
  const int before = t->typedCount;
  Char(c);
  if (!(t = terminal()) || t->typedCount != before) return true;
  const bool numeric = t->currentField >= 0 && t->currentField < std::min<int>(t->fieldCount, kMaxFields) &&
                       fieldIsNumeric(t->fieldTable[t->currentField].attribute);
  *refused = !CursorProtected() && numeric && (c < '0' || c > '9') ? "the field takes digits only"
             : before > 0 && CursorProtected()                      ? "the field is full"
                                                                    : "the cursor is in a protected field";
  return false;
}

bool ScriptSession::Pump(const std::function<bool()>& done, double seconds) {
  const double end = now() + seconds;
  MSG msg;
  for (;;) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) continue;  // a closed terminal window; the program goes on
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (done()) return true;
    if (seconds >= 0 && now() >= end) return false;
    // Sleeps until the next message; the pump timer wakes it within its interval.
    if (GetMessageA(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

void ScriptSession::PumpUntil(const std::function<bool()>& done) {
  MSG msg;
  while (!done()) {
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) continue;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    } else if (!done() && GetMessageA(&msg, nullptr, 0, 0) > 0) {
      // Sleeps until the next message; the pump timer wakes it within its interval.
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

std::vector<std::string> ScriptSession::TakeMessages() {
  std::vector<std::string> taken;
  taken.swap(messages_);
  return taken;
}
