// The VT100 keyboard driven through real window messages, checked byte for byte
// on a real connection: the key-down sequences (Shift, VT52 cursor keys), the
// character mapping (keypad, Return and new-line mode, Backspace), and the
// no-socket report.
#include <cstdio>
#include <string>
#include <vector>

#include "connected_fixture.h"
#include "net/telnet.h"
#include "vt100/vt100_parser.h"

namespace {

using portable::messageBoxes;

class KeyboardVt100Test : public OnLoopback<OpenTerminalTest> {
 protected:
  void SetUp() override {
    OnLoopback::SetUp();
    if (HasFatalFailure()) return;
    t->terminalMode = 0;
    t->terminalType = 2;
    t->connected = 1;
  }
  void TearDown() override {
    if (t && t->traceFile) {
      std::fclose(t->traceFile);
      t->traceFile = nullptr;
    }
    OpenTerminalTest::TearDown();
  }
  void key(UINT vk) { SendMessageA(window_, WM_KEYDOWN, vk, 1); }
  void character(WPARAM x, LPARAM lParam) { SendMessageA(window_, WM_CHAR, x, lParam); }
  // Shift pressed or released for the key state the handler reads.
  void shift(bool down) { portable::setShift(window_, down); }
  // Host text through the VT100 interpreter, as the Telnet engine hands it over.
  void hostWrites(const std::string& text) {
    std::vector<unsigned char> data(text.begin(), text.end());
    data.push_back(0);
    ParseParameters p{window_, t->socketHandle, nullptr, data.data(), static_cast<int>(text.size()), &t->terminalMode};
    int position = 0;
    vt100Parser(&p, data.data(), &position, static_cast<int>(text.size()));
  }
};

// lParam of a WM_CHAR: repeat count, scan code, extended-key flag.
LPARAM charParam(unsigned scan, bool extended = false, unsigned repeat = 1) {
  return static_cast<LPARAM>(repeat | (scan << 16) | (extended ? 1u << 24 : 0u));
}

struct KeyDownCase {
  UINT vk;
  bool shift;
  int terminalType;
  const char* bytes;  // hex of what the host receives, "" for nothing
};

const KeyDownCase kKeyDownCases[] = {
    {0x21, false, 2, "1B 5B 35 7E"},  // PgUp
    {0x21, true, 2, "1B 5B 35 7E"},
    {0x22, false, 2, "1B 5B 36 7E"},  // PgDn
    {0x23, false, 2, "05"},           // End
    {0x23, true, 1, "05"},
    {0x24, false, 2, "08"},  // Home
    {0x25, false, 2, "1B 5B 44"},  // Left
    {0x26, false, 2, "1B 5B 41"},  // Up
    {0x27, false, 2, "1B 5B 43"},  // Right
    {0x28, false, 2, "1B 5B 42"},  // Down
    {0x26, true, 2, "1B 5B 41"},   // Shift does not change the cursor keys
    {0x25, false, 1, "1B 44"},     // VT52 after CSI ? 2 l
    {0x26, false, 1, "1B 41"},
    {0x27, false, 1, "1B 43"},
    {0x28, false, 1, "1B 42"},
    {0x26, false, 3, "1B 41"},  // 3270 chosen in the host dialog counts as VT52
    {0x28, true, 3, "1B 42"},
    {0x2D, false, 2, "01"},  // Insert
    {0x2E, false, 2, "7F"},  // Delete
    {0x2E, true, 1, "7F"},
    {0x70, false, 2, "1B 4F 50"},  // F1..F4
    {0x71, false, 2, "1B 4F 51"},
    {0x72, false, 2, "1B 4F 52"},
    {0x73, false, 2, "1B 4F 53"},
    {0x74, false, 2, "1B 5B 31 35 7E"},  // F5..F12
    {0x75, false, 2, "1B 5B 31 37 7E"},
    {0x76, false, 2, "1B 5B 31 38 7E"},
    {0x77, false, 2, "1B 5B 31 39 7E"},
    {0x78, false, 2, "1B 5B 32 30 7E"},
    {0x79, false, 2, "1B 5B 32 31 7E"},
    {0x7A, false, 2, "1B 5B 32 33 7E"},
    {0x7B, false, 2, "1B 5B 32 34 7E"},
    {0x70, true, 2, "1B 5B 32 33 7E"},  // Shift+F1..F10
    {0x71, true, 2, "1B 5B 32 34 7E"},
    {0x72, true, 2, "1B 5B 32 35 7E"},
    {0x73, true, 2, "1B 5B 32 36 7E"},
    {0x74, true, 2, "1B 5B 32 38 7E"},
    {0x75, true, 2, "1B 5B 32 39 7E"},
    {0x76, true, 2, "1B 5B 33 31 7E"},
    {0x77, true, 2, "1B 5B 33 32 7E"},
    {0x78, true, 1, "1B 5B 33 33 7E"},
    {0x79, true, 2, "1B 5B 33 34 7E"},
    {0x7A, true, 2, "1B 5B 32 33 7E"},  // F11, F12 ignore Shift
    {0x7B, true, 2, "1B 5B 32 34 7E"},
    {0x08, false, 2, ""},  // keys outside the table send nothing on key-down
    {0x0D, false, 2, ""},
    {0x41, true, 2, ""},
    {0x65, false, 2, ""},
    {0x7C, false, 2, ""},  // F13
    {0x20, false, 2, ""},
    {0x2F, false, 2, ""},
};

TEST_F(KeyboardVt100Test, KeyDownSendsTheSequenceOfTheTable) {
  for (const KeyDownCase& c : kKeyDownCases) {
    SCOPED_TRACE(testing::Message() << "vk 0x" << std::hex << c.vk << " shift " << c.shift << " type "
                                    << c.terminalType);
    shift(c.shift);
    t->terminalType = c.terminalType;
    key(c.vk);
    EXPECT_EQ(sent(), c.bytes);
    EXPECT_EQ(t->lastVirtualKey, static_cast<int32_t>(c.vk));
  }
  EXPECT_TRUE(messageBoxes().empty());
}

TEST_F(KeyboardVt100Test, ReleasedShiftSendsThePlainSequenceAgain) {
  shift(true);
  key(0x75);
  EXPECT_EQ(sent(), "1B 5B 32 39 7E");
  shift(false);
  key(0x75);
  EXPECT_EQ(sent(), "1B 5B 31 37 7E");
}

TEST_F(KeyboardVt100Test, HostModesChangeTheCursorKeysKeypadAndReturn) {
  t->ResetVt100Modes();  // a VT100's power-up state, as at every connect
  key(0x26);
  character('5', charParam(0x4C));
  character(0x0D, charParam(0x1C, true));
  EXPECT_EQ(sent(), "1B 5B 41 35 0D");
  hostWrites("\x1b[?1h\x1b=");  // application cursor keys and keypad (the host's smkx)
  for (UINT vk : {0x25u, 0x26u, 0x27u, 0x28u}) key(vk);
  character('5', charParam(0x4C));
  character(0x0D, charParam(0x1C, true));
  EXPECT_EQ(sent(), "1B 4F 44 1B 4F 41 1B 4F 43 1B 4F 42 1B 4F 75 1B 4F 4D");
  hostWrites("\x1b[?1l\x1b>");  // and back (rmkx)
  key(0x28);
  character('5', charParam(0x4C));
  EXPECT_EQ(sent(), "1B 5B 42 35");
  hostWrites("\x1b[?2l\x1b[20h\x1b[?1h");  // VT52 mode, new-line mode: VT52 keys whatever DECCKM says
  key(0x26);
  character(0x0D, charParam(0x1C));
  character(0x0D, charParam(0x1C, true));  // keypad Enter in numeric mode: the main Enter
  EXPECT_EQ(sent(), "1B 41 0D 0A 0D 0A");
  hostWrites("\x1b=");
  character(0x0D, charParam(0x1C, true));  // in application mode: ESC O M, new-line mode or not
  EXPECT_EQ(sent(), "1B 4F 4D");
  t->ResetVt100Modes();
  t->terminalType = 2;
  key(0x26);
  character('5', charParam(0x4C));
  EXPECT_EQ(sent(), "1B 5B 41 35");
}

// The modes take effect wherever the reads cut their sequences.
TEST_F(KeyboardVt100Test, ModeSequencesCutBetweenReadsStillSwitchTheKeys) {
  const std::string modes = "\x1b[?1h\x1b=";
  for (size_t cut = 1; cut < modes.size(); ++cut) {
    SCOPED_TRACE(cut);
    t->ResetVt100Modes();
    t->pendingTailLength = 0;
    for (const std::string& piece : {modes.substr(0, cut), modes.substr(cut)}) {
      std::vector<unsigned char> data(piece.begin(), piece.end());
      ParseData(window_, t->socketHandle, nullptr, data.data(), static_cast<int>(data.size()), &t->terminalMode);
    }
    key(0x26);
    character('5', charParam(0x4C));
    EXPECT_EQ(sent(), "1B 4F 41 1B 4F 75");
  }
}

struct CharCase {
  const char* what;
  UINT vk;  // the key-down that precedes the character
  WPARAM x;
  LPARAM lParam;
  int newLineMode;
  const char* bytes;         // with the keypad in application mode (ESC =)
  const char* numeric = nullptr;  // in numeric mode (ESC >), when it differs
};

const CharCase kCharCases[] = {
    {"Return", 0x0D, 0x0D, charParam(0x1C), 0, "0D"},
    {"Return, new-line mode", 0x0D, 0x0D, charParam(0x1C), 1, "0D 0A"},
    {"keypad Enter", 0x0D, 0x0D, charParam(0x1C, true), 0, "1B 4F 4D", "0D"},
    {"keypad Enter, new-line mode", 0x0D, 0x0D, charParam(0x1C, true), 1, "1B 4F 4D", "0D 0A"},
    {"Ctrl+M", 0x4D, 0x0D, charParam(0x32), 1, "0D 0A"},
    {"Ctrl+J", 0x4A, 0x0A, charParam(0x24), 1, "0A"},
    {"Backspace", 0x08, 0x08, charParam(0x0E), 0, "7F"},
    {"Ctrl+H", 0x48, 0x08, charParam(0x23), 0, "08"},
    {"Esc", 0x1B, 0x1B, charParam(0x01), 0, "1B"},
    {"digit row 5", 0x35, '5', charParam(0x06), 0, "35"},
    {"digit row 0", 0x30, '0', charParam(0x0B), 0, "30"},
    {"main minus", 0xBD, '-', charParam(0x0C), 0, "2D"},
    {"main plus (Shift+equals)", 0xBB, '+', charParam(0x0D), 0, "2B"},
    {"main full stop", 0xBE, '.', charParam(0x34), 0, "2E"},
    {"keypad 0", 0x60, '0', charParam(0x52), 0, "1B 4F 70", "30"},
    {"keypad 1", 0x61, '1', charParam(0x4F), 0, "1B 4F 71", "31"},
    {"keypad 5", 0x65, '5', charParam(0x4C), 0, "1B 4F 75", "35"},
    {"keypad 9", 0x69, '9', charParam(0x49), 0, "1B 4F 79", "39"},
    {"keypad plus", 0x6B, '+', charParam(0x4E), 0, "1B 4F 6C", "2B"},
    {"keypad minus", 0x6D, '-', charParam(0x4A), 0, "1B 4F 6D", "2D"},
    {"keypad full stop", 0x6E, '.', charParam(0x53), 0, "1B 4F 6E", "2E"},
    {"keypad slash", 0x6F, '/', charParam(0x35, true), 0, "2F"},
    {"keypad star", 0x6A, '*', charParam(0x37), 0, "2A"},
    {"letter", 0x41, 'a', charParam(0x1E), 0, "61"},
    {"high byte", 0x41, 0xE9, charParam(0x1E), 0, "E9"},
    {"sign-extended byte as sent by the embedding call", 0x41, static_cast<WPARAM>(-23), 1, 0, "E9"},
    {"synthetic digit, no scan code", 0x41, '7', 1, 0, "37"},
    {"synthetic Return, no scan code", 0x41, 0x0D, 1, 1, "0D 0A"},
    {"synthetic backspace after a letter key", 0x41, 0x08, 1, 0, "08"},
};

TEST_F(KeyboardVt100Test, CharacterSendsTheBytesOfTheTable) {
  for (const int application : {1, 0}) {
    for (const CharCase& c : kCharCases) {
      SCOPED_TRACE(testing::Message() << c.what << (application ? ", application keypad" : ", numeric keypad"));
      t->keypadApplication = application;
      t->newLineMode = c.newLineMode;
      key(c.vk);
      character(c.x, c.lParam);
      EXPECT_EQ(sent(), application || !c.numeric ? c.bytes : c.numeric);
      EXPECT_EQ(t->typedCount, 0);
    }
  }
  EXPECT_TRUE(messageBoxes().empty());
}

TEST_F(KeyboardVt100Test, RepeatCountSendsTheCharacterOnce) {
  key(0x58);
  character('x', charParam(0x2D, false, 3));
  character('y', charParam(0x15, false, 0));  // a repeat count of 0 sends nothing
  EXPECT_EQ(sent(), "78");
}

TEST_F(KeyboardVt100Test, WithoutSocketTheCharacterIsReportedAndNotSent) {
  t->socketHandle = INVALID_SOCKET;
  character('a', charParam(0x1E));
  key(0x26);  // the key-down sequence goes to the send, which reports the same
  ASSERT_EQ(messageBoxes().size(), 2u);
  for (const auto& box : messageBoxes()) {
    EXPECT_EQ(box.caption, "INVALID_SOCKET Before Sending");
    EXPECT_NE(box.text.find("occurred in INVALID_SOCKET Before Sending"), std::string::npos) << box.text;
    EXPECT_EQ(box.owner, window_);
  }
  EXPECT_EQ(t->typedCount, 0);
  EXPECT_EQ(sent(), "");
}

TEST_F(KeyboardVt100Test, CharacterAppendsToPendingBytesWithinTheBuffer) {
  t->keypadApplication = 1;  // keypad 5 is a three-byte sequence
  // Bytes left pending go out in front of the character.
  t->typedChars[0] = 'A';
  t->typedChars[1] = 'B';
  t->typedCount = 2;
  character('c', charParam(0x2E));
  EXPECT_EQ(sent(), "41 42 63");
  // A count that leaves no room for a sequence, or is negative, is dropped.
  for (int bad : {118, 120, 5000, -1, -100000}) {
    SCOPED_TRACE(bad);
    t->typedCount = bad;
    character('5', charParam(0x4C));
    EXPECT_EQ(sent(), "1B 4F 75");
    EXPECT_EQ(t->typedCount, 0);
  }
  t->typedCount = 117;  // the last place a full sequence fits
  t->typedChars[116] = 'z';
  character('5', charParam(0x4C));
  const std::vector<uint8_t> got = loop.hostReceives(300);
  ASSERT_EQ(got.size(), 120u);
  EXPECT_EQ(hex(std::vector<uint8_t>(got.begin() + 116, got.end())), "7A 1B 4F 75");
}

TEST_F(KeyboardVt100Test, SentKeysAreWrittenToTheTrace) {
  t->traceFile = std::fopen("telntlog.txt", "w");
  ASSERT_NE(t->traceFile, nullptr);
  key(0x26);
  character(0x0D, charParam(0x1C));
  EXPECT_EQ(sent(), "1B 5B 41 0D");
  std::fclose(t->traceFile);
  t->traceFile = nullptr;
  const std::string trace = readTextFile("telntlog.txt");
  EXPECT_EQ(trace.find("\nsend: [27 1b \x1b] ["), 0u) << trace;
  EXPECT_NE(trace.find("send: [91 5b [] ["), std::string::npos) << trace;
  EXPECT_NE(trace.find("send: [65 41 A] ["), std::string::npos) << trace;
  EXPECT_NE(trace.find("\t\t\tSending: 3 Number Of Bytes \n\nsend: [13  d \r] ["), std::string::npos) << trace;
  EXPECT_NE(trace.find("\t\t\tSending: 1 Number Of Bytes \n"), std::string::npos) << trace;
}

}  // namespace
