// quillon-script from outside: the real program runs with its standard input
// and output on pipes, the test writes action lines and checks every line of
// each answer (the status line's run time masked). The hosts are the real demo
// host and hosts the test plays: a TN3270 host that sends records and an NVT
// host that sends text, whose received bytes are checked as well. Where s3270
// is installed, the same script against the same demo host must give the same
// data lines and status fields through both programs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "demo_host.h"
#include "loopback.h"
#include "script_program.h"
#include "scripted_host.h"
#include "stream_bytes.h"

namespace {

const std::string kBlankRow(80, ' ');

// The data lines of `count` screen rows from `first`: the rows given, padded
// to 80 columns, and blank rows elsewhere.
std::vector<std::string> rows(const std::map<int, std::string>& text, int first = 0, int count = 24) {
  std::vector<std::string> out;
  for (int r = first; r < first + count; ++r) {
    const auto it = text.find(r);
    out.push_back(it == text.end() ? kBlankRow : (it->second + kBlankRow).substr(0, 80));
  }
  return out;
}

// An answer: its data lines, the status line and the result.
std::string says(const std::vector<std::string>& data, const std::string& status, bool ok = true) {
  std::string out;
  for (const std::string& d : data) out += "data: " + d + "\n";
  return out + status + (ok ? "\nok" : "\nerror");
}
std::string says(const std::string& status, bool ok = true) { return says({}, status, ok); }
std::string fails(const std::string& why, const std::string& status) { return says({why}, status, false); }

// Status lines: keyboard, formatted and protected letters and the cursor of a
// 3270 session with 127.0.0.1, an NVT session, or no session.
std::string in3270(const std::string& letters, int row, int column) {
  return letters + " C(127.0.0.1) I 2 24 80 " + std::to_string(row) + " " + std::to_string(column) + " 0x0 T";
}
std::string inNvt(int row, int column) {
  return "U U U C(127.0.0.1) C 2 24 80 " + std::to_string(row) + " " + std::to_string(column) + " 0x0 T";
}
const std::string kOffline = "L U U N N 2 24 80 0 0 0x0 T";
// The terminal's report of sends to a host that refused or reset the connection.
const std::string kResetReport = "Errror 10054 Connection Reset By Peer occurred in Sending A Char";

// An answer of only a status line of a 3270 session, and ok.
bool plainOk(const std::string& answer) {
  return answer.rfind("\nok") == answer.size() - 3 && answer.find('\n') == answer.size() - 3 &&
         answer.find(" C(127.0.0.1) I 2 24 80 ") != std::string::npos;
}

// A long answer cut short, for readable failures.
std::string shortened(const std::string& answer) {
  return answer.size() <= 300 ? answer : answer.substr(0, 200) + "...";
}

struct Step {
  std::string action;
  std::string expected;
};

// Runs the steps in order; each answer must be exactly the one expected.
void play(ScriptProgram& program, const std::vector<Step>& steps) {
  for (const Step& s : steps) EXPECT_EQ(program.run(s.action), s.expected) << s.action;
}

// ---- the hosts the test plays -------------------------------------------------------------

Bytes at(int row, int column) { return sba(static_cast<uint32_t>(row * 80 + column)); }
// The two address bytes of a position, as a record carries the cursor.
Bytes address(int row, int column) {
  const Bytes order = at(row, column);
  return Bytes(order.begin() + 1, order.end());
}

const Bytes kOpening = bytesOf(
    {0xFF, 0xFD, 0x01, 0xFF, 0xFC, 0x01, 0xFF, 0xFB, 0x03, 0xFF, 0xFD, 0x03, 0xFF, 0xFB, 0x1F, 0xFF, 0xFD, 0x1F});
// A record that only unlocks the keyboard: Write with the keyboard-restore bit.
const Bytes kUnlock = bytesOf({0xF1, 0xC2}) + kEor;

// The screen of the 3270 host: input fields of 8 positions, NAME at (2, 10)
// holding the cursor and CODE at (3, 10) holding HELLO, a numeric one of 4,
// PIN at (4, 10), and one of 10 from (5, 76) on to the next row; protected
// text around them.
const Bytes kFormScreen = kEraseWrite + at(0, 0) + sf(0x60) + ebcdic("SCRIPTED HOST") + at(2, 1) + sf(0x60) +
                          ebcdic("NAME") + at(2, 9) + sf(0x40) + kInsertCursor + at(2, 18) + sf(0x60) + at(3, 1) +
                          sf(0x60) + ebcdic("CODE") + at(3, 9) + sf(0x40) + ebcdic("HELLO") + at(3, 18) + sf(0x60) +
                          at(4, 1) + sf(0x60) + ebcdic("PIN") + at(4, 9) + sf(0x50) + at(4, 14) + sf(0x60) + at(5, 75) +
                          sf(0x40) + at(6, 6) + sf(0x60) + kEor;
const std::string kFormReady = in3270("U F U", 2, 10);

// The host's end of a TN3270 session: takes the program's connection, agrees
// on 3270 mode as a host does (terminal type, end of record, binary) and sends
// its first screen.
class Host3270 : public scripted::Host {
 public:
  ::testing::AssertionResult open() {
    if (!accept(10000)) return ::testing::AssertionFailure() << "no connection";
    const std::pair<Bytes, std::string> steps[] = {
        {Bytes{}, hex(kOpening)},
        {bytesOf({0xFF, 0xFD, 0x18}), "FF FB 18"},
        {bytesOf({0xFF, 0xFA, 0x18, 0x01, 0xFF, 0xF0}), "FF FA 18 00 " + hex(text("IBM-3278-2")) + " FF F0"},
        {bytesOf({0xFF, 0xFD, 0x19, 0xFF, 0xFB, 0x19, 0xFF, 0xFD, 0x00, 0xFF, 0xFB, 0x00}),
         "FF FB 19 FF FD 19 FF FB 00 FF FD 00"},
    };
    for (const auto& [sent, expected] : steps) {
      send(sent);
      const std::string got = gets(expected);
      if (got != expected) return ::testing::AssertionFailure() << "got " << got << ", expected " << expected;
    }
    send(kFormScreen);
    return ::testing::AssertionSuccess();
  }
  // What the program sends, as long as the expected text (hex) is.
  std::string gets(const std::string& expected) { return hex(receive((expected.size() + 1) / 3, 5000)); }
};

// A program connected to a 3270 host of the test that shows kFormScreen.
class Script3270Test : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(program.write("Connect(" + host.address() + ")\n"));
    ASSERT_TRUE(host.open());
    ASSERT_EQ(program.answer(), says(kFormReady));
  }
  Host3270 host;
  ScriptProgram program;
};

