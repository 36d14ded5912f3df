// The 3270 application: a logon panel, a main menu, a list paged with PF7 and
// PF8, a status panel and a goodbye screen. Every panel is a fresh
// Erase/Write; messages change only the message line, with a Write that
// leaves the fields and what the user typed in them alone.
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "ds3270.h"
#include "session.h"

namespace demohost {

namespace {

using namespace ds3270;

constexpr int kMessageRow = 22;
constexpr int kKeysRow = 23;
constexpr int kMessageLength = kColumns - 1;

// Input fields: the row and column of the attribute position; the field's
// characters begin one position to the right.
struct InputField {
  int row;
  int column;
  int length;
  uint8_t attribute;
  int begin() const { return address(row, column + 1); }
};

constexpr InputField kUserId{7, 17, 8, kInput};
constexpr InputField kPassword{9, 17, 8, kInputHidden};
constexpr InputField kAccount{11, 17, 8, kInputNumeric};
constexpr InputField kOption{10, 15, 2, kInputNumeric};
constexpr InputField kCommand{1, 13, 30, kInput};

constexpr int kRecords = 60;
constexpr int kListFirstRow = 4;
constexpr int kPageLines = 17;  // rows 4..20
constexpr int kLastTop = kRecords - kPageLines;

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

// The line of the list for record n (0-based).
std::string record(int n) {
  static const char* const kNames[] = {"PAYROLL", "LEDGER", "INVENTRY", "BILLING", "SHIPPING",
                                       "ARCHIVE", "BACKUP", "REPORTS", "CLAIMS",  "ORDERS"};
  static const char* const kTypes[] = {"BATCH", "ONLINE", "UTILITY"};
  static const char* const kStates[] = {"COMPLETE", "RUNNING", "WAITING", "HELD"};
  char text[96];
  std::snprintf(text, sizeof text, " %04d  %-8s  %-7s  %-8s  Demonstration record %d of %d", n + 1, kNames[n % 10],
                kTypes[n % 3], kStates[n % 4], n + 1, kRecords);
  return text;
}

enum class Panel { Logon, Menu, List, Status };

class App3270 {
 public:
  App3270(TelnetConnection& tn, const SessionInfo& info, const HostOptions& options)
      : tn_(tn), info_(info), options_(options) {}
  void run();

 private:
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

  static void title(Writer& w, const std::string& text);
  static void input(Writer& w, const InputField& f);
  static void footer(Writer& w, const std::string& message, const std::string& keys);

