// quillon-script-bench ROUNDS RUNS HOST PROGRAM [ARGUMENTS...] [-- PROGRAM [ARGUMENTS...]]...
//
// Round trips of a script program against a 3270 host (the demo host): each
// PROGRAM is started with pipes on its standard input and output, connects to
// HOST, logs on (user BENCH), and then runs ROUNDS round trips of
//
//   String("9")   an invalid option into the main menu's option field
//   Enter         the host answers with a message and the same menu
//   Wait(InputField)
//   Ascii         the whole screen
//
// one action at a time, each answer (data lines, status line, ok) read before
// the next action is written, as automation drives these programs. A few
// round trips before the measurement warm up both sides; after it the host's
// status panel (option 2) must count every Enter sent. The programs take
// turns, run by run, so that they share the machine's state alike.
//
// Measured over the ROUNDS round trips: the wall time, and the program's own
// CPU time, the run time the scheduler accounts to its threads
// (/proc/PID/task/*/schedstat, nanoseconds), split into user and system time
// from /proc/PID/stat (clock ticks). The host's work is not counted.
//
// Prints a line per run and a summary per program:
//   script_bench program=NAME round_trips_per_s median=R min=R max=R cpu_ms_per_round_trip median=C
//     user_share=U runs=N rounds=M
#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kWarmUpRounds = 20;
constexpr int kAnswerTimeoutMs = 30000;

long long monotonicNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

struct CpuTime {
  long long runNs = 0;  // all threads, from schedstat
  long long userTicks = 0;
  long long systemTicks = 0;
};

CpuTime cpuTime(pid_t pid) {
  CpuTime t;
  const std::string base = "/proc/" + std::to_string(pid);
  if (DIR* tasks = opendir((base + "/task").c_str())) {
    while (const dirent* e = readdir(tasks)) {
      if (e->d_name[0] == '.') continue;
      std::ifstream in(base + "/task/" + e->d_name + "/schedstat");
      long long ns = 0;
      if (in >> ns) t.runNs += ns;
    }
    closedir(tasks);
  }
  // Fields 14 and 15 of stat, counted after the parenthesised command name.
  std::ifstream in(base + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t close = text.rfind(')');
  if (close != std::string::npos && close + 2 <= text.size()) {
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    for (int k = 3; k <= 15 && fields >> field; ++k) {
      if (k == 14) t.userTicks = std::atoll(field.c_str());
      if (k == 15) t.systemTicks = std::atoll(field.c_str());
    }
  }
  return t;
}

class Program {
 public:
  explicit Program(const std::vector<std::string>& command) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) {
      std::perror("pipe");
      std::exit(1);
    }
    pid_ = fork();
    if (pid_ < 0) {
      std::perror("fork");
      std::exit(1);
    }
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      close(in[0]);
      close(in[1]);
      close(out[0]);
      close(out[1]);
      std::vector<char*> argv;
      for (const std::string& a : command) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      std::perror("execv");
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    toChild_ = in[1];
    fromChild_ = out[0];
  }
  ~Program() {
    if (toChild_ >= 0) close(toChild_);
    if (fromChild_ >= 0) close(fromChild_);
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  pid_t pid() const { return pid_; }

  // Writes one action and reads its answer; the data lines in *data. False on
  // "error", on an end of output or after the timeout (with *why).
  bool Run(const std::string& action, std::vector<std::string>* data, std::string* why) {
    const std::string line = action + "\n";
    size_t sent = 0;
    while (sent < line.size()) {
      const ssize_t n = write(toChild_, line.data() + sent, line.size() - sent);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        *why = "the program's input closed";
        return false;
      }
      sent += static_cast<size_t>(n);
    }
    data->clear();
    for (;;) {
      std::string answer;
      if (!readLine(&answer)) {
        *why = "no answer to " + action;
        return false;
      }
      if (answer == "ok") return true;
      if (answer == "error") {
        *why = action + " failed:";
        for (const std::string& d : *data) *why += " " + d;
        return false;
      }
      if (answer.compare(0, 6, "data: ") == 0) data->push_back(answer.substr(6));
    }
  }

  // Quit, then the exit status.
  bool Quit() {
    std::vector<std::string> data;
    std::string why;
    Run("Quit", &data, &why);
    close(toChild_);
    toChild_ = -1;
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

 private:
  bool readLine(std::string* line) {
    for (;;) {
      const size_t nl = buffer_.find('\n', start_);
      if (nl != std::string::npos) {
        line->assign(buffer_, start_, nl - start_);
        start_ = nl + 1;
        if (start_ == buffer_.size()) {
          buffer_.clear();
          start_ = 0;
        }
        return true;
      }
      pollfd p{fromChild_, POLLIN, 0};
      const int ready = poll(&p, 1, kAnswerTimeoutMs);
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) return false;
      char chunk[8192];
      const ssize_t n = read(fromChild_, chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      buffer_.append(chunk, static_cast<size_t>(n));
    }
  }

  pid_t pid_ = -1;
  int toChild_ = -1;
  int fromChild_ = -1;
  std::string buffer_;
  size_t start_ = 0;
};

bool screenShows(const std::vector<std::string>& screen, const std::string& text) {
  for (const std::string& row : screen)
    if (row.find(text) != std::string::npos) return true;
  return false;
}

struct Result {
  double roundTripsPerSecond = 0;
  double cpuMsPerRoundTrip = 0;
  double userShare = 0;
};