// ---- the demo host ------------------------------------------------------------------------

const std::map<int, std::string> kLogonPanel = {
    {0, " QUILLON DEMO HOST - LOGON"},
    {1, " " + std::string(79, '-')},
    {3, " Welcome. This host stands in for a mainframe, so that Quillon can be tried"},
    {4, " without one. Any user id and password are accepted."},
    {7, "   USERID   ===>            1 to 8 letters or digits"},
    {9, "   PASSWORD ===>            not shown, not checked"},
    {11, "   ACCOUNT  ===>            digits only, may be left empty"},
    {14, " Type a user id, press Tab, type any password, press Tab, type an account"},
    {15, " number if you like, then press Enter."},
    {23, " ENTER=Logon  PF1=Help  PF3=Exit  CLEAR=Redraw  PA1=Attention"},
};
const std::map<int, std::string> kMainMenu = {
    {0, " QUILLON DEMO HOST - MAIN MENU                            USER JOE"},
    {1, " " + std::string(79, '-')},
    {3, " Select an option and press Enter."},
    {5, "    1  BROWSE   A list of 60 records, paged with PF7 and PF8"},
    {6, "    2  STATUS   Information about this session"},
    {7, "    3  LOGOFF   End the session"},
    {10, "   OPTION ===>"},
    {22, " LOGON ACCEPTED - WELCOME, JOE"},
    {23, " ENTER=Select  PF1=Help  PF3=Logoff  CLEAR=Redraw  PA1=Attention"},
};

