#include "script_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>

namespace {

int64_t nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The run time at the end of a status line (after the window id) becomes "T";
// a line not of that form is left as it is, so that a malformed time shows.
std::string maskTime(const std::string& line) {
  const size_t blank = line.rfind(' ');
  const size_t window = line.rfind(" 0x", blank == std::string::npos ? 0 : blank - 1);
  if (blank == std::string::npos || window == std::string::npos || line.find(' ', window + 1) != blank) return line;
  const std::string time = line.substr(blank + 1);
  const size_t dot = time.find('.');
  if (dot == 0 || dot == std::string::npos || time.size() - dot != 4) return line;
  for (size_t i = 0; i < time.size(); ++i)
    if (i != dot && !std::isdigit(static_cast<unsigned char>(time[i]))) return line;
  return line.substr(0, blank) + " T";
}

}  // namespace

ScriptProgram::ScriptProgram(std::vector<std::string> args, const std::string& program) {
  // A program that stops reading must not end the test with SIGPIPE.
  signal(SIGPIPE, SIG_IGN);
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) != 0) return;
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
    close(in[0]);
    close(in[1]);
    return;
  }
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    // Sockets of the test's hosts stay with the test: a host's close must reach the program.
    close_range(3, ~0U, 0);
    signal(SIGPIPE, SIG_DFL);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  input_ = in[1];
  output_ = out[0];
  errors_ = err[0];
  if (pid_ < 0) {
    closeInput();
    return;
  }
  fcntl(input_, F_SETFL, O_NONBLOCK);
}

ScriptProgram::~ScriptProgram() {
  finish(3000);
  if (output_ >= 0) close(output_);
  if (errors_ >= 0) close(errors_);
}

void ScriptProgram::closeInput() {
  if (input_ >= 0) close(input_);
  input_ = -1;
}

bool ScriptProgram::readSome(int timeoutMs) {
  pollfd p[2] = {{output_, POLLIN, 0}, {errors_, POLLIN, 0}};
  if (output_ < 0 && errors_ < 0) return false;
  if (poll(p, 2, timeoutMs) <= 0) return true;
  for (int i = 0; i < 2; ++i) {
    if (!(p[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
    char buffer[65536];
    const ssize_t n = read(p[i].fd, buffer, sizeof buffer);
    if (n > 0) {
      (i == 0 ? out_ : err_).append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      close(p[i].fd);
      (i == 0 ? output_ : errors_) = -1;
    }
  }
  return output_ >= 0 || errors_ >= 0;
}

bool ScriptProgram::write(const std::string& text, int timeoutMs) {
  const int64_t deadline = nowMs() + timeoutMs;
  size_t done = 0;
  while (done < text.size()) {
    if (input_ < 0 || nowMs() > deadline) return false;
    const ssize_t n = ::write(input_, text.data() + done, text.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    // The pipe is full: wait for room, reading what the program says meanwhile.
    pollfd p{input_, POLLOUT, 0};
    poll(&p, 1, 10);
    readSome(0);
  }
  return true;
}

std::string ScriptProgram::answer(int timeoutMs) {
  const int64_t deadline = nowMs() + timeoutMs;
  std::vector<std::string> lines;
  size_t at = 0;
  for (;;) {
    const size_t nl = out_.find('\n', at);
    if (nl == std::string::npos) {
      const int64_t left = deadline - nowMs();
      const bool open = output_ >= 0;
      if (left <= 0 || !open) {
        out_.erase(0, at);
        lines.push_back(open ? "<no answer>" : "<end of output>");
        break;
      }
      readSome(static_cast<int>(left));
      continue;
    }
    lines.push_back(out_.substr(at, nl - at));
    at = nl + 1;
    if (lines.back() == "ok" || lines.back() == "error") {
      out_.erase(0, at);
      if (lines.size() >= 2) lines[lines.size() - 2] = maskTime(lines[lines.size() - 2]);
      break;
    }
  }
  std::string joined;
  for (const std::string& l : lines) joined += (joined.empty() ? "" : "\n") + l;
  return joined;
}

int ScriptProgram::finish(int timeoutMs) {
  closeInput();
  if (pid_ <= 0) return status_;
  const int64_t deadline = nowMs() + timeoutMs;
  int status = 0;
  for (;;) {
    const pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) break;
    if (r < 0 || nowMs() > deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      status = -1;
      break;
    }
    readSome(10);  // a program blocked on a full pipe finishes writing
  }
  pid_ = -1;
  status_ = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return status_;
}

std::string ScriptProgram::pendingOutput() {
  while (readSome(0) && (output_ >= 0 || errors_ >= 0)) {
    pollfd p[2] = {{output_, POLLIN, 0}, {errors_, POLLIN, 0}};
    if (poll(p, 2, 0) <= 0) break;
  }
  return out_;
}

std::string ScriptProgram::errors() {
  pendingOutput();
  return err_;
}