  TelnetConnection& tn_;
  const SessionInfo& info_;
  const HostOptions& options_;
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
  constexpr size_t kMaxRecord = 8192;
  std::vector<uint8_t> record;
  bool overflow = false;
  show(Panel::Logon);
  while (!loggedOff_) {
    if (tn_.pump(-1) == TelnetConnection::Wait::Closed) return;
    auto& events = tn_.events();
    while (!events.empty() && !loggedOff_) {
      const Event e = events.front();
      events.pop_front();
      if (!e.command) {
        if (record.size() < kMaxRecord)
          record.push_back(e.byte);
        else
          overflow = true;
      } else if (e.byte == telnet::EOR) {
        // A record longer than any this application asks for is dropped whole.
        if (!overflow) handle(parseInbound(record));
        record.clear();
        overflow = false;
      }
    }
  }
  closeAfter(tn_, options_.logoffDelayMs);
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
      if (in.aid == kAidPf7) return scroll(-kPageLines);
      if (in.aid == kAidPf8) return scroll(kPageLines);
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
  const std::string user = upper(trim(in.fieldAt(kUserId.begin())));
  const std::string account = trim(in.fieldAt(kAccount.begin()));
  // The password is accepted whatever it is, and neither kept nor shown.
  if (user.empty()) return message(kUserIdRequired, kUserId.begin());
  if (user.size() > static_cast<size_t>(kUserId.length) || !lettersAndDigits(user))
    return message(kUserIdInvalid, kUserId.begin());
  // The field admits only digits on most terminals, but what arrives is checked all the same.
  if (!account.empty() && (account.size() > static_cast<size_t>(kAccount.length) || !allDigits(account)))
    return message(kAccountNotNumeric, kAccount.begin());
  userId_ = user;
  account_ = account;
  const std::time_t now = std::time(nullptr);
  char clock[16] = "";
  if (const std::tm* local = std::localtime(&now)) std::strftime(clock, sizeof clock, "%H:%M:%S", local);
  loggedOnAt_ = clock;
  show(Panel::Menu, "LOGON ACCEPTED - WELCOME, " + userId_);
}

void App3270::select(const Inbound& in) {
  const std::string option = trim(in.fieldAt(kOption.begin()));
  if (option.empty()) return message(kOptionRequired, kOption.begin());
  if (option == "1") {
    top_ = 0;
    return show(Panel::List);
  }
  if (option == "2") return show(Panel::Status);
  if (option == "3") return goodbye();
  message(kOptionInvalid, kOption.begin());
}

void App3270::command(const Inbound& in) {
  const std::string cmd = upper(trim(in.fieldAt(kCommand.begin())));
  if (cmd.empty()) return show(Panel::List);
  if (cmd == "TOP") {
    top_ = 0;
    return show(Panel::List, kTopOfList);
  }
  if (cmd == "BOTTOM" || cmd == "BOT") {
    top_ = kLastTop;
    return show(Panel::List, kBottomOfList);
  }
  if (allDigits(cmd) && cmd.size() <= 4) {
    const int line = std::stoi(cmd);
    if (line >= 1 && line <= kRecords) {
      top_ = line - 1 < kLastTop ? line - 1 : kLastTop;
      return show(Panel::List);
    }
  }
  message(kCommandInvalid, kCommand.begin());
}

void App3270::scroll(int lines) {
  int top = top_ + lines;
  if (top < 0) top = 0;
  if (top > kLastTop) top = kLastTop;
  if (top == top_) return message(lines < 0 ? kTopOfList : kBottomOfList);
  top_ = top;
  show(Panel::List, top_ == 0 ? kTopOfList : top_ == kLastTop ? kBottomOfList : "");
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

void App3270::title(Writer& w, const std::string& text) {
  w.at(0, 0).field(kProtectedBright).text(text);
  w.at(1, 0).field(kProtected).repeatTo(2, 0, '-');
}

void App3270::input(Writer& w, const InputField& f) {
  w.at(f.row, f.column).field(f.attribute);
  w.at(f.row, f.column + 1 + f.length).field(kProtected);
}

void App3270::footer(Writer& w, const std::string& message, const std::string& keys) {
  w.at(kMessageRow, 0).field(kProtectedBright).text(message.substr(0, kMessageLength));
  w.at(kKeysRow, 0).field(kProtected).text(keys);
}

void App3270::show(Panel panel, const std::string& message) {
  panel_ = panel;
  Writer w = Writer::eraseWrite();
  switch (panel) {
    case Panel::Logon:
      title(w, "QUILLON DEMO HOST - LOGON");
      w.at(3, 1).text("Welcome. This host stands in for a mainframe, so that Quillon can be tried");
      w.at(4, 1).text("without one. Any user id and password are accepted.");
      w.at(kUserId.row, 3).text("USERID   ===>");
      input(w, kUserId);
      w.at(kUserId.row, 28).text("1 to 8 letters or digits");
      w.at(kPassword.row, 3).text("PASSWORD ===>");
      input(w, kPassword);
      w.at(kPassword.row, 28).text("not shown, not checked");
      w.at(kAccount.row, 3).text("ACCOUNT  ===>");
      input(w, kAccount);
      w.at(kAccount.row, 28).text("digits only, may be left empty");
      w.at(14, 1).text("Type a user id, press Tab, type any password, press Tab, type an account");
      w.at(15, 1).text("number if you like, then press Enter.");
      footer(w, message, "ENTER=Logon  PF1=Help  PF3=Exit  CLEAR=Redraw  PA1=Attention");
      w.at(kUserId.row, kUserId.column + 1).cursor();
      break;
    case Panel::Menu:
      title(w, "QUILLON DEMO HOST - MAIN MENU");
      w.at(0, 58).text("USER " + userId_);
      w.at(3, 1).text("Select an option and press Enter.");
      w.at(5, 3).field(kProtectedBright).text("1  BROWSE");
      w.at(5, 15).field(kProtected).text("A list of 60 records, paged with PF7 and PF8");
      w.at(6, 3).field(kProtectedBright).text("2  STATUS");
      w.at(6, 15).field(kProtected).text("Information about this session");
      w.at(7, 3).field(kProtectedBright).text("3  LOGOFF");
      w.at(7, 15).field(kProtected).text("End the session");
      w.at(kOption.row, 3).text("OPTION ===>");
      input(w, kOption);
      footer(w, message, "ENTER=Select  PF1=Help  PF3=Logoff  CLEAR=Redraw  PA1=Attention");
      w.at(kOption.row, kOption.column + 1).cursor();
      break;
    case Panel::List: {
      w.at(0, 0).field(kProtectedBright).text("QUILLON DEMO HOST - BROWSE");
      const int last = top_ + kPageLines < kRecords ? top_ + kPageLines : kRecords;
      w.at(0, 56).text(format("LINES %02d-%02d OF %02d", top_ + 1, last, kRecords));
      w.at(1, 0).field(kProtected).text("COMMAND ===>");
      input(w, kCommand);
      w.at(1, 46).text("TOP, BOTTOM or a line number");
      w.at(2, 0).field(kProtectedBright).text(" LINE  NAME      TYPE     STATUS    DESCRIPTION");
      w.at(3, 0).field(kProtected).repeatTo(4, 0, '-');
      for (int i = top_; i < last; ++i) w.at(kListFirstRow + i - top_, 0).text(record(i));
      footer(w, message, "PF3=Return  PF7=Back  PF8=Forward  PF1=Help  CLEAR=Redraw  PA1=Attention");
      w.at(kCommand.row, kCommand.column + 1).cursor();
      break;
    }
    case Panel::Status: {
      title(w, "QUILLON DEMO HOST - SESSION STATUS");
      const std::string rows[][2] = {
          {"User id", userId_},
          {"Account", account_.empty() ? "(none)" : account_},
          {"Terminal type", info_.terminalType},
          {"Session number", std::to_string(info_.number)},
          {"Logged on at", loggedOnAt_},
          {"Screens sent", std::to_string(screensSent_ + 1)},
          {"Keys received", std::to_string(keysReceived_)},
      };
      int row = 3;
      for (const auto& r : rows) {
        w.at(row, 3).field(kProtected).text(padded(r[0] + " ", 18) + ":");
        w.at(row, 24).field(kProtectedBright).text(r[1]);
        ++row;
      }
      w.at(row + 1, 3).field(kProtected).text("Press Enter to refresh, PF3 to return to the menu.");
      footer(w, message, "ENTER=Refresh  PF1=Help  PF3=Return  CLEAR=Redraw  PA1=Attention");
      break;
    }
  }
  send(w);
}

void App3270::message(const std::string& text, int cursor) {
  Writer w = Writer::write();
  w.at(kMessageRow, 1).text(padded(text, kMessageLength));
  if (cursor >= 0 && cursor < kPositions) w.at(cursor).cursor();
  send(w);
}

void App3270::goodbye() {
  Writer w = Writer::eraseWrite();
  w.at(0, 0).field(kProtectedBright).text("QUILLON DEMO HOST");
  w.at(1, 0).field(kProtected).repeatTo(2, 0, '-');
  w.at(4, 1).text(userId_.empty() ? "Session ended." : "User " + userId_ + " logged off.");
  w.at(6, 1).text("GOODBYE. The host closes the connection now.");
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
