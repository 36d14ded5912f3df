// Connecting end to end: the Connect command, the host dialog, the socket's
// events through the message loop, whole 3270 and VT100 sessions against a
// host played by the test on 127.0.0.1, the same sessions with every host
// write cut into single bytes, the host closing, a refused connection, a
// cancelled dialog, reconnecting, and the trace log of a session.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "net/connection.h"
#include "net/socket_io.h"
#include "session_fixture.h"
#include "socket_host.h"
#include "ui/resource.h"
#include "vt100/nvt_screen.h"

namespace {

using posix::testing::messageBoxes;

const char kCaptionPrefix[] = "Quillon  Host:  ";

// What a session left: the bytes the host received at each step and the
// window's rows at each check.
struct SessionRecord {
  std::vector<std::string> wire;
  std::vector<std::string> screens;
};

class ConnectionTest : public SessionFixture {
 protected:
  // The VT100 layout that the window's layout message sets up.
  void layOutForVt100() {
    CommTcp* t = terminal();
    t->nvtColumns = 81;
    t->nvtRows = 25;
    t->scrollRegion = RECT{0, 0, 80 * t->cellWidth, 24 * t->cellHeight};
    SetScrollRange(hwnd, SB_VERT, 0, 100, FALSE);
    SetScrollPos(hwnd, SB_VERT, 100, TRUE);
    t->nvtViewTop = 100;
  }

  SessionRecord run3270Session();
  SessionRecord runVt100Session();
};

// The sessions run with the host writing whole blocks, and again with every
// write cut into pieces of the parameter's size, each read by the terminal
// before the next goes out: the wire and the screens must not differ.
class SessionTest : public ConnectionTest, public ::testing::WithParamInterface<size_t> {
 protected:
  void SetUp() override {
    ConnectionTest::SetUp();
    piece = GetParam();
  }
};

INSTANTIATE_TEST_SUITE_P(HostWrites, SessionTest, ::testing::Values(size_t{0}, size_t{1}, size_t{5}),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                           return info.param == 0 ? std::string("Whole") : "InPiecesOf" + std::to_string(info.param);
                         });

// ---- a 3270 session ---------------------------------------------------------------------------

// Erase/Write: a protected "HELLO" on row 0, an input field at row 1 from
// column 1 to 19 with the cursor in it, a protected "NAME" label after it.
const Bytes kLogonScreen = bytesOf({0xF5, 0xC3, 0x11, 0x40, 0x40, 0x1D, 0x60, 0xC8, 0xC5, 0xD3, 0xD3, 0xD6,
                                    0x11, 0xC1, 0x50, 0x1D, 0x40, 0x13, 0x11, 0xC1, 0xE4, 0x1D, 0x60, 0xD5,
                                    0xC1, 0xD4, 0xC5, 0xFF, 0xEF});
// Erase/Write: a protected "WELCOME JOE" on row 0.
const Bytes kWelcomeScreen = bytesOf({0xF5, 0xC3, 0x11, 0x40, 0x40, 0x1D, 0x60, 0xE6, 0xC5, 0xD3, 0xC3, 0xD6,
                                      0xD4, 0xC5, 0x40, 0xD1, 0xD6, 0xC5, 0xFF, 0xEF});

