// The real quillon-demo-host for the tests: started on a free port of
// 127.0.0.1 and ended, with its sessions, when the object goes.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class DemoHost {
 public:
  explicit DemoHost(std::vector<std::string> args = {"--port", "0", "--logoff-delay", "0"});
  ~DemoHost();
  DemoHost(const DemoHost&) = delete;
  DemoHost& operator=(const DemoHost&) = delete;

  int port() const { return port_; }  // 0 when it did not start
  pid_t pid() const { return pid_; }
  const std::string& firstLine() const { return firstLine_; }

  // SIGTERM, then the exit status (-1 when it had to be killed).
  int stop();
  // Waits until the process ends by itself; its exit status, or -1.
  int waitExit();
  // The state letter of each of the host's child processes ('Z' for one that
  // ended and was not reaped); false when the system does not tell.
  bool children(std::string& states) const;

 private:
  pid_t pid_ = -1;
  int output_ = -1;
  int port_ = 0;
  int status_ = -1;
  std::string firstLine_;
};
