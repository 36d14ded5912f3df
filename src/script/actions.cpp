#include "script/actions.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>

#include "script/read_buffer.h"
#include "tn3270/terminal_model.h"
#include "ui/resource.h"

namespace {

constexpr double kConnectSeconds = 30;

void appendNumber(std::string* out, long long value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out->append(digits, end);
}

// Seconds with three decimals, as "%.3f" writes them (the value rounded
// exactly, half to even).
void appendSeconds(std::string* out, double seconds) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, seconds, std::chars_format::fixed, 3);
  if (result.ec == std::errc()) {
    out->append(text, result.ptr);
    return;
  }
  std::snprintf(text, sizeof text, "%.3f", seconds);
  *out += text;
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// A whole number in [low, high]; false for anything else.
bool number(const std::string& text, long low, long high, long* out) {
  if (text.empty() || text.size() > 12) return false;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < low || value > high) return false;
  *out = value;
  return true;
}

bool seconds(const std::string& text, double* out) {
  if (text.empty() || text.size() > 20) return false;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !(value >= 0) || value > 1e7) return false;
  *out = value;
  return true;
}

struct Context {
  ScriptSession& session;
  const std::vector<std::string>& args;
  std::vector<std::string>* data;
  std::vector<std::string>* snap;
  unsigned long outputMark;

  bool fail(const std::string& why) const {
    data->push_back(why);
    return false;
  }
  bool needConnection() const { return session.Connected() ? true : fail("not connected"); }
};

using Handler = std::function<bool(Context&)>;

struct Entry {
  Handler run;
  size_t minArgs;
  size_t maxArgs;
};

// ---- keys ----------------------------------------------------------------------------------

bool typeString(Context& c) {
  if (!c.needConnection()) return false;
  if (c.session.Locked()) return c.fail("keyboard locked");
  if (c.session.Formatted()) {
    // Typing goes on where the cursor stands.
    if (c.session.CursorProtected()) return c.fail("the cursor is in a protected field");
    if (!c.session.MoveCursor(c.session.CursorRow(), c.session.CursorColumn()))
      return c.fail("the keyboard cannot reach the cursor's position");
  }
  for (const std::string& s : c.args) {
    for (unsigned char ch : s) {
      if (!c.session.Connected()) return c.fail("the host closed the connection");
      if (ch == '\n' || ch == '\r') {
        c.session.Attention([&] { c.session.Char(13); });
        continue;
      }
      if (c.session.Locked()) return c.fail("keyboard locked");
      if (ch == '\t' || ch == '\b') {
        c.session.Char(ch == '\t' ? 9 : 8);
        continue;
      }
      std::string refused;
      if (!c.session.Type(ch, &refused)) return c.fail(refused);
    }
  }
  return true;
}

Handler key(std::function<void(ScriptSession&)> press, bool attention, bool only3270) {
  return [press, attention, only3270](Context& c) {
    if (!c.needConnection()) return false;
    if (only3270 && !c.session.In3270()) return c.fail("not in 3270 mode");
    if (c.session.Locked()) return c.fail("keyboard locked");
    if (attention)
      c.session.Attention([&] { press(c.session); });
    else
      press(c.session);
    return true;
  };
}

// ATTN interrupts the application, the keyboard locked or not.
bool attn(Context& c) {
  if (!c.needConnection()) return false;
  if (!c.session.Attn()) return c.fail("ATTN needs TN3270E with BIND-IMAGE");
  return true;
}

// BackTab: to the start of the input field the cursor is in, or from there
// (or from outside any input field) to the previous input field.
bool backTab(Context& c) {
  if (c.session.ModelMode()) return key([](ScriptSession& s) { s.ModelBackTab(); }, false, true)(c);
  int begin = 0, length = 0, offset = 0;
  if (c.session.Connected() && !c.session.Locked() && c.session.CursorField(&begin, &length, &offset) &&
      offset > 0) {
    if (!c.session.MoveCursor(begin / kScreenColumns, begin % kScreenColumns))
      return c.fail("the keyboard cannot reach that position");
    return true;
  }
  return key([](ScriptSession& s) { s.KeyDown(VK_UP); }, false, true)(c);
}

bool programFunction(Context& c) {
  long n = 0;
  if (!number(c.args[0], 1, 24, &n)) return c.fail("PF takes a number from 1 to 24");
  return key(
      [n](ScriptSession& s) {
        if (n <= 12) {
          s.KeyDown(static_cast<UINT>(VK_F1 + n - 1));
          return;
        }
        // PF13-PF24 are Shift+F1-F12, whose shift state a script cannot hold on
        // every platform: the window's own attention path is taken with the key's
        // identifier, as the F-key handling does.
        static const uint8_t kShifted[12] = {0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0x4A, 0x4B, 0x4C};
        s.SetAid(kShifted[n - 13]);
        s.Char(13);
      },
      true, true)(c);
}