SessionRecord ConnectionTest::run3270Session() {
  SessionRecord r;
  scripted::Host host;
  connectTo(host, DialogAnswer{});
  if (HasFatalFailure()) return r;
  EXPECT_EQ(caption(), kCaptionPrefix + host.address());
  EXPECT_EQ(terminal()->terminalType, 3);

  hostWrites(host, bytesOf({0xFF, 0xFD, 0x18}));  // DO TERMINAL-TYPE
  r.wire.push_back(hex(host.receive(3)));
  hostWrites(host, bytesOf({0xFF, 0xFA, 0x18, 0x01, 0xFF, 0xF0}));  // SEND your type
  r.wire.push_back(hex(host.receive(16)));
  hostWrites(host, bytesOf({0xFF, 0xFD, 0x19, 0xFF, 0xFB, 0x19}));  // DO / WILL EOR
  r.wire.push_back(hex(host.receive(6)));
  hostWrites(host, bytesOf({0xFF, 0xFD, 0x00, 0xFF, 0xFB, 0x00}));  // DO / WILL BINARY
  r.wire.push_back(hex(host.receive(6)));
  EXPECT_EQ(terminal()->terminalMode, 15);

  hostWrites(host, kLogonScreen);
  r.screens.push_back(screenRows(3, 30));
  r.screens.push_back(std::to_string(terminal()->cursorRow) + "," + std::to_string(terminal()->cursorColumn));

  // The user types JOE into the field and presses Enter.
  CommTcp* t = terminal();
  t->PutFieldInfoToBuff("JOE", 3);
  t->outboundLength = 0;
  t->send_message_NewTrans();
  SendData(hwnd, t->socketHandle, t->traceFile, t->outboundRecord, t->outboundLength);
  r.wire.push_back(hex(host.receive(11)));

  hostWrites(host, kWelcomeScreen);
  r.screens.push_back(screenRows(3, 30));

  host.closeConnection();
  EXPECT_TRUE(windowEnded());
  EXPECT_EQ(posix::testing::quitCode(), 0);
  EXPECT_TRUE(messageBoxes().empty());
  return r;
}

TEST_P(SessionTest, Ibm3270OnTheWireAndOnTheScreen) {
  const SessionRecord r = run3270Session();
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_EQ(r.wire.size(), 5u);
  EXPECT_EQ(r.wire[0], "FF FB 18");
  EXPECT_EQ(r.wire[1], "FF FA 18 00 49 42 4D 2D 33 32 37 38 2D 32 FF F0");
  EXPECT_EQ(r.wire[2], "FF FB 19 FF FD 19");
  EXPECT_EQ(r.wire[3], "FF FB 00 FF FD 00");
  // Enter: cursor (1, 1), the field from address 81 with "JOE", IAC EOR.
  EXPECT_EQ(r.wire[4], "7D C1 D1 11 C1 D1 D1 D6 C5 FF EF");
  ASSERT_EQ(r.screens.size(), 3u);
  EXPECT_EQ(r.screens[0],
            " HELLO|\n"
            "                     NAME|\n"
            "|\n");
  EXPECT_EQ(r.screens[1], "1,1");
  EXPECT_EQ(r.screens[2],
            " WELCOME JOE|\n"
            "|\n"
            "|\n");
}


// ---- a VT100 session --------------------------------------------------------------------------

SessionRecord ConnectionTest::runVt100Session() {
  SessionRecord r;
  scripted::Host host;
  DialogAnswer answer;
  answer.vt100 = true;
  connectTo(host, answer);
  if (HasFatalFailure()) return r;
  EXPECT_EQ(terminal()->terminalType, 2);
  layOutForVt100();

  hostWrites(host, bytesOf({0xFF, 0xFD, 0x18}));
  r.wire.push_back(hex(host.receive(3)));
  hostWrites(host, bytesOf({0xFF, 0xFA, 0x18, 0x01, 0xFF, 0xF0}));
  r.wire.push_back(hex(host.receive(11)));
  hostWrites(host, bytesOf({0xFF, 0xFB, 0x01, 0xFF, 0xFB, 0x03}));  // WILL ECHO, WILL SGA
  r.wire.push_back(hex(host.receive(6)));
  EXPECT_EQ(terminal()->terminalMode, 2);

  hostWrites(host, text("\x1b[H\x1b[2JWelcome\r\n\x1b[3;1Habc\x1b[2DZ\x1b[5;10HX"));
  r.screens.push_back(screenRows(6, 20));
  r.screens.push_back(std::to_string(terminal()->cursorRow) + "," + std::to_string(terminal()->cursorColumn));

  // Thirty lines from the bottom row push the first rows into the history.
  std::string lines = "\x1b[24;1H";
  for (int i = 1; i <= 30; ++i) lines += "line " + std::to_string(i) + "\r\n";
  lines += "end";
  hostWrites(host, text(lines));
  r.screens.push_back(screenRows(25, 20));
  // The history rows above the live screen (buffer row 100), oldest first.
  CommTcp* t = terminal();
  std::string history;
  for (int row = 70; row < 100; ++row) {
    std::string line(&t->nvtChars[t->NvtCellIndex(row, 0)], 20);
    line.erase(line.find_last_not_of(' ') + 1);
    history += line + "|\n";
  }
  r.screens.push_back(history);

  host.closeConnection();
  EXPECT_TRUE(windowEnded());
  EXPECT_EQ(posix::testing::quitCode(), 0);
  EXPECT_TRUE(messageBoxes().empty());
  return r;
}

