#include "demo_host.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

constexpr int kWaitMs = 5000;

int64_t nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

DemoHost::DemoHost(std::vector<std::string> args) {
  std::vector<char*> argv{const_cast<char*>("quillon-demo-host")};
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int out[2];
  if (pipe(out) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    execv(QUILLON_DEMO_HOST_FILE, argv.data());
    _exit(127);
  }
  close(out[1]);
  output_ = out[0];
  // The first line names the port.
  std::string line;
  const int64_t deadline = nowMs() + kWaitMs;
  while (pid_ > 0 && line.find('\n') == std::string::npos && nowMs() < deadline) {
    pollfd p{output_, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char c;
    if (read(output_, &c, 1) != 1) break;
    line += c;
  }
  firstLine_ = line;
  const std::string prefix = "listening on 127.0.0.1:";
  if (line.rfind(prefix, 0) == 0) port_ = std::atoi(line.c_str() + prefix.size());
}

DemoHost::~DemoHost() {
  stop();
  if (output_ >= 0) close(output_);
}

int DemoHost::stop() {
  if (pid_ <= 0) return status_;
  kill(pid_, SIGTERM);
  const int64_t deadline = nowMs() + kWaitMs;
  int status = 0;
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (nowMs() > deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      status = -1;
      break;
    }
    usleep(10000);
  }
  pid_ = -1;
  status_ = status == -1 ? -1 : (WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  return status_;
}

int DemoHost::waitExit() {
  const int64_t deadline = nowMs() + kWaitMs;
  int status = 0;
  while (pid_ > 0 && nowMs() < deadline) {
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    usleep(10000);
  }
  return -1;
}

bool DemoHost::children(std::string& states) const {
  states.clear();
  std::ifstream list("/proc/" + std::to_string(pid_) + "/task/" + std::to_string(pid_) + "/children");
  if (!list) return false;
  int child;
  while (list >> child) {
    std::ifstream stat("/proc/" + std::to_string(child) + "/stat");
    const std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t name = text.rfind(')');
    if (name != std::string::npos && name + 2 < text.size()) states += text[name + 2];
  }
  return true;
}
