// The embedding interface: typing through ncTcpOutput, the record handler with
// ncTcpGetWholeScreen, the library's exported names, and the example embedder
// run against a scripted 3270 host.
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "field_layout.h"
#include "connected_fixture.h"
#include "embed/embedding.h"
#include "scripted_host.h"
#include "tn3270/ebcdic.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<WPARAM> g_chars;
WNDPROC g_terminalProc = nullptr;

LRESULT CALLBACK recordChars(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CHAR) g_chars.push_back(wParam);
  return CallWindowProcA(g_terminalProc, hwnd, message, wParam, lParam);
}

// What the record handler read back at each call.
HWND g_window = nullptr;
std::vector<std::string> g_screens;

void keepWholeScreen() {
  unsigned char out[QUILLON_RECORD_BUFFER_SIZE];
  int length = -1;
  EXPECT_EQ(ncTcpGetWholeScreen(&g_window, out, &length), 0);
  g_screens.push_back(hex(Bytes(out, out + std::max(length, 0))));
}

class EmbeddingTest : public OnLoopback<OpenTerminalTest> {
 protected:
  void SetUp() override {
    OnLoopback::SetUp();
    if (HasFatalFailure()) return;
    t->connected = 1;
    g_window = window_;
    g_screens.clear();
    g_chars.clear();
  }
  int feed(Bytes chunk) { return t->CreateScreen(chunk.data(), static_cast<int>(chunk.size())); }
  // ncTcpGetWholeScreen of a held record, into a buffer whose unused bytes are 0xAA.
  std::string wholeScreen(const Bytes& record, int* length, Bytes* out) {
    std::copy(record.begin(), record.end(), t->recordBuffer);
    t->recordFill = static_cast<int32_t>(record.size());
    out->assign(QUILLON_RECORD_BUFFER_SIZE, 0xAA);
    ncTcpGetWholeScreen(&window_, out->data(), length);
    return hex(Bytes(out->begin(), out->begin() + std::max(*length, 0)));
  }
};

TEST_F(EmbeddingTest, OutputTypesEachByteAndAReturnThroughTheKeyboard) {
  g_terminalProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(recordChars)));
  EXPECT_EQ(ncTcpOutput(window_, "AB", 2), 1);
  EXPECT_EQ(g_chars, (std::vector<WPARAM>{'A', 'B', 13}));
  EXPECT_EQ(hex(loop.hostReceives(300)), "41 42 0D");

  // A byte above 0x7F arrives as a negative character code and is still that byte.
  g_chars.clear();
  ncTcpOutput(window_, "\xE9", 1);
  EXPECT_EQ(g_chars.front(), static_cast<WPARAM>(-23));
  EXPECT_EQ(hex(loop.hostReceives(300)), "E9 0D");

  // In 3270 mode the keyboard stores the text in the field and Return is Enter.
  t->terminalMode = 15;
  layOutFields(*t, {{0, 0x60}, {6, 0x40}, {17, 0x60}});
  t->currentField = 2;
  t->cursorColumn = 7;
  ncTcpOutput(window_, "AB", 2);
  EXPECT_EQ(hex(loop.hostReceives(300)), "7D 40 C9 11 40 C7 C1 C2 FF EF");
}

TEST_F(EmbeddingTest, BadArgumentsTouchNothing) {
  g_terminalProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(recordChars)));
  HWND plain = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(ncTcpOutput(window_, "A", 0), 0);
  EXPECT_EQ(ncTcpOutput(window_, "A", -5), 0);
  EXPECT_EQ(ncTcpOutput(window_, nullptr, 3), 0);
  EXPECT_EQ(ncTcpOutput(nullptr, "A", 1), 0);
  EXPECT_EQ(ncTcpOutput(plain, "A", 1), 0);
  EXPECT_TRUE(g_chars.empty());

  HWND none = nullptr;
  EXPECT_EQ(ncTcpSetEventHandler(nullptr, keepWholeScreen), 0);
  EXPECT_EQ(ncTcpSetEventHandler(&none, keepWholeScreen), 0);
  EXPECT_EQ(t->recordHandler, nullptr);
  unsigned char out[4] = {1, 2, 3, 4};
  int length = 77;
  EXPECT_EQ(ncTcpGetWholeScreen(nullptr, out, &length), 0);
  EXPECT_EQ(ncTcpGetWholeScreen(&window_, nullptr, &length), 0);
  EXPECT_EQ(ncTcpGetWholeScreen(&window_, out, nullptr), 0);
  EXPECT_EQ(ncTcpGetWholeScreen(&plain, out, &length), 0);
  EXPECT_EQ(length, 77);
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(ncTcpGetString3270(), 0);
  EXPECT_EQ(hex(loop.hostReceives(100)), "");
}

