// quillon-script: a terminal driven by actions on standard input. The
// platform's entry point calls ScriptMain; message boxes the terminal shows
// are handed to NoteScriptMessageBox instead of waiting for a user.
#pragma once

#include <string>

int ScriptMain(int argc, char** argv);
void NoteScriptMessageBox(const std::string& text);