TEST(ScriptDemoHost, LogonBrowseAndLogoffWithEveryScreenAction) {
  DemoHost demo;
  ASSERT_GT(demo.port(), 0) << demo.firstLine();
  const std::string port = std::to_string(demo.port());
  ScriptProgram program;
  ASSERT_TRUE(program.started());
  const std::string logon = in3270("U F U", 7, 18), menu = in3270("U F U", 10, 16), list = in3270("U F U", 1, 14);
  const std::string record1 = " 0001  PAYROLL   BATCH    COMPLETE  Demonstration record 1 of 60";
  play(program, {
      {"Connect(127.0.0.1:" + port + ")", says(logon)},
      {"Wait(InputField)", says(logon)},
      {"Ascii", says(rows(kLogonPanel), logon)},
      {"Ascii(20)", says({"          1 to 8 let"}, logon)},
      {"Ascii(0, 75, 10)", says({"     ", " ----"}, logon)},
      {"Ascii(0, 0, 2, 10)", says({" QUILLON D", " ---------"}, logon)},
      {"String(\"joe\")", says(in3270("U F U", 7, 21))},
      // Typed text shows before it is stored into the field.
      {"Ascii(7, 0, 1, 30)", says({"   USERID   ===>  joe       1 "}, in3270("U F U", 7, 21))},
      {"AsciiField", says({"joe     "}, in3270("U F U", 7, 21))},
      {"Tab", says(in3270("U F U", 9, 18))},
      {"String(\"secret\")", says(in3270("U F U", 9, 24))},
      {"Ascii(9, 16, 10)", says({"          "}, in3270("U F U", 9, 24))},  // a hidden field
      {"Tab", says(in3270("U F U", 11, 18))},
      {"String \"42\"", says(in3270("U F U", 11, 20))},
      {"Enter", says(in3270("L F U", 11, 20))},
      {"String(\"x\")", fails("keyboard locked", in3270("L F U", 11, 20))},
      {"Wait(InputField)", says(menu)},
      {"Ascii", says(rows(kMainMenu), menu)},
      {"Snap", says(menu)},
      {"String(\"1\")", says(in3270("U F U", 10, 17))},
      {"Enter", says(in3270("L F U", 10, 17))},
      {"Wait(InputField)", says(list)},
      {"Ascii(4, 0, 1, 80)", says(rows({{4, record1}}, 4, 1), list)},
      {"PF(8)", says(in3270("L F U", 1, 14))},
      {"Wait(Unlock)", says(list)},
      {"Ascii(0, 56, 1, 17)", says({"LINES 18-34 OF 60"}, list)},
      {"Snap(Ascii)", says(rows(kMainMenu), list)},
      {"PF(3)", says(in3270("L F U", 1, 14))},
      {"Wait(InputField)", says(menu)},
      {"PA(1)", says(in3270("L F U", 10, 16))},
      {"Wait(Unlock)", says(menu)},
      {"Ascii(22, 0, 1, 80)", says(rows({{22, " PA1 PRESSED - THERE IS NOTHING TO INTERRUPT"}}, 22, 1), menu)},
      {"Clear", says(in3270("L F U", 10, 16))},
      {"Wait(InputField)", says(menu)},
      {"Ascii(22, 0, 1, 80)", says({kBlankRow}, menu)},
      {"Query(ConnectionState)", says({"connected-3270"}, menu)},
      {"Query(Cursor)", says({"10 16"}, menu)},
      {"Query(Formatted)", says({"formatted"}, menu)},
      {"Query(Host)", says({"host 127.0.0.1 " + port}, menu)},
      {"Query(LuName)", says({""}, menu)},
      {"Query(Model)", says({"IBM-3278-2"}, menu)},
      {"Query(Tls)", says({"not secure"}, menu)},
      {"PF(3)", says(in3270("L F U", 10, 16))},
      {"Wait(Disconnect)", says(kOffline)},
      {"Query(ConnectionState)", says({"not-connected"}, kOffline)},
      {"Quit", says(kOffline)},
  });
  EXPECT_EQ(program.finish(), 0);
  EXPECT_EQ(program.pendingOutput(), "");
}

// ---- a 3270 host of the test ----------------------------------------------------------------

// Each attention key sends its record, locks the keyboard (a String is refused)
// and the next record from the host unlocks it. Disconnect closes the connection.
TEST_F(Script3270Test, AttentionKeysSendTheirRecordsAndLockUntilTheNextRecord) {
  const std::string cursor = hex(address(2, 10));
  const struct {
    const char* action;
    std::string record;
  } keys[] = {
      {"Enter", "7D " + cursor},
      {"PF(1)", "F1 " + cursor},
      {"PF(12)", "7C " + cursor},
      {"PF(13)", "C1 " + cursor},
      {"PF(24)", "4C " + cursor},
      {"PA(1)", "6C"},
      {"PA(2)", "6E"},
      {"PA(3)", "6B"},
      {"Clear", "6D"},
      {"SysReq", "F0"},
  };
  const std::string locked = in3270("L F U", 2, 10);
  for (const auto& k : keys) {
    SCOPED_TRACE(k.action);
    EXPECT_EQ(program.run(k.action), says(locked));
    EXPECT_EQ(host.gets(k.record + " FF EF"), k.record + " FF EF");
    EXPECT_EQ(program.run("String(\"x\")"), fails("keyboard locked", locked));
    host.send(kUnlock);
    EXPECT_EQ(program.run("Wait(Unlock)"), says(kFormReady));
  }
  EXPECT_EQ(host.gets(""), "");  // nothing else was sent: the refused String stayed local
  EXPECT_EQ(program.run("Disconnect"), says(kOffline));
  EXPECT_TRUE(host.peerClosed());
  EXPECT_EQ(program.run("Wait(Disconnect)"), says(kOffline));
}

