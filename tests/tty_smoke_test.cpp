// The quillon executable on a real terminal: tmux runs it in a pane of 100 x 32
// and the test reads the pane as a user would see it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

namespace {

std::string quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Runs a shell command; its standard output, and whether it exited 0.
bool run(const std::string& command, std::string* output = nullptr) {
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (!pipe) return false;
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  const int status = pclose(pipe);
  if (output) *output = text;
  return status == 0;
}

// A tmux server of the test's own (its own socket), killed at the end.
class Tmux {
 public:
  Tmux() : socket_("quillon-tty-test-" + std::to_string(getpid())) {}
  ~Tmux() { run(tmux() + " kill-server"); }
  std::string tmux() const { return "tmux -u -L " + quote(socket_) + " -f /dev/null"; }
  bool start(const std::string& command) {
    return run(tmux() + " new-session -d -s quillon -x 100 -y 32 -e LANG=C.UTF-8 " + quote(command));
  }
  std::string pane() const {
    std::string text;
    run(tmux() + " capture-pane -p -t quillon", &text);
    return text;
  }
  std::string format(const std::string& f) const {
    std::string text;
    run(tmux() + " display-message -p -t quillon " + quote(f), &text);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
  }
  bool keys(const std::string& names) const { return run(tmux() + " send-keys -t quillon " + names); }
  // Polls the pane until `ready` holds for it or the deadline passes.
  bool waitFor(const std::function<bool(const std::string&)>& ready, std::string* last) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    do {
      *last = pane();
      if (ready(*last)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
  }

 private:
  std::string socket_;
};

bool has(const std::string& pane, const std::string& text) { return pane.find(text) != std::string::npos; }

}  // namespace

TEST(TtyDisplaySmokeTest, MenuExitEndsTheProgramAndRestoresTheTerminal) {
  const char* exe = std::getenv("QUILLON_EXE");
  if (!exe) GTEST_SKIP() << "QUILLON_EXE is not set";
  if (!run("command -v tmux")) GTEST_SKIP() << "tmux is not installed";
  char dir[] = "/tmp/quillon-tty-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);

  Tmux tmux;
  ASSERT_TRUE(tmux.start("cd " + quote(dir) + " && " + quote(exe) +
                         "; echo quillon-exit-status=$?; exec sleep 600"));
  std::string pane;
  ASSERT_TRUE(tmux.waitFor([](const std::string& p) { return has(p, "Quillon") && has(p, "Main  Edit  Connect"); },
                           &pane))
      << pane;
  EXPECT_EQ(tmux.format("#{alternate_on}"), "1");

  ASSERT_TRUE(tmux.keys("C-] Down"));
  ASSERT_TRUE(tmux.waitFor([](const std::string& p) { return has(p, "│ Escape") && has(p, "│ Exit"); }, &pane))
      << pane;
  ASSERT_TRUE(tmux.keys("Down Enter"));
  ASSERT_TRUE(tmux.waitFor([](const std::string& p) { return has(p, "quillon-exit-status="); }, &pane)) << pane;
  EXPECT_TRUE(has(pane, "quillon-exit-status=0")) << pane;

  // The terminal is as it was: the normal screen, the cursor shown, no keypad or mouse modes.
  EXPECT_FALSE(has(pane, "Main  Edit  Connect")) << pane;
  EXPECT_EQ(tmux.format("#{alternate_on} #{cursor_flag} #{keypad_flag} #{mouse_any_flag}"), "0 1 0 0");
  rmdir(dir);
}
