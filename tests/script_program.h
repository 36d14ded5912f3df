// A line-protocol terminal program (quillon-script, or another for comparison)
// run by the test with its standard input, output and error on pipes. The test
// writes action lines and reads each answer up to its `ok` or `error` line.
// Every wait is bounded; the process is killed by its pid if it does not end.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class ScriptProgram {
 public:
  // `program` is a path, or a name looked up in PATH.
  explicit ScriptProgram(std::vector<std::string> args = {}, const std::string& program = QUILLON_SCRIPT_FILE);
  ~ScriptProgram();
  ScriptProgram(const ScriptProgram&) = delete;
  ScriptProgram& operator=(const ScriptProgram&) = delete;

  bool started() const { return pid_ > 0; }
  // Writes text as it is (a line needs its own "\n"); false when the program
  // stopped reading or the time ran out.
  bool write(const std::string& text, int timeoutMs = 10000);
  // The next answer: its lines up to and including `ok` or `error`, joined by
  // "\n", the run time at the end of the status line written "T". What came
  // before the time ran out ends with "<no answer>" or "<end of output>".
  std::string answer(int timeoutMs = 10000);
  // Writes one action line and returns its answer.
  std::string run(const std::string& line, int timeoutMs = 10000) {
    return write(line + "\n") ? answer(timeoutMs) : "<not written>";
  }
  // Ends the input and waits for the program to exit: its exit status, or -1
  // when it had to be killed or died of a signal.
  int finish(int timeoutMs = 10000);
  // Standard output not yet taken by answer(), and standard error so far.
  std::string pendingOutput();
  std::string errors();

 private:
  // Reads what the pipes hold, waiting up to timeoutMs for something; false
  // at the end of both.
  bool readSome(int timeoutMs);
  void closeInput();

  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  int errors_ = -1;
  std::string out_;
  std::string err_;
  int status_ = -1;
};
