// The 3270 application: a logon panel, a main menu, a list paged with PF7 and
// PF8, a status panel and a goodbye screen. Every panel is a fresh
// Erase/Write; messages change only the message line, with a Write that
// leaves the fields and what the user typed in them alone.
//
// An extended terminal ("IBM-3279-4-E") is first asked for its Query Reply.
// When that tells its alternate screen size, the panels are written on that
// screen with Erase/Write Alternate, centred on it, in colour (if it shows
// colours) and with highlighting. Any other terminal, and one whose answer
// does not tell, gets the panels of a model 2.
#include <cstdio>
#include <ctime>
#include <utility>
#include <string>
#include <vector>

#include "ds3270.h"
#include "session.h"
#include "tn3270e.h"

namespace demohost {

namespace {

using namespace ds3270;

// Where the panels go. They are laid out for 24x80; on a larger screen the
// body moves down by `top` rows and right by `left` columns, so that it sits in
// the middle, while the title rows, the message line and the keys line keep
// to the top and the bottom and span the whole width.
struct Layout {
  Geometry screen;
  int top = 0;
  int left = 0;
  int messageRow() const { return screen.rows - 2; }
  int keysRow() const { return screen.rows - 1; }
  int messageLength() const { return screen.columns - 1; }
};

// Input fields: the row and column of the attribute position in the 24x80
// layout; the field's characters begin one position to the right. The rows
// of the body move with the layout; the list's command line stays at the top.
struct InputField {
  int row;
  int column;
  int length;
  uint8_t attribute;
  bool inBody = true;
};

constexpr InputField kUserId{7, 17, 8, kInput};
constexpr InputField kPassword{9, 17, 8, kInputHidden};
constexpr InputField kAccount{11, 17, 8, kInputNumeric};
constexpr InputField kOption{10, 15, 2, kInputNumeric};
constexpr InputField kCommand{1, 13, 30, kInput, false};

constexpr int kRecords = 60;
constexpr int kListFirstRow = 4;
// The list fills rows 4 to 4 rows above the bottom: 17 lines on 24 rows.
constexpr int kListOtherRows = 7;

const char kUserIdRequired[] = "USERID REQUIRED";
const char kUserIdInvalid[] = "USERID MUST BE 1 TO 8 LETTERS OR DIGITS";
const char kAccountNotNumeric[] = "ACCOUNT MUST BE NUMERIC";
const char kOptionRequired[] = "ENTER AN OPTION NUMBER";
const char kOptionInvalid[] = "INVALID OPTION - ENTER 1, 2 OR 3";
const char kCommandInvalid[] = "INVALID COMMAND - ENTER TOP, BOTTOM OR A LINE NUMBER";
const char kTopOfList[] = "TOP OF LIST";
const char kBottomOfList[] = "BOTTOM OF LIST";
const char kKeyNotSupported[] = "KEY NOT SUPPORTED";
const char kPa1Pressed[] = "PA1 PRESSED - THERE IS NOTHING TO INTERRUPT";

std::string trim(const std::string& s) {
  const size_t first = s.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

std::string upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

bool allDigits(const std::string& s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return !s.empty();
}

bool lettersAndDigits(const std::string& s) {
  for (char c : s)
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  return !s.empty();
}

std::string padded(const std::string& s, size_t length) {
  std::string out = s.substr(0, length);
  out.resize(length, ' ');
  return out;
}

std::string format(const char* pattern, int a, int b = 0, int c = 0) {
  char text[128];
  std::snprintf(text, sizeof text, pattern, a, b, c);
  return text;
}

// The line of the list for record n (0-based), in three parts so that the
// status can be shown in a colour of its own: before it, the status, after it.
struct ListLine {
  std::string before;
  std::string status;
  std::string after;
  int state;  // 0 COMPLETE, 1 RUNNING, 2 WAITING, 3 HELD
};

ListLine record(int n) {
  static const char* const kNames[] = {"PAYROLL", "LEDGER", "INVENTRY", "BILLING", "SHIPPING",
                                       "ARCHIVE", "BACKUP", "REPORTS", "CLAIMS",  "ORDERS"};
  static const char* const kTypes[] = {"BATCH", "ONLINE", "UTILITY"};
  static const char* const kStates[] = {"COMPLETE", "RUNNING", "WAITING", "HELD"};
  char before[48];
  char status[16];
  char after[48];
  std::snprintf(before, sizeof before, " %04d  %-8s  %-7s  ", n + 1, kNames[n % 10], kTypes[n % 3]);
  std::snprintf(status, sizeof status, "%-8s", kStates[n % 4]);
  std::snprintf(after, sizeof after, "  Demonstration record %d of %d", n + 1, kRecords);
  return {before, status, after, n % 4};
}

enum class Panel { Logon, Menu, List, Status };

class App3270 {
 public:
  App3270(TelnetConnection& tn, const SessionInfo& info, const HostOptions& options)
      : tn_(tn), info_(info), options_(options) {}
  void run();

 private:
  enum class Read { Record, Timeout, Closed };
  Read nextRecord(std::vector<uint8_t>& out, int timeoutMs);
  bool query();

  void handle(const Inbound& in);
  void logon(const Inbound& in);
  void select(const Inbound& in);
  void command(const Inbound& in);
  void scroll(int lines);
  void help();

  void show(Panel panel, const std::string& message = "");
  void message(const std::string& text, int cursor = -1);
  void goodbye();
  void send(const Writer& w);

  // Positions of the 24x80 layout on the screen in use.
  int row(int r) const { return r + layout_.top; }
  int column(int c) const { return c + layout_.left; }
  int row(const InputField& f) const { return f.inBody ? row(f.row) : f.row; }
  int begin(const InputField& f) const { return layout_.screen.address(row(f), column(f.column) + 1); }
  int pageLines() const { return layout_.screen.rows - kListOtherRows; }
  int lastTop() const { return kRecords > pageLines() ? kRecords - pageLines() : 0; }

  Writer newPanel() const;
  // A field: a plain Start Field on a model 2; on an extended screen a Start
  // Field Extended with the colour (when the terminal shows colours) and the
  // highlighting.
  void field(Writer& w, uint8_t attribute, uint8_t colour, uint8_t highlight = 0) const;
  // Text at a position of the screen. On an extended screen it gets a field of
  // its own, in the position before it, for its colour.
  void label(Writer& w, int r, int c, const std::string& text, uint8_t colour) const;
  // Characters in another colour, or highlighted, within a field (extended screens only).
  void colourRun(Writer& w, uint8_t colour, const std::string& text) const;
  void highlightRun(Writer& w, uint8_t highlight, const std::string& text) const;

  void title(Writer& w, const std::string& text) const;
  void rule(Writer& w, int r) const;
  void input(Writer& w, const InputField& f) const;
  void option(Writer& w, int r, const std::string& number, const std::string& name,
              const std::string& description) const;
  void listLine(Writer& w, int r, const ListLine& line) const;
  void footer(Writer& w, const std::string& message, const std::string& keys) const;

  TelnetConnection& tn_;
  const SessionInfo& info_;
  const HostOptions& options_;
  Layout layout_;
  bool extended_ = false;  // the panels go on the alternate screen, with extended attributes
  bool colour_ = false;
  bool queried_ = false;
  std::vector<uint8_t> record_;  // the record being received
  bool overflow_ = false;
  Panel panel_ = Panel::Logon;
  std::string userId_;
  std::string account_;
  std::string loggedOnAt_;
  int top_ = 0;
  int screensSent_ = 0;
  int keysReceived_ = 0;
  bool loggedOff_ = false;
};

void App3270::run() {
  if (isExtendedType(info_.terminalType) && !query()) return;
  show(Panel::Logon);
  std::vector<uint8_t> record;
  while (!loggedOff_) {
    if (nextRecord(record, -1) != Read::Record) return;
    // A Query Reply that came after the host stopped waiting for it is no key.
    if (queried_ && !record.empty() && record[0] == kAidStructuredField) continue;
    handle(parseInbound(record, layout_.screen.positions()));
  }
  closeAfter(tn_, options_.logoffDelayMs);
}

// The next whole record from the client, waiting up to timeoutMs (negative:
// without limit). A record longer than any this application asks for is
// dropped whole.
App3270::Read App3270::nextRecord(std::vector<uint8_t>& out, int timeoutMs) {
  constexpr size_t kMaxRecord = 8192;
  const int64_t deadline = nowMs() + timeoutMs;
  for (;;) {
    auto& events = tn_.events();
    while (!events.empty()) {
      const Event e = events.front();
      events.pop_front();
      if (!e.command) {
        if (record_.size() < kMaxRecord)
          record_.push_back(e.byte);
        else
          overflow_ = true;
      } else if (e.byte == telnet::EOR) {
        const bool whole = !overflow_;
        overflow_ = false;
        if (whole) {
          out.swap(record_);
          record_.clear();
          // Under TN3270E only 3270 data reaches the application; the client's
          // responses and anything else are dropped here.
          if (tn_.recordHeaders() && !tn3270e::take3270Data(out)) continue;
          return Read::Record;
        }
        record_.clear();
      }
    }
    int wait = -1;
    if (timeoutMs >= 0) {
      const int64_t left = deadline - nowMs();
      if (left <= 0) return Read::Timeout;
      wait = static_cast<int>(left);
    }
    if (tn_.pump(wait) == TelnetConnection::Wait::Closed) return Read::Closed;
  }
}

// Asks an extended terminal for its Query Reply. When the reply tells a usable
// area of at least 24x80, the panels go on that alternate screen; a terminal
// that answers with anything else, or not in time, gets the default screen
// without colour. False when the client went away.
bool App3270::query() {
  queried_ = true;
  tn_.sendRecord(readPartitionQuery());
  std::vector<uint8_t> reply;
  const Read read = nextRecord(reply, options_.queryTimeoutMs);
  if (read == Read::Closed) return false;
  Capabilities c;
  if (read == Read::Record && parseQueryReply(reply, c) && c.rows > 0) {
    extended_ = true;
    colour_ = c.colour;
    layout_.screen = Geometry{c.rows, c.columns};
    layout_.top = (c.rows - kRows) / 2;
    layout_.left = (c.columns - kColumns) / 2;
    std::fprintf(stderr, "quillon-demo-host: session %d: alternate screen %dx%d, %s\n", info_.number, c.rows,
                 c.columns, colour_ ? "colour" : "no colour");
  } else {
    std::fprintf(stderr, "quillon-demo-host: session %d: %s; default screen\n", info_.number,
                 read == Read::Timeout ? "no Query Reply in time" : "no usable Query Reply");
  }
  return true;
}

void App3270::handle(const Inbound& in) {
  ++keysReceived_;
  if (in.aid == kAidClear) return show(panel_);
  if (in.aid == kAidPa1) return message(kPa1Pressed);
  if (in.aid == kAidPf1) return help();
  switch (panel_) {
    case Panel::Logon:
      if (in.aid == kAidEnter) return logon(in);
      if (in.aid == kAidPf3) return goodbye();
      break;
    case Panel::Menu:
      if (in.aid == kAidEnter) return select(in);
      if (in.aid == kAidPf3) return goodbye();
      break;
    case Panel::List:
      if (in.aid == kAidEnter) return command(in);
      if (in.aid == kAidPf7) return scroll(-pageLines());
      if (in.aid == kAidPf8) return scroll(pageLines());
      if (in.aid == kAidPf3) return show(Panel::Menu);
      break;
    case Panel::Status:
      if (in.aid == kAidEnter) return show(Panel::Status);
      if (in.aid == kAidPf3) return show(Panel::Menu);
      break;
  }
  message(kKeyNotSupported, in.cursor);
}

void App3270::logon(const Inbound& in) {
  const std::string user = upper(trim(in.fieldAt(begin(kUserId))));
  const std::string account = trim(in.fieldAt(begin(kAccount)));
  // The password is accepted whatever it is, and neither kept nor shown.
  if (user.empty()) return message(kUserIdRequired, begin(kUserId));
  if (user.size() > static_cast<size_t>(kUserId.length) || !lettersAndDigits(user))
    return message(kUserIdInvalid, begin(kUserId));
  // The field admits only digits on most terminals, but what arrives is checked all the same.
  if (!account.empty() && (account.size() > static_cast<size_t>(kAccount.length) || !allDigits(account)))
    return message(kAccountNotNumeric, begin(kAccount));
  userId_ = user;
  account_ = account;
  const std::time_t now = std::time(nullptr);
  char clock[16] = "";
  if (const std::tm* local = std::localtime(&now)) std::strftime(clock, sizeof clock, "%H:%M:%S", local);
  loggedOnAt_ = clock;
  show(Panel::Menu, "LOGON ACCEPTED - WELCOME, " + userId_);
}

void App3270::select(const Inbound& in) {
  const std::string option = trim(in.fieldAt(begin(kOption)));
  if (option.empty()) return message(kOptionRequired, begin(kOption));
  if (option == "1") {
    top_ = 0;
    return show(Panel::List);
  }
  if (option == "2") return show(Panel::Status);
  if (option == "3") return goodbye();
  message(kOptionInvalid, begin(kOption));
}

void App3270::command(const Inbound& in) {
  const std::string cmd = upper(trim(in.fieldAt(begin(kCommand))));
  if (cmd.empty()) return show(Panel::List);
  if (cmd == "TOP") {
    top_ = 0;
    return show(Panel::List, kTopOfList);
  }
  if (cmd == "BOTTOM" || cmd == "BOT") {
    top_ = lastTop();
    return show(Panel::List, kBottomOfList);
  }
  if (allDigits(cmd) && cmd.size() <= 4) {
    const int line = std::stoi(cmd);
    if (line >= 1 && line <= kRecords) {
      top_ = line - 1 < lastTop() ? line - 1 : lastTop();
      return show(Panel::List);
    }
  }
  message(kCommandInvalid, begin(kCommand));
}

void App3270::scroll(int lines) {
  int top = top_ + lines;
  if (top > lastTop()) top = lastTop();
  if (top < 0) top = 0;
  if (top == top_) return message(lines < 0 ? kTopOfList : kBottomOfList);
  top_ = top;
  show(Panel::List, top_ == 0 ? kTopOfList : top_ == lastTop() ? kBottomOfList : "");
}

void App3270::help() {
  switch (panel_) {
    case Panel::Logon:
      return message("TYPE A USER ID, TAB TO THE OTHER FIELDS, THEN PRESS ENTER. PF3 ENDS");
    case Panel::Menu:
      return message("TYPE 1, 2 OR 3 IN THE OPTION FIELD AND PRESS ENTER. PF3 LOGS OFF");
    case Panel::List:
      return message("PF8 PAGES FORWARD, PF7 BACK, PF3 RETURNS TO THE MENU");
    case Panel::Status:
      return message("ENTER REFRESHES, PF3 RETURNS TO THE MENU");
  }
}

Writer App3270::newPanel() const {
  return extended_ ? Writer::eraseWriteAlternate(layout_.screen) : Writer::eraseWrite();
}

void App3270::field(Writer& w, uint8_t attribute, uint8_t colour, uint8_t highlight) const {
  if (extended_)
    w.field(attribute, colour_ ? colour : 0, highlight);
  else
    w.field(attribute);
}

void App3270::label(Writer& w, int r, int c, const std::string& text, uint8_t colour) const {
  if (extended_) {
    w.at(layout_.screen.address(r, c) - 1);
    field(w, kProtected, colour);
  } else {
    w.at(r, c);
  }
  w.text(text);
}

void App3270::colourRun(Writer& w, uint8_t colour, const std::string& text) const {
  if (!extended_ || !colour_) {
    w.text(text);
    return;
  }
  w.character(kAttrColour, colour).text(text).character(kAttrColour, 0);
}

void App3270::highlightRun(Writer& w, uint8_t highlight, const std::string& text) const {
  if (!extended_) {
    w.text(text);
    return;
  }
  w.character(kAttrHighlight, highlight).text(text).character(kAttrHighlight, 0);
}

void App3270::title(Writer& w, const std::string& text) const {
  w.at(0, 0);
  field(w, kProtectedBright, kYellow);
  w.text(text);
  rule(w, 1);
}

// A line of dashes across the screen.
void App3270::rule(Writer& w, int r) const {
  w.at(r, 0);
  field(w, kProtected, kBlue);
  w.repeatTo(r + 1, 0, '-');
}

void App3270::input(Writer& w, const InputField& f) const {
  w.at(row(f), column(f.column));
  field(w, f.attribute, kWhite, kUnderscore);
  w.at(row(f), column(f.column) + 1 + f.length);
  field(w, kProtected, kGreen);
}

// A line of the menu: the option's number, shown reversed, and name, then what it does.
void App3270::option(Writer& w, int r, const std::string& number, const std::string& name,
                     const std::string& description) const {
  w.at(row(r), column(3));
  field(w, kProtectedBright, kWhite);
  highlightRun(w, kReverse, number);
  w.text("  " + name);
  w.at(row(r), column(15));
  field(w, kProtected, kTurquoise);
  w.text(description);
}

void App3270::listLine(Writer& w, int r, const ListLine& line) const {
  static const uint8_t kStateColours[] = {0, kYellow, kTurquoise, kRed};
  w.at(r, column(0));
  colourRun(w, kGreen, line.before);
  if (!extended_ || line.state == 0)
    w.text(line.status);
  else if (colour_)
    colourRun(w, kStateColours[line.state], line.status);
  else if (line.state == 3)
    highlightRun(w, kReverse, line.status);
  else
    w.text(line.status);
  colourRun(w, kGreen, line.after);
}

void App3270::footer(Writer& w, const std::string& message, const std::string& keys) const {
  w.at(layout_.messageRow(), 0);
  field(w, kProtectedBright, kPink);
  w.text(message.substr(0, layout_.messageLength()));
  w.at(layout_.keysRow(), 0);
  field(w, kProtected, kBlue);
  if (!extended_ || !colour_) {
    w.text(keys);
    return;
  }
  // Each key's name in white, what it does in the field's blue.
  size_t at = 0;
  while (at < keys.size()) {
    const size_t equals = keys.find('=', at);
    if (equals == std::string::npos) break;
    colourRun(w, kWhite, keys.substr(at, equals - at));
    const size_t next = keys.find_first_not_of(' ', keys.find(' ', equals));
    w.text(keys.substr(equals, next == std::string::npos ? std::string::npos : next - equals));
    at = next == std::string::npos ? keys.size() : next;
  }
  if (at < keys.size()) w.text(keys.substr(at));
}

void App3270::show(Panel panel, const std::string& message) {
  panel_ = panel;
  Writer w = newPanel();
  const int right = layout_.screen.columns;
  switch (panel) {
    case Panel::Logon:
      title(w, "QUILLON DEMO HOST - LOGON");
      label(w, row(3), column(1), "Welcome. This host stands in for a mainframe, so that Quillon can be tried",
            kGreen);
      label(w, row(4), column(1), "without one. Any user id and password are accepted.", kGreen);
      label(w, row(kUserId.row), column(3), "USERID   ===>", kTurquoise);
      input(w, kUserId);
      label(w, row(kUserId.row), column(28), "1 to 8 letters or digits", kGreen);
      label(w, row(kPassword.row), column(3), "PASSWORD ===>", kTurquoise);
      input(w, kPassword);
      label(w, row(kPassword.row), column(28), "not shown, not checked", kGreen);
      label(w, row(kAccount.row), column(3), "ACCOUNT  ===>", kTurquoise);
      input(w, kAccount);
      label(w, row(kAccount.row), column(28), "digits only, may be left empty", kGreen);
      label(w, row(14), column(1), "Type a user id, press Tab, type any password, press Tab, type an account",
            kGreen);
      label(w, row(15), column(1), "number if you like, then press Enter.", kGreen);
      footer(w, message, "ENTER=Logon  PF1=Help  PF3=Exit  CLEAR=Redraw  PA1=Attention");
      w.at(begin(kUserId)).cursor();
      break;
    case Panel::Menu:
      title(w, "QUILLON DEMO HOST - MAIN MENU");
      label(w, 0, right - 22, "USER " + userId_, kWhite);
      label(w, row(3), column(1), "Select an option and press Enter.", kGreen);
      option(w, 5, "1", "BROWSE", "A list of 60 records, paged with PF7 and PF8");
      option(w, 6, "2", "STATUS", "Information about this session");
      option(w, 7, "3", "LOGOFF", "End the session");
      label(w, row(kOption.row), column(3), "OPTION ===>", kTurquoise);
      input(w, kOption);
      footer(w, message, "ENTER=Select  PF1=Help  PF3=Logoff  CLEAR=Redraw  PA1=Attention");
      w.at(begin(kOption)).cursor();
      break;
    case Panel::List: {
      w.at(0, 0);
      field(w, kProtectedBright, kYellow);
      w.text("QUILLON DEMO HOST - BROWSE");
      const int last = top_ + pageLines() < kRecords ? top_ + pageLines() : kRecords;
      label(w, 0, right - 24, format("LINES %02d-%02d OF %02d", top_ + 1, last, kRecords), kWhite);
      w.at(1, column(0));
      field(w, kProtected, kTurquoise);
      w.text("COMMAND ===>");
      input(w, kCommand);
      label(w, 1, column(46), "TOP, BOTTOM or a line number", kGreen);
      w.at(2, column(0));
      field(w, kProtectedBright, kWhite);
      w.text(" LINE  NAME      TYPE     STATUS    DESCRIPTION");
      // The rule runs to the end of its row, as on a model-2 screen; on an
      // extended screen it is blue and the list lines colour themselves.
      w.at(3, 0);
      field(w, kProtected, kBlue);
      w.repeatTo(4, 0, '-');
      for (int i = top_; i < last; ++i) listLine(w, kListFirstRow + i - top_, record(i));
      footer(w, message, "PF3=Return  PF7=Back  PF8=Forward  PF1=Help  CLEAR=Redraw  PA1=Attention");
      w.at(begin(kCommand)).cursor();
      break;
    }
    case Panel::Status: {
      title(w, "QUILLON DEMO HOST - SESSION STATUS");
      std::vector<std::pair<std::string, std::string>> rows = {
          {"User id", userId_},
          {"Account", account_.empty() ? "(none)" : account_},
          {info_.tn3270e ? "Device type" : "Terminal type", info_.terminalType},
          {"Session number", std::to_string(info_.number)},
          {"Logged on at", loggedOnAt_},
          {"Screens sent", std::to_string(screensSent_ + 1)},
          {"Keys received", std::to_string(keysReceived_)},
      };
      if (info_.tn3270e) rows.emplace_back("LU name", info_.lu);
      if (extended_)
        rows.emplace_back("Screen", std::to_string(layout_.screen.rows) + " x " +
                                        std::to_string(layout_.screen.columns) +
                                        (colour_ ? ", colour" : ", no colour"));
      int r = 3;
      for (const auto& [name, value] : rows) {
        w.at(row(r), column(3));
        field(w, kProtected, kTurquoise);
        w.text(padded(name + " ", 18) + ":");
        w.at(row(r), column(24));
        field(w, kProtectedBright, kWhite);
        w.text(value);
        ++r;
      }
      w.at(row(r + 1), column(3));
      field(w, kProtected, kGreen);
      w.text("Press Enter to refresh, PF3 to return to the menu.");
      footer(w, message, "ENTER=Refresh  PF1=Help  PF3=Return  CLEAR=Redraw  PA1=Attention");
      break;
    }
  }
  send(w);
}

void App3270::message(const std::string& text, int cursor) {
  Writer w = Writer::write(layout_.screen);
  w.at(layout_.messageRow(), 1).text(padded(text, layout_.messageLength()));
  if (cursor >= 0 && cursor < layout_.screen.positions()) w.at(cursor).cursor();
  send(w);
}

void App3270::goodbye() {
  Writer w = newPanel();
  w.at(0, 0);
  field(w, kProtectedBright, kYellow);
  w.text("QUILLON DEMO HOST");
  rule(w, 1);
  label(w, row(4), column(1), userId_.empty() ? "Session ended." : "User " + userId_ + " logged off.", kGreen);
  if (extended_) {
    w.at(row(6), column(0));
    field(w, kProtectedBright, kWhite);
    highlightRun(w, kBlink, "GOODBYE.");
    w.text(" The host closes the connection now.");
  } else {
    w.at(6, 1).text("GOODBYE. The host closes the connection now.");
  }
  send(w);
  loggedOff_ = true;
}

void App3270::send(const Writer& w) {
  ++screensSent_;
  tn_.sendRecord(w.bytes());
}

}  // namespace

void run3270(TelnetConnection& tn, const SessionInfo& info, const HostOptions& options) {
  App3270(tn, info, options).run();
}

}  // namespace demohost
