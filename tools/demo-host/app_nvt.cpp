// The line-mode (NVT) application: a prompt, line editing with the host
// echoing, and commands that show what a VT100 does with attributes, the
// line-drawing set, cursor movement, a scrolling region, inserted and deleted
// characters and lines, a long listing and the terminal's reports.
#include <cstdio>
#include <string>

#include "session.h"

namespace demohost {

namespace {

using namespace telnet;

const char kPrompt[] = "demo> ";
// Longest line: prompt and echo stay on one row of an 80-column screen.
constexpr size_t kMaxLine = 72;
constexpr int kReportWaitMs = 2000;

const char kEsc[] = "\x1b";
// A list that starts with 0 resets everything, colours included; some
// terminals clear only the attributes for a lone 0.
const char kPlain[] = "\x1b[0;0m";
const char kLineDrawing[] = "\x1b(0";
const char kAscii[] = "\x1b(B";
const char kClearScreen[] = "\x1b[H\x1b[2J";

std::string cup(int row, int column) {
  char text[32];
  std::snprintf(text, sizeof text, "\x1b[%d;%dH", row, column);
  return text;
}

std::string csi(int n, char final) {
  char text[32];
  std::snprintf(text, sizeof text, "\x1b[%d%c", n, final);
  return text;
}

std::string lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string helpText() {
  return "Commands:\r\n"
         "  help          this list\r\n"
         "  colors        character attributes and colours (SGR)\r\n"
         "  box           a box in the line-drawing character set\r\n"
         "  cursor        cursor movement (CUP, CUU, CUD, CUF, CUB, save and restore)\r\n"
         "  region        lines scrolled inside a scrolling region (DECSTBM, IND, RI)\r\n"
         "  insert        insert mode and inserted lines (IRM, IL)\r\n"
         "  delete        deleted characters and lines (DCH, DL)\r\n"
         "  list          200 numbered lines, to scroll back through\r\n"
         "  report        asks the terminal who it is and where its cursor is\r\n"
         "  bell          rings the bell\r\n"
         "  echo TEXT     prints TEXT\r\n"
         "  clear         clears the screen\r\n"
         "  exit, logout  ends the session\r\n"
         "Editing: Backspace or Delete erases a character, Ctrl+U the whole line.\r\n";
}

std::string colorsText() {
  static const char* const kNames[] = {"black", "red", "green", "yellow", "blue", "magenta", "cyan", "white"};
  std::string s = "Attributes: ";
  const struct {
    int code;
    const char* name;
  } attributes[] = {{1, "bold"}, {2, "dim"}, {4, "underline"}, {5, "blink"}, {7, "reverse"}, {8, "hidden"}};
  for (const auto& a : attributes) s += "\x1b[0;" + std::to_string(a.code) + "m" + a.name + kPlain + " ";
  s += "\r\nForeground: ";
  for (int i = 0; i < 8; ++i) s += "\x1b[0;" + std::to_string(30 + i) + "m" + kNames[i] + kPlain + " ";
  s += "\r\nBackground: ";
  for (int i = 0; i < 8; ++i) s += "\x1b[0;" + std::to_string(40 + i) + "m" + kNames[i] + kPlain + " ";
  s += "\r\nCombined:   \x1b[0;1;4;33;44m bold underlined yellow on blue " + std::string(kPlain) + " \x1b[0;7;5m reverse blink " +
       kPlain + "\r\n";
  return s;
}

std::string boxText() {
  const int inner = 46;
  const std::string bar(inner, 'q');
  const auto row = [&](const std::string& text) {
    std::string t = text.substr(0, inner - 2);
    t.resize(inner - 2, ' ');
    return "  " + std::string(kLineDrawing) + "x" + kAscii + " " + t + " " + kLineDrawing + "x" + kAscii + "\r\n";
  };
  std::string s = "\r\n  " + std::string(kLineDrawing) + "l" + bar + "k" + kAscii + "\r\n";
  s += row("Quillon demo host");
  s += "  " + std::string(kLineDrawing) + "t" + bar + "u" + kAscii + "\r\n";
  s += row("Drawn in the line-drawing set:");
  s += row("ESC ( 0 selects it, ESC ( B ends it.");
  s += "  " + std::string(kLineDrawing) + "m" + bar + "j" + kAscii + "\r\n\r\n";
  // A grid with every corner, tee and the cross.
  const char* const grid[] = {"lqqqqwqqqqk", "x    x    x", "tqqqqnqqqqu", "x    x    x", "mqqqqvqqqqj"};
  for (const char* line : grid) s += "  " + std::string(kLineDrawing) + line + kAscii + "\r\n";
  return s;
}

std::string cursorText() {
  std::string s = kClearScreen;
  // The four corners of a 24 x 80 screen; each text ends on its corner.
  const auto rightAligned = [](int row, const std::string& text) {
    return cup(row, 81 - static_cast<int>(text.size())) + text;
  };
  s += cup(1, 1) + "+ row 1, column 1";
  s += rightAligned(1, "row 1, column 80 +");
  s += cup(24, 1) + "+ row 24, column 1";
  s += rightAligned(24, "row 24, column 80 +");
  s += cup(3, 20) + "Cursor movement: CUP moved here (ESC [ 3 ; 20 H)";
  // A vertical line drawn downwards: one character, then down one and back one.
  s += cup(6, 10);
  for (int i = 0; i < 8; ++i) s += "|" + csi(1, 'B') + csi(1, 'D');
  s += cup(14, 6) + "CUD+CUB";
  // A diagonal: the cursor advances by itself, then goes down one.
  s += cup(6, 20);
  for (int i = 0; i < 8; ++i) s += "\\" + csi(1, 'B');
  s += cup(14, 24) + "CUD";
  // A line drawn upwards with CUU.
  s += cup(13, 40);
  for (int i = 0; i < 8; ++i) s += "^" + csi(1, 'A') + csi(1, 'D');
  s += cup(14, 38) + "CUU+CUB";
  // Skipping to the right with CUF.
  s += cup(9, 50);
  for (int i = 0; i < 6; ++i) s += "#" + csi(3, 'C');
  s += cup(10, 50) + "CUF 3";
  // Save, wander off, restore.
  s += cup(17, 5) + "Saved here (ESC 7) ->" + kEsc + "7";
  s += cup(20, 60) + "(written elsewhere)";
  s += std::string(kEsc) + "8" + " <- and restored (ESC 8)";
  s += cup(22, 1);
  return s;
}

std::string regionText() {
  std::string s = kClearScreen;
  s += cup(1, 1) + "Scrolling region: rows 5 to 14 (ESC [ 5 ; 14 r). Lines scroll inside it.";
  s += cup(4, 1) + "---- above the region ----";
  s += cup(15, 1) + "---- below the region ----";
  s += cup(16, 1) + "Rows outside the region stay where they are.";
  s += "\x1b[5;14r";
  s += cup(5, 1);
  for (int i = 1; i <= 25; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "region line %2d of 25", i);
    s += line;
    if (i < 25) s += "\r\n";
  }
  // Reverse index at the top of the region pushes its lines down by one.
  s += cup(5, 1) + kEsc + "M" + "inserted at the top by reverse index (ESC M)";
  s += "\x1b[r";
  s += cup(18, 1) + "Region reset (ESC [ r).\r\n";
  return s;
}

std::string insertText() {
  std::string s = kClearScreen;
  s += cup(1, 1) + "Insert mode (ESC [ 4 h) and inserted lines (ESC [ n L)";
  s += cup(3, 1) + "ABCDEFGHIJ";
  s += cup(3, 30) + "<- before";
  s += cup(4, 1) + "ABCDEFGHIJ" + cup(4, 4) + "\x1b[4h" + "123" + "\x1b[4l";
  s += cup(4, 30) + "<- 123 inserted after C";
  s += cup(6, 1) + "line 1\r\nline 2\r\nline 3\r\nline 4";
  s += cup(7, 1) + csi(2, 'L');
  s += cup(7, 1) + "  inserted line (ESC [ 2 L)";
  s += cup(8, 1) + "  inserted line";
  s += cup(13, 1);
  return s;
}

std::string deleteText() {
  std::string s = kClearScreen;
  s += cup(1, 1) + "Deleted characters (ESC [ n P) and deleted lines (ESC [ n M)";
  s += cup(3, 1) + "ABCxxxDEF";
  s += cup(3, 30) + "<- before";
  s += cup(4, 1) + "ABCxxxDEF" + cup(4, 4) + csi(3, 'P');
  s += cup(4, 30) + "<- xxx deleted (ESC [ 3 P)";
  s += cup(6, 1) + "line 1\r\nline 2 (deleted)\r\nline 3 (deleted)\r\nline 4\r\nline 5";
  s += cup(7, 1) + csi(2, 'M');
  s += cup(11, 1) + "Lines 2 and 3 deleted (ESC [ 2 M).\r\n";
  return s;
}

std::string listText() {
  std::string s;
  for (int i = 1; i <= 200; ++i) {
    char line[80];
    std::snprintf(line, sizeof line, "line %03d of 200: scroll back to see the earlier lines\r\n", i);
    s += line;
  }
  return s;
}

class AppNvt {
 public:
  AppNvt(TelnetConnection& tn, const SessionInfo& info, const HostOptions& options)
      : tn_(tn), info_(info), options_(options) {}
  void run();

