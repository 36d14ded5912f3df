#include "script/script_main.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "script/actions.h"
#include "tn3270/terminal_model.h"

namespace {

constexpr char kUsage[] =
    "usage: quillon-script [-xrm RESOURCE] [-model 3279-4-E] [-trace] [host]\n"
    "Reads one action a line from standard input, for example Connect(host), Wait(InputField),\n"
    "String(\"text\"), Enter, PF(3), Ascii, Quit; answers each with data lines, a status line and ok or error.\n"
    "-model: 3278-N or 3279-N for N = 2..5, \"-E\" after it for the extended data stream; the default\n"
    "is [3270] Model in quillon.ini, else 3278-2.\n";

// The longest action line read; the rest of a longer line is read and dropped.
constexpr size_t kMaxLineLength = 65536;

// One line of standard input, without its line end; *tooLong is set when it
// was cut at kMaxLineLength. False at the end of input.
bool readLine(std::string* line, bool* tooLong) {
  using Traits = std::char_traits<char>;
  line->clear();
  *tooLong = false;
  std::streambuf* in = std::cin.rdbuf();
  Traits::int_type c = in->sbumpc();
  if (Traits::eq_int_type(c, Traits::eof())) return false;
  for (; !Traits::eq_int_type(c, Traits::eof()) && c != '\n'; c = in->sbumpc()) {
    if (line->size() < kMaxLineLength)
      line->push_back(Traits::to_char_type(c));
    else
      *tooLong = true;
  }
  return true;
}

double now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void answer(const ScriptActions& actions, const std::vector<std::string>& data, bool ok, double started) {
  // The whole answer goes out in one write.
  std::string out;
  out.reserve(128);
  for (const std::string& d : data) {
    // One data line for each line of the text.
    size_t from = 0;
    do {
      const size_t nl = d.find('\n', from);
      size_t end = nl == std::string::npos ? d.size() : nl;
      if (end > from && d[end - 1] == '\r') --end;
      out.append("data: ").append(d, from, end - from).push_back('\n');
      from = nl == std::string::npos ? d.size() + 1 : nl + 1;
    } while (from <= d.size());
  }
  out.append(actions.Status(now() - started)).append(ok ? "\nok\n" : "\nerror\n");
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
}

}  // namespace

void NoteScriptMessageBox(const std::string& text) {
  if (ScriptSession* s = CurrentScriptSession()) s->NoteMessage(text);
}

int ScriptMain(int argc, char** argv) {
  // Standard input is read through its own buffer, whose fill tells what waits.
  std::ios::sync_with_stdio(false);
  bool trace = false;
  TerminalModel model;
  bool modelGiven = false;
  std::string host;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-xrm" && i + 1 < argc) {
      ++i;  // resources of other emulators are accepted and have no effect here
    } else if (arg == "-model" && i + 1 < argc && ParseTerminalModel(argv[i + 1], &model)) {
      ++i;
      modelGiven = true;
    } else if (arg == "-trace") {
      trace = true;
    } else if (!arg.empty() && arg[0] != '-' && host.empty()) {
      host = arg;
    } else {
      std::fputs(kUsage, stderr);
      return 1;
    }
  }

  ScriptSession session;
  session.trace = trace;
  if (modelGiven) session.SetModel(model);
  ScriptActions actions(session);
  bool quit = false;
  auto run = [&](const std::string& line, bool tooLong) {
    const double started = now();
    ActionLine action;
    std::string error;
    std::vector<std::string> data;
    bool ok = !tooLong && ParseActionLine(line, &action, &error);
    if (tooLong) {
      data.push_back("line too long (more than " + std::to_string(kMaxLineLength) + " characters)");
    } else if (!ok) {
      data.push_back("syntax error: " + error);
    } else if (action.name.empty()) {
      return;  // a blank line
    } else {
      ok = actions.Run(action, &data, &quit);
    }
    answer(actions, data, ok, started);
  };
  if (!host.empty()) {
    // Connected before the first action, without an answer of its own (a
    // script reading answers expects one per action); a failure goes to stderr.
    std::vector<std::string> data;
    if (!actions.Run(ActionLine{"Connect", {host}}, &data, &quit))
      for (const std::string& d : data) std::fprintf(stderr, "quillon-script: %s\n", d.c_str());
  }
  std::string line;
  bool tooLong = false;
  // Between actions a model screen goes on answering the host (a read
  // command, a query) until the next line comes; a line read is taken whole.
  // The default model answers nothing, and its host's data waits for the
  // next action as it always has.
  const auto lineWaiting = [&session] {
    return !session.ModelMode() || std::cin.rdbuf()->in_avail() > 0 || ScriptInputWaiting();
  };
  for (;;) {
    session.PumpUntil(lineWaiting);
    if (quit || !readLine(&line, &tooLong)) break;
    run(line, tooLong);
  }
  session.Disconnect();
  return 0;
}