TEST_F(EmbeddingTest, HandlerReadsEachRecordWhileItIsHeld) {
  ASSERT_EQ(ncTcpSetEventHandler(&window_, keepWholeScreen), 1);
  const Bytes example = {0xF5, 0xC3, 0x11, 0x40, 0x40, 0x1D, 0x60, 0xC1, 0xFF, 0xEF};
  feed(example);
  ASSERT_EQ(g_screens.size(), 1u);
  EXPECT_EQ(g_screens[0], "F5 C3 02 40 40 06 60 41 0D");

  // Two records in one read, then one cut in two: one call per record.
  Bytes two = example;
  two.insert(two.end(), {0xF1, 0xC3, 0xC2, 0xFF, 0xEF});
  feed(two);
  feed({0xF1, 0xC3, 0xC3, 0xFF});
  EXPECT_EQ(g_screens.size(), 3u);
  feed({0xEF});
  ASSERT_EQ(g_screens.size(), 4u);
  EXPECT_EQ(g_screens[1], "F5 C3 02 40 40 06 60 41 0D");
  EXPECT_EQ(g_screens[2], "F1 C3 42 0D");
  EXPECT_EQ(g_screens[3], "F1 C3 43 0D");
}

TEST_F(EmbeddingTest, WholeScreenConvertsOrdersAndTextAtTheirOwnPositions) {
  struct Case {
    const char* name;
    Bytes record;
    const char* expected;
  } cases[] = {
      {"tab, new line, insert cursor", {0xF1, 0xC3, 0x05, 0x15, 0x13, 0xFF, 0xEF}, "F1 C3 05 15 04 0D"},
      {"erase unprotected to address", {0xF1, 0xC3, 0x12, 0x40, 0x50, 0xFF, 0xEF}, "F1 C3 12 40 50 0D"},
      {"repeat to address", {0xF1, 0xC3, 0x3C, 0xC1, 0x50, 0xC1, 0xFF, 0xEF}, "F1 C3 03 C1 50 C1 0D"},
      {"text in ASCII", {0xF1, 0xC3, 0x81, 0xC1, 0x40, 0xF0, 0xFF, 0xEF}, "F1 C3 61 41 20 30 0D"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int length = 0;
    Bytes out;
    EXPECT_EQ(wholeScreen(c.record, &length, &out), c.expected);
    EXPECT_EQ(length, static_cast<int>(c.record.size()) - 1);
  }
  // Every other byte is its ASCII translation without the top bit, IAC without EOR included.
  for (int b = 0x40; b <= 0xFF; ++b) {
    if (b == 0xFF) continue;
    unsigned char ascii = static_cast<unsigned char>(b);
    Ebc_To_Asc(&ascii, 1);
    int length = 0;
    Bytes out;
    wholeScreen({0xF1, 0xC3, static_cast<uint8_t>(b), 0xFF, 0x40}, &length, &out);
    ASSERT_EQ(out[2], ascii & 0x7F) << b;
    unsigned char iac = 0xFF;
    Ebc_To_Asc(&iac, 1);
    ASSERT_EQ(out[3], iac & 0x7F);
  }
}

TEST_F(EmbeddingTest, WholeScreenNeverWritesPastTheRecord) {
  struct Case {
    Bytes record;
    int length;
    const char* written;  // the first `record.size()` bytes of the output
  } cases[] = {
      {{}, 0, ""},  // no record: length 0, not -1
      {{0xF5}, 0, "F5"},
      {{0xF5, 0xC3, 0x11, 0x40}, 3, "F5 C3 02 40"},
      {{0xF5, 0xC3, 0x3C, 0x40, 0x40}, 4, "F5 C3 03 40 40"},
      {{0xF5, 0xC3, 0x1D}, 2, "F5 C3 06"},
      {{0xF5, 0xC3, 0xFF}, 2, "F5 C3 20"},  // a lone IAC is text
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(hex(c.record));
    int length = -9;
    Bytes out;
    wholeScreen(c.record, &length, &out);
    EXPECT_EQ(length, c.length);
    EXPECT_EQ(hex(Bytes(out.begin(), out.begin() + c.record.size())), c.written);
    for (size_t i = c.record.size(); i < out.size(); ++i) ASSERT_EQ(out[i], 0xAA) << i;
  }
  // A stale or damaged fill count is bounded by the record buffer.
  t->recordFill = 1 << 30;
  Bytes out(QUILLON_RECORD_BUFFER_SIZE);
  int length = 0;
  ncTcpGetWholeScreen(&window_, out.data(), &length);
  EXPECT_EQ(length, QUILLON_RECORD_BUFFER_SIZE - 1);
}

// ---- the library's exported names -----------------------------------------------------------

std::vector<std::string> exportList() {
  std::vector<std::string> names;
  std::ifstream in(QUILLON_EXPORTS_FILE);
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#') names.push_back(line);
  return names;
}

TEST(LibraryExports, EveryDocumentedNameIsExported) {
  const char* library = QUILLON_LIBRARY_FILE;
  const std::vector<std::string> names = exportList();
  ASSERT_GT(names.size(), 50u);
  void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << dlerror();
  // The class members by name, from the demangled dynamic symbol table.
  std::set<std::string> members;
  const std::string command = std::string("nm -DC --defined-only '") + library + "'";
  if (FILE* nm = popen(command.c_str(), "r")) {
    char line[4096];
    while (std::fgets(line, sizeof line, nm)) {
      std::string symbol(line);
      const size_t start = symbol.find("CommTcp::");
      const size_t paren = symbol.find('(', start);
      if (start != std::string::npos && paren != std::string::npos) members.insert(symbol.substr(start, paren - start));
    }
    pclose(nm);
  }
  ASSERT_FALSE(members.empty());
  for (const std::string& name : names) {
    if (name.rfind("CommTcp::", 0) == 0)
      EXPECT_TRUE(members.count(name)) << name;
    else
      EXPECT_NE(dlsym(handle, name.c_str()), nullptr) << name;
  }
  dlclose(handle);
}

// ---- the example embedder -----------------------------------------------------------------------

// Started from another working directory without naming the library: it
// loads the one beside it.
TEST(EmbedExample, PrintsTheRecordsAndTypesItsLineAsEnter) {
  const char* example = QUILLON_EMBED_EXAMPLE_FILE;
  scripted::Host host;
  ASSERT_TRUE(host.listening());
  char output[] = "/tmp/quillon-embed-XXXXXX";
  const int fd = mkstemp(output);
  ASSERT_GE(fd, 0);
  const std::string address = host.address();
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(fd, 1);
    if (chdir("/") != 0) _exit(126);
    execl(example, example, address.c_str(), "joe", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fd);

  ASSERT_TRUE(host.accept());
  EXPECT_EQ(host.receive(18).size(), 18u);  // the opening negotiation
  host.send({0xFF, 0xFD, 0x18});
  EXPECT_EQ(hex(host.receive(3)), "FF FB 18");
  host.send({0xFF, 0xFA, 0x18, 0x01, 0xFF, 0xF0});
  EXPECT_EQ(hex(host.receive(16)), "FF FA 18 00 49 42 4D 2D 33 32 37 38 2D 32 FF F0");
  host.send({0xFF, 0xFD, 0x19, 0xFF, 0xFB, 0x19});
  EXPECT_EQ(hex(host.receive(6)), "FF FB 19 FF FD 19");
  host.send({0xFF, 0xFD, 0x00, 0xFF, 0xFB, 0x00});
  EXPECT_EQ(hex(host.receive(6)), "FF FB 00 FF FD 00");
  // "HI" protected on row 0, an input field on row 1 with the cursor in it.
  host.send({0xF5, 0xC3, 0x11, 0x40, 0x40, 0x1D, 0x60, 0xC8, 0xC9, 0x11, 0xC1, 0x50, 0x1D, 0x40, 0x13, 0xFF, 0xEF});
  EXPECT_EQ(hex(host.receive(11)), "7D C1 D4 11 C1 D1 91 96 85 FF EF");
  host.closeConnection();

  int status = -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  pid_t done = 0;
  while ((done = waitpid(pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (done == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    ADD_FAILURE() << "the example did not end";
  }
  std::ifstream in(output);
  std::stringstream printed;
  printed << in.rdbuf();
  unlink(output);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(printed.str(),
            "record 1 (16 bytes): ...@@.`HI..P.@..\n"
            "typed: joe\n");
}

}  // namespace