 private:
  void data(uint8_t b);
  void command(uint8_t c);
  void escape(uint8_t b);
  void report(const std::string& sequence);
  void endOfLine();
  void execute(const std::string& line);
  void eraseChar();
  void eraseLine();
  void cancelLine();
  void prompt();
  void out(const std::string& s) { tn_.sendData(s); }
  bool echoing() const { return tn_.enabledUs(OPT_ECHO); }

  TelnetConnection& tn_;
  const SessionInfo& info_;
  const HostOptions& options_;
  std::string line_;
  bool afterCr_ = false;
  // An escape sequence from the client: its bytes so far, while one is open.
  bool inEscape_ = false;
  std::string escape_;
  int reportsAwaited_ = 0;
  int64_t reportDeadline_ = 0;
  bool loggedOff_ = false;
};

void AppNvt::run() {
  tn_.askUs(OPT_ECHO);
  tn_.askUs(OPT_SGA);
  std::string greeting = std::string(kClearScreen) + "Quillon demo host - line-mode session " +
                         std::to_string(info_.number) + " (terminal type " +
                         (info_.terminalType.empty() ? std::string("not given") : info_.terminalType) + ")\r\n";
  if (!info_.note.empty()) greeting += info_.note + "\r\n";
  greeting += "Type \"help\" for the commands.\r\n\r\n";
  out(greeting);
  prompt();
  while (!loggedOff_) {
    int wait = -1;
    if (reportsAwaited_ > 0) {
      wait = static_cast<int>(reportDeadline_ - nowMs());
      if (wait <= 0) {
        out("  (no further reply)\r\n");
        reportsAwaited_ = 0;
        prompt();
        continue;
      }
    }
    if (tn_.pump(wait) == TelnetConnection::Wait::Closed) return;
    auto& events = tn_.events();
    while (!events.empty() && !loggedOff_) {
      const Event e = events.front();
      events.pop_front();
      if (e.command)
        command(e.byte);
      else
        data(e.byte);
    }
  }
  closeAfter(tn_, options_.logoffDelayMs);
}

void AppNvt::data(uint8_t b) {
  if (inEscape_) return escape(b);
  const bool afterCr = afterCr_;
  afterCr_ = false;
  switch (b) {
    case '\r':
      afterCr_ = true;
      return endOfLine();
    case '\n':
      if (!afterCr) endOfLine();  // LF alone ends a line; after CR it completes CR LF
      return;
    case 0:
      return;  // CR NUL, or padding
    case 0x1B:
      inEscape_ = true;
      escape_.clear();
      return;
    case 0x7F:
    case 0x08:
      return eraseChar();
    case 0x15:  // Ctrl+U
      return eraseLine();
    case 0x03:  // Ctrl+C
      return cancelLine();
    default:
      break;
  }
  if (b < 0x20 || b > 0x7E) return;  // other controls and 8-bit bytes are ignored
  if (line_.size() >= kMaxLine) {
    out("\a");
    return;
  }
  line_.push_back(static_cast<char>(b));
  if (echoing()) out(std::string(1, static_cast<char>(b)));
}

void AppNvt::command(uint8_t c) {
  switch (c) {
    case EC:
      return eraseChar();
    case EL:
      return eraseLine();
    case IP:
    case BRK:
      return cancelLine();
    case AYT:
      out("\r\n[Quillon demo host: yes, still here]\r\n");
      prompt();
      if (echoing()) out(line_);
      return;
    default:
      return;  // NOP, DM, AO, GA, EOR: nothing to do here
  }
}

// Keys send escape sequences (cursor and function keys) that have no place in
// a line; they are dropped. The terminal's reports arrive the same way.
void AppNvt::escape(uint8_t b) {
  constexpr size_t kMaxEscape = 32;
  escape_.push_back(static_cast<char>(b));
  const size_t n = escape_.size();
  bool done;
  if (n == 1)
    done = b != '[' && b != 'O';  // ESC x (VT52 keys) is complete
  else if (escape_[0] == 'O')
    done = true;  // ESC O x
  else
    done = b >= 0x40 && b <= 0x7E;  // ESC [ ... final
  if (!done && n < kMaxEscape) return;
  inEscape_ = false;
  if (done && escape_[0] == '[') report(escape_.substr(1));
}

void AppNvt::report(const std::string& sequence) {
  const char final = sequence.back();
  const std::string parameters = sequence.substr(0, sequence.size() - 1);
  std::string text;
  if (final == 'c' && !parameters.empty() && parameters[0] == '?') {
    text = "identity (device attributes): ESC [ " + parameters + " c";
  } else if (final == 'n' && parameters == "0") {
    text = "status: ESC [ 0 n, terminal OK";
  } else if (final == 'R') {
    int row = 0, column = 0;
    if (std::sscanf(parameters.c_str(), "%d;%d", &row, &column) != 2) return;
    text = "cursor position: row " + std::to_string(row) + ", column " + std::to_string(column);
  } else {
    return;
  }
  if (reportsAwaited_ == 0) return;  // a report nobody asked for
  out("  " + text + "\r\n");
  if (--reportsAwaited_ == 0) prompt();
}

void AppNvt::eraseChar() {
  if (line_.empty()) return;
  line_.pop_back();
  if (echoing()) out("\b \b");
}

void AppNvt::eraseLine() {
  if (echoing())
    for (size_t i = 0; i < line_.size(); ++i) out("\b \b");
  line_.clear();
}

void AppNvt::cancelLine() {
  line_.clear();
  out(echoing() ? "^C\r\n" : "\r\n");
  prompt();
}

void AppNvt::prompt() { out(kPrompt); }

void AppNvt::endOfLine() {
  if (echoing()) out("\r\n");
  const std::string line = line_;
  line_.clear();
  execute(line);
}

void AppNvt::execute(const std::string& line) {
  const size_t start = line.find_first_not_of(' ');
  if (start == std::string::npos) return prompt();
  const size_t end = line.find(' ', start);
  const std::string word = lower(line.substr(start, end == std::string::npos ? std::string::npos : end - start));
  std::string rest;
  if (end != std::string::npos && end + 1 <= line.size()) rest = line.substr(end + 1);

  if (word == "help" || word == "?") {
    out(helpText());
  } else if (word == "colors" || word == "colours" || word == "color" || word == "colour") {
    out(colorsText());
  } else if (word == "box") {
    out(boxText());
  } else if (word == "cursor") {
    out(cursorText());
  } else if (word == "region") {
    out(regionText());
  } else if (word == "insert") {
    out(insertText());
  } else if (word == "delete") {
    out(deleteText());
  } else if (word == "list") {
    out(listText());
  } else if (word == "report") {
    out("Asking: ESC [ c (identity), ESC [ 5 n (status), ESC [ 6 n (cursor position)\r\n");
    out("\x1b[c\x1b[5n\x1b[6n");
    reportsAwaited_ = 3;
    reportDeadline_ = nowMs() + kReportWaitMs;
    return;  // the prompt follows the replies
  } else if (word == "bell") {
    out("\aBell.\r\n");
  } else if (word == "echo") {
    out(rest + "\r\n");
  } else if (word == "clear") {
    out(kClearScreen);
  } else if (word == "exit" || word == "logout" || word == "quit" || word == "logoff") {
    out("Goodbye.\r\n");
    loggedOff_ = true;
    return;
  } else {
    out("\"" + word.substr(0, 20) + "\": unknown command; type \"help\" for the list.\r\n");
  }
  prompt();
}

}  // namespace

void runNvt(TelnetConnection& tn, const SessionInfo& info, const HostOptions& options) {
  AppNvt(tn, info, options).run();
}

}  // namespace demohost