bool programAttention(Context& c) {
  long n = 0;
  if (!number(c.args[0], 1, 3, &n)) return c.fail("PA takes a number from 1 to 3");
  const UINT id = static_cast<UINT>(IDM_PA1 + n - 1);
  return key([id](ScriptSession& s) { s.Command(id); }, true, true)(c);
}

bool moveCursor(Context& c, long origin) {
  if (!c.needConnection()) return false;
  if (!c.session.In3270()) return c.fail("not in 3270 mode");
  if (c.session.Locked()) return c.fail("keyboard locked");
  long row = 0, column = 0;
  if (!number(c.args[0], origin, c.session.Rows() - 1 + origin, &row) ||
      !number(c.args[1], origin, c.session.Columns() - 1 + origin, &column))
    return c.fail("row or column off the screen");
  if (!c.session.MoveCursor(static_cast<int>(row - origin), static_cast<int>(column - origin)))
    return c.fail("the keyboard cannot reach that position");
  return true;
}

// Blanks typed from the cursor (or the field's start) to the end of the input
// field, and the cursor back where they began: the keyboard's run of typed
// characters ends there, so the rest of the field is erased when the typing
// is committed, and what is typed next goes there.
bool eraseField(Context& c, bool wholeField) {
  if (!c.needConnection()) return false;
  if (!c.session.Formatted()) return c.fail("the screen is not formatted");
  if (c.session.Locked()) return c.fail("keyboard locked");
  int begin = 0, length = 0, offset = 0;
  if (!c.session.CursorField(&begin, &length, &offset)) return c.fail("the cursor is in a protected field");
  if (c.session.ModelMode()) return c.session.ModelErase(wholeField) || c.fail("the keyboard refused");
  const int from = wholeField ? begin : (begin + offset) % kScreenPositions;
  const int row = from / kScreenColumns, column = from % kScreenColumns;
  if (!c.session.MoveCursor(row, column)) return c.fail("the keyboard cannot reach the cursor's position");
  for (int k = wholeField ? 0 : offset; k < length; ++k) c.session.Char(' ');
  c.session.MoveCursor(row, column);
  return true;
}

// ---- screen ----------------------------------------------------------------------------------

bool ascii(Context& c) {
  if (!c.needConnection()) return false;
  const std::vector<std::string>& screen = c.session.Screen();
  const std::vector<std::string>& a = c.args;
  const long screenRows = c.session.Rows(), screenColumns = c.session.Columns();
  const long positions = screenRows * screenColumns;
  long row = 0, column = 0, rows = screenRows, columns = screenColumns, length = -1;
  switch (a.size()) {
    case 0: break;
    case 1:
      // From the cursor, no further than the screen's last position.
      row = c.session.CursorRow();
      column = c.session.CursorColumn();
      if (!number(a[0], 0, positions - (row * screenColumns + column), &length))
        return c.fail("length off the screen");
      break;
    case 3:
    case 4:
      if (!number(a[0], 0, screenRows - 1, &row) || !number(a[1], 0, screenColumns - 1, &column))
        return c.fail("row or column off the screen");
      if (a.size() == 3) {
        if (!number(a[2], 0, positions - (row * screenColumns + column), &length))
          return c.fail("length off the screen");
      } else if (!number(a[2], 1, screenRows - row, &rows) || !number(a[3], 1, screenColumns - column, &columns)) {
        return c.fail("rows or columns off the screen");
      }
      break;
    default: return c.fail("Ascii takes 0, 1, 3 or 4 arguments");
  }
  if (length < 0) {
    // One text of the rows, a data line each.
    std::string text;
    text.reserve(static_cast<size_t>(rows * (columns + 1)));
    for (long r = row; r < row + rows; ++r) {
      if (r > row) text += '\n';
      text.append(screen[r], static_cast<size_t>(column), static_cast<size_t>(columns));
    }
    c.data->push_back(std::move(text));
    return true;
  }
  // A run of positions from (row, column), a line for each screen row it touches.
  long p = row * screenColumns + column;
  std::string line;
  for (long k = 0; k < length; ++k, ++p) {
    line += screen[p / screenColumns][p % screenColumns];
    if ((p + 1) % screenColumns == 0 && k + 1 < length) {
      c.data->push_back(line);
      line.clear();
    }
  }
  c.data->push_back(line);
  return true;
}