// MoveCursor and MoveCursor1 put the cursor where String then types: the
// Enter record carries the cursor and each field from its first position.
TEST_F(Script3270Test, MoveCursorIntoAFieldThenStringLandsThere) {
  const struct {
    std::vector<std::string> actions;
    int row, column;  // the cursor at the Enter
    Bytes fields;
  } cases[] = {
      {{"MoveCursor(2, 12)", "String(\"AB\")"}, 2, 14, at(2, 10) + ebcdic("  AB")},
      {{"MoveCursor1(3, 13)", "String(\"AB\")"}, 2, 14, at(2, 10) + ebcdic("  AB")},
      {{"MoveCursor(3, 10)", "String(\"AB\")"}, 3, 12, at(3, 10) + ebcdic("AB")},
      // Past what the field holds, which stays; EraseEOF ends the field at the cursor.
      {{"MoveCursor(3, 15)", "String(\"X\")"}, 3, 16, at(3, 10) + ebcdic("HELLOX")},
      {{"MoveCursor(3, 12)", "EraseEOF"}, 3, 12, at(3, 10) + ebcdic("HE")},
      // Back within the field being typed in: what was typed after the new
      // position is dropped, as Backspace drops it; on past the typing, blanks.
      {{"String(\"abc\")", "MoveCursor(2, 11)", "String(\"X\")"}, 2, 12, at(2, 10) + ebcdic("aX")},
      {{"String(\"ab\")", "MoveCursor(2, 14)", "String(\"X\")"}, 2, 15, at(2, 10) + ebcdic("ab  X")},
      // From protected text back into the field the keyboard was in.
      {{"MoveCursor(0, 3)", "MoveCursor(2, 12)", "String(\"X\")"}, 2, 13, at(2, 10) + ebcdic("  X")},
      {{"Tab", "String(\"c\")", "MoveCursor1(3, 11)", "String(\"n\")"}, 2, 11,
       at(2, 10) + ebcdic("n") + at(3, 10) + ebcdic("c")},
      {{"String(\"abc\")", "DeleteField", "String(\"Z\")"}, 2, 11, at(2, 10) + ebcdic("Z")},
      // BackTab: to the start of the field, and from there to the previous one.
      {{"String(\"ab\")", "BackTab", "String(\"X\")"}, 2, 11, at(2, 10) + ebcdic("X")},
      {{"BackTab", "String(\"7\")"}, 5, 77, at(5, 76) + ebcdic("7")},
      // Across the end of a row.
      {{"MoveCursor(6, 1)", "String(\"xy\")"}, 6, 3, at(5, 76) + ebcdic("     xy")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.actions.front() + " ... " + c.actions.back());
    for (const std::string& a : c.actions) EXPECT_TRUE(plainOk(program.run(a))) << a;
    EXPECT_EQ(program.run("Enter"), says(in3270("L F U", c.row, c.column)));
    const std::string record = "7D " + hex(address(c.row, c.column) + c.fields) + " FF EF";
    EXPECT_EQ(host.gets(record), record);
    host.send(kFormScreen);
    EXPECT_EQ(program.run("Wait(InputField)"), says(kFormReady));
  }
}

// ---- an NVT host of the test ------------------------------------------------------------------

