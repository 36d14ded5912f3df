// quillon-startup-probe RUNS PROGRAM [ARGUMENTS...]
//
// Starts PROGRAM (the quillon executable) RUNS times with
// QUILLON_FIRST_WAIT_FILE set. The POSIX platform layer writes the
// CLOCK_MONOTONIC time into that file when its message loop first waits with
// nothing to do; the probe takes the same clock just before fork(), so each
// figure covers fork, exec, dynamic loading, static initialisation and WinMain
// up to the first idle wait (the window created, shown and painted). Then,
// with the program idle, it reads VmRSS and VmHWM from /proc/PID/status, ends
// the program with SIGTERM (its normal close path) and checks the exit status.
//
// Prints one line per run and a summary:
//   startup_ms median=M min=M max=M runs=N
//   idle_rss_kib median=K hwm_kib median=K
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

long long monotonicNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// The value of a "Key:   1234 kB" line of /proc/PID/status, or -1.
long statusKib(pid_t pid, const std::string& key) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, key.size() + 1, key + ":") == 0) return std::strtol(line.c_str() + key.size() + 1, nullptr, 10);
  }
  return -1;
}

template <typename T>
T median(std::vector<T> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s RUNS PROGRAM [ARGUMENTS...]\n", argv[0]);
    return 2;
  }
  const int runs = std::max(1, std::atoi(argv[1]));
  char stampTemplate[] = "/tmp/quillon-first-wait-XXXXXX";
  const int stampFd = mkstemp(stampTemplate);
  if (stampFd < 0) {
    std::perror("mkstemp");
    return 1;
  }
  close(stampFd);
  const std::string stampPath = stampTemplate;
  setenv("QUILLON_FIRST_WAIT_FILE", stampPath.c_str(), 1);

  std::vector<double> startupMs;
  std::vector<long> rssKib, hwmKib;
  int failures = 0;
  for (int run = 0; run < runs; ++run) {
    std::remove(stampPath.c_str());
    const long long started = monotonicNs();
    const pid_t child = fork();
    if (child < 0) {
      std::perror("fork");
      return 1;
    }
    if (child == 0) {
      execv(argv[2], argv + 2);
      std::perror("execv");
      _exit(127);
    }
    long long stamp = -1;
    const long long deadline = started + 20LL * 1000000000LL;
    while (monotonicNs() < deadline) {
      std::ifstream in(stampPath);
      std::string text;
      if (in && std::getline(in, text) && !in.eof()) {  // the whole line, newline included
        stamp = std::atoll(text.c_str());
        break;
      }
      int status = 0;
      if (waitpid(child, &status, WNOHANG) == child) break;  // ended before it ever waited
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (stamp < 0) {
      std::fprintf(stderr, "run %d: the program never reached its message loop\n", run + 1);
      kill(child, SIGKILL);
      waitpid(child, nullptr, 0);
      ++failures;
      continue;
    }
    // Idle for a moment: whatever start-up deferred has run.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const long rss = statusKib(child, "VmRSS");
    const long hwm = statusKib(child, "VmHWM");
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    const bool clean = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    const double ms = static_cast<double>(stamp - started) / 1e6;
    std::printf("run %d: first wait after %.2f ms, idle VmRSS %ld kB, VmHWM %ld kB, %s\n", run + 1, ms, rss, hwm,
                clean ? "exit 0 on SIGTERM" : "did NOT exit 0 on SIGTERM");
    if (!clean) ++failures;
    startupMs.push_back(ms);
    rssKib.push_back(rss);
    hwmKib.push_back(hwm);
  }
  std::remove(stampPath.c_str());
  if (startupMs.empty()) return 1;
  std::printf("startup_ms median=%.2f min=%.2f max=%.2f runs=%zu\n", median(startupMs),
              *std::min_element(startupMs.begin(), startupMs.end()),
              *std::max_element(startupMs.begin(), startupMs.end()), startupMs.size());
  std::printf("idle_rss_kib median=%ld hwm_kib median=%ld\n", median(rssKib), median(hwmKib));
  return failures == 0 ? 0 : 1;
}
