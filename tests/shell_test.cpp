// The application shell: start-up, the main window, the message loop and the
// ways the program ends.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "harness.h"
#include "ui/center_wnd.h"

using posix::testing::fontResources;
using posix::testing::messageBoxes;

namespace {

int runWinMain() { return WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<char*>(""), SW_SHOWDEFAULT); }

}  // namespace

using ShellTest = TerminalWindowTest;

TEST_F(ShellTest, MainWindowIsCentredWithItsClassTitleAndStyle) {
  posix::testing::setDesktopSize(1280, 1024);
  HWND hwnd = createMainWindow();
  ASSERT_NE(hwnd, nullptr);

  RECT r;
  ASSERT_TRUE(GetWindowRect(hwnd, &r));
  EXPECT_EQ(r.right - r.left, 750);
  EXPECT_EQ(r.bottom - r.top, 540);
  EXPECT_EQ(r.left, 640 - 375);
  EXPECT_EQ(r.top, 512 - 270);

  char text[64];
  GetWindowTextA(hwnd, text, sizeof text);
  EXPECT_STREQ(text, "Quillon");
  GetClassNameA(hwnd, text, sizeof text);
  EXPECT_STREQ(text, "KESTO3270L");
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_STYLE)), 0x90FF0000u);

  WNDCLASSA wc;
  ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), "KESTO3270L", &wc));
  EXPECT_EQ(wc.style, 0x2Bu);
  EXPECT_EQ(wc.cbWndExtra, static_cast<int>(sizeof(void*)));
  EXPECT_EQ(wc.cbClsExtra, 0);
  EXPECT_EQ(wc.lpfnWndProc, &WndSockCallBackProc);
  EXPECT_NE(wc.hIcon, nullptr);
  EXPECT_NE(wc.hCursor, nullptr);
  EXPECT_STREQ(wc.lpszMenuName, "KESTO3270L");
  // The creation handling replaced the stock black brush with one of its own.
  EXPECT_NE(reinterpret_cast<HGDIOBJ>(GetClassLongPtrA(hwnd, GCLP_HBRBACKGROUND)), GetStockObject(BLACK_BRUSH));
  EXPECT_EQ(GetMenuItemCount(GetMenu(hwnd)), 12);
}

TEST_F(ShellTest, TerminalObjectIsAttachedAndMeasured) {
  HWND hwnd = createMainWindow();
  CommTcp* t = terminal();
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->windowHandle, hwnd);
  EXPECT_EQ(t->instanceHandle, GetModuleHandleA(nullptr));
  // The text font is 24 high, so its cells are 12 x 24.
  EXPECT_EQ(t->cellWidth, 12);
  EXPECT_EQ(t->cellHeight, 24);
  EXPECT_EQ(GetFocus(), hwnd);
}

TEST_F(ShellTest, ClientAreaIsPaintedInTheSettingsBackground) {
  writeFile("quillon.ini", "[GLOBALS]\r\nBackGroundColor=10,20,30\r\n");
  HWND hwnd = createMainWindow();
  posix::testing::pumpUntilIdle();
  const posix::CellGrid* grid = posix::testing::grid(hwnd);
  ASSERT_NE(grid, nullptr);
  ASSERT_GT(grid->rows(), 2);
  for (int row : {0, grid->rows() - 1})
    for (int column : {0, grid->columns() - 1}) EXPECT_EQ(grid->at(column, row)->bg, RGB(10, 20, 30));
}

TEST_F(ShellTest, CenterWndCentresAnOwnedWindowOnItsOwner) {
  HWND owner = createMainWindow();
  HWND owned = CreateWindowExA(0, "KESTO3270L", "owned", WS_POPUP, 0, 0, 101, 51, owner, nullptr, nullptr, nullptr);
  ASSERT_NE(owned, nullptr);
  CenterWnd(owned);
  RECT o, r;
  GetWindowRect(owner, &o);
  GetWindowRect(owned, &r);
  EXPECT_EQ(r.left, o.left + 375 - 50);  // halves truncate: 101 / 2 = 50
  EXPECT_EQ(r.top, o.top + 270 - 25);
  EXPECT_EQ(r.right - r.left, 101);
  EXPECT_EQ(r.bottom - r.top, 51);
}