// A host that starts no 3270 negotiation: the session is a VT100 one. Keys go
// to the host as the VT100 keyboard sends them, Ascii reads the NVT screen and
// Wait(Output) waits for the host's next change to it.
TEST(ScriptNvtHost, KeysGoOutAsTheVt100SendsThemAndAsciiReadsTheScreen) {
  scripted::Host host;
  ScriptProgram program;
  ASSERT_TRUE(program.started());
  ASSERT_TRUE(program.write("Connect(" + host.address() + ")\n"));
  ASSERT_TRUE(host.accept(10000));
  EXPECT_EQ(hex(host.receive(kOpening.size())), hex(kOpening));
  host.send(text("Welcome\r\nlogin: "));
  EXPECT_EQ(program.answer(), says(inNvt(1, 7)));
  const std::string login = inNvt(1, 7);
  play(program, {
      {"Ascii(0, 0, 2, 10)", says({"Welcome   ", "login:    "}, login)},
      {"Query(ConnectionState)", says({"connected-nvt"}, login)},
      {"Query(Formatted)", says({"unformatted"}, login)},
      {"PF(1)", fails("not in 3270 mode", login)},
      {"MoveCursor(0, 0)", fails("not in 3270 mode", login)},
      {"AsciiField", fails("the screen is not formatted", login)},
      {"Wait(0.1, Output)", fails("timed out waiting", login)},
  });
  const struct {
    const char* action;
    std::string sent;
  } keys[] = {
      {"String(\"joe\")", "6A 6F 65"},
      {"Enter", "0D"},
      {"Tab", "09"},
      {"BackSpace", "08"},
      {"String(\"a\\tb\\bc\\n\")", "61 09 62 08 63 0D"},
  };
  for (const auto& k : keys) {
    EXPECT_EQ(program.run(k.action), says(login)) << k.action;
    EXPECT_EQ(hex(host.receive((k.sent.size() + 1) / 3)), k.sent) << k.action;
  }
  host.send(text("\r\nPassword: "));
  play(program, {
      {"Wait(Output)", says(inNvt(2, 10))},
      {"Ascii(2, 0, 1, 12)", says({"Password:   "}, inNvt(2, 10))},
  });
  host.send(text("\x1b[2J\x1b[5;10HHI"));
  play(program, {
      {"Wait(Output)", says(inNvt(4, 11))},
      {"Ascii(0, 0, 5, 12)",
       says({"            ", "            ", "            ", "            ", "         HI "}, inNvt(4, 11))},
  });
  // Text after "~{" on a row is shifted into the upper half as the window
  // shows it, so the script reads blanks there too.
  host.send(text("\x1b[6;3HXY\x1b[6;1H~{"));
  play(program, {
      {"Wait(Output)", says(inNvt(5, 2))},
      {"Ascii(5, 0, 1, 6)", says({"~{    "}, inNvt(5, 2))},
  });
  host.closeConnection();
  play(program, {
      {"Wait(Disconnect)", says(kOffline)},
      {"Quit", says(kOffline)},
  });
  EXPECT_EQ(program.finish(), 0);
}

// ---- options ------------------------------------------------------------------------------

TEST(ScriptOptions, UnknownOptionsGetTheUsageAndExitCode1) {
  const std::vector<std::vector<std::string>> cases = {
      {"-bogus"}, {"--help"}, {"-model", "6"}, {"-model", "3279-2-X"}, {"-model"}, {"-xrm"}, {"host1", "host2"}, {"-"},
  };
  const std::string usage = "usage: quillon-script [-xrm RESOURCE] [-model 3279-4-E] [-trace] [host]\n";
  for (const auto& args : cases) {
    ScriptProgram program(args);
    EXPECT_EQ(program.finish(), 1) << args[0];
    EXPECT_EQ(program.pendingOutput(), "") << args[0];
    EXPECT_EQ(program.errors().substr(0, usage.size()), usage) << args[0];
  }
}

TEST(ScriptOptions, KnownOptionsAreAcceptedAndAHostGivenIsConnectedFirst) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"-xrm", "s3270.unlockDelay: False", "-model", "2"}, {"-model", "3278-2", "-trace"}, {}}) {
    ScriptProgram program(args);
    EXPECT_EQ(program.run("Query(Model)"), says({"IBM-3278-2"}, kOffline));
    EXPECT_EQ(program.finish(), 0);  // the end of input ends the program
    EXPECT_EQ(program.errors(), "");
  }
  DemoHost demo;
  ASSERT_GT(demo.port(), 0) << demo.firstLine();
  ScriptProgram program({"-xrm", "s3270.unlockDelay: False", "127.0.0.1:" + std::to_string(demo.port())});
  EXPECT_EQ(program.run("Wait(InputField)"), says(in3270("U F U", 7, 18)));
  EXPECT_EQ(program.run("Quit"), says(kOffline));
  EXPECT_EQ(program.finish(), 0);
  // A host that cannot be reached: the reason on standard error, and the
  // actions go on without a connection.
  const std::string nowhere = "127.0.0.1:" + std::to_string(scripted::Host().port());
  ScriptProgram unreachable({nowhere});
  EXPECT_EQ(unreachable.run("Query(ConnectionState)"), says({"not-connected"}, kOffline));
  EXPECT_EQ(unreachable.finish(), 0);
  EXPECT_EQ(unreachable.errors(), "quillon-script: " + kResetReport + "\n");
}

// ---- bad input --------------------------------------------------------------------------------