// One program's run; false with a message on stderr when the script failed.
bool runOnce(const std::vector<std::string>& command, const std::string& host, int rounds, Result* result) {
  Program program(command);
  std::vector<std::string> data;
  std::string why;
  auto run = [&](const std::string& action) {
    if (program.Run(action, &data, &why)) return true;
    std::fprintf(stderr, "%s: %s\n", command[0].c_str(), why.c_str());
    return false;
  };
  if (!run("Connect(" + host + ")") || !run("Wait(InputField)") || !run("String(\"BENCH\")") || !run("Tab") ||
      !run("String(\"pw\")") || !run("Enter") || !run("Wait(InputField)") || !run("Ascii"))
    return false;
  if (!screenShows(data, "MAIN MENU")) {
    std::fprintf(stderr, "%s: the logon did not reach the main menu\n", command[0].c_str());
    return false;
  }
  auto roundTrip = [&] {
    return run("String(\"9\")") && run("Enter") && run("Wait(InputField)") && run("Ascii");
  };
  for (int k = 0; k < kWarmUpRounds; ++k)
    if (!roundTrip()) return false;
  const CpuTime cpuBefore = cpuTime(program.pid());
  const long long started = monotonicNs();
  for (int k = 0; k < rounds; ++k)
    if (!roundTrip()) return false;
  const long long ended = monotonicNs();
  const CpuTime cpuAfter = cpuTime(program.pid());
  if (!screenShows(data, "INVALID OPTION")) {
    std::fprintf(stderr, "%s: the last screen did not show the host's message\n", command[0].c_str());
    return false;
  }
  // The host's status panel (no input fields: Wait(Unlock)) counts the keys it
  // received: every Enter reached it.
  if (!run("String(\"2\")") || !run("Enter") || !run("Wait(Unlock)") || !run("Ascii")) return false;
  const std::string keys = "Keys received     :  " + std::to_string(1 + kWarmUpRounds + rounds + 1);
  if (!screenShows(data, keys)) {
    std::fprintf(stderr, "%s: the host's status panel does not show \"%s\"\n", command[0].c_str(), keys.c_str());
    return false;
  }
  if (!program.Quit()) std::fprintf(stderr, "%s: did not exit 0 after Quit\n", command[0].c_str());
  const double seconds = static_cast<double>(ended - started) / 1e9;
  const long long ticks = (cpuAfter.userTicks - cpuBefore.userTicks) + (cpuAfter.systemTicks - cpuBefore.systemTicks);
  result->roundTripsPerSecond = rounds / seconds;
  result->cpuMsPerRoundTrip = static_cast<double>(cpuAfter.runNs - cpuBefore.runNs) / 1e6 / rounds;
  const long long userTicks = cpuAfter.userTicks - cpuBefore.userTicks;
  result->userShare = ticks > 0 ? static_cast<double>(userTicks) / static_cast<double>(ticks) : 0;
  return true;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string baseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: %s ROUNDS RUNS HOST PROGRAM [ARGUMENTS...] [-- PROGRAM [ARGUMENTS...]]...\n", argv[0]);
    return 2;
  }
  const int rounds = std::max(1, std::atoi(argv[1]));
  const int runs = std::max(1, std::atoi(argv[2]));
  const std::string host = argv[3];
  std::vector<std::vector<std::string>> commands(1);
  for (int i = 4; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) {
      commands.emplace_back();
      continue;
    }
    commands.back().push_back(argv[i]);
  }
  for (const auto& c : commands) {
    if (c.empty()) {
      std::fprintf(stderr, "an empty program after --\n");
      return 2;
    }
  }
  signal(SIGPIPE, SIG_IGN);

  std::vector<std::vector<Result>> results(commands.size());
  int failures = 0;
  for (int run = 0; run < runs; ++run) {
    for (size_t p = 0; p < commands.size(); ++p) {
      Result r;
      const std::string name = baseName(commands[p][0]);
      if (!runOnce(commands[p], host, rounds, &r)) {
        std::printf("run %d %s: failed\n", run + 1, name.c_str());
        ++failures;
        continue;
      }
      std::printf("run %d %s: %.0f round trips/s, %.4f ms CPU per round trip (%.0f%% user)\n", run + 1,
                  name.c_str(), r.roundTripsPerSecond, r.cpuMsPerRoundTrip, 100 * r.userShare);
      std::fflush(stdout);
      results[p].push_back(r);
    }
  }
  for (size_t p = 0; p < commands.size(); ++p) {
    const std::vector<Result>& rs = results[p];
    if (rs.empty()) continue;
    std::vector<double> rate, cpu, user;
    for (const Result& r : rs) {
      rate.push_back(r.roundTripsPerSecond);
      cpu.push_back(r.cpuMsPerRoundTrip);
      user.push_back(r.userShare);
    }
    std::printf(
        "script_bench program=%s round_trips_per_s median=%.0f min=%.0f max=%.0f cpu_ms_per_round_trip median=%.4f "
        "user_share=%.2f runs=%zu rounds=%d\n",
        baseName(commands[p][0]).c_str(), median(rate), *std::min_element(rate.begin(), rate.end()),
        *std::max_element(rate.begin(), rate.end()), median(cpu), median(user), rs.size(), rounds);
  }
  return failures == 0 ? 0 : 1;
}