TEST_P(SessionTest, Vt100OnTheWireAndOnTheScreen) {
  const SessionRecord r = runVt100Session();
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_EQ(r.wire.size(), 3u);
  EXPECT_EQ(r.wire[0], "FF FB 18");
  EXPECT_EQ(r.wire[1], "FF FA 18 00 56 54 31 30 30 FF F0");
  EXPECT_EQ(r.wire[2], "FF FD 01 FF FD 03");
  ASSERT_EQ(r.screens.size(), 4u);
  EXPECT_EQ(r.screens[0],
            "Welcome|\n"
            "|\n"
            "aZc|\n"
            "|\n"
            "         X|\n"
            "|\n");
  EXPECT_EQ(r.screens[1], "4,10");
  // From row 23, thirty lines and "end" on the bottom row scroll 29 rows out.
  std::string screen;
  for (int i = 7; i <= 30; ++i) screen += "line " + std::to_string(i) + "|\n";
  EXPECT_EQ(r.screens[2], screen + "end|\n");
  std::string history = "|\nWelcome|\n|\naZc|\n|\n         X|\n";
  for (int row = 5; row <= 22; ++row) history += "|\n";
  for (int i = 1; i <= 6; ++i) history += "line " + std::to_string(i) + "|\n";
  EXPECT_EQ(r.screens[3], history);
}


// ---- the end of a connection --------------------------------------------------------------------

TEST_F(ConnectionTest, HostClosingRightAfterTheConnectionEndsTheProgramQuietly) {
  scripted::Host host;
  connectTo(host, DialogAnswer{});
  ASSERT_FALSE(HasFatalFailure());
  host.closeConnection();
  EXPECT_TRUE(windowEnded());
  EXPECT_EQ(posix::testing::quitCode(), 0);
  EXPECT_TRUE(messageBoxes().empty());
}

TEST_F(ConnectionTest, ExitCommandClosesTheConnection) {
  scripted::Host host;
  connectTo(host, DialogAnswer{});
  ASSERT_FALSE(HasFatalFailure());
  SendMessageA(hwnd, WM_COMMAND, IDM_EXIT, 0);
  EXPECT_TRUE(windowEnded());
  EXPECT_TRUE(host.peerClosed());
  EXPECT_EQ(posix::testing::quitCode(), 0);
}

// Each of the six opening sends on a connection that never came up fails with
// its own box; the window stays. (Which error code the socket layer gives for
// such a send is the layer's; the box names it and the step.)
void expectSixFailedOpeningSends(HWND hwnd) {
  ASSERT_EQ(messageBoxes().size(), 6u);
  for (const posix::MessageBoxRecord& box : messageBoxes()) {
    EXPECT_EQ(box.owner, hwnd);
    EXPECT_EQ(box.caption, "Sending A Char");
    EXPECT_EQ(box.text.rfind("Errror 100", 0), 0u) << box.text;
    const std::string tail = " occurred in Sending A Char";
    ASSERT_GT(box.text.size(), tail.size());
    EXPECT_EQ(box.text.substr(box.text.size() - tail.size()), tail);
    EXPECT_EQ(box.text, messageBoxes()[0].text);
  }
}