// Each bad line gets an error with its reason and the program goes on: the
// next line is answered as usual.
TEST(ScriptBadInput, EachGetsAnErrorWithItsReasonAndTheProgramGoesOn) {
  ScriptProgram program;
  ASSERT_TRUE(program.started());
  const std::vector<std::pair<std::string, std::string>> offline = {
      {"Bogus", "Unknown action: Bogus"},
      {"Bogus(1, \"two\")", "Unknown action: Bogus"},
      {"(", "syntax error: an action name must come first"},
      {"\"Ascii\"", "syntax error: an action name must come first"},
      {"String(\"abc", "syntax error: unterminated string"},
      {"String(\"abc\\\")", "syntax error: unterminated string"},
      {"String \"abc", "syntax error: unterminated string"},
      {"String(\"abc\"", "syntax error: missing )"},
      {"String(\"a\") x", "syntax error: text after )"},
      {"String x)", "syntax error: unexpected )"},
      {"String(a(b))", "syntax error: unexpected ("},
      {"Enter(1)", "Enter takes 0 argument(s)"},
      {"PF", "PF takes 1 argument(s)"},
      {"PF(1, 2)", "PF takes 1 argument(s)"},
      {"MoveCursor(1)", "MoveCursor takes 2 argument(s)"},
      {"Wait()", "Wait takes 1 to 2 argument(s)"},
      {"Wait(1, 2, Output)", "Wait takes 1 to 2 argument(s)"},
      {"Connect", "Connect takes 1 argument(s)"},
      {"String()", "String takes 1 to 64 argument(s)"},
      {"Quit(now)", "Quit takes no arguments"},
      {"Wait(-1, Output)", "the timeout must be a number of seconds"},
      {"Wait(1e400, Seconds)", "the timeout must be a number of seconds"},
      {"Wait(nan, Seconds)", "the timeout must be a number of seconds"},
      {"Wait(1, Bogus)", "Wait takes InputField, Output, Unlock, Disconnect, 3270Mode, NVTMode or Seconds"},
      {"Snap(Ascii)", "no snapshot taken"},
      {"Query(Bogus)",
       "Query takes ConnectionState, Cursor, Formatted, Host, LuName, Model, ScreenSize, ScreenSizeCurrent, "
       "ScreenSizeMax, TerminalName or Tls"},
  };
  for (const auto& [line, why] : offline) EXPECT_EQ(program.run(line), fails(why, kOffline)) << line;
  // Everything that needs a host, without one.
  for (const char* line : {"String(\"x\")",
                           "Enter",
                           "Tab",
                           "BackTab",
                           "Home",
                           "BackSpace",
                           "Clear",
                           "SysReq",
                           "PF(1)",
                           "PA(1)",
                           "MoveCursor(0, 0)",
                           "MoveCursor1(1, 1)",
                           "DeleteField",
                           "EraseEOF",
                           "Ascii",
                           "Ascii(1)",
                           "AsciiField",
                           "Snap",
                           "Wait(InputField)",
                           "Wait(Output)",
                           "Wait(Unlock)",
                           "Wait(3270Mode)",
                           "Wait(NVTMode)"})
    EXPECT_EQ(program.run(line), fails("not connected", kOffline)) << line;

  Host3270 host;
  ASSERT_TRUE(program.write("Connect(" + host.address() + ")\n"));
  ASSERT_TRUE(host.open());
  ASSERT_EQ(program.answer(), says(kFormReady));
  const std::vector<std::pair<std::string, std::string>> online = {
      {"Connect(" + host.address() + ")", "already connected"},
      {"MoveCursor(24, 0)", "row or column off the screen"},
      {"MoveCursor(0, 80)", "row or column off the screen"},
      {"MoveCursor(-1, 0)", "row or column off the screen"},
      {"MoveCursor(99999999999999999999, 0)", "row or column off the screen"},
      {"MoveCursor(1x, 0)", "row or column off the screen"},
      {"MoveCursor1(0, 1)", "row or column off the screen"},
      {"MoveCursor1(25, 80)", "row or column off the screen"},
      {"MoveCursor1(24, 81)", "row or column off the screen"},
      {"Ascii(24, 0, 1)", "row or column off the screen"},
      {"Ascii(0, -1, 1)", "row or column off the screen"},
      {"Ascii(0, 0, 1921)", "length off the screen"},
      {"Ascii(23, 79, 2)", "length off the screen"},
      {"Ascii(1751)", "length off the screen"},  // from the cursor at (2, 10), one past the end
      {"Ascii(-1)", "length off the screen"},
      {"Ascii(0, 0, 25, 1)", "rows or columns off the screen"},
      {"Ascii(0, 79, 1, 2)", "rows or columns off the screen"},
      {"Ascii(0, 0, 0, 1)", "rows or columns off the screen"},
      {"Ascii(1, 2)", "Ascii takes 0, 1, 3 or 4 arguments"},
      {"PF(0)", "PF takes a number from 1 to 24"},
      {"PF(25)", "PF takes a number from 1 to 24"},
      {"PF(x)", "PF takes a number from 1 to 24"},
      {"PA(4)", "PA takes a number from 1 to 3"},
      {"Snap(Bogus)", "Snap takes Save or Ascii"},
      {"Wait(0.1, Output)", "timed out waiting"},
      {"Wait(0.1, NVTMode)", "timed out waiting"},
  };
  for (const auto& [line, why] : online) EXPECT_EQ(program.run(line), fails(why, kFormReady)) << line;
  // Typing where the keyboard cannot: what went in before stays.
  play(program, {
      // Past blanks of a numeric field: the cursor stops at the field's start.
      {"MoveCursor(4, 12)", fails("the keyboard cannot reach that position", in3270("U F U", 4, 10))},
      {"String(\"12a\")", fails("the field takes digits only", in3270("U F U", 4, 12))},
      {"MoveCursor(2, 10)", says(kFormReady)},
      {"String(\"ABCDEFGHI\")", fails("the field is full", in3270("U F P", 2, 18))},
      {"MoveCursor(0, 3)", says(in3270("U F P", 0, 3))},
      {"String(\"x\")", fails("the cursor is in a protected field", in3270("U F P", 0, 3))},
      {"EraseEOF", fails("the cursor is in a protected field", in3270("U F P", 0, 3))},
  });

  // A line of a megabyte, quoted or not, and the next line still answered.
  for (const std::string& huge : {"String(\"" + std::string(1 << 20, 'A') + "\")", std::string(1 << 20, 'A')}) {
    ASSERT_TRUE(program.write(huge + "\n", 30000));
    EXPECT_EQ(shortened(program.answer(30000)),
              fails("line too long (more than 65536 characters)", in3270("U F P", 0, 3)));
  }
  EXPECT_EQ(program.run("Query(Cursor)"), says({"0 3"}, in3270("U F P", 0, 3)));

  // The host closes while the program waits for it.
  EXPECT_EQ(program.run("MoveCursor(2, 10)"), says(kFormReady));
  EXPECT_EQ(program.run("Enter"), says(in3270("L F U", 2, 10)));
  ASSERT_TRUE(program.write("Wait(InputField)\n"));
  const std::string record = "7D C2 6A " + hex(at(2, 10) + ebcdic("ABCDEFGH") + at(4, 10) + ebcdic("12")) + " FF EF";
  EXPECT_EQ(host.gets(record), record);
  host.closeConnection();
  EXPECT_EQ(program.answer(), fails("the host closed the connection", kOffline));
  EXPECT_EQ(program.run("Wait(Disconnect)"), says(kOffline));

  // A host that closes as soon as it has taken the connection.
  ASSERT_TRUE(program.write("Connect(" + host.address() + ")\n"));
  ASSERT_TRUE(host.accept(10000));
  host.closeConnection();
  // Whether the close or the terminal's opening sends come first decides the
  // reason: the close itself, or the terminal's report of the refused sends.
  const std::string closed = program.answer();
  EXPECT_TRUE(closed.rfind("data: the host closed the connection", 0) == 0 ||
              closed.rfind("data: " + kResetReport, 0) == 0)
      << closed;
  EXPECT_EQ(closed.substr(closed.find('\n')), "\n" + kOffline + "\nerror");
  // One that refuses it (reported, as the terminal reports it, by its opening
  // sends), and a host text that is not one.
  host.stopListening();
  EXPECT_EQ(program.run("Connect(" + host.address() + ")"), fails(kResetReport, kOffline));
  EXPECT_EQ(program.run("Connect(bad!lu@127.0.0.1)"),
            fails("The LU name \"bad!lu\" is not valid: it must be 1 to 8 letters, digits, #, @ or $.", kOffline));
  EXPECT_EQ(program.run("Query(ConnectionState)"), says({"not-connected"}, kOffline));
  EXPECT_EQ(program.run("Quit"), says(kOffline));
  EXPECT_EQ(program.finish(), 0);
}

