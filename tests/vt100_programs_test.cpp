// Real full-screen programs through the real telnet server, end to end: each
// session runs three ways at once, each in a tmux pane of its own.
//   reference  the program directly in an 80 x 25 pane, TERM=vt100;
//   telnet     a plain telnet client in an 80 x 25 pane, through telnetd;
//   quillon    the quillon executable in its VT100 mode, through telnetd.
// After each step of keys the 80 x 25 screens must be the same, character for
// character. The telnet client checks the harness itself: when it differs from
// the reference, the harness is at fault, not Quillon.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "telnetd_relay.h"
#include "tmux_pane.h"

using namespace tmuxpane;

namespace {

using Clock = std::chrono::steady_clock;
// 25 rows of UTF-8 with trailing blanks dropped, then the cursor's place.
using Screen = std::vector<std::string>;

constexpr int kColumns = 80;
constexpr int kRows = 25;
// Quillon's display: title line and menu bar above the terminal's rows, a spare
// column and the scroll bar to their right (82 x 28 in all).
constexpr int kQuillonTop = 2;
constexpr int kQuillonWidth = 82;
constexpr int kQuillonHeight = 28;
// A screen counts as drawn once it has held still this long.
constexpr auto kSettle = std::chrono::milliseconds(300);

// ---- the sessions ------------------------------------------------------------------------------

// What the user does before a screen is compared: literal text, and tmux key
// names in braces ("{Down}").
struct Step {
  std::string label;
  std::string input;
  bool changes = true;  // false: the text and cursor may stay (a menu's highlight moves)
};

struct Session {
  std::string name;
  std::string program;  // must be installed
  std::string command;  // the end of the host script
  std::vector<Step> steps;
};

// A line of `n` letters, A to Z over and over.
std::string letters(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += static_cast<char>('A' + i % 26);
  return s;
}

void PrintTo(const Session& s, std::ostream* os) { *os << s.name; }

std::vector<Session> sessions() {
  const std::string menu =
      "'Pick a fruit' 15 40 6 apple 'red and round' banana 'long and yellow' cherry 'small and dark' "
      "date 'sweet and brown' elder 'black berries' fig 'soft and purple' 2> choice.txt\n"
      "printf 'chose [%s]\\n' \"$(cat choice.txt)\"\n"
      "exec sleep 60\n";
  return {
      {"Less", "less", "exec less lines.txt\n",
       {{"first screen", ""}, {"Space", "{Space}"}, {"three Down arrows", "{Down}{Down}{Down}"}, {"Up arrow", "{Up}"}}},
      {"Vim", "vim", "exec vim -u NONE -N -n -i NONE lines.txt\n",
       {{"first screen", ""},
        {"arrows", "{Down}{Down}{Down}{Right}{Right}{Right}{Right}"},
        {"insert mode", "iXYZ"},
        {"arrow in insert mode, more text", "{Down}{Left}qq"}}},
      {"Nano", "nano", "exec nano --ignorercfiles notes.txt\n",
       {{"first screen", ""}, {"a typed line", "typed in nano{Enter}"}, {"arrows", "{Up}{Up}{Right}{Right}{Right}x"}}},
      {"DialogMenu", "dialog", "dialog --menu " + menu,
       {{"first screen", ""}, {"two Down arrows", "{Down}{Down}", false}, {"Enter", "{Enter}"}}},
      {"WhiptailMenu", "whiptail", "whiptail --menu " + menu,
       {{"first screen", ""}, {"two Down arrows", "{Down}{Down}", false}, {"Enter", "{Enter}"}}},
      // Lines of exactly 80 and of 120 characters, output and echoed as typed.
      {"ShellLongLines", "sh", "exec sh -i\n",
       {{"prompt", ""},
        {"80 characters", "echo " + letters(80) + "{Enter}"},
        {"120 characters", "printf '%s\\n' " + letters(120) + "{Enter}"}}},
  };
}

// The program telnetd runs (and the reference pane too): a known environment in
// the directory given as $1, then the session's command.
std::string hostScript(const Session& s) {
  return "#!/bin/sh\n"
         "cd \"$1\" || exit 1\n"
         "TERM=vt100 HOME=$1 LC_ALL=C LANG=C LESSHISTFILE=- PS1='$ ' PATH=/usr/local/bin:/usr/bin:/bin\n"
         "export TERM HOME LC_ALL LANG LESSHISTFILE PS1 PATH\n"
         "unset LESS LESSOPEN LESSCLOSE ENV VIMINIT EXINIT MAIL NEWT_COLORS DIALOGRC\n"
         "stty sane\n"
         // The size comes from the client's NAWS, which may follow the start:
         // wait for it (a while at most) so the program does not start at 0 x 0.
         "n=0\n"
         "while [ \"$(stty size)\" = '0 0' ] && [ $n -lt 30 ]; do sleep 0.1; n=$((n + 1)); done\n"
         "printf '\\033[H\\033[J'\n" +
         s.command;
}

// ---- tmux panes ---------------------------------------------------------------------------------

// A tmux server of the test's own with no status line, so a session's size is its pane's.
class Panes {
 public:
  explicit Panes(const std::string& dir)
      : socket_("quillon-vt100-programs-" + std::to_string(getpid())), config_(dir + "/tmux.conf") {
    std::ofstream(config_) << "set -g status off\n";
  }
  ~Panes() { run(tmux() + " kill-server"); }
  bool start(const std::string& name, int width, int height, const std::string& command) const {
    return run(tmux() + " new-session -d -s " + name + " -x " + std::to_string(width) + " -y " +
               std::to_string(height) + " -e LANG=C.UTF-8 -e ASAN_OPTIONS=detect_leaks=0 " + quote(command));
  }
  // The pane's text.
  std::string text(const std::string& name) const {
    std::string text;
    run(tmux() + " capture-pane -p -t " + name, &text);
    return text;
  }
  // The pane with its attributes as escape sequences, then a line with the
  // cursor's column and row.
  std::string capture(const std::string& name) const {
    std::string text;
    run(tmux() + " capture-pane -p -e -t " + name + " \\; display-message -p -t " + name +
            " '#{cursor_x} #{cursor_y}'",
        &text);
    return text;
  }
  // Sends `input` ("{Name}" as a key, the rest as typed text).
  bool send(const std::string& name, const std::string& input) const {
    for (size_t at = 0; at < input.size();) {
      const size_t brace = input.find('{', at);
      if (brace == at) {
        const size_t end = input.find('}', at);
        if (end == std::string::npos) return false;
        if (!run(tmux() + " send-keys -t " + name + " " + input.substr(at + 1, end - at - 1))) return false;
        at = end + 1;
      } else {
        const size_t end = brace == std::string::npos ? input.size() : brace;
        if (!run(tmux() + " send-keys -l -t " + name + " " + quote(input.substr(at, end - at)))) return false;
        at = end;
      }
    }
    return true;
  }