// A refused connection still completes the connect event: the negotiation is
// attempted, connected is 1 regardless, and nothing closes the window.
TEST_F(ConnectionTest, RefusedConnectionReportsEachOpeningSend) {
  const uint16_t port = sockhost::unusedLoopbackPort();
  answerDialog(DialogAnswer{"127.0.0.1:" + std::to_string(port)});
  SendMessageA(hwnd, WM_COMMAND, IDM_CONNECT, 0);
  ASSERT_TRUE(pumpUntil([&] { return terminal() && terminal()->connected == 1; }));
  posix::testing::pumpFor(50);
  expectSixFailedOpeningSends(hwnd);
  EXPECT_TRUE(IsWindow(hwnd));
  EXPECT_EQ(terminal()->connected, 1);
}

TEST_F(ConnectionTest, CancelledDialogEndsTheProgram) {
  DialogAnswer answer;
  answer.cancel = true;
  answerDialog(answer);
  SendMessageA(hwnd, WM_COMMAND, IDM_CONNECT, 0);
  EXPECT_EQ(dialogsShown, 1);
  ASSERT_EQ(messageBoxes().size(), 1u);
  EXPECT_EQ(messageBoxes()[0].owner, hwnd);
  EXPECT_EQ(messageBoxes()[0].caption, "Cancel Adress Selection");
  EXPECT_EQ(messageBoxes()[0].text, "You have cancelled the internet address selection, Please try again later");
  EXPECT_EQ(messageBoxes()[0].type & 0xF, static_cast<UINT>(MB_OK));
  EXPECT_EQ(caption(), "Quillon");
  EXPECT_TRUE(windowEnded());
  EXPECT_EQ(posix::testing::quitCode(), 0);
}

// ---- the host dialog -----------------------------------------------------------------------------

TEST_F(ConnectionTest, HostDialogStartsFromTheDefaultHost) {
  std::string shown;
  int listed = -1;
  std::string entry;
  bool ibm = false, vt100 = true, trace = true;
  DialogAnswer answer;
  answer.cancel = true;
  answerDialog(answer, [&](HWND dialog) {
    char buffer[64] = {};
    GetDlgItemTextA(dialog, IDC_HOSTNAME, buffer, sizeof buffer);
    shown = buffer;
    listed = static_cast<int>(SendDlgItemMessageA(dialog, IDC_HOSTNAME, CB_GETCOUNT, 0, 0));
    SendDlgItemMessageA(dialog, IDC_HOSTNAME, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(buffer));
    entry = buffer;
    ibm = IsDlgButtonChecked(dialog, IDC_IBM3270) == BST_CHECKED;
    vt100 = IsDlgButtonChecked(dialog, IDC_VT100) == BST_CHECKED;
    trace = IsDlgButtonChecked(dialog, IDC_TRACE) == BST_CHECKED;
  });
  char host[HOST_NAME_SIZE] = "previous.host";
  EXPECT_EQ(ncTcpGetHostName(GetModuleHandleA(nullptr), hwnd, host), 0);
  EXPECT_EQ(dialogCaption, "Destination Host");
  // The test program's command line names no host: the fixed default.
  EXPECT_EQ(shown, "localhost:2323");
  EXPECT_EQ(listed, 1);
  EXPECT_EQ(entry, "localhost:2323");
  EXPECT_TRUE(ibm);
  EXPECT_FALSE(vt100);
  EXPECT_FALSE(trace);
}

