// The terminal display: the thin layer that talks to ncurses. It reads keys,
// mouse reports and resizes from the terminal and hands them to the session,
// and draws the session's screen. It also puts the terminal back as it found it
// on every way out: replacing the display, exit(), and fatal signals.
#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/posix/display.h"
#include "platform/posix/internal.h"
#include "platform/posix/tty_colors.h"
#include "platform/posix/tty_display.h"
#include "platform/posix/tty_session.h"

// After the platform's headers, whose Winsock FIONREAD it would otherwise clash with.
#include <sys/ioctl.h>

// The wide-character interface of ncurses, after the platform's own headers. Of
// its function-like macros, those that share a name with ours are dropped.
#define NCURSES_WIDECHAR 1
#include <curses.h>
#undef refresh
#undef timeout
#undef clear
#undef erase
#undef move

namespace posix {
namespace tty {
namespace {

constexpr int kEscapeDelayMs = 25;
// Reads at most this many keys per wake-up, so a flood cannot starve the loop.
constexpr int kMaxKeysPerInput = 4096;

// ---- restoring the terminal from anywhere ------------------------------------------------------

// What a signal handler may use: plain data, written before the handlers exist.
volatile sig_atomic_t g_active = 0;
int g_ttyFd = -1;
int g_outFd = -1;
struct termios g_savedTermios;
char g_restoreBytes[512];
size_t g_restoreLength = 0;

const int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGQUIT, SIGTRAP, SIGSYS};
struct sigaction g_previous[sizeof kFatalSignals / sizeof kFatalSignals[0]];
bool g_handlersInstalled = false;

// Restores the terminal with async-signal-safe calls only: the saved modes and
// the bytes that leave the alternate screen, the keypad mode and mouse reporting.
void restoreFromSignal() {
  if (!g_active) return;
  g_active = 0;
  if (g_outFd >= 0 && g_restoreLength > 0) {
    size_t done = 0;
    while (done < g_restoreLength) {
      const ssize_t n = write(g_outFd, g_restoreBytes + done, g_restoreLength - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
  }
  if (g_ttyFd >= 0) tcsetattr(g_ttyFd, TCSANOW, &g_savedTermios);
}

void onFatalSignal(int sig) {
  restoreFromSignal();
  // Hand the signal to whoever had it before (the default action, or a sanitizer).
  for (size_t i = 0; i < sizeof kFatalSignals / sizeof kFatalSignals[0]; ++i)
    if (kFatalSignals[i] == sig) sigaction(sig, &g_previous[i], nullptr);
  raise(sig);
}

void installFatalHandlers() {
  if (g_handlersInstalled) return;
  g_handlersInstalled = true;
  struct sigaction sa {};
  sa.sa_handler = onFatalSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESETHAND;
  for (size_t i = 0; i < sizeof kFatalSignals / sizeof kFatalSignals[0]; ++i)
    sigaction(kFatalSignals[i], &sa, &g_previous[i]);
}

void appendCapability(const char* name) {
  char* value = tigetstr(const_cast<char*>(name));
  if (value == nullptr || value == reinterpret_cast<char*>(-1)) return;
  const size_t n = std::strlen(value);
  if (g_restoreLength + n >= sizeof g_restoreBytes) return;
  std::memcpy(g_restoreBytes + g_restoreLength, value, n);
  g_restoreLength += n;
}

void appendBytes(const char* bytes) {
  const size_t n = std::strlen(bytes);
  if (g_restoreLength + n >= sizeof g_restoreBytes) return;
  std::memcpy(g_restoreBytes + g_restoreLength, bytes, n);
  g_restoreLength += n;
}

// ---- SIGWINCH -----------------------------------------------------------------------------------

int g_winchPipe[2] = {-1, -1};

void onWinch(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] ssize_t n = write(g_winchPipe[1], &byte, 1);
  errno = saved;
}

bool installWinch() {
  if (g_winchPipe[0] < 0) {
    if (pipe(g_winchPipe) != 0) return false;
    for (int fd : g_winchPipe) {
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
      fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
  }
  struct sigaction sa {};
  sa.sa_handler = onWinch;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGWINCH, &sa, nullptr);
  return true;
}

// ---- the characters ncurses cannot show in a locale without UTF-8 ------------------------------

const cchar_t* alternateChar(char32_t ch) {
  switch (ch) {
    case 0x2500: return WACS_HLINE;
    case 0x2502: return WACS_VLINE;
    case 0x250C: return WACS_ULCORNER;
    case 0x2510: return WACS_URCORNER;
    case 0x2514: return WACS_LLCORNER;
    case 0x2518: return WACS_LRCORNER;
    case 0x251C: return WACS_LTEE;
    case 0x2524: return WACS_RTEE;
    case 0x252C: return WACS_TTEE;
    case 0x2534: return WACS_BTEE;
    case 0x253C: return WACS_PLUS;
    case 0x23BA: return WACS_S1;
    case 0x23BB: return WACS_S3;
    case 0x23BC: return WACS_S7;
    case 0x23BD: return WACS_S9;
    case 0x25C6: return WACS_DIAMOND;
    case 0x2592: return WACS_CKBOARD;
    case 0x2591: return WACS_BOARD;
    case 0x2588: return WACS_BLOCK;
    case 0x00B0: return WACS_DEGREE;
    case 0x00B1: return WACS_PLMINUS;
    case 0x00B7: return WACS_BULLET;
    case 0x2264: return WACS_LEQUAL;
    case 0x2265: return WACS_GEQUAL;
    case 0x03C0: return WACS_PI;
    case 0x2260: return WACS_NEQUAL;
    case 0x00A3: return WACS_STERLING;
    case 0x25B2: return WACS_UARROW;
    case 0x25BC: return WACS_DARROW;
    case 0x25BA: return WACS_RARROW;
    default: return nullptr;
  }
}

// ---- the display -------------------------------------------------------------------------------

class TtyDisplay;
TtyDisplay* g_live = nullptr;

class TtyDisplay : public Display {
 public:
  TtyDisplay(SCREEN* screen, FILE* in, FILE* out, bool utf8) : screen_(screen), in_(in), out_(out), utf8_(utf8) {}
  ~TtyDisplay() override {
    if (inputWatch_) removeWatch(inputWatch_);
    if (winchWatch_) removeWatch(winchWatch_);
    restore();
    delscreen(screen_);
    std::fclose(in_);
    std::fclose(out_);
    if (g_live == this) g_live = nullptr;
  }

  void begin() {
    set_term(screen_);
    raw();
    noecho();
    nonl();
    intrflush(stdscr, FALSE);
    keypad(stdscr, TRUE);
    nodelay(stdscr, TRUE);
    meta(stdscr, TRUE);
    set_escdelay(kEscapeDelayMs);
    curs_set(0);
    const std::vector<KeySequence>& sequences = keySequences();
    for (size_t i = 0; i < sequences.size(); ++i)
      define_key(sequences[i].bytes.c_str(), kFirstSequenceCode + static_cast<int>(i));
    mousemask(BUTTON1_PRESSED | BUTTON1_RELEASED | BUTTON_SHIFT | BUTTON_CTRL | BUTTON_ALT, nullptr);
    mouseinterval(0);
    if (has_colors()) {
      start_color();
      colors_ = COLORS;
      direct_ = COLORS >= 0x1000000;
    }
    int rows = 0, columns = 0;
    getmaxyx(stdscr, rows, columns);
    session_.setSize(columns, rows);
    inputWatch_ = addWatch(fileno(in_), POLLIN, [this](short revents) { onInputEvents(revents); });
    if (g_winchPipe[0] >= 0) winchWatch_ = addWatch(g_winchPipe[0], POLLIN, [this](short) { onResize(); });
  }

  // Puts the terminal back; safe to call more than once.
  void restore() {
    if (!g_active) return;
    g_active = 0;
    set_term(screen_);
    mousemask(0, nullptr);
    curs_set(1);
    endwin();
    // endwin puts the modes back and leaves the alternate screen; mouse reporting
    // is switched off in every form a terminal may have taken it in.
    std::fputs("\x1b[?1000l\x1b[?1002l\x1b[?1006l", out_);
    std::fflush(out_);
  }

  const char* name() const override { return "tty"; }
  RECT desktopRect() const override { return session_.desktopRect(); }
  int inputFd() const override { return fileno(in_); }
  void onInput() override { onInputEvents(POLLIN); }
  void refresh() override {
    if (!g_active) return;
    // One input at a time, each once the messages of the one before are handled;
    // the screen is drawn when none waits any more.
    session_.deliver();
    if (session_.pending()) return;
    session_.keepGeometry();
    draw(session_.render());
  }
  int messageBox(HWND, const char* text, const char* caption, UINT type) override {
    return session_.messageBox(text, caption, type);
  }
  void beep() override {
    if (g_active) ::beep();
  }
  bool dialogWaits(HWND) override { return session_.dialogWaits(); }
  void dialogClosed(HWND dialog) override { session_.dialogClosed(dialog); }

 private:
  void onInputEvents(short revents) {
    if (!g_active || session_.hungUp()) return;
    set_term(screen_);
    int keys = 0;
    for (; keys < kMaxKeysPerInput; ++keys) {
      wint_t wch = 0;
      const int got = wget_wch(stdscr, &wch);
      if (got == ERR) break;
      if (got == KEY_CODE_YES) {
        onCode(static_cast<int>(wch));
      } else {
        session_.key(keyFromChar(static_cast<char32_t>(wch)));
      }
      if (!g_active || session_.hungUp()) return;
    }
    // Readable with nothing to read: the terminal has gone.
    int pending = 0;
    const bool gone = (revents & (POLLHUP | POLLERR | POLLNVAL)) != 0 ||
                      (keys == 0 && ioctl(fileno(in_), TIOCINQ, &pending) == 0 && pending == 0 && isEndOfInput());
    if (gone) {
      if (inputWatch_) removeWatch(inputWatch_);
      inputWatch_ = 0;
      session_.hangUp();
    }
  }

  // True when a read would report the end of the input rather than block.
  bool isEndOfInput() {
    pollfd p{fileno(in_), POLLIN, 0};
    if (poll(&p, 1, 0) <= 0) return false;
    if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) return true;
    char byte;
    const int flags = fcntl(p.fd, F_GETFL);
    fcntl(p.fd, F_SETFL, flags | O_NONBLOCK);
    const ssize_t n = read(p.fd, &byte, 1);
    const int error = errno;
    fcntl(p.fd, F_SETFL, flags);
    if (n == 1) {
      ungetch(static_cast<unsigned char>(byte));  // not the end after all
      return false;
    }
    return n == 0 || (n < 0 && error != EAGAIN && error != EINTR);
  }

  void onCode(int code) {
    if (code == KEY_MOUSE) {
      MEVENT ev{};
      if (getmouse(&ev) != OK) return;
      unsigned mods = 0;
      if (ev.bstate & BUTTON_SHIFT) mods |= kShift;
      if (ev.bstate & BUTTON_CTRL) mods |= kCtrl;
      MouseInput in;
      in.x = ev.x;
      in.y = ev.y;
      in.mods = mods;
      if (ev.bstate & (BUTTON1_PRESSED | BUTTON1_CLICKED)) {
        in.action = MouseInput::kPress;
        session_.mouse(in);
      }
      if (ev.bstate & (BUTTON1_RELEASED | BUTTON1_CLICKED)) {
        in.action = MouseInput::kRelease;
        session_.mouse(in);
      }
      return;
    }
    if (code == KEY_RESIZE) {
      int rows = 0, columns = 0;
      getmaxyx(stdscr, rows, columns);
      session_.setSize(columns, rows);
      return;
    }
    session_.key(keyFromCursesCode(code));
  }

  void onResize() {
    char buffer[64];
    while (read(g_winchPipe[0], buffer, sizeof buffer) > 0) {
    }
    if (!g_active) return;
    winsize ws{};
    if (ioctl(fileno(out_), TIOCGWINSZ, &ws) != 0 || ws.ws_row == 0 || ws.ws_col == 0) return;
    set_term(screen_);
    resize_term(ws.ws_row, ws.ws_col);
    clearok(curscr, TRUE);
    session_.setSize(ws.ws_col, ws.ws_row);
  }

  int colorOf(COLORREF color) const {
    if (direct_) return directColor(color);
    return nearestColor(color, colors_);
  }

  int pairOf(const TtyCell& cell) {
    if (colors_ < 8 || (cell.attrs & kTerminalColors)) return 0;
    const int pair = alloc_pair(colorOf(cell.fg), colorOf(cell.bg));
    return pair < 0 ? 0 : pair;
  }

  void draw(const TtyScreen& s) {
    set_term(screen_);
    int rows = 0, columns = 0;
    getmaxyx(stdscr, rows, columns);
    for (int y = 0; y < rows; ++y)
      for (int x = 0; x < columns; ++x) {
        const TtyCell* cell = s.at(x, y);
        TtyCell blank;
        if (!cell) cell = &blank;
        attr_t attrs = A_NORMAL;
        if (cell->attrs & kUnderline) attrs |= A_UNDERLINE;
        if (cell->attrs & kReverse) attrs |= A_REVERSE;
        if (cell->attrs & kBold) attrs |= A_BOLD;
        int pair = pairOf(*cell);
        wchar_t text[CCHARW_MAX] = {static_cast<wchar_t>(cell->ch), 0};
        const cchar_t* alternate = !utf8_ && cell->ch >= 0x80 ? alternateChar(cell->ch) : nullptr;
        if (alternate) {
          attr_t alternateAttrs = 0;
          short unused = 0;
          getcchar(alternate, text, &alternateAttrs, &unused, nullptr);
          attrs |= alternateAttrs;
        }
        cchar_t cc;
        if (setcchar(&cc, text, attrs, 0, &pair) == ERR) {
          const wchar_t unknown[2] = {L'?', 0};
          setcchar(&cc, unknown, attrs, 0, &pair);
        }
        mvwadd_wch(stdscr, y, x, &cc);
      }
    if (s.cursorVisible && s.cursorX < columns && s.cursorY < rows) {
      wmove(stdscr, s.cursorY, s.cursorX);
      curs_set(1);
    } else {
      curs_set(0);
    }
    wnoutrefresh(stdscr);
    doupdate();
  }

  SCREEN* screen_;
  FILE* in_;
  FILE* out_;
  bool utf8_;
  int colors_ = 0;
  bool direct_ = false;
  int inputWatch_ = 0;
  int winchWatch_ = 0;
  Session session_;
};

void restoreAtExit() {
  if (g_live) g_live->restore();
}

bool localeIsUtf8() {
  const char* codeset = nl_langinfo(CODESET);
  return codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
}

}  // namespace

KeyInput keyFromCursesCode(int code) {
  KeyInput in;
  const std::vector<KeySequence>& sequences = keySequences();
  if (code >= kFirstSequenceCode && code < kFirstSequenceCode + static_cast<int>(sequences.size()))
    return sequences[static_cast<size_t>(code - kFirstSequenceCode)].input;
  if (code >= KEY_F(1) && code <= KEY_F(60)) {
    // Terminfo numbers F13-F24 as Shift+F1-F12, then Ctrl, Ctrl+Shift and Alt.
    static const unsigned kMods[] = {0, kShift, kCtrl, kCtrl | kShift, kAlt};
    const int n = code - KEY_F(1);
    static const Key kKeys[] = {Key::kF1, Key::kF2, Key::kF3, Key::kF4, Key::kF5,  Key::kF6,
                                Key::kF7, Key::kF8, Key::kF9, Key::kF10, Key::kF11, Key::kF12};
    in.key = kKeys[n % 12];
    in.mods = kMods[n / 12];
    return in;
  }
  struct Entry {
    int code;
    Key key;
    unsigned mods;
  };
  static const Entry kTable[] = {
      {KEY_UP, Key::kUp, 0},           {KEY_DOWN, Key::kDown, 0},         {KEY_LEFT, Key::kLeft, 0},
      {KEY_RIGHT, Key::kRight, 0},     {KEY_SR, Key::kUp, kShift},        {KEY_SF, Key::kDown, kShift},
      {KEY_SLEFT, Key::kLeft, kShift}, {KEY_SRIGHT, Key::kRight, kShift}, {KEY_HOME, Key::kHome, 0},
      {KEY_END, Key::kEnd, 0},         {KEY_SHOME, Key::kHome, kShift},   {KEY_SEND, Key::kEnd, kShift},
      {KEY_FIND, Key::kHome, 0},       {KEY_SELECT, Key::kEnd, 0},        {KEY_PPAGE, Key::kPageUp, 0},
      {KEY_NPAGE, Key::kPageDown, 0},  {KEY_SPREVIOUS, Key::kPageUp, kShift}, {KEY_SNEXT, Key::kPageDown, kShift},
      {KEY_IC, Key::kInsert, 0},       {KEY_SIC, Key::kInsert, kShift},   {KEY_DC, Key::kDelete, 0},
      {KEY_SDC, Key::kDelete, kShift}, {KEY_BACKSPACE, Key::kBackspace, 0}, {KEY_BTAB, Key::kBackTab, 0},
      {KEY_ENTER, Key::kPadEnter, 0},  {KEY_A1, Key::kPad7, 0},           {KEY_A3, Key::kPad9, 0},
      {KEY_B2, Key::kPad5, 0},         {KEY_C1, Key::kPad1, 0},           {KEY_C3, Key::kPad3, 0},
      {KEY_BEG, Key::kPad5, 0},
  };
  for (const Entry& e : kTable)
    if (e.code == code) {
      in.key = e.key;
      in.mods = e.mods;
      return in;
    }
  return in;
}

}  // namespace tty