TEST_F(ShellTest, WmCloseClosesTheSocketAndTraceFileAndEndsTheLoop) {
  HWND hwnd = createMainWindow();
  int sockets[2];
  ASSERT_EQ(ncTcpWSARegWSAStartup(), 1);
  ASSERT_EQ(pipe(sockets), 0);
  int trace[2];
  ASSERT_EQ(pipe(trace), 0);
  terminal()->socketHandle = static_cast<SOCKET>(sockets[1]);
  terminal()->traceFile = fdopen(trace[1], "w");
  fputs("kept", terminal()->traceFile);

  PostMessageA(hwnd, WM_CLOSE, 0, 0);
  posix::testing::pumpUntilIdle();

  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(posix::testing::quitCode(), 0);
  EXPECT_EQ(fcntl(sockets[1], F_GETFD), -1);  // the socket was closed
  char buffer[16];
  EXPECT_EQ(read(trace[0], buffer, sizeof buffer), 4);  // the trace was flushed and closed
  EXPECT_EQ(read(trace[0], buffer, sizeof buffer), 0);
  close(sockets[0]);
  close(trace[0]);
  ncTcpWSARegWSACleanup();
}

// WinMain ends with exit code 0 whichever way the window is asked to close.
struct CloseRoute {
  const char* name;
  std::function<void(HWND)> close;
};

void PrintTo(const CloseRoute& p, std::ostream* os) { *os << p.name; }

class WinMainCloseTest : public ScratchTest, public ::testing::WithParamInterface<CloseRoute> {};