TEST_F(ConnectionTest, HostDialogResultGoesToTheTerminal) {
  struct Case {
    const char* name;
    std::string typed;
    bool vt100, trace;
    int modeBefore;
    std::string host;
    int type, mode, traceRequested;
    std::string model = "";  // chosen in the list
    const char* modelAfter = "3278-2";
    const char* modelSetting = "";  // [3270] Model= afterwards
  } cases[] = {
      {"IbmKeepsNegotiatedBits", "10.0.0.1", false, false, 7, "10.0.0.1", 3, 15, 0},
      {"Vt100ClearsTheIbmBit", "10.0.0.1", true, true, 15, "10.0.0.1", 2, 7, 1},
      {"LongNameIsCut", std::string(45, 'h'), false, true, 0, std::string(39, 'h'), 3, 8, 1},
      {"ModelChosenAndKept", "10.0.0.1", false, false, 0, "10.0.0.1", 3, 8, 0, "3279-4-E", "3279-4-E", "3279-4-E"},
      {"ModelOfferedIsTheTerminals", "10.0.0.1", false, false, 0, "10.0.0.1", 3, 8, 0, "", "3279-4-E", "3279-4-E"},
      {"AVt100LeavesTheModel", "10.0.0.1", true, false, 0, "10.0.0.1", 2, 0, 0, "3278-3", "3279-4-E", "3279-4-E"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    terminal()->terminalMode = c.modeBefore;
    DialogAnswer answer;
    answer.host = c.typed;
    answer.vt100 = c.vt100;
    answer.trace = c.trace;
    modelChoice = c.model;
    answerDialog(answer);
    char host[HOST_NAME_SIZE + 8];
    std::memset(host, 'z', sizeof host);
    ASSERT_EQ(ncTcpGetHostName(GetModuleHandleA(nullptr), hwnd, host), 1);
    EXPECT_EQ(std::string(host), c.host);
    EXPECT_EQ(host[HOST_NAME_SIZE], 'z');  // nothing written past the 40 bytes
    // The connection and the caption have the whole text.
    EXPECT_EQ(caption(), kCaptionPrefix + c.typed);
    EXPECT_EQ(std::string(terminal()->hostText), c.typed);
    EXPECT_EQ(terminal()->terminalType, c.type);
    EXPECT_EQ(terminal()->terminalMode, c.mode);
    EXPECT_EQ(terminal()->traceRequested, c.traceRequested);
    EXPECT_EQ(TerminalModelName(terminal()->modelScreen.model), c.modelAfter);
    char setting[32] = {};
    GetPrivateProfileStringA("3270", "Model", "", setting, sizeof setting, ".\\quillon.ini");
    EXPECT_STREQ(setting, c.modelSetting);
  }
  EXPECT_TRUE(messageBoxes().empty());
}

// ---- connecting again --------------------------------------------------------------------------

TEST_F(ConnectionTest, ConnectWhileConnectedClosesTheOldConnectionBeforeTheDialog) {
  scripted::Host first;
  DialogAnswer answer;
  answer.trace = true;
  connectTo(first, answer);
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_NE(terminal()->traceFile, nullptr);

  scripted::Host second;
  bool closedBeforeDialog = false;
  SOCKET during = 0;
  FILE* traceDuring = reinterpret_cast<FILE*>(1);
  int connectedDuring = -1;
  DialogAnswer again;
  again.host = second.address();
  answerDialog(again, [&](HWND) {
    closedBeforeDialog = first.peerClosed(2000);
    during = terminal()->socketHandle;
    traceDuring = terminal()->traceFile;
    connectedDuring = terminal()->connected;
  });
  // The first host left the VT100 modes changed; the next connection starts
  // from a VT100's power-up state (auto-wrap as quillon.ini says: off here).
  terminal()->cursorKeysApplication = terminal()->keypadApplication = terminal()->wrapPending = 1;
  terminal()->autoWrap = 1;
  writeFile("quillon.ini", "[VT100]\nAutoWrap=0\n");
  SendMessageA(hwnd, WM_COMMAND, IDM_CONNECT, 0);
  EXPECT_TRUE(closedBeforeDialog);
  EXPECT_EQ(during, INVALID_SOCKET);
  EXPECT_EQ(traceDuring, nullptr);
  EXPECT_EQ(connectedDuring, 0);
  ASSERT_TRUE(pumpUntil([&] { return terminal()->connected == 1; }));
  ASSERT_TRUE(second.accept());
  EXPECT_EQ(hex(second.receive(18)), kOpening);
  EXPECT_EQ(caption(), kCaptionPrefix + second.address());
  EXPECT_EQ(terminal()->traceFile, nullptr);  // the second dialog left the box unticked
  EXPECT_EQ(terminal()->cursorKeysApplication + terminal()->keypadApplication + terminal()->wrapPending, 0);
  EXPECT_EQ(terminal()->autoWrap, 0);
}

TEST_F(ConnectionTest, ConnectWhileConnectedThenCancelEndsTheProgram) {
  scripted::Host first;
  connectTo(first, DialogAnswer{});
  ASSERT_FALSE(HasFatalFailure());
  DialogAnswer cancel;
  cancel.cancel = true;
  answerDialog(cancel);
  SendMessageA(hwnd, WM_COMMAND, IDM_CONNECT, 0);
  EXPECT_TRUE(first.peerClosed());
  EXPECT_TRUE(windowEnded());
  ASSERT_EQ(messageBoxes().size(), 1u);
  EXPECT_EQ(messageBoxes()[0].caption, "Cancel Adress Selection");
}

// An attempt still connecting is given up for the new one: only the new
// connection gets the opening negotiation.
TEST_F(ConnectionTest, ConnectWhileConnectingClosesTheEarlierAttempt) {
  scripted::Host first;
  scripted::Host second;
  answerDialog(DialogAnswer{first.address()});
  SendMessageA(hwnd, WM_COMMAND, IDM_CONNECT, 0);
  ASSERT_EQ(terminal()->connected, 0);
  answerDialog(DialogAnswer{second.address()});
  SendMessageA(hwnd, WM_COMMAND, IDM_CONNECT, 0);
  ASSERT_TRUE(pumpUntil([&] { return terminal()->connected == 1; }));
  ASSERT_TRUE(first.accept());
  EXPECT_TRUE(first.peerClosed());
  ASSERT_TRUE(second.accept());
  EXPECT_EQ(hex(second.receive(18)), kOpening);
  EXPECT_TRUE(messageBoxes().empty());
}

// Events that name another socket than the current one change nothing.
TEST_F(ConnectionTest, EventsOfAnotherSocketAreIgnored) {
  scripted::Host host;
  connectTo(host, DialogAnswer{});
  ASSERT_FALSE(HasFatalFailure());
  host.send(text("x"));
  ASSERT_TRUE(scripted::waitUnread(static_cast<int>(terminalSocket())));
  const WPARAM other = static_cast<WPARAM>(terminalSocket() + 1000);
  SendMessageA(hwnd, WM_WSAASYNC, other, MAKELPARAM(FD_CONNECT, 0));
  SendMessageA(hwnd, WM_WSAASYNC, other, MAKELPARAM(FD_READ, 0));
  SendMessageA(hwnd, WM_WSAASYNC, other, MAKELPARAM(FD_CLOSE, 0));
  EXPECT_EQ(scripted::unreadBytes(static_cast<int>(terminalSocket())), 1);  // not read
  EXPECT_EQ(hex(host.takeReady()), "");                                      // no second negotiation
  posix::testing::pumpUntilIdle();
  EXPECT_TRUE(IsWindow(hwnd));
  EXPECT_EQ(SendMessageA(hwnd, WM_WSAASYNC, static_cast<WPARAM>(terminalSocket()), MAKELPARAM(0x40, 0)), 0);
  EXPECT_TRUE(IsWindow(hwnd));
}

// ---- message boxes that run the message loop ------------------------------------------------------

// An interactive display keeps the message loop running while a box waits for
// its button, as Windows does: socket events and a close can come in while a
// handler of the window is still at work.
void boxesRunTheMessageLoop(std::function<void()> first = nullptr) {
  posix::testing::setMessageBoxHandler([first, calls = 0](const posix::MessageBoxRecord&) mutable {
    if (calls++ == 0 && first) first();
    posix::testing::pumpUntilIdle();
    return IDOK;
  });
}

// The host asks two questions and drops the connection: each answer fails with
// a box, the close comes in while the first box is up, and the window ends only
// after the batch has been handled.
TEST_F(ConnectionTest, HostGoneWhileARefusedAnswerIsShownEndsTheProgramAfterTheBatch) {
  scripted::Host host;
  DialogAnswer answer;
  answer.vt100 = true;
  connectTo(host, answer);
  ASSERT_FALSE(HasFatalFailure());
  layOutForVt100();
  boxesRunTheMessageLoop();
  host.send(bytesOf({0xFF, 0xFD, 0x18, 0xFF, 0xFD, 0x1F}));
  ASSERT_TRUE(scripted::waitUnread(static_cast<int>(terminalSocket())));
  sockhost::resetAndClose(host.connection());
  EXPECT_TRUE(windowEnded());
  EXPECT_EQ(posix::testing::quitCode(), 0);
  ASSERT_FALSE(messageBoxes().empty());
  for (const posix::MessageBoxRecord& box : messageBoxes()) EXPECT_EQ(box.caption, "Sending A Char");
}

// Data that arrives while a box is up is read after the batch in hand, not
// into the receive buffer under it.
TEST_F(ConnectionTest, DataArrivingWhileABoxIsUpIsReadAfterTheBatch) {
  scripted::Host host;
  DialogAnswer answer;
  answer.vt100 = true;
  connectTo(host, answer);
  ASSERT_FALSE(HasFatalFailure());
  layOutForVt100();
  sockhost::shutdownSending(static_cast<int>(terminalSocket()));  // every answer now fails
  boxesRunTheMessageLoop([&] {
    host.send(text("hello"));
    scripted::waitUnread(static_cast<int>(terminalSocket()));
  });
  host.send(bytesOf({0xFF, 0xFD, 0x18}) + text("abc"));
  letTerminalRead();
  ASSERT_TRUE(pumpUntil([&] { return scripted::unreadBytes(static_cast<int>(terminalSocket())) == 0; }));
  posix::testing::pumpUntilIdle();
  EXPECT_EQ(std::string(&terminal()->nvtChars[terminal()->NvtCellIndex(100, 0)], 10), "abchello  ");
  EXPECT_EQ(posix::testing::rowText(hwnd, 0, 10), "abchello  ");
  ASSERT_EQ(messageBoxes().size(), 1u);
  EXPECT_EQ(messageBoxes()[0].caption, "Sending A Char");
  EXPECT_TRUE(IsWindow(hwnd));
}

// ---- names, ports and failures -------------------------------------------------------------------

// A name that is neither dotted nor found leaves the address at
// 255.255.255.255; the attempt there fails and is reported like a refusal.
TEST_F(ConnectionTest, UnknownHostNameGoesToTheBroadcastAddressAndFails) {
  SOCKET s = 12345;
  EXPECT_EQ(ncTcpConnectToHost(hwnd, "no-such-host.invalid:2323", &s), 1);
  ASSERT_NE(s, INVALID_SOCKET);
  terminal()->socketHandle = s;
  EXPECT_TRUE(messageBoxes().empty());  // the failed lookup itself shows nothing
  ASSERT_TRUE(pumpUntil([&] { return terminal() && terminal()->connected == 1; }));
  posix::testing::pumpFor(50);
  expectSixFailedOpeningSends(hwnd);
  EXPECT_TRUE(IsWindow(hwnd));
}

TEST_F(ConnectionTest, WithoutTheSocketLayerNoSocketCanBeOpened) {
  ncTcpWSARegWSACleanup();
  SOCKET s = 12345;
  EXPECT_EQ(ncTcpConnectToHost(hwnd, "127.0.0.1", &s), 0);
  EXPECT_EQ(s, INVALID_SOCKET);
  ASSERT_EQ(messageBoxes().size(), 1u);
  EXPECT_EQ(messageBoxes()[0].owner, hwnd);
  EXPECT_EQ(messageBoxes()[0].caption, "Open socket operation result");
  EXPECT_EQ(messageBoxes()[0].text, "Attempt to open an socket failed");
  EXPECT_TRUE(windowEnded());
  ASSERT_EQ(ncTcpWSARegWSAStartup(), 1);  // for TearDown's clean-up
}

TEST_F(ConnectionTest, FailedEventSelectionIsReportedAndClosesTheWindow) {
  SOCKET s = INVALID_SOCKET;
  const HWND gone = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7ABC));  // no such window
  EXPECT_EQ(ncTcpConnectToHost(gone, "127.0.0.1:23", &s), 0);
  ASSERT_NE(s, INVALID_SOCKET);
  closesocket(s);
  ASSERT_EQ(messageBoxes().size(), 1u);
  EXPECT_EQ(messageBoxes()[0].caption, "WSSAAsynSelect()");
  EXPECT_EQ(messageBoxes()[0].text, "Errror 10022 Invalid argument occurred in WSSAAsynSelect()");
}

