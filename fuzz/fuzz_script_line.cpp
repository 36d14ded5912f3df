// Action lines of quillon-script: the input is cut at its line ends and each
// line read as the program reads one. A line that parses must parse the same
// again when written back with every argument quoted; each action is then
// carried out on a session with no host, except Connect (it would reach the
// network) and a Wait for some seconds (it would only sleep).
#include <cctype>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "script/action_line.h"
#include "script/actions.h"

namespace {

constexpr size_t kMaxLines = 256;

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The action written with every argument in quotes, '\' and '"' escaped.
std::string quoted(const ActionLine& action) {
  std::string line = action.name + "(";
  for (size_t i = 0; i < action.args.size(); ++i) {
    line += i == 0 ? "\"" : ", \"";
    for (char c : action.args[i]) {
      if (c == '"' || c == '\\') line += '\\';
      line += c;
    }
    line += '"';
  }
  return line + ")";
}

bool runnable(const ActionLine& action) {
  const std::string name = lower(action.name);
  if (name == "connect") return false;
  return !(name == "wait" && !action.args.empty() && lower(action.args.back()) == "seconds");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::session();  // the scratch directory and the platform
  static ScriptSession* session = new ScriptSession;
  static ScriptActions* actions = new ScriptActions(*session);
  const std::string input(reinterpret_cast<const char*>(data), size);
  size_t at = 0;
  for (size_t n = 0; n < kMaxLines && at <= input.size(); ++n) {
    const size_t end = std::min(input.find('\n', at), input.size());
    const std::string line = input.substr(at, end - at);
    at = end + 1;
    ActionLine action;
    std::string error;
    if (!ParseActionLine(line, &action, &error)) {
      if (error.empty()) std::abort();  // every refusal says why
      continue;
    }
    if (action.name.empty()) continue;
    ActionLine again;
    if (!ParseActionLine(quoted(action), &again, &error) || again.name != action.name || again.args != action.args)
      std::abort();
    if (!runnable(action)) continue;
    std::vector<std::string> answer;
    bool quit = false;
    actions->Run(action, &answer, &quit);
    actions->Status(0);
  }
  fuzz::finishInput();
  return 0;
}