bool startTtyDisplay(std::string* why) {
  using namespace tty;
  auto fail = [&](const std::string& reason) {
    if (why) *why = reason;
    return false;
  };
  if (g_live) return true;
  if (!isatty(STDIN_FILENO)) return fail("standard input is not a terminal");
  // Output goes to standard output when it is the terminal, else to the terminal itself.
  int outFd = isatty(STDOUT_FILENO) ? dup(STDOUT_FILENO) : open("/dev/tty", O_WRONLY | O_CLOEXEC);
  if (outFd < 0) return fail("the terminal cannot be written");
  const int inFd = dup(STDIN_FILENO);
  if (inFd < 0) {
    close(outFd);
    return fail("the terminal cannot be read");
  }
  fcntl(inFd, F_SETFD, FD_CLOEXEC);
  fcntl(outFd, F_SETFD, FD_CLOEXEC);
  std::setlocale(LC_CTYPE, "");
  const bool utf8 = localeIsUtf8();
  FILE* in = fdopen(inFd, "r");
  FILE* out = fdopen(outFd, "w");
  if (!in || !out) {
    if (in) std::fclose(in); else close(inFd);
    if (out) std::fclose(out); else close(outFd);
    return fail("the terminal cannot be opened");
  }
  tcgetattr(inFd, &g_savedTermios);
  // Resizes are ours to handle; ncurses leaves a handler alone that is already there.
  installWinch();
  SCREEN* screen = newterm(nullptr, out, in);
  if (!screen) {
    std::fclose(in);
    std::fclose(out);
    const char* term = std::getenv("TERM");
    return fail(std::string("the terminal type \"") + (term ? term : "") + "\" is not known");
  }
  auto display = std::make_unique<TtyDisplay>(screen, in, out, utf8);
  g_ttyFd = inFd;
  g_outFd = outFd;
  g_restoreLength = 0;
  appendBytes("\x1b[?1000l\x1b[?1002l\x1b[?1006l");
  appendCapability("sgr0");
  appendCapability("rmkx");
  appendCapability("cnorm");
  appendCapability("rmcup");
  g_active = 1;
  installFatalHandlers();
  static bool atExitRegistered = false;
  if (!atExitRegistered) {
    atExitRegistered = std::atexit(restoreAtExit) == 0;
  }
  g_live = display.get();
  display->begin();
  setDisplay(std::move(display));
  return true;
}

}  // namespace posix
