// quillon-script: a terminal driven by actions on standard input. The
// platform's entry point calls ScriptMain; message boxes the terminal shows
// are handed to NoteScriptMessageBox instead of waiting for a user.
#pragma once

#include <string>

int ScriptMain(int argc, char** argv);
void NoteScriptMessageBox(const std::string& text);
// Whether standard input has something to read (or has ended), without
// waiting; the platform's entry point gives it. Between actions the script
// keeps answering the host until it has.
bool ScriptInputWaiting();