 private:
  std::string tmux() const { return "tmux -u -L " + quote(socket_) + " -f " + quote(config_); }
  std::string socket_;
  std::string config_;
};

std::string utf8(char32_t c) {
  if (c < 0x80) return std::string(1, static_cast<char>(c));
  if (c < 0x800) return {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
  return {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
          static_cast<char>(0x80 | (c & 0x3F))};
}

// The VT100 line-drawing characters for "_" to "~".
const char32_t kGraphics[32] = {0x0020, 0x25C6, 0x2592, 0x2409, 0x240C, 0x240D, 0x240A, 0x00B0,
                                0x00B1, 0x2424, 0x240B, 0x2518, 0x2510, 0x250C, 0x2514, 0x253C,
                                0x23BA, 0x23BB, 0x2500, 0x23BC, 0x23BD, 0x251C, 0x2524, 0x2534,
                                0x252C, 0x2502, 0x2264, 0x2265, 0x03C0, 0x2260, 0x00A3, 0x00B7};

// The cells of a pane captured with its attributes (capture-pane -e), row by
// row. tmux keeps line-drawing cells as the letters the program sent and marks
// them with SO ... SI; they become the characters shown. Other escape
// sequences (the attributes) are dropped.
std::vector<std::vector<std::string>> cellsOf(const std::string& capture) {
  std::vector<std::vector<std::string>> rows(1);
  bool graphics = false;
  for (size_t i = 0; i < capture.size();) {
    const unsigned char b = static_cast<unsigned char>(capture[i]);
    if (b == '\n') {
      rows.emplace_back();
      ++i;
    } else if (b == 0x0E || b == 0x0F) {
      graphics = b == 0x0E;
      ++i;
    } else if (b == 0x1B) {
      ++i;
      if (i < capture.size() && capture[i] == '[')
        for (++i; i < capture.size() && !(capture[i] >= 0x40 && capture[i] <= 0x7E);) ++i;
      ++i;
    } else if (graphics && b >= 0x5F && b <= 0x7E) {
      rows.back().push_back(utf8(kGraphics[b - 0x5F]));
      ++i;
    } else {
      size_t n = 1;
      while (i + n < capture.size() && (static_cast<unsigned char>(capture[i + n]) & 0xC0) == 0x80) ++n;
      rows.back().push_back(capture.substr(i, n));
      i += n;
    }
  }
  return rows;
}

// The 80 x 25 screen whose top row is row `top` of a captured pane.
Screen screenOf(const std::string& capture, int top) {
  const size_t end = capture.find_last_not_of('\n');
  const size_t cursorLine = end == std::string::npos ? std::string::npos : capture.rfind('\n', end);
  const std::vector<std::vector<std::string>> rows = cellsOf(capture.substr(0, cursorLine));
  int cursorX = -1, cursorY = -1;
  if (cursorLine != std::string::npos) std::sscanf(capture.c_str() + cursorLine + 1, "%d %d", &cursorX, &cursorY);
  Screen screen;
  for (int r = 0; r < kRows; ++r) {
    const size_t y = static_cast<size_t>(top + r);
    std::string row;
    for (size_t x = 0; y < rows.size() && x < rows[y].size() && x < static_cast<size_t>(kColumns); ++x)
      row += rows[y][x];
    while (!row.empty() && row.back() == ' ') row.pop_back();
    screen.push_back(row);
  }
  screen.push_back("row " + std::to_string(cursorY - top + 1) + ", column " + std::to_string(cursorX + 1));
  return screen;
}

std::string show(const Screen& s, const Screen& other) {
  std::string out;
  for (size_t r = 0; r < s.size(); ++r) {
    const std::string number = r == kRows ? "cursor" : (r < 9 ? " " : "") + std::to_string(r + 1);
    out += std::string(r < other.size() && other[r] == s[r] ? " " : "*") + number + " |" + s[r] + "|\n";
  }
  return out;
}

// ---- the relay, run by a thread -----------------------------------------------------------------

// TelnetdRelay for a terminal outside this process: a thread takes the
// connection when it comes and then moves bytes both ways until stopped.
class RelayThread {
 public:
  explicit RelayThread(const std::string& program) : relay_(program) {
    if (!relay_.listening()) return;
    thread_ = std::thread([this] {
      while (!stop_ && !relay_.start(100)) {
      }
      while (!stop_) {
        relay_.pass(0, nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    });
  }
  ~RelayThread() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  bool listening() const { return relay_.listening(); }
  std::string host() const { return relay_.address(); }
  std::string port() const { return host().substr(host().rfind(':') + 1); }

 private:
  TelnetdRelay relay_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// ---- the test -----------------------------------------------------------------------------------

class Vt100ProgramsTest : public ::testing::TestWithParam<Session> {
 protected:
  void SetUp() override {
    const char* exe = std::getenv("QUILLON_EXE");
    if (!exe || !*exe) GTEST_SKIP() << "QUILLON_EXE is not set";
    exe_ = exe;
    if (!run("command -v tmux")) GTEST_SKIP() << "tmux is not installed";
    if (access(TelnetdRelay::kServer, X_OK) != 0) GTEST_SKIP() << TelnetdRelay::kServer << " is not installed";
    if (!run("command -v telnet")) GTEST_SKIP() << "no telnet client (inetutils-telnet) for the harness's self-check";
    if (!run("command -v " + GetParam().program)) GTEST_SKIP() << GetParam().program << " is not installed";
    char dir[] = "/tmp/quillon-vt100-programs-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    std::ofstream(dir_ + "/session.sh") << hostScript(GetParam());
    ASSERT_EQ(chmod((dir_ + "/session.sh").c_str(), 0755), 0);
    std::string numbered;
    for (int i = 1; i <= 200; ++i) {
      char line[80];
      std::snprintf(line, sizeof line, "line %03d of the numbered file, %s\n", i, letters(i % 40).c_str());
      numbered += line;
    }
    // A directory for each way, with the same files, so the screens show the same names.
    for (const char* way : {"reference", "telnet", "quillon"}) {
      ASSERT_EQ(mkdir((dir_ + "/" + way).c_str(), 0755), 0);
      std::ofstream(dir_ + "/" + way + "/lines.txt") << numbered;
      std::ofstream(dir_ + "/" + way + "/notes.txt") << "first note\nsecond note\nthird note\n";
    }
  }
  void TearDown() override {
    panes_.reset();  // the clients go first, then the servers
    telnet_.reset();
    quillon_.reset();
    if (!dir_.empty()) run("rm -rf " + quote(dir_));
  }

  std::string script(const std::string& way) const { return dir_ + "/session.sh " + dir_ + "/" + way; }

  // Captures the pane until it has held still and `done` holds for it, or the
  // time is up; the last capture either way.
  Screen settle(const std::string& pane, int top, const std::function<bool(const Screen&, Clock::duration)>& done,
                Clock::duration limit, bool* ok) const {
    const auto begin = Clock::now();
    std::string last = panes_->capture(pane);
    auto since = Clock::now();
    for (;;) {
      std::this_thread::sleep_for(std::chrono::milliseconds(40));
      const std::string now = panes_->capture(pane);
      if (now != last) {
        last = now;
        since = Clock::now();
      } else if (Clock::now() - since >= kSettle && done(screenOf(now, top), Clock::now() - begin)) {
        *ok = true;
        return screenOf(now, top);
      }
      if (Clock::now() - begin > limit) {
        *ok = false;
        return screenOf(last, top);
      }
    }
  }

  // Polls Quillon's whole pane until it shows `text`.
  ::testing::AssertionResult quillonShows(const std::string& text) const {
    const auto end = Clock::now() + std::chrono::seconds(10);
    std::string pane;
    do {
      pane = panes_->text("quillon");
      if (has(pane, text)) return ::testing::AssertionSuccess();
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (Clock::now() < end);
    return ::testing::AssertionFailure() << "Quillon's pane never showed \"" << text << "\":\n" << pane;
  }

  // The screen of `pane` once it matches the reference, or has held a different
  // screen past `patience` (a wrong screen); bounded either way.
  Screen settleOn(const std::string& pane, int top, const Screen& reference, Clock::duration patience) const {
    bool ok = false;
    return settle(
        pane, top, [&](const Screen& s, Clock::duration waited) { return s == reference || waited >= patience; },
        patience + std::chrono::seconds(4), &ok);
  }

  std::string exe_;
  std::string dir_;
  std::unique_ptr<RelayThread> telnet_;
  std::unique_ptr<RelayThread> quillon_;
  std::unique_ptr<Panes> panes_;
};

TEST_P(Vt100ProgramsTest, ScreensMatchTheReferenceTerminal) {
  const Session& session = GetParam();
  telnet_ = std::make_unique<RelayThread>(script("telnet"));
  quillon_ = std::make_unique<RelayThread>(script("quillon"));
  ASSERT_TRUE(telnet_->listening() && quillon_->listening());
  panes_ = std::make_unique<Panes>(dir_);
  ASSERT_TRUE(panes_->start("reference", kColumns, kRows, "exec " + script("reference")));
  ASSERT_TRUE(panes_->start("telnet", kColumns, kRows, "TERM=vt100 exec telnet 127.0.0.1 " + telnet_->port()));
  ASSERT_TRUE(panes_->start("quillon", kQuillonWidth, kQuillonHeight,
                            "cd " + quote(dir_ + "/quillon") + " && exec " + quote(exe_) + " " + quillon_->host()));
  // Connect, VT100 chosen in the host dialog.
  ASSERT_TRUE(quillonShows("Main  Edit  Connect"));
  ASSERT_TRUE(panes_->send("quillon", "{C-]}{Right}{Right}{Enter}"));
  ASSERT_TRUE(quillonShows("Destination Host"));
  ASSERT_TRUE(panes_->send("quillon", "{Tab}{Up}{Enter}"));

  Screen reference;
  bool first = true;
  for (const Step& step : session.steps) {
    for (const char* pane : {"reference", "telnet", "quillon"}) ASSERT_TRUE(panes_->send(pane, step.input));
    const Screen before = reference;
    bool ok = false;
    // The program's answer: a settled screen, not blank, and not the one before
    // (or, for a step that may leave them alike, after a while).
    reference = settle(
        "reference", 0,
        [&](const Screen& s, Clock::duration waited) {
          const bool blank = std::all_of(s.begin(), s.begin() + kRows, [](const std::string& r) { return r.empty(); });
          return !blank && (step.changes ? s != before : waited > std::chrono::milliseconds(500));
        },
        std::chrono::seconds(8), &ok);
    ASSERT_TRUE(ok) << session.name << ", " << step.label << ": the reference pane did not settle on a new screen:\n"
                    << show(reference, reference);
    // Quillon connects while the others already run: more patience at first.
    const auto patience = std::chrono::milliseconds(first ? 3000 : 1200);
    first = false;
    const Screen telnet = settleOn("telnet", 0, reference, patience);
    EXPECT_TRUE(telnet == reference) << session.name << ", " << step.label
                                     << ": the telnet client differs from the reference: the harness is wrong.\n"
                                     << "reference:\n" << show(reference, telnet) << "telnet client:\n"
                                     << show(telnet, reference);
    const Screen quillon = settleOn("quillon", kQuillonTop, reference, patience);
    EXPECT_TRUE(quillon == reference) << session.name << ", " << step.label
                                      << ": Quillon differs from the reference (rows marked *).\n"
                                      << "reference:\n" << show(reference, quillon) << "Quillon:\n"
                                      << show(quillon, reference);
  }
}

INSTANTIATE_TEST_SUITE_P(Vt100Programs, Vt100ProgramsTest, ::testing::ValuesIn(sessions()),
                         [](const ::testing::TestParamInfo<Session>& info) { return info.param.name; });

}  // namespace