// ---- the trace log of a session -----------------------------------------------------------------

TEST_F(ConnectionTest, TraceLogOfAShortSession) {
  scripted::Host host;
  DialogAnswer answer;
  answer.vt100 = true;
  answer.trace = true;
  connectTo(host, answer);
  ASSERT_FALSE(HasFatalFailure());
  layOutForVt100();
  host.send(text("Hi"));
  letTerminalRead();
  host.closeConnection();
  ASSERT_TRUE(windowEnded());

  std::string expected = "\n\t\t\t  Entering WM_WSAASYNC \n";
  const char* opening[6][3] = {{"[253 fd \xFD]", "[1  1 \x01]", ""},  {"[252 fc \xFC]", "[1  1 \x01]", ""},
                               {"[251 fb \xFB]", "[3  3 \x03]", ""},  {"[253 fd \xFD]", "[3  3 \x03]", ""},
                               {"[251 fb \xFB]", "[31 1f \x1F]", ""}, {"[253 fd \xFD]", "[31 1f \x1F]", ""}};
  for (const auto& command : opening)
    expected += std::string("\nsend: [255 ff \xFF] [ ] \nsend: ") + command[0] + " [ ] \nsend: " + command[1] +
                " [ ] \n\t\t\tSending: 3 Number Of Bytes \n";
  expected += "\n\t\t\t  Exiting WM_WSAASYNC \n";
  expected +=
      "\n\t\t\t  Entering WM_WSAASYNC \n"
      "\n"
      "Recv: [72 48 H]  [ ] \n"
      "Recv: [105 69 i]  [ ] \n"
      "\t\t\tReceiving: 2 Number Of Bytes \n"
      "\n\t\t\t Entering Parser ( ) \n"
      "\n\t\t\tEntering vt100Parser : i=0 szBufLen =2 \n"
      "\n\t\t\tExiting vt100Parser : i=2 szBufLen =2 \n"
      "\n\t\t\tExiting Parser ( ) \n "
      "\n\t\t\t  Exiting WM_WSAASYNC \n"
      "\n\t\t\t  Entering WM_WSAASYNC \n"
      "\n\t\t\t  Exiting WM_WSAASYNC \n";
  EXPECT_EQ(readFile("telntlog.txt"), expected);
  struct stat st {};
  ASSERT_EQ(stat("telntlog.txt", &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);  // it holds what was typed
}

}  // namespace