// ---- beside s3270 ------------------------------------------------------------------------------

// An answer with the status fields that may rightly differ written "-".
// After an attention key s3270 answers once the host has answered,
// quillon-script at once with the keyboard locked: the keyboard, protected
// and cursor fields of that status line tell when the answer came. Without a
// connection quillon-script has no screen (the terminal window goes with the
// connection) where s3270 keeps the last one: formatted and protected differ.
std::string comparable(const std::string& answer, bool attention) {
  std::vector<std::string> lines;
  for (size_t at = 0; at <= answer.size();) {
    const size_t nl = std::min(answer.find('\n', at), answer.size());
    lines.push_back(answer.substr(at, nl - at));
    at = nl + 1;
  }
  if (lines.size() >= 2) {
    std::vector<std::string> fields;
    std::string field;
    for (char ch : lines[lines.size() - 2] + " ") {
      if (ch != ' ') {
        field += ch;
        continue;
      }
      fields.push_back(field);
      field.clear();
    }
    const bool offline = fields.size() > 3 && fields[3] == "N";
    for (size_t f : {0, 2, 8, 9})
      if (f < fields.size() && attention) fields[f] = "-";
    for (size_t f : {1, 2})
      if (f < fields.size() && offline) fields[f] = "-";
    std::string status;
    for (const std::string& f : fields) status += (status.empty() ? "" : " ") + f;
    lines[lines.size() - 2] = status;
  }
  std::string out;
  for (const std::string& l : lines) out += l + "\n";
  return out;
}