TEST_P(WinMainCloseTest, EndsWithExitCodeZeroAndCleansUp) {
  writeFile("quillon100.fon", "font");
  writeFile("merafont1.fon", "another program's font");
  ASSERT_EQ(AddFontResourceA("merafont1.fon"), 1);
  bool asked = false;
  posix::testing::setIdleHook([&] {
    if (asked) return;
    asked = true;
    HWND hwnd = FindWindowA("KESTO3270L", nullptr);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_TRUE(posix::testing::winsockStarted());
    EXPECT_EQ(fontResources(), (std::vector<std::string>{"merafont1.fon", "quillon100.fon"}));
    GetParam().close(hwnd);
  });
  EXPECT_EQ(runWinMain(), 0);
  EXPECT_TRUE(asked);
  EXPECT_EQ(FindWindowA("KESTO3270L", nullptr), nullptr);
  EXPECT_FALSE(posix::testing::winsockStarted());
  // The font this program added is gone; another program's stays.
  EXPECT_EQ(fontResources(), std::vector<std::string>{"merafont1.fon"});
  EXPECT_TRUE(messageBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Routes, WinMainCloseTest,
    ::testing::Values(CloseRoute{"DestroySocketObj", [](HWND h) { EXPECT_EQ(ncTcpDestroySocketObj(h), 1); }},
                      CloseRoute{"WmClose", [](HWND h) { PostMessageA(h, WM_CLOSE, 0, 0); }},
                      CloseRoute{"SystemMenuClose", [](HWND h) { PostMessageA(h, WM_SYSCOMMAND, SC_CLOSE, 0); }}),
    [](const ::testing::TestParamInfo<CloseRoute>& info) { return info.param.name; });

// Without the font file in the current directory, WinMain adds the one beside
// the program, else the one of an installed tree (bin/../share/quillon), and
// removes that one at exit.
class WinMainFontTest : public ScratchTest {
 protected:
  // Runs WinMain with the program at `program` (relative to the scratch
  // directory) and returns the font files added while its window was open.
  std::vector<std::string> fontsWhileRunning(const std::string& program) {
    posix::testing::resetPlatform();
    const std::string here = std::filesystem::current_path().string() + "/";
    posix::testing::setModuleFileName(here + program);
    std::vector<std::string> added;
    bool asked = false;
    posix::testing::setIdleHook([&] {
      if (asked) return;
      asked = true;
      added = fontResources();
      PostMessageA(FindWindowA("KESTO3270L", nullptr), WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(runWinMain(), 0);
    EXPECT_TRUE(asked);
    EXPECT_TRUE(fontResources().empty());
    for (std::string& f : added)
      if (f.compare(0, here.size(), here) == 0) f.erase(0, here.size());
    return added;
  }
  void makeFile(const std::string& path) {
    const std::filesystem::path directory = std::filesystem::path(path).parent_path();
    if (!directory.empty()) std::filesystem::create_directories(directory);
    writeFile(path, "file");
  }
};

TEST_F(WinMainFontTest, TakesTheFontBesideTheProgram) {
  makeFile("app/quillon100.fon");
  makeFile("share/quillon/quillon100.fon");
  EXPECT_EQ(fontsWhileRunning("app/quillon"), std::vector<std::string>{"app/quillon100.fon"});
}

TEST_F(WinMainFontTest, TakesTheFontOfAnInstalledTree) {
  makeFile("usr/bin/quillon");
  makeFile("usr/share/quillon/quillon100.fon");
  EXPECT_EQ(fontsWhileRunning("usr/bin/quillon"),
            std::vector<std::string>{"usr/bin/../share/quillon/quillon100.fon"});
}

TEST_F(WinMainFontTest, PrefersTheCurrentDirectoryAndRunsWithoutAny) {
  makeFile("usr/bin/quillon");
  makeFile("usr/share/quillon/quillon100.fon");
  makeFile("quillon100.fon");
  EXPECT_EQ(fontsWhileRunning("usr/bin/quillon"), std::vector<std::string>{"quillon100.fon"});
  std::filesystem::remove("quillon100.fon");
  std::filesystem::remove_all("usr");
  EXPECT_TRUE(fontsWhileRunning("usr/bin/quillon").empty());
}

TEST(ModuleFileNameTest, IsTheProgramCutToTheBufferAsOnWindows) {
  posix::testing::resetPlatform();
  char path[4096];
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(std::string(path, n), std::filesystem::read_symlink("/proc/self/exe").string());
  EXPECT_EQ(GetModuleFileNameA(GetModuleHandleA(nullptr), path, sizeof path), n);
  char small[5];
  std::memset(small, 'x', sizeof small);
  EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), 5u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(std::string(small), std::string(path, 4));
}

// A socket layer that cannot start or grants another version ends the program
// before any window exists.
struct SocketLayer {
  const char* name;
  WORD lowest;
  WORD highest;
  int startupError;
};

void PrintTo(const SocketLayer& p, std::ostream* os) { *os << p.name; }

class WinMainSocketLayerTest : public ScratchTest, public ::testing::WithParamInterface<SocketLayer> {};

TEST_P(WinMainSocketLayerTest, ReturnsZeroBeforeAnyWindowExists) {
  writeFile("quillon100.fon", "font");
  posix::testing::setWinsockVersions(GetParam().lowest, GetParam().highest);
  posix::testing::setWinsockStartupError(GetParam().startupError);
  EXPECT_EQ(runWinMain(), 0);
  WNDCLASSA wc;
  EXPECT_FALSE(GetClassInfoA(nullptr, "KESTO3270L", &wc));
  EXPECT_EQ(FindWindowA(nullptr, "Quillon"), nullptr);
  EXPECT_FALSE(posix::testing::winsockStarted());
  EXPECT_TRUE(fontResources().empty());  // the font file it added is gone
}

INSTANTIATE_TEST_SUITE_P(Layers, WinMainSocketLayerTest,
                         ::testing::Values(SocketLayer{"OnlyVersionOneZero", MAKEWORD(1, 0), MAKEWORD(1, 0), 0},
                                           SocketLayer{"OnlyVersionTwo", MAKEWORD(2, 0), MAKEWORD(2, 2), 0},
                                           SocketLayer{"NotReady", MAKEWORD(1, 0), MAKEWORD(2, 2), WSASYSNOTREADY}),
                         [](const ::testing::TestParamInfo<SocketLayer>& info) { return info.param.name; });

TEST(SocketLayerTest, GrantsVersionOneOne) {
  posix::testing::resetPlatform();
  EXPECT_EQ(ncTcpWSARegWSAStartup(), 1);
  EXPECT_TRUE(posix::testing::winsockStarted());
  EXPECT_EQ(ncTcpWSARegWSACleanup(), 0);
  EXPECT_FALSE(posix::testing::winsockStarted());
  EXPECT_EQ(ncTcpWSARegWSACleanup(), SOCKET_ERROR);
}

// Out of memory: each allocation made while the window is created ends the
// program with exit status 0 after telling the user.
struct AllocationFailure {
  const char* name;
  int skip;           // successful nothrow allocations before the failing one
  bool ownedByWindow;  // whether the message box has the window as its owner
};

void PrintTo(const AllocationFailure& p, std::ostream* os) { *os << p.name; }

class OutOfMemoryTest : public TerminalWindowTest, public ::testing::WithParamInterface<AllocationFailure> {};

TEST_P(OutOfMemoryTest, TellsTheUserAndEndsWithStatusZero) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const AllocationFailure failure = GetParam();
  EXPECT_EXIT(
      {
        posix::testing::setMessageBoxHandler([&](const posix::MessageBoxRecord& box) {
          std::fprintf(stderr, "box owned=%d type=%u caption=[%s] text=[%s]\n", box.owner != nullptr,
                       box.type, box.caption.c_str(), box.text.c_str());
          return IDOK;
        });
        failNothrowAllocationAfter(failure.skip);
        createMainWindow();
        std::fprintf(stderr, "still running\n");
        std::exit(3);
      },
      ::testing::ExitedWithCode(0),
      std::string("box owned=") + (failure.ownedByWindow ? "1" : "0") +
          " type=48 caption=\\[Out Of Memory\\] text=\\[You are running out of memory,please close some "
          "applications and start this program again\\]");
}

INSTANTIATE_TEST_SUITE_P(Allocations, OutOfMemoryTest,
                         ::testing::Values(AllocationFailure{"TerminalObject", 0, true},
                                           AllocationFailure{"NvtCharacters", 1, false},
                                           AllocationFailure{"NvtAttributes", 2, false}),
                         [](const ::testing::TestParamInfo<AllocationFailure>& info) { return info.param.name; });

// The executable, sent a termination signal, closes its window and exits 0.
class ExecutableSignalTest : public ::testing::TestWithParam<int> {};

namespace {

bool catchesSignal(pid_t pid, int sig) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("SigCgt:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) >> (sig - 1)) & 1;
  return false;
}

}  // namespace

namespace {

// Runs the executable headless, with `environment` ("NAME=value") added when given.
pid_t startHeadless(const char* exe, const char* environment = nullptr) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (environment) putenv(const_cast<char*>(environment));
    execl(exe, exe, "--headless", static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

// Sends `sig` once the program catches it; the exit status, or -1 when it was
// killed by a signal or did not end.
int endWith(pid_t pid, int sig) {
  using namespace std::chrono;
  const auto deadline = steady_clock::now() + seconds(30);
  while (!catchesSignal(pid, sig) && steady_clock::now() < deadline) std::this_thread::sleep_for(milliseconds(5));
  kill(pid, sig);
  int status = 0;
  pid_t done = 0;
  while ((done = waitpid(pid, &status, WNOHANG)) == 0 && steady_clock::now() < deadline)
    std::this_thread::sleep_for(milliseconds(5));
  if (done == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST_P(ExecutableSignalTest, EndsThroughTheCloseMessageWithStatusZero) {
  const char* exe = std::getenv("QUILLON_EXE");
  if (!exe) GTEST_SKIP() << "QUILLON_EXE is not set";
  const pid_t pid = startHeadless(exe);
  ASSERT_GE(pid, 0);
  EXPECT_EQ(endWith(pid, GetParam()), 0);
}

// The start-up measurement: the time of the first wait for events is written
// only when asked for, and the program runs and ends as usual.
TEST(ExecutableStartupTest, WritesTheFirstWaitTimeWhenAskedAndEndsNormally) {
  const char* exe = std::getenv("QUILLON_EXE");
  if (!exe) GTEST_SKIP() << "QUILLON_EXE is not set";
  const std::string file = std::filesystem::current_path().string() + "/first-wait.txt";
  std::remove(file.c_str());
  timespec before{};
  clock_gettime(CLOCK_MONOTONIC, &before);
  static std::string variable;
  variable = "QUILLON_FIRST_WAIT_FILE=" + file;
  const pid_t pid = startHeadless(exe, variable.c_str());
  ASSERT_GE(pid, 0);
  // Started, it soon has nothing to do and waits.
  long long nanoseconds = 0;
  using namespace std::chrono;
  for (const auto deadline = steady_clock::now() + seconds(30); steady_clock::now() < deadline;) {
    std::ifstream in(file);
    std::string line;
    // A whole line: the program may be writing it right now.
    if (std::getline(in, line) && !in.eof()) {
      nanoseconds = std::atoll(line.c_str());
      break;
    }
    std::this_thread::sleep_for(milliseconds(5));
  }
  EXPECT_EQ(endWith(pid, SIGTERM), 0);
  ASSERT_GT(nanoseconds, 0) << "no time in " << file;
  EXPECT_GT(nanoseconds, static_cast<long long>(before.tv_sec) * 1000000000LL + before.tv_nsec);
  std::remove(file.c_str());
}

INSTANTIATE_TEST_SUITE_P(Signals, ExecutableSignalTest, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& info) { return std::string(strsignal(info.param)) == "Terminated" ? "Term" : info.param == SIGINT ? "Int" : "Hup"; });