bool asciiField(Context& c) {
  if (!c.needConnection()) return false;
  if (!c.session.Formatted()) return c.fail("the screen is not formatted");
  int begin = 0, length = 0, offset = 0;
  if (!c.session.CursorAnyField(&begin, &length, &offset)) return c.fail("the cursor is not in a field");
  const std::vector<std::string>& screen = c.session.Screen();
  const int columns = c.session.Columns(), positions = c.session.Rows() * columns;
  std::string text;
  for (int k = 0; k < length; ++k) {
    const int p = (begin + k) % positions;
    text += screen[p / columns][p % columns];
  }
  c.data->push_back(text);
  return true;
}

bool readBuffer(Context& c) {
  if (!c.needConnection()) return false;
  if (!c.session.In3270()) return c.fail("not in 3270 mode");
  const std::string how = c.args.empty() ? "ascii" : lower(c.args[0]);
  if (how != "ascii" && how != "ebcdic") return c.fail("ReadBuffer takes Ascii or Ebcdic");
  for (std::string& line : ReadBufferLines(*c.session.Terminal(), how == "ebcdic")) c.data->push_back(std::move(line));
  return true;
}

bool snap(Context& c) {
  const std::string what = c.args.empty() ? "save" : lower(c.args[0]);
  if (what == "save") {
    if (!c.needConnection()) return false;
    *c.snap = c.session.Screen();
    return true;
  }
  if (what == "ascii") {
    if (c.snap->empty()) return c.fail("no snapshot taken");
    c.data->insert(c.data->end(), c.snap->begin(), c.snap->end());
    return true;
  }
  return c.fail("Snap takes Save or Ascii");
}

// ---- waiting ----------------------------------------------------------------------------------

bool wait(Context& c) {
  double limit = -1;
  std::string what = lower(c.args.back());
  if (c.args.size() == 2) {
    if (!seconds(c.args[0], &limit)) return c.fail("the timeout must be a number of seconds");
    if (what == "seconds") {
      c.session.Pump([] { return false; }, limit);
      return true;
    }
  }
  std::function<bool()> done;
  bool needsConnection = true;
  ScriptSession& s = c.session;
  const unsigned long mark = c.outputMark;
  if (what == "inputfield") {
    done = [&s] { return s.Formatted() && !s.Locked(); };
  } else if (what == "output") {
    done = [&s, mark] { return s.OutputCount() != mark; };
  } else if (what == "unlock") {
    done = [&s] { return !s.Locked(); };
  } else if (what == "disconnect") {
    done = [&s] { return !s.Connected(); };
    needsConnection = false;
  } else if (what == "3270mode") {
    done = [&s] { return s.In3270(); };
  } else if (what == "nvtmode") {
    done = [&s] { return s.Connected() && !s.In3270() && !s.Negotiating(); };
  } else {
    return c.fail("Wait takes InputField, Output, Unlock, Disconnect, 3270Mode, NVTMode or Seconds");
  }
  if (needsConnection && !s.Connected()) return c.fail("not connected");
  bool lost = false;
  const bool met = s.Pump(
      [&] {
        if (done()) return true;
        lost = needsConnection && !s.Connected();
        return lost;
      },
      limit);
  if (lost) return c.fail("the host closed the connection");
  if (!met) return c.fail("timed out waiting");
  return true;
}

// ---- queries --------------------------------------------------------------------------------

bool query(Context& c) {
  const std::string what = lower(c.args[0]);
  ScriptSession& s = c.session;
  std::string answer;
  if (what == "connectionstate") {
    answer = !s.Connected()     ? "not-connected"
             : s.InTn3270e()    ? "connected-tn3270e"
             : s.In3270()       ? "connected-3270"
             : s.Negotiating()  ? "negotiating"
                                : "connected-nvt";
  } else if (what == "cursor") {
    answer = std::to_string(s.CursorRow()) + " " + std::to_string(s.CursorColumn());
  } else if (what == "formatted") {
    answer = s.Formatted() ? "formatted" : "unformatted";
  } else if (what == "host") {
    answer = s.Connected() ? "host " + s.HostName() + " " + std::to_string(s.Port()) : "";
  } else if (what == "luname") {
    // The LU the host assigned, else the one asked for.
    const std::string assigned = s.AssignedLu();
    answer = !assigned.empty() ? assigned : s.Connected() ? s.LuName() : "";
  } else if (what == "model" || what == "terminalname") {
    answer = TerminalTypeName(s.Model());
  } else if (what == "screensize" || what == "screensizecurrent") {
    answer = "rows " + std::to_string(s.Rows()) + " columns " + std::to_string(s.Columns());
  } else if (what == "screensizemax") {
    answer = "rows " + std::to_string(AlternateRows(s.Model())) + " columns " +
             std::to_string(AlternateColumns(s.Model()));
  } else if (what == "tls") {
    answer = !s.Connected() ? "" : s.Tls() ? "secure" : "not secure";
  } else {
    return c.fail(
        "Query takes ConnectionState, Cursor, Formatted, Host, LuName, Model, ScreenSize, ScreenSizeCurrent, "
        "ScreenSizeMax, TerminalName or Tls");
  }
  c.data->push_back(answer);
  return true;
}