// The same script against the same demo host through s3270 and quillon-script:
// every data line and every status field the two define must agree.
TEST(ScriptBesideS3270, TheSameScriptGivesTheSameDataAndStatus) {
  if (std::system("command -v s3270 >/dev/null 2>&1") != 0) GTEST_SKIP() << "s3270 is not installed";
  DemoHost demo;
  ASSERT_GT(demo.port(), 0) << demo.firstLine();
  const std::vector<std::string> script = {
      "Connect(127.0.0.1:" + std::to_string(demo.port()) + ")",
      "Wait(InputField)",
      "Ascii",
      "Query(ConnectionState)",
      "Query(Cursor)",
      "Query(Formatted)",
      "Query(Host)",
      "Query(LuName)",
      "Query(Tls)",
      "Ascii(20)",
      "Ascii(0, 75, 10)",
      "Ascii(0, 0, 2, 10)",
      "String(\"joe\")",
      "AsciiField",
      "Ascii(7, 0, 1, 30)",
      "Tab",
      "String(\"secret\")",
      "Ascii(9, 16, 10)",
      "Tab",
      "String(\"42\")",
      "BackTab",
      "Tab",
      "Home",
      "Enter",
      "Wait(InputField)",
      "Ascii",
      "Snap",
      "String(\"1\")",
      "Enter",
      "Wait(InputField)",
      "Ascii",
      "PF(8)",
      "Wait(InputField)",
      "Ascii(0, 0, 6, 80)",
      "Snap(Ascii)",
      "PF(7)",
      "Wait(InputField)",
      "Ascii(22, 0, 1, 80)",
      "PF(3)",
      "Wait(InputField)",
      "MoveCursor(10, 16)",
      "String(\"9\")",
      "Enter",
      "Wait(InputField)",
      "Ascii(22, 0, 1, 80)",
      "PA(1)",
      "Wait(InputField)",
      "Ascii(22, 0, 1, 80)",
      "Clear",
      "Wait(InputField)",
      "Ascii",
      "PF(3)",
      "Wait(Disconnect)",
      "Query(ConnectionState)",
      "Quit",
  };
  // The demo host offers TN3270E, which s3270 takes with any model: its N: prefix keeps it to
  // TN3270, as the default model does.
  const auto transcript = [&](ScriptProgram& program, const std::string& prefix = "") {
    std::vector<std::string> answers;
    for (const std::string& line : script)
      answers.push_back(program.run(&line == &script[0] ? "Connect(" + prefix + line.substr(8) : line));
    EXPECT_EQ(program.finish(), 0);
    return answers;
  };
  ScriptProgram reference({"-model", "3278-2", "-xrm", "s3270.unlockDelay: False"}, "s3270");
  const std::vector<std::string> expected = transcript(reference, "N:");
  ASSERT_NE(expected[1].find(" C(127.0.0.1) I "), std::string::npos) << "s3270 did not connect: " << expected[1];
  ScriptProgram quillon({"-model", "3278-2", "-xrm", "s3270.unlockDelay: False"});
  const std::vector<std::string> got = transcript(quillon);
  for (size_t i = 0; i < script.size(); ++i) {
    const std::string& s = script[i];
    const bool attention = s == "Enter" || s == "Clear" || s.rfind("PF(", 0) == 0 || s.rfind("PA(", 0) == 0;
    EXPECT_EQ(comparable(got[i], attention), comparable(expected[i], attention)) << s;
  }
}

}  // namespace
