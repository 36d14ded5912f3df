// The actions of the script protocol, carried out on the session.
#pragma once

#include <string>
#include <vector>

#include "script/action_line.h"
#include "script/script_session.h"

class ScriptActions {
 public:
  explicit ScriptActions(ScriptSession& session) : session_(session) {}
  // Carries out one action. Its data lines go to *data; false on error, with
  // the reason among the data lines. Sets *quit for Quit.
  bool Run(const ActionLine& action, std::vector<std::string>* data, bool* quit);
  // The 12 fields of the status line; `seconds` is the action's run time.
  std::string Status(double seconds) const;

 private:
  ScriptSession& session_;
  std::vector<std::string> snap_;  // the screen as it was at the last Snap
  unsigned long outputMark_ = 0;   // output seen when the previous action ended
};