const std::map<std::string, Entry>& table() {
  static const std::map<std::string, Entry> actions = {
      {"connect",
       {[](Context& c) {
          std::string why;
          return c.session.Connect(c.args[0], kConnectSeconds, &why) || c.fail(why);
        },
        1, 1}},
      {"disconnect", {[](Context& c) { c.session.Disconnect(); return true; }, 0, 0}},
      {"wait", {wait, 1, 2}},
      {"string", {typeString, 1, 64}},
      {"enter", {key([](ScriptSession& s) { s.Char(13); }, true, false), 0, 0}},
      {"tab", {key([](ScriptSession& s) { s.Char(9); }, false, false), 0, 0}},
      {"backtab", {backTab, 0, 0}},
      {"home", {key([](ScriptSession& s) { s.KeyDown(VK_HOME); }, false, true), 0, 0}},
      {"backspace", {key([](ScriptSession& s) { s.Char(8); }, false, false), 0, 0}},
      {"clear", {key([](ScriptSession& s) { s.Command(IDM_CLEARKEY); }, true, true), 0, 0}},
      {"sysreq", {key([](ScriptSession& s) { s.Command(IDM_SYSREQ); }, true, true), 0, 0}},
      {"attn", {attn, 0, 0}},
      {"pf", {programFunction, 1, 1}},
      {"pa", {programAttention, 1, 1}},
      {"movecursor", {[](Context& c) { return moveCursor(c, 0); }, 2, 2}},
      {"movecursor1", {[](Context& c) { return moveCursor(c, 1); }, 2, 2}},
      {"deletefield", {[](Context& c) { return eraseField(c, true); }, 0, 0}},
      {"eraseeof", {[](Context& c) { return eraseField(c, false); }, 0, 0}},
      {"ascii", {ascii, 0, 4}},
      {"asciifield", {asciiField, 0, 0}},
      {"snap", {snap, 0, 1}},
      {"readbuffer", {readBuffer, 0, 1}},
      {"query", {query, 1, 1}},
  };
  return actions;
}

const char* kStatusKeyboard[] = {"U", "L"};

}  // namespace

bool ScriptActions::Run(const ActionLine& action, std::vector<std::string>* data, bool* quit) {
  const std::string name = lower(action.name);
  if (name == "quit") {
    if (!action.args.empty()) {
      data->push_back("Quit takes no arguments");
      return false;
    }
    *quit = true;
    session_.Disconnect();
    return true;
  }
  const auto it = table().find(name);
  if (it == table().end()) {
    data->push_back("Unknown action: " + action.name);
    return false;
  }
  const Entry& entry = it->second;
  if (action.args.size() < entry.minArgs || action.args.size() > entry.maxArgs) {
    data->push_back(action.name + " takes " +
                    (entry.minArgs == entry.maxArgs ? std::to_string(entry.minArgs)
                                                    : std::to_string(entry.minArgs) + " to " +
                                                          std::to_string(entry.maxArgs)) +
                    " argument(s)");
    return false;
  }
  Context c{session_, action.args, data, &snap_, outputMark_};
  const bool ok = entry.run(c);
  // Messages the terminal showed (a failed send, say) are part of the answer.
  for (const std::string& m : session_.TakeMessages()) data->push_back(m);
  outputMark_ = session_.OutputCount();
  return ok;
}

std::string ScriptActions::Status(double seconds) const {
  const ScriptSession& s = session_;
  const bool connected = s.Connected();
  // Without a connection nothing can be typed: the keyboard shows as locked.
  std::string status = kStatusKeyboard[s.Locked() || !connected ? 1 : 0];
  status.reserve(64);
  status += s.Formatted() ? " F" : " U";
  status += s.CursorProtected() ? " P" : " U";
  if (connected) {
    // An LU that a TN3270E host assigned goes before the host, as in LU@host.
    const std::string lu = s.AssignedLu();
    status.append(" C(").append(lu.empty() ? "" : lu + "@").append(s.HostName()).push_back(')');
  } else {
    status += " N";
  }
  status += !connected ? " N" : s.In3270() ? " I" : s.Negotiating() ? " P" : " C";
  status += ' ';
  appendNumber(&status, s.Model().number);
  status += ' ';
  appendNumber(&status, s.Rows());
  status += ' ';
  appendNumber(&status, s.Columns());
  status += ' ';
  appendNumber(&status, s.CursorRow());
  status += ' ';
  appendNumber(&status, s.CursorColumn());
  status += " 0x0 ";
  appendSeconds(&status, seconds);
  return status;
}
