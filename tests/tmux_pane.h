// tmux as a user's terminal for the end-to-end tests: a server on a socket of
// the test's own, one session of 100 x 32, its pane read back as text.
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

namespace tmuxpane {


inline std::string quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Runs a shell command; its standard output, and whether it exited 0.
inline bool run(const std::string& command, std::string* output = nullptr) {
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
    // Without the leak check at exit: a sanitized program whose terminal is taken
    // away by a failing test's kill-server can spin in it instead of ending.
    return run(tmux() + " new-session -d -s quillon -x 100 -y 32 -e LANG=C.UTF-8 -e ASAN_OPTIONS=detect_leaks=0 " +
               quote(command));
  }
  bool resize(int columns, int rows) {
    return run(tmux() + " resize-window -t quillon -x " + std::to_string(columns) + " -y " + std::to_string(rows));
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
  // Types the text as it stands, key by key.
  bool type(const std::string& text) const { return run(tmux() + " send-keys -l -t quillon " + quote(text)); }
  // The pane with its colours, as escape sequences.
  std::string paneWithColours() const {
    std::string text;
    run(tmux() + " capture-pane -e -p -t quillon", &text);
    return text;
  }
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

inline bool has(const std::string& pane, const std::string& text) { return pane.find(text) != std::string::npos; }

}  // namespace tmuxpane
